#include "drives/window/Placement.h"
#include "drives/StoreKeys.h"
#include "support/KeyHandle.h"

namespace {

// What is kept: the window's normal place and whether it was maximized.
struct Kept {
    RECT normal;
    UINT showCommand;
};

// A value of exactly this size: anything else there (another version's, another program's) is
// nothing kept.
template <typename Value> bool Read(const wchar_t* name, Value& value) {
    KeyHandle key;
    DWORD type = REG_NONE;
    DWORD size = sizeof(value);
    return key.Open(HKEY_CURRENT_USER, StoreKeys::kSettings, KEY_QUERY_VALUE) == ERROR_SUCCESS &&
           RegQueryValueExW(key.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&value),
                            &size) == ERROR_SUCCESS &&
           type == REG_BINARY && size == sizeof(value);
}

template <typename Value> void Write(const wchar_t* name, const Value& value) {
    KeyHandle key;
    if (key.Create(HKEY_CURRENT_USER, StoreKeys::kSettings, KEY_SET_VALUE) == ERROR_SUCCESS)
        RegSetValueExW(key.Get(), name, 0, REG_BINARY, reinterpret_cast<const BYTE*>(&value),
                       sizeof(value));
}

} // namespace

namespace Placement {

void Restore(HWND window) noexcept {
    Kept kept = {};
    // A rectangle turned inside out is no place.
    if (!Read(StoreKeys::kWindowValue, kept) || kept.normal.right <= kept.normal.left ||
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
    Write(StoreKeys::kWindowValue, kept);
}

Columns KeptColumns() noexcept {
    Columns columns = {};
    // A width below nothing is none chosen.
    if (!Read(StoreKeys::kColumnsValue, columns) || columns.drive < 0 || columns.signIn < 0)
        return Columns();
    return columns;
}

void KeepColumns(const Columns& columns) noexcept {
    Write(StoreKeys::kColumnsValue, columns);
}

} // namespace Placement
