#pragma once
#include <windows.h>

// Substituted drives as the platform keeps them: DOS device names whose target is a folder
// behind the "\??\" prefix. Paths are UTF-16 throughout, so every folder name the file system
// can hold is mapped exactly. Each function answers 0 or a Win32 error code.
namespace DosDevices {

// The folder that a drive number (1 = A: to 26 = Z:) should map: made absolute, without a
// final backslash unless it is a drive root. `full` holds MAX_PATH units.
int PrepareFolder(const wchar_t* path, wchar_t* full) noexcept;

// Maps a free drive letter to an existing folder.
int Create(int drive, const wchar_t* path) noexcept;

// The folder of a substituted drive (without the prefix); ERROR_FILE_NOT_FOUND for a drive
// that is not one. `folder` holds MAX_PATH units.
int Query(int drive, wchar_t* folder) noexcept;

// Removes a substitution; a real drive is never touched.
int Delete(int drive) noexcept;

} // namespace DosDevices
