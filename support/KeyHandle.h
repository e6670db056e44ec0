#pragma once
#include <windows.h>

// Holds at most one open registry key and closes it when it goes away: the one owner of an
// HKEY everywhere. Every operation answers a Win32 error code.
class KeyHandle {
public:
    KeyHandle() = default;
    ~KeyHandle() { Close(); }
    KeyHandle(const KeyHandle&) = delete;
    KeyHandle& operator=(const KeyHandle&) = delete;

    // On success the key held before is closed and the result is that close's; on failure
    // the held key stays.
    LONG Open(HKEY parent, const char* name, REGSAM access) noexcept;
    LONG Create(HKEY parent, const char* name, REGSAM access) noexcept;
    LONG Open(HKEY parent, const wchar_t* name, REGSAM access) noexcept;
    LONG Create(HKEY parent, const wchar_t* name, REGSAM access) noexcept;
    // Opens the key itself, never the key that a symbolic link at that name points to.
    LONG OpenLink(HKEY parent, const wchar_t* name, REGSAM access) noexcept;
    LONG OpenLink(HKEY parent, const char* name, REGSAM access) noexcept;
    LONG Close() noexcept;
    HKEY Get() const noexcept { return m_key; }

private:
    LONG Hold(HKEY key) noexcept;

    HKEY m_key = nullptr;
};
