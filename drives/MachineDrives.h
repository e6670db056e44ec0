#pragma once
#include <windows.h>
#include "support/Handles.h"

// Drives for every user: the values of the session manager's DOS Devices key
// (StoreKeys::kMachineDrives), which Windows defines when it starts in the namespace that every
// session, elevated program and service shares. A value is named "X:" and holds "\??\" and a
// folder's full path, without a final backslash but for a volume's root. Only administrators
// may write the key, and a change takes effect from the next start. The key holds the
// platform's own devices too (AUX, PRN, ...): only drive letters are ever read or written.
// Each function answers 0 or a Win32 error code.
namespace MachineDrives {

// The longest folder a value names, with its terminator: "\??\" and the folder are one name of
// at most 32767 units.
const size_t kFolderUnits = 32767 - 4 + 1;

// A buffer of kFolderUnits units; null when there is no memory for one.
UniqueLocalText NewFolder() noexcept;

// Whether the key holds a value for the letter, of whatever form.
bool Holds(int drive) noexcept;
// The folder of a letter's value: ERROR_FILE_NOT_FOUND for none, ERROR_INVALID_DATA for a value
// that is not of the documented form. `folder` holds kFolderUnits.
int Read(int drive, wchar_t* folder) noexcept;
// Whether the letter's value is as Lanterwell wrote it.
bool Ours(int drive, const wchar_t* folder) noexcept;
// Whether the letter is defined now, for every session, as the folder.
bool Present(int drive, const wchar_t* folder) noexcept;

// Writes the letter's value, replacing any, and notes that Lanterwell made it; nothing changes
// where either write is refused (ERROR_ACCESS_DENIED: the caller is no administrator).
int Write(int drive, const wchar_t* folder) noexcept;
// Removes the letter's value, whoever made it: ERROR_FILE_NOT_FOUND where there is none.
int Remove(int drive) noexcept;

} // namespace MachineDrives
