#pragma once
#include <windows.h>

// The window's texts and dialogs in the user's language: Japanese where Windows speaks
// Japanese, English everywhere else, as the menu chooses.
namespace Texts {

// A string of the table; empty when there is none. `buffer` holds `units`.
const wchar_t* Load(UINT id, wchar_t* buffer, int units) noexcept;
// A dialog's template.
const DLGTEMPLATE* Dialog(UINT id) noexcept;
// A message box over `owner` with a message of the table, whose inserts are the drive's
// letter (%1), the folder (%2) and the error code (%3).
void Show(HWND owner, UINT id, UINT icon, int drive, const wchar_t* folder,
          DWORD error = 0) noexcept;

} // namespace Texts
