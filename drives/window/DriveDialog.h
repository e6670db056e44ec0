#pragma once
#include <windows.h>
#include "drives/DriveActions.h"

// What the drive dialog edits: a new drive, or a mapped or saved one to change.
struct DriveEdit {
    int drive = 0;                   // the drive changed; 0 for a new one
    const wchar_t* folder = nullptr; // its folder, or one to offer (dropped on the window)
    bool keep = false;               // a changed drive's restore box, ticked where it is saved
};

// What the dialog did.
struct DriveEdited {
    int drive = 0; // 1 = A: to 26 = Z:
    wchar_t folder[MAX_PATH] = {};
    DriveActions::Made made;
    bool machine = false; // made for every user, from the next start
};

// Asks for a folder, a free letter and whether to restore the drive at sign-in (for a new drive
// ticked where the user's restore is on) or, for a new drive, to make it for every user (behind
// the administrator's shield), and makes or changes the drive. A drive that cannot
// be made or changed is said over the dialog, which stays open with what the user gave. False
// when the user cancels.
bool EditDrive(HWND owner, const DriveEdit& edit, DriveEdited& edited) noexcept;
