#pragma once
#include <windows.h>

// The Lanterwell window's class, by which a second start finds the first.
extern const wchar_t kDrivesWindowClass[];
// Sent to the window when its drives or the drive store may have changed.
const UINT kDrivesChangedMessage = WM_APP + 1;
// Posted to the window by its list when the user ticks or unticks a row: wParam the drive,
// lParam whether it is ticked.
const UINT kRowTickedMessage = WM_APP + 2;

// Creates the window that lists, makes, keeps and removes the user's virtual drives, by the
// rules lwsubst follows; it ends the thread's message loop when it closes.
HWND CreateDrivesWindow(HINSTANCE instance) noexcept;
