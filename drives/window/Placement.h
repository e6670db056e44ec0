#pragma once
#include <windows.h>

// Where the drives window was when it closed, and how large, kept for the user: it reopens
// there, never smaller than it opens and never where no screen shows it now.
namespace Placement {

// At WM_INITDIALOG, once the layout knows the size the window opens at.
void Restore(HWND window) noexcept;
// At WM_DESTROY.
void Keep(HWND window) noexcept;

} // namespace Placement
