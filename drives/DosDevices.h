#pragma once
#include <windows.h>

// Substituted drives as the platform keeps them: DOS device names whose target is a folder
// behind the "\??\" prefix. Paths are UTF-16 throughout, so every folder name the file system
// can hold is mapped exactly. Each function answers 0 or a Win32 error code.
namespace DosDevices {

// Set each time a drive is made or deleted here, for the drives window to follow: the
// platform tells nobody when a DOS device is defined.
extern const wchar_t kChangedEvent[];

// Maps a free drive letter (1 = A: to 26 = Z:) to an existing folder: ERROR_ALREADY_ASSIGNED
// for a letter in use, ERROR_PATH_NOT_FOUND for a missing folder, ERROR_DIRECTORY for a file.
int Create(int drive, const wchar_t* path) noexcept;

// Maps a letter to a folder as it was mapped before, without Create's checks: for putting a
// drive back whose folder may be gone.
int Define(int drive, const wchar_t* folder) noexcept;

// The folder of a substituted drive (without the prefix; a share as "\\server\share");
// ERROR_FILE_NOT_FOUND for a drive that is not one. `folder` holds MAX_PATH units.
int Query(int drive, wchar_t* folder) noexcept;

// Removes a substitution; a real drive is never touched.
int Delete(int drive) noexcept;

} // namespace DosDevices
