#pragma once
#include <windows.h>

// Explorer, as the window asks it to show a drive.
namespace Explorer {

// Opens a mapped drive's root: 0 or a Win32 error code, ERROR_PATH_NOT_FOUND where the drive's
// folder no longer exists, ERROR_INVALID_DRIVE for a drive that is not virtual.
int OpenDrive(HWND owner, int drive) noexcept;

} // namespace Explorer
