#include "drives/window/WindowLayout.h"
#include "drives/window/DrivesIds.h"

namespace {

enum Anchor { kMoveDown = 1, kWiden = 2, kLengthen = 4 };

const struct {
    int id;
    int anchor;
} kControls[] = {{IDC_LIST, kWiden | kLengthen},
                 {IDC_ADD, kMoveDown},
                 {IDC_CHANGE, kMoveDown},
                 {IDC_REMOVE, kMoveDown},
                 {IDC_OPEN, kMoveDown},
                 {IDC_RESTORE_NOW, kMoveDown},
                 {IDC_PERSIST, kMoveDown | kWiden},
                 {IDC_PERSIST_NOTE, kMoveDown | kWiden}};
const int kControlCount = sizeof(kControls) / sizeof(kControls[0]);

// The window as it opened: one window a process.
RECT opened[kControlCount];
SIZE openedClient;
SIZE openedWindow;

} // namespace

namespace WindowLayout {

void Remember(HWND window) noexcept {
    RECT client = {};
    RECT frame = {};
    GetClientRect(window, &client);
    GetWindowRect(window, &frame);
    openedClient = {client.right, client.bottom};
    openedWindow = {frame.right - frame.left, frame.bottom - frame.top};
    for (int i = 0; i < kControlCount; ++i) {
        GetWindowRect(GetDlgItem(window, kControls[i].id), &opened[i]);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&opened[i]), 2);
    }
}

void Apply(HWND window) noexcept {
    RECT client = {};
    GetClientRect(window, &client);
    const int wider = client.right - openedClient.cx;
    const int longer = client.bottom - openedClient.cy;
    if (wider < 0 || longer < 0)
        return;
    for (int i = 0; i < kControlCount; ++i) {
        const RECT& at = opened[i];
        const int anchor = kControls[i].anchor;
        const int down = anchor & kMoveDown ? longer : 0;
        MoveWindow(GetDlgItem(window, kControls[i].id), at.left, at.top + down,
                   at.right - at.left + (anchor & kWiden ? wider : 0),
                   at.bottom - at.top + (anchor & kLengthen ? longer : 0), TRUE);
    }
    // The dialog's background is painted after its children moved: every control, and the
    // note below the box, drawn again over it.
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void Limit(MINMAXINFO& limits) noexcept {
    if (openedWindow.cx > 0)
        limits.ptMinTrackSize = {openedWindow.cx, openedWindow.cy};
}

} // namespace WindowLayout
