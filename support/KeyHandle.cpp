#include "support/KeyHandle.h"

LONG KeyHandle::Hold(HKEY key) noexcept {
    const LONG closed = Close();
    m_key = key;
    return closed;
}

LONG KeyHandle::Open(HKEY parent, const char* name, REGSAM access) noexcept {
    HKEY key = nullptr;
    const LONG result = RegOpenKeyExA(parent, name, 0, access, &key);
    return result == ERROR_SUCCESS ? Hold(key) : result;
}

LONG KeyHandle::Open(HKEY parent, const wchar_t* name, REGSAM access) noexcept {
    HKEY key = nullptr;
    const LONG result = RegOpenKeyExW(parent, name, 0, access, &key);
    return result == ERROR_SUCCESS ? Hold(key) : result;
}

LONG KeyHandle::Create(HKEY parent, const wchar_t* name, REGSAM access) noexcept {
    HKEY key = nullptr;
    const LONG result = RegCreateKeyExW(parent, name, 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                                        nullptr, &key, nullptr);
    return result == ERROR_SUCCESS ? Hold(key) : result;
}

LONG KeyHandle::OpenLink(HKEY parent, const wchar_t* name, REGSAM access) noexcept {
    HKEY key = nullptr;
    const LONG result = RegOpenKeyExW(parent, name, REG_OPTION_OPEN_LINK, access, &key);
    return result == ERROR_SUCCESS ? Hold(key) : result;
}

LONG KeyHandle::OpenLink(HKEY parent, const char* name, REGSAM access) noexcept {
    HKEY key = nullptr;
    const LONG result = RegOpenKeyExA(parent, name, REG_OPTION_OPEN_LINK, access, &key);
    return result == ERROR_SUCCESS ? Hold(key) : result;
}

LONG KeyHandle::Create(HKEY parent, const char* name, REGSAM access) noexcept {
    HKEY key = nullptr;
    const LONG result = RegCreateKeyExA(parent, name, 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                                        nullptr, &key, nullptr);
    return result == ERROR_SUCCESS ? Hold(key) : result;
}

LONG KeyHandle::Close() noexcept {
    if (!m_key)
        return ERROR_SUCCESS;
    const LONG result = RegCloseKey(m_key);
    m_key = nullptr;
    return result;
}
