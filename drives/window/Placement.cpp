#include "drives/window/Placement.h"
#include "drives/StoreKeys.h"
#include "support/KeyHandle.h"

namespace {

// What is kept: the window's normal place and whether it was maximized.
struct Kept {
    RECT normal;
    UINT showCommand;
};

bool Read(Kept& kept) {
    KeyHandle key;
    DWORD type = REG_NONE;
    DWORD size = sizeof(kept);
    return key.Open(HKEY_CURRENT_USER, StoreKeys::kSettings, KEY_QUERY_VALUE) == ERROR_SUCCESS &&
           RegQueryValueExW(key.Get(), StoreKeys::kWindowValue, nullptr, &type,
                            reinterpret_cast<BYTE*>(&kept), &size) == ERROR_SUCCESS &&
           type == REG_BINARY && size == sizeof(kept);
}

} // namespace

namespace Placement {

void Restore(HWND window) noexcept {
    Kept kept = {};
    // Anything else there (another size, a rectangle turned inside out) is no place.
    if (!Read(kept) || kept.normal.right <= kept.normal.left ||
        kept.normal.bottom <= kept.normal.top ||
        !MonitorFromRect(&kept.normal, MONITOR_DEFAULTTONULL))
        return;
    WINDOWPLACEMENT placement = {sizeof(placement)};
    if (!GetWindowPlacement(window, &placement))
        return;
    const RECT& opened = placement.rcNormalPosition;
    if (kept.normal.right - kept.normal.left < opened.right - opened.left)
        kept.normal.right = kept.normal.left + (opened.right - opened.left);
    if (kept.normal.bottom - kept.normal.top < opened.bottom - opened.top)
        kept.normal.bottom = kept.normal.top + (opened.bottom - opened.top);
    placement.rcNormalPosition = kept.normal;
    placement.showCmd = kept.showCommand == SW_SHOWMAXIMIZED ? SW_SHOWMAXIMIZED : SW_HIDE;
    SetWindowPlacement(window, &placement);
}

void Keep(HWND window) noexcept {
    WINDOWPLACEMENT placement = {sizeof(placement)};
    if (!GetWindowPlacement(window, &placement))
        return;
    const Kept kept = {placement.rcNormalPosition, placement.showCmd == SW_SHOWMAXIMIZED
                                                       ? static_cast<UINT>(SW_SHOWMAXIMIZED)
                                                       : static_cast<UINT>(SW_SHOWNORMAL)};
    KeyHandle key;
    if (key.Create(HKEY_CURRENT_USER, StoreKeys::kSettings, KEY_SET_VALUE) == ERROR_SUCCESS)
        RegSetValueExW(key.Get(), StoreKeys::kWindowValue, 0, REG_BINARY,
                       reinterpret_cast<const BYTE*>(&kept), sizeof(kept));
}

} // namespace Placement
