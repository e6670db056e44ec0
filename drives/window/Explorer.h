#pragma once
#include <windows.h>

// Explorer, as the window asks it to show a drive or its folder.
namespace Explorer {

// Opens a mapped drive's root: 0 or a Win32 error code, ERROR_PATH_NOT_FOUND where the drive's
// folder no longer exists, ERROR_INVALID_DRIVE for a drive that is not virtual.
int OpenDrive(HWND owner, int drive) noexcept;
// Opens a folder itself (a drive's, which opens where its letter does not): 0 or a Win32 error
// code.
int OpenFolder(HWND owner, const wchar_t* folder) noexcept;

} // namespace Explorer
