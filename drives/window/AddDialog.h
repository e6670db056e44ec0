#pragma once
#include <windows.h>

// What the user chose in the dialog that makes a drive.
struct AddChoice {
    int drive = 0; // 1 = A: to 26 = Z:
    wchar_t folder[MAX_PATH] = {};
    bool save = false; // "Restore at sign-in", as lwsubst's /save
};

// Asks for a folder, a free letter and whether to restore the drive at sign-in, the last
// checked where the user's restore is on. False when the user cancels.
bool AskForDrive(HWND owner, AddChoice& choice) noexcept;
