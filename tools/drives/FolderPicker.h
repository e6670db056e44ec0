#pragma once
#include <windows.h>

// Asks the user for a folder: Windows Vista's folder dialog, the older browse dialog before
// it. False when the user cancels. The environment variable LANTERWELL_PICKED_FOLDER, when
// set, answers in the user's place without a dialog (the tests' hook; empty cancels).
bool PickFolder(HWND owner, const wchar_t* title, wchar_t (&folder)[MAX_PATH]) noexcept;
