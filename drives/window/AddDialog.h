#pragma once
#include <windows.h>
#include "drives/DriveActions.h"

// What the dialog that makes a drive made.
struct AddResult {
    int drive = 0; // 1 = A: to 26 = Z:
    wchar_t folder[MAX_PATH] = {};
    DriveActions::Made made;
};

// Asks for a folder, a free letter and whether to restore the drive at sign-in (ticked where
// the user's restore is on), and makes the drive. A drive that cannot be made is said over the
// dialog, which stays open with what the user gave. False when the user cancels.
bool AddDrive(HWND owner, AddResult& result) noexcept;
