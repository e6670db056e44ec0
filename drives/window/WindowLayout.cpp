#include "drives/window/WindowLayout.h"
#include <algorithm>
#include "drives/window/DrivesIds.h"
#include "support/SystemLibrary.h"

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

// The window as it opened, at the DPI it is at now: one window a process.
RECT opened[kControlCount];
SIZE openedClient;
SIZE openedWindow;
const UINT kDefaultDpi = 96;
UINT openedDpi = kDefaultDpi;
UINT currentDpi = kDefaultDpi;
// The font the window opened with (the dialog's own), and the one for another DPI, which the
// window owns.
HFONT openedFont;
LOGFONTW openedFace;
HFONT scaledFont;

// The window's DPI: its monitor's where the platform says (Windows 10 1607 on), else the
// screen's.
UINT DpiOf(HWND window) {
    const auto getDpi = SystemLibrary::Get<UINT WINAPI(HWND)>(L"user32.dll", "GetDpiForWindow");
    if (const UINT dpi = getDpi ? getDpi(window) : 0)
        return dpi;
    const HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen)
        ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : kDefaultDpi;
}

// The layout below scales the window itself: the dialog manager's own scaling for a new DPI
// (Windows 10 1703 on) is turned off, so that nothing is scaled twice.
void TakeOverDpiScaling(HWND window) {
    const int kDisableAll = 1; // DDC_DISABLE_ALL
    const auto setBehavior = SystemLibrary::Get<BOOL WINAPI(HWND, int, int)>(
        L"user32.dll", "SetDialogDpiChangeBehavior");
    if (setBehavior)
        setBehavior(window, kDisableAll, kDisableAll);
}

int Rescaled(int value, UINT to, UINT from) {
    return MulDiv(value, static_cast<int>(to), static_cast<int>(from));
}

BOOL CALLBACK SetFont(HWND child, LPARAM font) {
    SendMessageW(child, WM_SETFONT, static_cast<WPARAM>(font), TRUE);
    return TRUE;
}

// The window's font at the DPI it is at now, made from the one it opened with and given to the
// window and every control in it.
void ScaleFont(HWND window) {
    LOGFONTW face = openedFace;
    face.lfHeight = Rescaled(face.lfHeight, currentDpi, openedDpi);
    const HFONT font = currentDpi == openedDpi ? openedFont : CreateFontIndirectW(&face);
    if (!font)
        return;
    SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    EnumChildWindows(window, SetFont, reinterpret_cast<LPARAM>(font));
    if (scaledFont)
        DeleteObject(scaledFont);
    scaledFont = font == openedFont ? nullptr : font;
}

} // namespace

namespace WindowLayout {

void Remember(HWND window) noexcept {
    RECT client = {};
    RECT frame = {};
    GetClientRect(window, &client);
    GetWindowRect(window, &frame);
    openedClient = {client.right, client.bottom};
    openedWindow = {frame.right - frame.left, frame.bottom - frame.top};
    openedDpi = currentDpi = DpiOf(window);
    TakeOverDpiScaling(window);
    openedFont = reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
    if (!openedFont || !GetObjectW(openedFont, sizeof(openedFace), &openedFace))
        openedFont = nullptr;
    for (int i = 0; i < kControlCount; ++i) {
        GetWindowRect(GetDlgItem(window, kControls[i].id), &opened[i]);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&opened[i]), 2);
    }
}

void Apply(HWND window) noexcept {
    RECT client = {};
    GetClientRect(window, &client);
    // Minimized, there is no room to lay out; a pixel short of the opening size, as a DPI's
    // rounding leaves it, is laid out as the opening size.
    if (IsIconic(window) || client.right <= 0)
        return;
    const int wider = (std::max)(0L, client.right - openedClient.cx);
    const int longer = (std::max)(0L, client.bottom - openedClient.cy);
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

void ChangeDpi(HWND window, UINT dpi) noexcept {
    if (dpi == 0 || dpi == currentDpi)
        return;
    const UINT from = currentDpi;
    currentDpi = dpi;
    for (RECT& at : opened)
        at = {Rescaled(at.left, dpi, from), Rescaled(at.top, dpi, from),
              Rescaled(at.right, dpi, from), Rescaled(at.bottom, dpi, from)};
    openedClient = {Rescaled(openedClient.cx, dpi, from), Rescaled(openedClient.cy, dpi, from)};
    openedWindow = {Rescaled(openedWindow.cx, dpi, from), Rescaled(openedWindow.cy, dpi, from)};
    if (openedFont)
        ScaleFont(window);
}

int Scaled(int pixels) noexcept {
    return Rescaled(pixels, currentDpi, openedDpi);
}

void Forget() noexcept {
    if (scaledFont)
        DeleteObject(scaledFont);
    scaledFont = nullptr;
}

} // namespace WindowLayout
