#pragma once
#include <windows.h>

// The drives window as it is resized: the list takes the room, the buttons and the setting
// stay below it, and the window is never made smaller than it opens.
namespace WindowLayout {

// At WM_INITDIALOG: where each control stands in the window as it opens.
void Remember(HWND window) noexcept;
// At WM_SIZE.
void Apply(HWND window) noexcept;
// At WM_GETMINMAXINFO.
void Limit(MINMAXINFO& limits) noexcept;

} // namespace WindowLayout
