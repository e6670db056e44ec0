#pragma once
#include <windows.h>

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

// The drives window as it is resized: the list takes the room, the buttons and the setting
// stay below it, and the window is never made smaller than it opens. Moved to a screen of
// another DPI, it takes the size the platform suggests and scales its places and its font.
namespace WindowLayout {

// At WM_INITDIALOG: where each control stands in the window as it opens.
void Remember(HWND window) noexcept;
// At WM_SIZE.
void Apply(HWND window) noexcept;
// At WM_GETMINMAXINFO.
void Limit(MINMAXINFO& limits) noexcept;
// At WM_DPICHANGED, before the window takes the suggested rectangle.
void ChangeDpi(HWND window, UINT dpi) noexcept;
// A length in pixels at the DPI the window opened at, at the DPI it is at now: what the
// dialog's units (fixed as it opened) measure is scaled by it.
int Scaled(int pixels) noexcept;
// At WM_DESTROY: the font made for another DPI.
void Forget() noexcept;

} // namespace WindowLayout
