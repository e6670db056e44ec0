#pragma once
#include <windows.h>
#include <commctrl.h>
#include "drives/DriveStore.h"
#include "drives/window/Placement.h"

// The window's list of drives: one row for each virtual drive of this session and each saved
// one, its letter (ticked where it is kept for sign-in), its folder (marked where the folder is
// gone) and what becomes of it at sign-in; and one for each drive for every user, with no box,
// saying so and whether it is there from the next start only; a note in place of the rows when
// there are none.
namespace DriveList {

// A row's key: its drive (1 = A: to 26 = Z:), with this added for a drive for every user.
const int kMachineRow = 0x100;
inline int DriveOf(int key) noexcept {
    return key & ~kMachineRow;
}
inline bool IsMachine(int key) noexcept {
    return (key & kMachineRow) != 0;
}

// The columns as the window opens: where the user gave the drive or sign-in column a width
// (kept from the last time), it keeps that width; otherwise the sign-in column fits its texts.
// The folder column always takes the room the others leave.
void Prepare(HWND list, const Placement::Columns& chosen) noexcept;
// The widths the user has given the columns so far, to keep.
Placement::Columns Chosen(HWND list) noexcept;
// The rows anew, by the setting read for them, the selection kept.
void Fill(HWND list, DriveStore::Restoring setting) noexcept;
// Whether Fill is changing the rows (its own changes are no user's).
bool Filling() noexcept;
// The selected row's key, or a row's; 0 for none.
int Selected(HWND list) noexcept;
int DriveAt(HWND list, int row) noexcept;
void Select(HWND list, int key) noexcept;
// Whether the user's tick on a row changed with this notification, and to what.
bool TickChanged(const NMLISTVIEW& change, bool& ticked) noexcept;
// A row's tip: its whole folder, which the column may cut.
void Tip(HWND list, NMLVGETINFOTIPW& tip) noexcept;
// After the list was resized: the folder column takes the width the others leave.
void Fit(HWND list) noexcept;
// After the window's DPI changed: the columns measured in its new font.
void Rescale(HWND list) noexcept;

} // namespace DriveList
