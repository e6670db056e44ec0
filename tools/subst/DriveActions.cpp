#include "tools/subst/DriveActions.h"
#include "support/KeyHandle.h"
#include "tools/subst/DosDevices.h"
#include "tools/subst/DriveStore.h"

namespace {

const wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t kRunValue[] = L"Lanterwell";
const wchar_t kRestoreProgram[] = L"lwsubst.exe";

// "C:\...\lwsubst.exe" /restore, for the lwsubst.exe in this program's folder.
LONG RestoreCommand(wchar_t (&command)[MAX_PATH + 16]) {
    wchar_t program[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, program, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return ERROR_FILENAME_EXCED_RANGE;
    wchar_t* name = program + length;
    while (name > program && name[-1] != L'\\')
        --name;
    if ((name - program) + lstrlenW(kRestoreProgram) >= MAX_PATH)
        return ERROR_FILENAME_EXCED_RANGE;
    lstrcpyW(name, kRestoreProgram);
    wsprintfW(command, L"\"%s\" /restore", program);
    return ERROR_SUCCESS;
}

// The current user's own sign-in entry, beside any machine-wide one the setup program made:
// the two take turns (lwsubst's restore mutex), and each outlives a change to the other.
LONG UpdateRunEntry(bool on) {
    KeyHandle key;
    if (on) {
        wchar_t command[MAX_PATH + 16];
        if (const LONG error = RestoreCommand(command))
            return error;
        if (const LONG error = key.Create(HKEY_CURRENT_USER, kRunKey, KEY_SET_VALUE))
            return error;
        return RegSetValueExW(key.Get(), kRunValue, 0, REG_SZ,
                              reinterpret_cast<const BYTE*>(command),
                              static_cast<DWORD>((lstrlenW(command) + 1) * sizeof(wchar_t)));
    }
    LONG error = key.Open(HKEY_CURRENT_USER, kRunKey, KEY_SET_VALUE);
    if (error == ERROR_SUCCESS)
        error = RegDeleteValueW(key.Get(), kRunValue);
    return error == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : error;
}

// The user's restore made their own, with their own sign-in entry.
int MakeRestoreTheUsersOwn(bool& turnedOn) {
    const DriveStore::Restoring setting = DriveStore::RestoreSetting();
    if (setting == DriveStore::Restoring::ByUser)
        return 0;
    int error = DriveStore::SetRestoreAtSignIn(true);
    if (!error)
        error = UpdateRunEntry(true);
    turnedOn = !error && setting != DriveStore::Restoring::ByMachine;
    return error;
}

} // namespace

namespace DriveActions {

bool SameFolder(const wchar_t* one, const wchar_t* other) noexcept {
    return CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, one, -1, other, -1) == CSTR_EQUAL;
}

Listing Read(int drive) noexcept {
    Listing entry;
    entry.mapped = DosDevices::Query(drive, entry.mappedFolder) == 0;
    const int savedError = DriveStore::Saved(drive, entry.savedFolder);
    entry.saved = savedError == 0;
    entry.unreadable = savedError == ERROR_INVALID_DATA;
    entry.sameFolder =
        entry.mapped && entry.saved && SameFolder(entry.savedFolder, entry.mappedFolder);
    return entry;
}

// /save keeps the drive whatever the setting, and turns the user's restore on: a drive kept
// that nothing would restore would be a promise broken. The choice is stored as the user's
// own, with their own sign-in entry, even where the machine-wide default already restores: an
// administrator turning that off later must not take the user's saved drives with it.
Made Make(int drive, const wchar_t* folder, bool save) noexcept {
    Made made;
    made.created = DosDevices::Create(drive, folder);
    if (made.created)
        return made;
    made.saved = save ? MakeRestoreTheUsersOwn(made.restoreTurnedOn) : 0;
    if (!made.saved)
        made.saved = save ? DriveStore::SaveMade(drive) : DriveStore::KeepMade(drive);
    return made;
}

Deleted Delete(int drive, int& error) noexcept {
    const Listing entry = Read(drive);
    // A real drive, or nothing at all, is no virtual drive to delete.
    if (!entry.mapped && !entry.saved && !entry.unreadable)
        return Deleted::NotVirtual;
    error = entry.mapped ? DosDevices::Delete(drive) : 0;
    if (!error)
        error = DriveStore::Forget(drive);
    return error ? Deleted::Failed : Deleted::Done;
}

int Persist(bool on) noexcept {
    const int error = DriveStore::SetRestoreAtSignIn(on);
    return error ? error : static_cast<int>(UpdateRunEntry(on));
}

} // namespace DriveActions
