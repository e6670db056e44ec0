#pragma once
#include <windows.h>
#include "drives/window/FolderName.h"

enum class Picked { Folder, Cancelled, TooLong };

// Asks the user for a folder: Windows Vista's folder dialog, the older browse dialog before
// it. TooLong for a folder whose name the folder box cannot hold.
Picked PickFolder(HWND owner, const wchar_t* title,
                  wchar_t (&folder)[FolderName::kTypedUnits]) noexcept;
