#include "drives/SavedValue.h"
#include "support/KeyHandle.h"

LONG SavedValue::Take() noexcept {
    m_present = false;
    KeyHandle key;
    const LONG opened = key.Open(HKEY_CURRENT_USER, m_key, KEY_QUERY_VALUE);
    if (opened == ERROR_FILE_NOT_FOUND)
        return ERROR_SUCCESS;
    if (opened)
        return opened;
    m_large.Reset();
    m_size = sizeof(m_data);
    LONG read = RegQueryValueExW(key.Get(), m_name, nullptr, &m_type, m_data, &m_size);
    // Larger than the holder: read again into memory of its size (it may grow meanwhile).
    while (read == ERROR_MORE_DATA) {
        m_large.Reset(static_cast<BYTE*>(LocalAlloc(LMEM_FIXED, m_size)));
        if (!m_large)
            return ERROR_OUTOFMEMORY;
        read = RegQueryValueExW(key.Get(), m_name, nullptr, &m_type, m_large.Get(), &m_size);
    }
    if (read == ERROR_FILE_NOT_FOUND)
        return ERROR_SUCCESS;
    m_present = read == ERROR_SUCCESS;
    return read;
}

LONG SavedValue::Restore() const noexcept {
    KeyHandle key;
    if (m_present) {
        if (const LONG error = key.Create(HKEY_CURRENT_USER, m_key, KEY_SET_VALUE))
            return error;
        return RegSetValueExW(key.Get(), m_name, 0, m_type, Data(), m_size);
    }
    const LONG opened = key.Open(HKEY_CURRENT_USER, m_key, KEY_SET_VALUE);
    if (opened == ERROR_FILE_NOT_FOUND)
        return ERROR_SUCCESS;
    const LONG error = opened ? opened : RegDeleteValueW(key.Get(), m_name);
    return error == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : error;
}
