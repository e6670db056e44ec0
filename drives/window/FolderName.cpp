#include "drives/window/FolderName.h"
#include <strsafe.h>

namespace {

bool IsBlank(wchar_t unit) {
    return unit == L' ' || unit == L'\t';
}

} // namespace

namespace FolderName {

Read FromTyped(const Typed& typed, wchar_t (&folder)[MAX_PATH]) noexcept {
    folder[0] = 0;
    size_t length = 0;
    if (FAILED(StringCchLengthW(typed.text, kTypedUnits, &length)))
        return Read::TooLong;
    const wchar_t* first = typed.text;
    const wchar_t* end = typed.text + length;
    while (first < end && IsBlank(*first))
        ++first;
    while (end > first && IsBlank(end[-1]))
        --end;
    if (end - first >= 2 && *first == L'"' && end[-1] == L'"') {
        ++first;
        --end;
    }
    if (first == end)
        return Read::Empty;
    wchar_t name[kTypedUnits];
    if (FAILED(StringCchCopyNW(name, kTypedUnits, first, static_cast<size_t>(end - first))))
        return Read::TooLong;
    // The expanded name and its terminator must fit what the platform maps.
    const DWORD expanded = ExpandEnvironmentStringsW(name, folder, MAX_PATH);
    if (expanded == 0 || expanded > MAX_PATH) {
        folder[0] = 0;
        return Read::TooLong;
    }
    return Read::Folder;
}

} // namespace FolderName
