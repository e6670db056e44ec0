#include "drives/ToolTexts.h"
#include "support/StringTable.h"
#include "support/UiLanguage.h"
#include <strsafe.h>

namespace {

const int kMostInserts = 4;

} // namespace

namespace ToolTexts {

const wchar_t* Load(UINT id, wchar_t* buffer, size_t units) noexcept {
    CopyStringEntry(GetModuleHandleW(nullptr), id, ChooseUiLanguage(), buffer, units);
    return buffer;
}

Message::Message(UINT id, const wchar_t* const* inserts, int count) noexcept {
    wchar_t pattern[kMostUnits];
    if (!*Load(id, pattern, kMostUnits))
        return;
    // FormatMessage reads the inserts as an array of pointer-sized arguments; one a text asks
    // for and the caller did not give is empty, never a stray pointer.
    DWORD_PTR arguments[kMostInserts];
    for (int i = 0; i < kMostInserts; ++i)
        arguments[i] = reinterpret_cast<DWORD_PTR>(i < count && inserts[i] ? inserts[i] : L"");
    m_length = FormatMessageW(
        FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_ARGUMENT_ARRAY,
        pattern, 0, 0, reinterpret_cast<LPWSTR>(&m_text), 0, reinterpret_cast<va_list*>(arguments));
    if (m_length == 0) {
        LocalFree(m_text);
        m_text = nullptr;
    }
}

Number NumberText(DWORD value) noexcept {
    Number number = {};
    StringCchPrintfW(number.text, ARRAYSIZE(number.text), L"%lu", value);
    return number;
}

} // namespace ToolTexts
