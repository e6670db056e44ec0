#pragma once
#include <windows.h>

// The drives a user keeps for sign-in: below HKEY_CURRENT_USER\Software\Lanterwell\Drives one
// REG_SZ value per saved drive, named by its letter, holding the folder in UTF-16 so that any
// name survives. Each function that writes answers 0 or a Win32 error code.
//
// The one rule, used by the menu's SUBST.DLL and by lwsubst alike:
// - where the administrator's policy says, restoring is on or off as it says, for every user;
// - otherwise a user's restore is on when the user's own RestoreAtSignIn
//   (HKCU\Software\Lanterwell) says so, or, for a user without a setting of their own, the
//   machine-wide default that the setup program's option writes (HKLM\Software\Lanterwell,
//   RestoreAtSignIn); off, nothing is restored for that user;
// - a drive made is saved while the user's restore is on (lwsubst's /save saves it anyway and
//   turns the user's restore on);
// - a drive deleted is forgotten, whatever the setting.
namespace DriveStore {

// Where the user's restore setting comes from, and what it is. The administrator's policy
// (Policy::RestoreAtSignIn) comes before both: on, it is on for every user; off, nothing is
// restored or saved for sign-in.
enum class Restoring { ByUser, OffByUser, ByMachine, OffOnMachine, ByPolicy, OffByPolicy };
Restoring RestoreSetting() noexcept;
inline bool IsOn(Restoring setting) noexcept {
    return setting == Restoring::ByUser || setting == Restoring::ByMachine ||
           setting == Restoring::ByPolicy;
}
inline bool DecidedByPolicy(Restoring setting) noexcept {
    return setting == Restoring::ByPolicy || setting == Restoring::OffByPolicy;
}
// The drive programs' own code for a change of the setting, or a save for sign-in, that the
// policy decides instead (bit 29 marks a code of an application's own).
const int kSetByPolicy = 0x20000003;
bool RestoreAtSignIn() noexcept;
// The user's own setting, which from now on overrides the machine-wide default.
int SetRestoreAtSignIn(bool on) noexcept;

// After a drive was made: saves it while the user's restore is on.
int KeepMade(int drive) noexcept;
// Saves a mapped drive's folder, as the platform now names it.
int SaveMade(int drive) noexcept;

// Only a full path ("C:\folder", "\\server\share\folder") is saved: anything else would be
// read against whatever the current directory is at sign-in. ERROR_BAD_PATHNAME otherwise.
int Save(int drive, const wchar_t* folder) noexcept;
// A drive that was not saved is no failure.
int Forget(int drive) noexcept;
// The saved folder of a drive (MAX_PATH units) in the mapped form (FolderNames.h), with
// environment variables expanded where the value asks for it; ERROR_FILE_NOT_FOUND when there
// is none, ERROR_INVALID_DATA for a value that holds no name (another type, or too long),
// ERROR_BAD_PATHNAME for a name that is no full path (empty, "C:", "relative\dir", "\??\..."),
// given back as it stands. Forget removes either.
int Saved(int drive, wchar_t* folder) noexcept;
// Whether Saved's answer is an entry that names no folder: listed and reported, never made.
inline bool NamesNoFolder(int savedError) noexcept {
    return savedError == ERROR_INVALID_DATA || savedError == ERROR_BAD_PATHNAME;
}

} // namespace DriveStore
