#pragma once
#include <windows.h>

// The drives a user keeps for sign-in: HKEY_CURRENT_USER\Software\Lanterwell holds the
// setting (DWORD RestoreAtSignIn: absent or 0 is off) and, below "Drives", one REG_SZ value per
// saved drive, named by its letter, holding the folder in UTF-16 so that any name survives.
// Each function answers 0 or a Win32 error code.
namespace DriveStore {

bool RestoreAtSignIn() noexcept;
int SetRestoreAtSignIn(bool on) noexcept;

int Save(int drive, const wchar_t* folder) noexcept;
// A drive that was not saved is no failure.
int Forget(int drive) noexcept;
// The saved folder of a drive (MAX_PATH units); ERROR_FILE_NOT_FOUND when there is none.
int Saved(int drive, wchar_t* folder) noexcept;

} // namespace DriveStore
