#pragma once
#include <windows.h>

// The replacement variables of one script run: names as ANSI copies, values as UTF-16
// copies, in the order they were added. A name may be present more than once.
class VariableMap {
public:
    VariableMap() = default;
    ~VariableMap() { Clear(); }
    VariableMap(const VariableMap&) = delete;
    VariableMap& operator=(const VariableMap&) = delete;

    HRESULT Add(const char* name, const wchar_t* value) noexcept;
    // The value of the first variable whose name equals the given one, case-blind.
    const wchar_t* Find(const char* name) const noexcept;
    void Clear() noexcept;
    int Count() const noexcept { return m_count; }

private:
    char** m_names = nullptr;
    wchar_t** m_values = nullptr;
    int m_count = 0;
};
