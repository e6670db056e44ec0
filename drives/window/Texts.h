#pragma once
#include <windows.h>

// The window's dialogs and message boxes in the user's language (drives/ToolTexts.h loads its
// strings).
namespace Texts {

// A dialog's template.
const DLGTEMPLATE* Dialog(UINT id) noexcept;
// A message box over `owner` with a message of the table, whose inserts are the drive's
// letter (%1), the folder (%2), the error code (%3) and the platform's text for it (%4).
void Show(HWND owner, UINT id, UINT icon, int drive, const wchar_t* folder,
          DWORD error = 0) noexcept;

} // namespace Texts
