#pragma once
#include <windows.h>
#include "support/Handles.h"

// One registry value below HKEY_CURRENT_USER as it was when taken, written back on request:
// what lets two writes that belong together be undone when the second fails.
class SavedValue {
public:
    SavedValue(const wchar_t* key, const wchar_t* name) noexcept : m_key(key), m_name(name) {}
    SavedValue(const SavedValue&) = delete;
    SavedValue& operator=(const SavedValue&) = delete;

    // Reads the value, or that there is none: 0 or a Win32 error code. A value of any size is
    // held, outside the holder where it is larger (another program may have written one).
    LONG Take() noexcept;
    // Puts back what Take read: the value as it was, or no value.
    LONG Restore() const noexcept;

private:
    static const DWORD kMostBytes = 4096;

    const BYTE* Data() const noexcept { return m_large ? m_large.Get() : m_data; }

    const wchar_t* m_key;
    const wchar_t* m_name;
    bool m_present = false;
    DWORD m_type = REG_NONE;
    DWORD m_size = 0;
    BYTE m_data[kMostBytes] = {};
    UniqueLocalBytes m_large;
};
