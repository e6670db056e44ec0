#pragma once
#include <windows.h>

// Where the drives window was when it closed, and how large, kept for the user: it reopens
// there, never smaller than it opens and never where no screen shows it now, with the columns
// as the user left them.
namespace Placement {

// The widths the user gave the list's columns, in the units DriveList keeps them in; 0 for a
// column the user left as it was laid out.
struct Columns {
    int drive;
    int signIn;
};

// At WM_INITDIALOG, once the layout knows the size the window opens at.
void Restore(HWND window) noexcept;
// At WM_DESTROY.
void Keep(HWND window) noexcept;
// The columns as the user left them, or none chosen.
Columns KeptColumns() noexcept;
void KeepColumns(const Columns& columns) noexcept;

} // namespace Placement
