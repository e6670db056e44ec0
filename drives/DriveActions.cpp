#include "drives/DriveActions.h"
#include "drives/DosDevices.h"
#include "drives/MachineDrives.h"
#include "drives/SavedValue.h"
#include "drives/StoreKeys.h"
#include "support/DriveLetters.h"
#include "support/Handles.h"
#include "support/KeyHandle.h"
#include "support/OrdinalNames.h"
#include "support/Policy.h"
#include "support/SystemLibrary.h"
#include <strsafe.h>

namespace {

const wchar_t kLwsubst[] = L"lwsubst.exe";
// "C:\...\lwsubst.exe" /restore: the program's path, its quotes and the switch.
const size_t kCommandUnits = MAX_PATH + 16;

// "C:\...\lwsubst.exe" /restore, for the lwsubst.exe in this program's folder.
LONG RestoreCommand(wchar_t (&command)[kCommandUnits]) {
    wchar_t program[MAX_PATH];
    if (const int error = DriveActions::LwsubstBeside(program))
        return error;
    if (FAILED(StringCchPrintfW(command, kCommandUnits, L"\"%s\" /restore", program)))
        return ERROR_FILENAME_EXCED_RANGE;
    return ERROR_SUCCESS;
}

// The current user's own sign-in entry, beside any machine-wide one the setup program made:
// the two take turns (lwsubst's restore mutex), and each outlives a change to the other.
LONG UpdateRunEntry(bool on) {
    KeyHandle key;
    if (!on) {
        LONG error = key.Open(HKEY_CURRENT_USER, StoreKeys::kRun, KEY_SET_VALUE);
        if (error == ERROR_SUCCESS)
            error = RegDeleteValueW(key.Get(), StoreKeys::kRunValue);
        return error == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : error;
    }
    wchar_t command[kCommandUnits];
    if (const LONG error = RestoreCommand(command))
        return error;
    if (const LONG error = key.Create(HKEY_CURRENT_USER, StoreKeys::kRun, KEY_SET_VALUE))
        return error;
    size_t length = 0;
    StringCchLengthW(command, kCommandUnits, &length);
    return RegSetValueExW(key.Get(), StoreKeys::kRunValue, 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(command),
                          static_cast<DWORD>((length + 1) * sizeof(wchar_t)));
}

// What saving changes, as it was before: the user's setting, their sign-in entry and the
// drive's saved entry. Put back when it goes, unless what was changed is kept.
class SaveChange {
public:
    // Drive 0: none; the setting and the entry are always taken.
    explicit SaveChange(int drive, int other = 0) : m_names{{Name(drive), 0}, {Name(other), 0}} {}
    ~SaveChange() {
        if (m_taken && !m_kept) {
            m_drive.Restore();
            m_other.Restore();
            m_entry.Restore();
            m_setting.Restore();
        }
    }
    SaveChange(const SaveChange&) = delete;
    SaveChange& operator=(const SaveChange&) = delete;

    // Reads everything first: nothing is changed that could not be put back.
    LONG Take() {
        LONG error = m_setting.Take();
        if (!error)
            error = m_entry.Take();
        if (!error && m_names[0][0])
            error = m_drive.Take();
        if (!error && m_names[1][0])
            error = m_other.Take();
        m_taken = !error;
        return error;
    }
    void Keep() { m_kept = true; }

private:
    static wchar_t Name(int drive) { return drive ? DriveLetters::Letter(drive) : L'\0'; }

    wchar_t m_names[2][2];
    SavedValue m_setting{StoreKeys::kSettings, StoreKeys::kRestoreValue};
    SavedValue m_entry{StoreKeys::kRun, StoreKeys::kRunValue};
    SavedValue m_drive{StoreKeys::kDrives, m_names[0]};
    SavedValue m_other{StoreKeys::kDrives, m_names[1]};
    bool m_taken = false;
    bool m_kept = false;
};

// A drive saved while the administrator's policy restores for every user gets the user's own
// sign-in entry too: the computer may have none (an install without the sign-in option).
int FollowPolicy(int saved, DriveStore::Restoring setting) {
    if (saved || setting != DriveStore::Restoring::ByPolicy)
        return saved;
    return static_cast<int>(UpdateRunEntry(true));
}

// The user's setting and their own sign-in entry, the entry first: a restore that nothing
// would run is never switched on.
int SetRestore(bool on) {
    const LONG error = UpdateRunEntry(on);
    return error ? static_cast<int>(error) : DriveStore::SetRestoreAtSignIn(on);
}

// /save keeps the drive whatever the setting, and turns the user's restore on: a drive kept
// that nothing would restore would be a promise broken. The choice is stored as the user's
// own, with their own sign-in entry, even where the machine-wide default already restores: an
// administrator turning that off later must not take the user's saved drives with it.
int SaveAsTheUsersOwn(int drive, bool& restoreTurnedOn) {
    const DriveStore::Restoring setting = DriveStore::RestoreSetting();
    SaveChange change(drive);
    int error = change.Take();
    if (!error && setting != DriveStore::Restoring::ByUser)
        error = SetRestore(true);
    if (!error)
        error = DriveStore::SaveMade(drive);
    if (error)
        return error;
    change.Keep();
    restoreTurnedOn =
        setting != DriveStore::Restoring::ByUser && setting != DriveStore::Restoring::ByMachine;
    return 0;
}

// A folder on a volume of this computer's own disks, reached by no other drive: what Windows
// can still find when it defines the drives for every user at start-up.
bool OnLocalFixedVolume(const wchar_t* full) {
    const int drive = DriveLetters::FromLetter(full[0]);
    if (!drive || full[1] != L':' || full[2] != L'\\')
        return false;
    const DriveLetters::Name root = DriveLetters::RootName(drive);
    return GetDriveTypeW(root.text) == DRIVE_FIXED && DosDevices::Query(drive, nullptr) != 0;
}

// What a refused write of the machine's key means.
DriveActions::Problem MachineProblem(int error) {
    if (error == ERROR_ACCESS_DENIED)
        return DriveActions::Problem::NotAdministrator;
    return error ? DriveActions::Problem::Other : DriveActions::Problem::None;
}

// A drive for every user shows through a session that has no drive of its own on the letter:
// it is not the session's to list or delete.
bool ShowsMachineDrive(int drive, const wchar_t* mapped) {
    return MachineDrives::Holds(drive) && MachineDrives::Present(drive, mapped);
}

// The folder that holds the users' profiles, asked of userenv.dll only when a drive for every
// user is made: nothing else of the drive programs needs it.
bool ProfilesFolder(wchar_t (&profiles)[MAX_PATH]) {
    const auto getProfiles =
        SystemLibrary::Get<BOOL WINAPI(wchar_t*, DWORD*)>(L"userenv.dll", "GetProfilesDirectoryW");
    DWORD units = MAX_PATH;
    return getProfiles && getProfiles(profiles, &units);
}

} // namespace

namespace DriveActions {

Problem ProblemOf(int error) noexcept {
    switch (error) {
    case 0:
        return Problem::None;
    case ERROR_ALREADY_ASSIGNED:
        return Problem::LetterInUse;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return Problem::FolderMissing;
    case ERROR_DIRECTORY:
        return Problem::NotAFolder;
    case ERROR_FILENAME_EXCED_RANGE:
        return Problem::NameTooLong;
    case ERROR_INVALID_NAME:
        return Problem::BadName;
    case ERROR_BAD_PATHNAME:
        return Problem::NotFullPath;
    case DosDevices::kMachineDriveHolds:
        return Problem::MachineDrive;
    case DosDevices::kReservedByPolicy:
        return Problem::ReservedLetter;
    case DriveStore::kSetByPolicy:
        return Problem::SetByPolicy;
    default:
        return Problem::Other;
    }
}

Listing Read(int drive) noexcept {
    Listing entry;
    entry.mapped = DosDevices::Query(drive, entry.mappedFolder) == 0 &&
                   !ShowsMachineDrive(drive, entry.mappedFolder);
    const int savedError = DriveStore::Saved(drive, entry.savedFolder);
    entry.saved = savedError == 0;
    entry.unreadable = DriveStore::NamesNoFolder(savedError);
    entry.sameFolder = entry.mapped && entry.saved &&
                       FolderNames::SameFolder(entry.savedFolder, entry.mappedFolder);
    return entry;
}

SignIn SignInOf(const Listing& entry, DriveStore::Restoring setting) noexcept {
    if (entry.unreadable)
        return SignIn::Unreadable;
    if (entry.mapped && !entry.sameFolder)
        return SignIn::NotSaved;
    if (!entry.mapped)
        return entry.saved ? SignIn::SavedNotMapped : SignIn::Absent;
    switch (setting) {
    case DriveStore::Restoring::OffByUser:
        return SignIn::SavedOffByUser;
    case DriveStore::Restoring::OffOnMachine:
    case DriveStore::Restoring::OffByPolicy:
        return SignIn::SavedOffMachine;
    default:
        return SignIn::Restored;
    }
}

Made Make(int drive, const wchar_t* folder, Keep keep, FolderNames::Names names) noexcept {
    Made made;
    const DriveStore::Restoring setting = DriveStore::RestoreSetting();
    // /save turns the user's restore on: where the policy decides, it is not the user's to.
    if (keep == Keep::Always && DriveStore::DecidedByPolicy(setting)) {
        made.created = DriveStore::kSetByPolicy;
        return made;
    }
    made.created = DosDevices::Create(drive, folder, names, made.folder);
    if (made.created)
        return made;
    switch (keep) {
    case Keep::Always:
        made.saved = SaveAsTheUsersOwn(drive, made.restoreTurnedOn);
        break;
    case Keep::Entry:
        // Where the policy turns restoring off, nothing is saved for sign-in.
        if (setting != DriveStore::Restoring::OffByPolicy)
            made.saved = FollowPolicy(DriveStore::SaveMade(drive), setting);
        break;
    case Keep::Never:
        made.saved = DriveStore::Forget(drive);
        break;
    default:
        made.saved = FollowPolicy(DriveStore::KeepMade(drive), setting);
        break;
    }
    return made;
}

Made Change(int drive, int newDrive, const wchar_t* folder, Keep keep) noexcept {
    Made made;
    const Listing old = Read(drive);
    if (!old.mapped && !old.saved) {
        made.created = ERROR_INVALID_DRIVE;
        return made;
    }
    const DosDevices::Turn turn;
    if (!turn.Held()) {
        made.created = ERROR_BUSY;
        return made;
    }
    const bool sameLetter = newDrive == drive;
    SaveChange change(drive, sameLetter ? 0 : newDrive);
    if ((made.created = change.Take()) != 0)
        return made;
    // The same letter: the old drive goes first. Another letter: the new one first, the old
    // one last.
    if (sameLetter && old.mapped && (made.created = DosDevices::Delete(drive)) != 0)
        return made;
    made = Make(newDrive, folder, keep, FolderNames::Names::FullOnly);
    int error = 0;
    if (!made.created && !made.saved && !sameLetter && Delete(drive, error) != Problem::None)
        made.saved = error ? error : ERROR_GEN_FAILURE;
    if (!made.created && !made.saved) {
        change.Keep();
        return made;
    }
    // Undone: the new drive goes, and the old one comes back as it was, even where its folder
    // is gone (the saved entries and the setting come back as the change goes).
    if (!made.created)
        DosDevices::Delete(newDrive);
    wchar_t mapped[MAX_PATH];
    if (old.mapped && DosDevices::Query(drive, mapped))
        DosDevices::Define(drive, old.mappedFolder);
    return made;
}

bool Restore(RestoreReport report, void* context) noexcept {
    bool whole = true;
    wchar_t saved[DriveLetters::kCount + 1][MAX_PATH];
    int errors[DriveLetters::kCount + 1] = {};
    DWORD pending = 0;
    for (int drive = 1; drive <= DriveLetters::kCount; ++drive) {
        const int error = DriveStore::Saved(drive, saved[drive]);
        if (DriveStore::NamesNoFolder(error)) {
            report(context, drive, saved[drive], error);
            whole = false;
        }
        // Already there, as another restore left it: nothing to do, and never defined twice.
        wchar_t mapped[MAX_PATH];
        if (error || (DosDevices::Query(drive, mapped) == 0 &&
                      FolderNames::SameFolder(mapped, saved[drive])))
            continue;
        pending |= 1u << drive;
    }
    for (bool madeOne = true; madeOne && pending;) {
        madeOne = false;
        for (int drive = 1; drive <= DriveLetters::kCount; ++drive) {
            if (!(pending & (1u << drive)))
                continue;
            wchar_t full[MAX_PATH];
            errors[drive] =
                DosDevices::Create(drive, saved[drive], FolderNames::Names::FullOnly, full);
            if (errors[drive])
                continue;
            report(context, drive, full, 0);
            pending &= ~(1u << drive);
            madeOne = true;
        }
    }
    for (int drive = 1; drive <= DriveLetters::kCount; ++drive) {
        if (pending & (1u << drive)) {
            report(context, drive, saved[drive], errors[drive]);
            whole = false;
        }
    }
    return whole;
}

int KeepForSignIn(int drive, bool keep) noexcept {
    if (!keep)
        return DriveStore::Forget(drive);
    const DriveStore::Restoring setting = DriveStore::RestoreSetting();
    if (setting == DriveStore::Restoring::OffByPolicy)
        return DriveStore::kSetByPolicy;
    return FollowPolicy(DriveStore::SaveMade(drive), setting);
}

Problem Delete(int drive, int& error) noexcept {
    error = 0;
    const Listing entry = Read(drive);
    // A real drive, or nothing at all, is no virtual drive to delete.
    if (!entry.mapped && !entry.saved && !entry.unreadable)
        return Problem::NotVirtual;
    error = entry.mapped ? DosDevices::Delete(drive) : 0;
    if (!error)
        error = DriveStore::Forget(drive);
    return error ? Problem::Other : Problem::None;
}

MachineListing ReadMachine(int drive, wchar_t* folder) noexcept {
    MachineListing entry;
    const int error = MachineDrives::Read(drive, folder);
    entry.listed = error == 0 || error == ERROR_INVALID_DATA;
    entry.unreadable = error == ERROR_INVALID_DATA;
    if (error)
        folder[0] = 0;
    entry.ours = !error && MachineDrives::Ours(drive, folder);
    entry.present = !error && MachineDrives::Present(drive, folder);
    return entry;
}

Problem CheckMachine(int drive, const wchar_t* folder, FolderNames::Names names, wchar_t* full,
                     int& error) noexcept {
    error = 0;
    if (DriveLetters::IsDrive(drive) && (Policy::ReservedLetters() & (1u << (drive - 1))))
        return Problem::ReservedLetter;
    error = FolderNames::ExistingFolder(folder, names, full, MachineDrives::kFolderUnits);
    if (error)
        return ProblemOf(error);
    if (!OnLocalFixedVolume(full))
        return Problem::NotLocal;
    const Listing session = Read(drive);
    if (session.mapped || session.saved || session.unreadable)
        return Problem::SessionDrive;
    // A letter in use by anything but a drive for every user, which is replaced.
    if (!MachineDrives::Holds(drive) && (GetLogicalDrives() & (1u << (drive - 1))))
        return Problem::LetterInUse;
    return Problem::None;
}

Problem MakeMachine(int drive, const wchar_t* folder, wchar_t* full, int& error) noexcept {
    const Problem problem = CheckMachine(drive, folder, FolderNames::Names::Relative, full, error);
    if (problem != Problem::None)
        return problem;
    error = MachineDrives::Write(drive, full);
    return MachineProblem(error);
}

Problem DeleteMachine(int drive, int& error) noexcept {
    error = MachineDrives::Remove(drive);
    if (error != ERROR_FILE_NOT_FOUND)
        return MachineProblem(error);
    error = 0;
    return Problem::NotVirtual;
}

bool UnderAProfile(const wchar_t* folder) noexcept {
    wchar_t profiles[MAX_PATH];
    size_t length = 0;
    size_t folderLength = 0;
    if (!ProfilesFolder(profiles) || FAILED(StringCchLengthW(profiles, MAX_PATH, &length)) ||
        FAILED(StringCchLengthW(folder, MachineDrives::kFolderUnits, &folderLength)) ||
        folderLength <= length)
        return false;
    return length &&
           SameNameIgnoringCase(folder, static_cast<int>(length), profiles,
                                static_cast<int>(length)) &&
           folder[length] == L'\\';
}

int LwsubstBeside(wchar_t (&program)[MAX_PATH]) noexcept {
    const DWORD length = GetModuleFileNameW(nullptr, program, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return ERROR_FILENAME_EXCED_RANGE;
    wchar_t* name = program + length;
    while (name > program && name[-1] != L'\\')
        --name;
    const size_t room = MAX_PATH - static_cast<size_t>(name - program);
    return SUCCEEDED(StringCchCopyW(name, room, kLwsubst)) ? 0 : ERROR_FILENAME_EXCED_RANGE;
}

int Persist(bool on) noexcept {
    if (DriveStore::DecidedByPolicy(DriveStore::RestoreSetting()))
        return DriveStore::kSetByPolicy;
    SaveChange change(0);
    if (const LONG error = change.Take())
        return error;
    if (const int error = SetRestore(on))
        return error;
    change.Keep();
    return 0;
}

} // namespace DriveActions
