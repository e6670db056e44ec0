// lwsubst: lists, makes, deletes, saves and restores virtual drives, modelled on the
// platform's SUBST where they overlap. Drives are made through the same code as SUBST.DLL's
// CreateSubst; saved drives live in the user's drive store.
//
// Exit codes: 0 done; 1 something could not be done (or, for /restore, a drive was skipped);
// 2 bad usage.
#include <windows.h>
#include <shellapi.h>
#include "support/Handles.h"
#include "support/KeyHandle.h"
#include "tools/lwsubst/Console.h"
#include "tools/lwsubst/MessageIds.h"
#include "tools/subst/DosDevices.h"
#include "tools/subst/DriveStore.h"

namespace {

const int kDone = 0;
const int kFailed = 1;
const int kBadUsage = 2;

const wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t kRunValue[] = L"Lanterwell";
// One restore at a time in a sign-in session: a user's own sign-in entry and the machine-wide
// one may both run, and two restores would race for the same letters.
const wchar_t kRestoreMutex[] = L"Local\\Lanterwell.Restore";
const DWORD kRestoreWait = 60000;

wchar_t Letter(int drive) {
    return static_cast<wchar_t>(L'A' + drive - 1);
}

bool IsSwitch(const wchar_t* argument, const wchar_t* name) {
    return (argument[0] == L'/' || argument[0] == L'-') && lstrcmpiW(argument + 1, name) == 0;
}

// "L:" names drive 12; anything else names none (0).
int DriveFromArgument(const wchar_t* argument) {
    if (lstrlenW(argument) != 2 || argument[1] != L':')
        return 0;
    // A to Z only, in either case: no other character names a drive.
    const wchar_t letter = argument[0] >= L'a' && argument[0] <= L'z'
                               ? static_cast<wchar_t>(argument[0] - L'a' + L'A')
                               : argument[0];
    return letter >= L'A' && letter <= L'Z' ? letter - L'A' + 1 : 0;
}

bool SameFolder(const wchar_t* a, const wchar_t* b) {
    return CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, a, -1, b, -1) == CSTR_EQUAL;
}

int List() {
    // "Restored at sign-in" only where it will be: saved, and the user's restore on.
    const bool restoring = DriveStore::RestoreAtSignIn();
    for (int drive = 1; drive <= 26; ++drive) {
        wchar_t mapped[MAX_PATH];
        wchar_t saved[MAX_PATH];
        const bool isMapped = DosDevices::Query(drive, mapped) == 0;
        const bool isSaved = DriveStore::Saved(drive, saved) == 0;
        if (isMapped && isSaved && SameFolder(saved, mapped))
            Console::Print(restoring ? IDS_LIST_SAVED : IDS_LIST_SAVED_OFF, Letter(drive), mapped);
        else if (isMapped)
            Console::Print(IDS_LIST_ENTRY, Letter(drive), mapped);
        else if (isSaved)
            Console::Print(IDS_LIST_SAVED_ABSENT, Letter(drive), saved);
    }
    return kDone;
}

// Says why DosDevices::Create refused a drive, in the user's words.
void ReportCreateFailure(int drive, const wchar_t* folder, int error) {
    switch (error) {
    case ERROR_ALREADY_ASSIGNED:
        Console::Print(IDS_LETTER_IN_USE, Letter(drive));
        break;
    case ERROR_PATH_NOT_FOUND:
        Console::Print(IDS_MISSING_FOLDER, Letter(drive), folder);
        break;
    case ERROR_DIRECTORY:
        Console::Print(IDS_NOT_FOLDER, Letter(drive), folder);
        break;
    case ERROR_FILENAME_EXCED_RANGE:
        Console::Print(IDS_PATH_TOO_LONG, Letter(drive), folder);
        break;
    default:
        Console::PrintError(IDS_CREATE_FAILED, Letter(drive), static_cast<DWORD>(error));
        break;
    }
}

LONG UpdateRunEntry(bool on);

// /save keeps the drive whatever the setting, and turns the user's restore on: a drive kept
// that nothing would restore would be a promise broken.
int Make(int drive, const wchar_t* folder, bool save) {
    if (const int error = DosDevices::Create(drive, folder)) {
        ReportCreateFailure(drive, folder, error);
        return kFailed;
    }
    int error = 0;
    if (save && !DriveStore::RestoreAtSignIn()) {
        error = DriveStore::SetRestoreAtSignIn(true);
        if (!error)
            error = UpdateRunEntry(true);
        if (!error)
            Console::Print(IDS_RESTORE_TURNED_ON, Letter(drive));
    }
    if (!error)
        error = save ? DriveStore::SaveMade(drive) : DriveStore::KeepMade(drive);
    if (error) {
        Console::PrintError(IDS_SAVE_FAILED, Letter(drive), error);
        return kFailed;
    }
    return kDone;
}

int Delete(int drive) {
    wchar_t folder[MAX_PATH];
    const bool isMapped = DosDevices::Query(drive, folder) == 0;
    const bool isSaved = DriveStore::Saved(drive, folder) == 0;
    // A real drive, or nothing at all, is no virtual drive to delete.
    if (!isMapped && !isSaved) {
        Console::Print(IDS_NOT_VIRTUAL, Letter(drive));
        return kFailed;
    }
    if (isMapped) {
        if (const int error = DosDevices::Delete(drive)) {
            Console::PrintError(IDS_DELETE_FAILED, Letter(drive), error);
            return kFailed;
        }
    }
    if (const int error = DriveStore::Forget(drive)) {
        Console::PrintError(IDS_DELETE_FAILED, Letter(drive), error);
        return kFailed;
    }
    return kDone;
}

// Holds the session's restore mutex while it lives.
class RestoreTurn {
public:
    RestoreTurn() : m_mutex(CreateMutexW(nullptr, FALSE, kRestoreMutex)) {
        const DWORD waited = m_mutex ? WaitForSingleObject(m_mutex, kRestoreWait) : WAIT_FAILED;
        m_held = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
    }
    ~RestoreTurn() {
        if (m_held)
            ReleaseMutex(m_mutex);
        if (m_mutex)
            CloseHandle(m_mutex);
    }
    RestoreTurn(const RestoreTurn&) = delete;
    RestoreTurn& operator=(const RestoreTurn&) = delete;
    bool Held() const { return m_held; }

private:
    HANDLE m_mutex;
    bool m_held;
};

void ReportSkipped(int drive, const wchar_t* saved, int error) {
    if (error == ERROR_ALREADY_ASSIGNED)
        Console::Print(IDS_SKIPPED_IN_USE, Letter(drive), saved);
    else if (error == ERROR_PATH_NOT_FOUND || error == ERROR_DIRECTORY)
        Console::Print(IDS_SKIPPED_MISSING, Letter(drive), saved);
    else if (error == ERROR_FILENAME_EXCED_RANGE)
        Console::Print(IDS_PATH_TOO_LONG, Letter(drive), saved);
    else
        Console::PrintError(IDS_CREATE_FAILED, Letter(drive), static_cast<DWORD>(error));
}

// Makes every saved drive whose letter is free and whose folder exists. A folder may lie on
// another saved drive (K: => L:\sub): each round makes what it can, and the next round tries
// again what waited for another, until a round makes nothing.
int Restore() {
    if (!DriveStore::RestoreAtSignIn())
        return kDone;
    const RestoreTurn turn;
    if (!turn.Held()) {
        Console::PrintError(IDS_CREATE_FAILED, L'?', ERROR_TIMEOUT);
        return kFailed;
    }
    int status = kDone;
    wchar_t saved[27][MAX_PATH];
    int errors[27] = {};
    DWORD pending = 0;
    for (int drive = 1; drive <= 26; ++drive) {
        if (DriveStore::Saved(drive, saved[drive]) != 0)
            continue;
        if (!DriveStore::IsFullPath(saved[drive])) {
            Console::Print(IDS_SKIPPED_INVALID, Letter(drive), saved[drive]);
            status = kFailed;
            continue;
        }
        // Already there, as another restore left it: nothing to do, and never defined twice.
        wchar_t mapped[MAX_PATH];
        if (DosDevices::Query(drive, mapped) == 0 && SameFolder(mapped, saved[drive]))
            continue;
        pending |= 1u << drive;
    }
    for (bool madeOne = true; madeOne && pending;) {
        madeOne = false;
        for (int drive = 1; drive <= 26; ++drive) {
            if (!(pending & (1u << drive)))
                continue;
            errors[drive] = DosDevices::Create(drive, saved[drive]);
            if (errors[drive])
                continue;
            Console::Print(IDS_RESTORED, Letter(drive), saved[drive]);
            pending &= ~(1u << drive);
            madeOne = true;
        }
    }
    for (int drive = 1; drive <= 26; ++drive) {
        if (!(pending & (1u << drive)))
            continue;
        ReportSkipped(drive, saved[drive], errors[drive]);
        status = kFailed;
    }
    return status;
}

// The current user's own sign-in entry, unless the setup program made a machine-wide one.
LONG UpdateRunEntry(bool on) {
    KeyHandle key;
    if (on) {
        // The setup program writes it in the native view, which a 32-bit lwsubst on 64-bit
        // Windows reaches only by asking (32-bit Windows ignores the flag).
        if (key.Open(HKEY_LOCAL_MACHINE, kRunKey, KEY_QUERY_VALUE | KEY_WOW64_64KEY) == 0 &&
            RegQueryValueExW(key.Get(), kRunValue, nullptr, nullptr, nullptr, nullptr) == 0)
            return ERROR_SUCCESS;
        wchar_t program[MAX_PATH];
        const DWORD length = GetModuleFileNameW(nullptr, program, MAX_PATH);
        if (length == 0 || length >= MAX_PATH)
            return ERROR_FILENAME_EXCED_RANGE;
        wchar_t command[MAX_PATH + 16];
        wsprintfW(command, L"\"%s\" /restore", program);
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

int Persist(bool on) {
    LONG error = DriveStore::SetRestoreAtSignIn(on);
    if (!error)
        error = UpdateRunEntry(on);
    if (error) {
        Console::PrintError(IDS_SETTING_FAILED, L'?', static_cast<DWORD>(error));
        return kFailed;
    }
    Console::Print(on ? IDS_PERSIST_ON : IDS_PERSIST_OFF);
    return kDone;
}

int Usage(int status) {
    Console::Print(IDS_USAGE);
    return status;
}

int Run(int count, wchar_t** arguments) {
    if (count == 0)
        return List();
    if (IsSwitch(arguments[0], L"?"))
        return Usage(kDone);
    if (count == 1 && IsSwitch(arguments[0], L"restore"))
        return Restore();
    if (count == 2 && IsSwitch(arguments[0], L"persist")) {
        if (lstrcmpiW(arguments[1], L"on") == 0)
            return Persist(true);
        if (lstrcmpiW(arguments[1], L"off") == 0)
            return Persist(false);
        return Usage(kBadUsage);
    }
    const int drive = DriveFromArgument(arguments[0]);
    if (!drive) {
        if (arguments[0][0] == L'/' || arguments[0][0] == L'-')
            return Usage(kBadUsage);
        Console::Print(IDS_BAD_LETTER, L'?', arguments[0]);
        return kBadUsage;
    }
    if (count == 2 && IsSwitch(arguments[1], L"d"))
        return Delete(drive);
    if (count == 2 && arguments[1][0] != L'/')
        return Make(drive, arguments[1], false);
    if (count == 3 && arguments[1][0] != L'/' && IsSwitch(arguments[2], L"save"))
        return Make(drive, arguments[1], true);
    return Usage(kBadUsage);
}

} // namespace

int main() {
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!arguments)
        return kBadUsage;
    const int status = Run(count - 1, arguments + 1);
    LocalFree(arguments);
    return status;
}
