#pragma once
#include <windows.h>
#include "drives/DriveStore.h"
#include "drives/FolderNames.h"

// What lwsubst and the Lanterwell window do to virtual drives, by the drive store's one rule
// (DriveStore.h), and the answers both give: why something could not be done and what a
// drive's sign-in state is are decided here once, for each tool to say in its own words.
// None of it says anything itself.
namespace DriveActions {

// Why a drive could not be made, restored, kept, deleted or opened.
enum class Problem {
    None,
    LetterInUse,      // the letter is taken
    FolderMissing,    // no such folder (any more)
    NotAFolder,       // the name is a file's
    NameTooLong,      // longer than the platform maps
    BadName,          // a device's or the object manager's name ("\\.\", "\??\"), or a long
                      // form that is not whole: no folder
    NotFullPath,      // a relative name where there is no current folder (the window)
    NotVirtual,       // neither a virtual drive of this session nor a saved one (nor, for a
                      // drive for every user, a value of the machine's key)
    MachineDrive,     // a drive for every user holds the letter
    SessionDrive,     // the letter is the user's own drive, mapped or saved: it would hide one
                      // for every user
    NotLocal,         // a drive for every user is a folder of this computer's fixed volumes only
    NotAdministrator, // drives for every user are an administrator's to change
    ReservedLetter,   // the administrator's policy keeps the letter for the organisation
    SetByPolicy,      // the administrator's policy decides restoring at sign-in
    Other,            // any other failure: the tools show its code
};
// The problem a Win32 error code (or one of the drive programs' own codes) stands for.
Problem ProblemOf(int error) noexcept;

// One drive letter as the lists show it.
struct Listing {
    bool mapped = false;     // a virtual drive of this session
    bool saved = false;      // a saved entry naming a folder
    bool unreadable = false; // a saved entry that names no folder (or no full path)
    bool sameFolder = false; // mapped to the folder it is saved with
    wchar_t mappedFolder[MAX_PATH] = {};
    wchar_t savedFolder[MAX_PATH] = {};
    // The folder the drive stands for: the mapped one, else the saved one (empty for none).
    const wchar_t* Folder() const noexcept { return mapped ? mappedFolder : savedFolder; }
};
Listing Read(int drive) noexcept;

// What becomes of a drive at sign-in, the one answer both tools show.
enum class SignIn {
    Absent,          // neither mapped nor saved: nothing to show
    NotSaved,        // mapped, and not saved with this folder
    Restored,        // mapped and saved, and the user's restore is on
    SavedOffByUser,  // mapped and saved, but the user turned restoring off
    SavedOffMachine, // mapped and saved, but restoring is off on this computer
    SavedNotMapped,  // saved, not present now
    Unreadable,      // the saved entry names no folder, whether or not the drive is mapped
};
SignIn SignInOf(const Listing& entry, DriveStore::Restoring setting) noexcept;

// Whether a drive made is kept for sign-in.
enum class Keep {
    BySetting, // while the user's restore is on (lwsubst L: folder, the menu)
    Always,    // whatever the setting, which becomes the user's own and on (/save)
    Entry,     // this drive's entry alone, the setting untouched (the window's Change, ticked)
    Never,     // not this drive: an entry saved for its letter goes (the window, unticked)
};

// Makes a drive and keeps it as asked. Saving is all or nothing: when any part of it fails,
// the setting, the sign-in entry and the saved drives stay as they were.
struct Made {
    int created = 0;               // DosDevices::Create's answer
    int saved = 0;                 // the drive store's answer, once made
    bool restoreTurnedOn = false;  // restoring was off for the user until now
    wchar_t folder[MAX_PATH] = {}; // the folder mapped, once made
};
Made Make(int drive, const wchar_t* folder, Keep keep, FolderNames::Names names) noexcept;

// Gives a mapped drive another folder or letter (or both), kept as asked; the name is a full
// path. A saved drive not mapped now is mapped as the change describes, its old entry gone. All or
// nothing: where a step fails, the drive is as it was (even where its folder is gone), and so are
// its saved entry, the new letter's and the user's setting; the answer says which step failed.
Made Change(int drive, int newDrive, const wchar_t* folder, Keep keep) noexcept;

// Makes every saved drive that is not in place (the caller asks whether the user's restore is
// on): each through
// the gate, and each round again for the drives whose folder lies on another saved drive
// (K: => L:\sub), until a round makes none. `report` hears of every saved drive not in place:
// the folder made, or why not (ERROR_INVALID_DATA, ERROR_BAD_PATHNAME: the entry names no
// folder, and is kept). False when one was not restored.
using RestoreReport = void (*)(void* context, int drive, const wchar_t* folder, int error);
bool Restore(RestoreReport report, void* context) noexcept;

// Keeps a mapped drive for sign-in, or no longer: the drive's own entry alone, the user's
// setting untouched (it stays the master switch). 0 or a Win32 error code.
int KeepForSignIn(int drive, bool keep) noexcept;

// Deletes a virtual drive of this session and forgets its saved entry; a drive that is
// neither is no virtual drive (Problem::NotVirtual, with `error` left 0).
Problem Delete(int drive, int& error) noexcept;

// A drive for every user as the lists show it (MachineDrives.h).
struct MachineListing {
    bool listed = false;     // the machine's key holds a value for the letter
    bool unreadable = false; // a value that names no folder
    bool ours = false;       // as Lanterwell wrote it: another program's otherwise
    bool present = false;    // defined now for every session; otherwise from the next start
};
// `folder` holds MachineDrives::kFolderUnits.
MachineListing ReadMachine(int drive, wchar_t* folder) noexcept;

// Whether the folder and the letter make a drive for every user, as this session sees them;
// `full` (MachineDrives::kFolderUnits) receives the folder as the value names it. The window
// asks before it starts the elevated part: that runs in a session of its own, which does not
// see the user's drives.
Problem CheckMachine(int drive, const wchar_t* folder, FolderNames::Names names, wchar_t* full,
                     int& error) noexcept;
// Makes (or, on a letter that holds one, replaces) a drive for every user, from the next start;
// `full` (MachineDrives::kFolderUnits) receives the folder as the value names it.
Problem MakeMachine(int drive, const wchar_t* folder, wchar_t* full, int& error) noexcept;
// Deletes the drive for every user on the letter, whoever made it, from the next start.
Problem DeleteMachine(int drive, int& error) noexcept;
// Whether a folder lies in a user's profile, which other users may not be allowed to open.
bool UnderAProfile(const wchar_t* folder) noexcept;

// The lwsubst.exe in this program's folder, which sign-in and the window's elevated part run.
int LwsubstBeside(wchar_t (&program)[MAX_PATH]) noexcept;

// The user's own restore setting and their own sign-in entry that runs the lwsubst.exe beside
// this program, changed together or not at all: 0 or a Win32 error code.
int Persist(bool on) noexcept;

} // namespace DriveActions
