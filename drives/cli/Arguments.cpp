#include "drives/cli/Arguments.h"
#include <strsafe.h>

namespace {

bool IsBlank(wchar_t unit) {
    return unit == L' ' || unit == L'\t';
}

} // namespace

Arguments::Arguments(int count, wchar_t** given) noexcept {
    for (int i = 0; i < count && m_count < kMost; ++i) {
        const wchar_t* quote = given[i];
        while (*quote && *quote != L'"')
            ++quote;
        Add(given[i], static_cast<size_t>(quote - given[i]), *quote != 0);
        for (const wchar_t* rest = *quote ? quote + 1 : quote; *rest;) {
            while (IsBlank(*rest))
                ++rest;
            const wchar_t* end = rest;
            while (*end && !IsBlank(*end))
                ++end;
            if (end > rest)
                Add(rest, static_cast<size_t>(end - rest), false);
            rest = end;
        }
    }
}

void Arguments::Add(const wchar_t* text, size_t length, bool backslash) noexcept {
    wchar_t* added = m_text + m_used;
    const size_t room = static_cast<size_t>(kUnits - m_used);
    if (m_count == kMost || FAILED(StringCchCopyNW(added, room, text, length)) ||
        (backslash && FAILED(StringCchCatW(added, room, L"\\"))))
        return;
    m_used += static_cast<int>(length) + (backslash ? 1 : 0) + 1;
    m_list[m_count++] = added;
}
