#pragma once
#include <windows.h>
#include "drives/DriveActions.h"

// The window's dialogs and message boxes in the user's language (drives/ToolTexts.h loads its
// strings).
namespace Texts {

// A dialog's template.
const DLGTEMPLATE* Dialog(UINT id) noexcept;
// A message box over `owner` with a message of the table, whose inserts are the drive's
// letter (%1), the folder (%2), the error code (%3) and the platform's text for it (%4).
void Show(HWND owner, UINT id, UINT icon, int drive, const wchar_t* folder,
          DWORD error = 0) noexcept;
// The same with the message box's style given, answering its button (0 for no message).
int Ask(HWND owner, UINT id, UINT style, int drive, const wchar_t* folder,
        DWORD error = 0) noexcept;

// Why a drive (for the session or for every user) could not be made, in the window's words.
UINT CreateFailure(DriveActions::Problem problem) noexcept;

} // namespace Texts
