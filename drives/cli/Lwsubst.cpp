// lwsubst: lists, makes, deletes, saves and restores virtual drives, modelled on the
// platform's SUBST where they overlap. Drives are made through the same code as SUBST.DLL's
// CreateSubst; saved drives live in the user's drive store.
//
// With /machine it lists, makes and deletes the drives for every user (MachineDrives.h).
//
// Exit codes: 0 done; 1 something could not be done (or, for /restore, a drive was skipped);
// 2 bad usage; 3 (/restore) another restore kept running, and nothing was restored.
#include <windows.h>
#include "drives/DriveActions.h"
#include "drives/DosDevices.h"
#include "drives/DriveStore.h"
#include "drives/MachineDrives.h"
#include "drives/ToolTexts.h"
#include "drives/cli/Arguments.h"
#include "drives/cli/Console.h"
#include "drives/cli/MessageIds.h"
#include "support/DriveLetters.h"
#include "support/Handles.h"
#include "support/WideArguments.h"

namespace {

const int kDone = 0;
const int kFailed = 1;
const int kBadUsage = 2;
const int kRestoreBusy = 3;

// One restore at a time in a sign-in session: a user's own sign-in entry and the machine-wide
// one may both run, and two restores would race for the same letters.
const wchar_t kRestoreMutex[] = L"Local\\Lanterwell.Restore";
const DWORD kRestoreWait = 60000;

using DriveActions::Problem;
using DriveActions::SignIn;
using DriveLetters::Letter;

bool IsSwitch(const wchar_t* argument, const wchar_t* name) {
    return (argument[0] == L'/' || argument[0] == L'-') && lstrcmpiW(argument + 1, name) == 0;
}

// "L:" names drive 12; anything else names none (0).
int DriveFromArgument(const wchar_t* argument) {
    if (lstrlenW(argument) != 2 || argument[1] != L':')
        return 0;
    return DriveLetters::FromLetter(argument[0]);
}

// A drive's line in the list, by its sign-in state: restored at sign-in only where it will be,
// and otherwise why not. A state not listed has no line of its own.
const ToolTexts::CaseText<SignIn> kListLines[] = {
    {SignIn::NotSaved, IDS_LIST_ENTRY},
    {SignIn::Restored, IDS_LIST_SAVED},
    {SignIn::SavedOffByUser, IDS_LIST_SAVED_OFF},
    {SignIn::SavedOffMachine, IDS_LIST_SAVED_OFF_MACHINE},
    {SignIn::SavedNotMapped, IDS_LIST_SAVED_ABSENT}};

UINT ListLine(SignIn state) {
    return ToolTexts::TextOf(kListLines, state);
}

int List() {
    const DriveStore::Restoring setting = DriveStore::RestoreSetting();
    for (int drive = 1; drive <= DriveLetters::kCount; ++drive) {
        const DriveActions::Listing entry = DriveActions::Read(drive);
        const SignIn state = DriveActions::SignInOf(entry, setting);
        if (state == SignIn::Unreadable) {
            Console::Print(IDS_LIST_UNREADABLE, Letter(drive));
            // Still this session's drive: its folder is shown, as the window shows it.
            if (entry.mapped)
                Console::Print(IDS_LIST_ENTRY, Letter(drive), entry.mappedFolder);
        } else if (const UINT line = ListLine(state)) {
            Console::Print(line, Letter(drive), entry.Folder());
        }
    }
    return kDone;
}

// Why a drive could not be made, in lwsubst's words: when the user made it, and when a restore
// did. Any other problem is said with its error code.
const struct {
    Problem problem;
    UINT made;
    UINT restored;
} kCreateFailures[] = {{Problem::LetterInUse, IDS_LETTER_IN_USE, IDS_SKIPPED_IN_USE},
                       {Problem::FolderMissing, IDS_MISSING_FOLDER, IDS_SKIPPED_MISSING},
                       {Problem::NotAFolder, IDS_NOT_FOLDER, IDS_SKIPPED_MISSING},
                       {Problem::NameTooLong, IDS_PATH_TOO_LONG, IDS_PATH_TOO_LONG},
                       {Problem::BadName, IDS_NOT_FOLDER_NAME, IDS_SKIPPED_INVALID},
                       {Problem::NotFullPath, IDS_NOT_FOLDER_NAME, IDS_SKIPPED_INVALID},
                       {Problem::MachineDrive, IDS_MACHINE_HOLDS, IDS_MACHINE_HOLDS},
                       {Problem::ReservedLetter, IDS_RESERVED_LETTER, IDS_RESERVED_LETTER},
                       {Problem::SetByPolicy, IDS_SET_BY_POLICY, IDS_SET_BY_POLICY}};

void ReportCreateFailure(int drive, const wchar_t* folder, int error, bool restoring) {
    const Problem problem = DriveActions::ProblemOf(error);
    for (const auto& failure : kCreateFailures) {
        if (failure.problem == problem) {
            Console::Print(restoring ? failure.restored : failure.made, Letter(drive), folder);
            return;
        }
    }
    Console::PrintError(IDS_CREATE_FAILED, Letter(drive), static_cast<DWORD>(error));
}

int MakeDrive(int drive, const wchar_t* folder, DriveActions::Keep keep) {
    if (!*folder) {
        Console::Print(IDS_NO_FOLDER, Letter(drive));
        return kBadUsage;
    }
    const DriveActions::Made made =
        DriveActions::Make(drive, folder, keep, FolderNames::Names::Relative);
    if (made.created) {
        ReportCreateFailure(drive, folder, made.created, false);
        return kFailed;
    }
    // A name read against the current folder: the folder it stands for is said.
    if (!FolderNames::IsFullPath(folder))
        Console::Print(IDS_LIST_ENTRY, Letter(drive), made.folder);
    if (made.restoreTurnedOn)
        Console::Print(IDS_RESTORE_TURNED_ON, Letter(drive));
    if (made.saved) {
        Console::PrintError(IDS_SAVE_FAILED, Letter(drive), static_cast<DWORD>(made.saved));
        return kFailed;
    }
    return kDone;
}

int Delete(int drive) {
    int error = 0;
    switch (DriveActions::Delete(drive, error)) {
    case Problem::None:
        return kDone;
    case Problem::NotVirtual:
        Console::Print(IDS_NOT_VIRTUAL, Letter(drive));
        return kFailed;
    default:
        Console::PrintError(IDS_DELETE_FAILED, Letter(drive), static_cast<DWORD>(error));
        return kFailed;
    }
}

void ReportRestored(void*, int drive, const wchar_t* folder, int error) {
    if (error == 0)
        Console::Print(IDS_RESTORED, Letter(drive), folder);
    else if (error == ERROR_INVALID_DATA)
        Console::Print(IDS_SKIPPED_UNREADABLE, Letter(drive));
    else if (error == ERROR_BAD_PATHNAME)
        Console::Print(IDS_SKIPPED_INVALID, Letter(drive), folder);
    else
        ReportCreateFailure(drive, folder, error, true);
}

int Restore() {
    if (!DriveStore::RestoreAtSignIn())
        return kDone;
    const DosDevices::Turn turn(kRestoreMutex, kRestoreWait);
    if (!turn.Held()) {
        Console::Print(IDS_RESTORE_BUSY);
        return kRestoreBusy;
    }
    return DriveActions::Restore(ReportRestored, nullptr) ? kDone : kFailed;
}

int Persist(bool on) {
    const int error = DriveActions::Persist(on);
    if (DriveActions::ProblemOf(error) == Problem::SetByPolicy) {
        Console::Print(IDS_SET_BY_POLICY);
        return kFailed;
    }
    if (error) {
        Console::PrintError(IDS_SETTING_FAILED, L'?', static_cast<DWORD>(error));
        return kFailed;
    }
    Console::Print(on ? IDS_PERSIST_ON : IDS_PERSIST_OFF);
    return kDone;
}

// A drive for every user's line: whether it is there now or from the next start, and whether
// another program made it.
const UINT kMachineLines[2][2] = {{IDS_MACHINE_OTHER_NEXT, IDS_MACHINE_OTHER},
                                  {IDS_MACHINE_LISTED_NEXT, IDS_MACHINE_LISTED}};

int Usage(int status) {
    Console::Print(IDS_USAGE);
    return status;
}

// Bad usage, said as what it most likely is: a folder with spaces given without quotes arrives
// as several words ("lwsubst X: C:\My Folder").
int Misused(int drive, int count, wchar_t** arguments) {
    if (drive && count >= 3 && arguments[1][0] != L'/' && arguments[2][0] != L'/') {
        Console::Print(IDS_QUOTE_FOLDER, Letter(drive));
        return kBadUsage;
    }
    return Usage(kBadUsage);
}

int ListMachine() {
    UniqueLocalText folder = MachineDrives::NewFolder();
    if (!folder) {
        Console::PrintError(IDS_MACHINE_FAILED, L'?', ERROR_OUTOFMEMORY);
        return kFailed;
    }
    for (int drive = 1; drive <= DriveLetters::kCount; ++drive) {
        const DriveActions::MachineListing entry = DriveActions::ReadMachine(drive, folder.Get());
        if (entry.unreadable)
            Console::Print(IDS_MACHINE_UNREADABLE, Letter(drive));
        else if (entry.listed)
            Console::Print(kMachineLines[entry.ours][entry.present], Letter(drive), folder.Get());
    }
    return kDone;
}

// Why a drive for every user could not be made or deleted; any other problem is said with its
// error code.
const ToolTexts::CaseText<Problem> kMachineFailures[] = {
    {Problem::LetterInUse, IDS_LETTER_IN_USE},
    {Problem::FolderMissing, IDS_MISSING_FOLDER},
    {Problem::NotAFolder, IDS_NOT_FOLDER},
    {Problem::NameTooLong, IDS_PATH_TOO_LONG},
    {Problem::NotLocal, IDS_MACHINE_NOT_LOCAL},
    {Problem::SessionDrive, IDS_MACHINE_SESSION_HOLDS},
    {Problem::NotAdministrator, IDS_MACHINE_NOT_ADMIN},
    {Problem::ReservedLetter, IDS_RESERVED_LETTER},
    {Problem::NotVirtual, IDS_NOT_MACHINE}};

int ReportMachine(Problem problem, int drive, const wchar_t* folder, int error, UINT done) {
    if (problem == Problem::None) {
        Console::Print(done, Letter(drive), folder);
        return kDone;
    }
    if (const UINT text = ToolTexts::TextOf(kMachineFailures, problem))
        Console::Print(text, Letter(drive), folder);
    else
        Console::PrintError(IDS_MACHINE_FAILED, Letter(drive), static_cast<DWORD>(error));
    return kFailed;
}

int MakeMachine(int drive, const wchar_t* folder) {
    UniqueLocalText written = MachineDrives::NewFolder();
    if (!written) {
        Console::PrintError(IDS_MACHINE_FAILED, Letter(drive), ERROR_OUTOFMEMORY);
        return kFailed;
    }
    int error = 0;
    const Problem problem = DriveActions::MakeMachine(drive, folder, written.Get(), error);
    if (problem != Problem::None)
        return ReportMachine(problem, drive, folder, error, IDS_MACHINE_MADE);
    if (DriveActions::UnderAProfile(written.Get()))
        Console::Print(IDS_MACHINE_PROFILE, Letter(drive), written.Get());
    return ReportMachine(problem, drive, written.Get(), error, IDS_MACHINE_MADE);
}

int DeleteMachine(int drive) {
    int error = 0;
    return ReportMachine(DriveActions::DeleteMachine(drive, error), drive, L"", error,
                         IDS_MACHINE_DELETED);
}

// lwsubst [drive: folder | drive: /d] /machine.
int RunMachine(int count, wchar_t** arguments) {
    if (count == 0)
        return ListMachine();
    const int drive = count == 2 ? DriveFromArgument(arguments[0]) : 0;
    if (drive && IsSwitch(arguments[1], L"d"))
        return DeleteMachine(drive);
    if (drive && arguments[1][0] != L'/')
        return MakeMachine(drive, arguments[1]);
    return Misused(DriveFromArgument(arguments[0]), count, arguments);
}

int Run(int count, wchar_t** arguments) {
    if (count == 0)
        return List();
    if (IsSwitch(arguments[0], L"?"))
        return Usage(kDone);
    if (IsSwitch(arguments[count - 1], L"machine"))
        return RunMachine(count - 1, arguments);
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
        return MakeDrive(drive, arguments[1], DriveActions::Keep::BySetting);
    if (count == 3 && arguments[1][0] != L'/' && IsSwitch(arguments[2], L"save"))
        return MakeDrive(drive, arguments[1], DriveActions::Keep::Always);
    return Misused(drive, count, arguments);
}

} // namespace

int main() {
    int count = 0;
    wchar_t** arguments = nullptr;
    if (!WideArguments(count, arguments))
        return kBadUsage;
    static Arguments repaired(count - 1, arguments + 1);
    return Run(repaired.Count(), repaired.List());
}
