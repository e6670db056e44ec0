#pragma once
#include <windows.h>

// The drive programs' texts: their own string table, read in the user's language (Japanese
// where Windows speaks Japanese, English everywhere else, as the menu chooses), never beyond
// its block, and formatted with FormatMessage inserts.
namespace ToolTexts {

// The longest text of a table, and of a formatted message.
const size_t kMostUnits = 1024;

// A string of the program's table; empty when there is none. `buffer` holds `units`.
const wchar_t* Load(UINT id, wchar_t* buffer, size_t units) noexcept;

// A message of the table with its inserts (%1, %2, ...), owned until it goes.
class Message {
public:
    Message(UINT id, const wchar_t* const* inserts, int count) noexcept;
    ~Message() { LocalFree(m_text); }
    Message(const Message&) = delete;
    Message& operator=(const Message&) = delete;
    // The text, or null when the table has none or it could not be formatted.
    const wchar_t* Text() const noexcept { return m_text; }
    DWORD Length() const noexcept { return m_length; }

private:
    wchar_t* m_text = nullptr;
    DWORD m_length = 0;
};

// One case's text in a tool's table of them.
template <typename Case> struct CaseText {
    Case key;
    UINT text;
};
// The text a table gives a case, or `otherwise` for a case it does not list.
template <typename Case, size_t N>
UINT TextOf(const CaseText<Case> (&table)[N], Case key, UINT otherwise = 0) noexcept {
    for (const CaseText<Case>& entry : table)
        if (entry.key == key)
            return entry.text;
    return otherwise;
}

// A number as an insert's text.
struct Number {
    wchar_t text[16];
};
Number NumberText(DWORD value) noexcept;

} // namespace ToolTexts
