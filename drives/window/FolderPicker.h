#pragma once
#include <windows.h>

// Asks the user for a folder: Windows Vista's folder dialog, the older browse dialog before
// it. False when the user cancels, or when the folder's name does not fit.
bool PickFolder(HWND owner, const wchar_t* title, wchar_t (&folder)[MAX_PATH]) noexcept;
