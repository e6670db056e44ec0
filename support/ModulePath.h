#pragma once
#include <windows.h>
#include "support/FilePath.h"
#include "support/LastError.h"

// A module's file path, or why there is none: the last error when the platform gives no
// path, ERROR_INSUFFICIENT_BUFFER when the path fills the whole buffer.
inline HRESULT GetModulePath(HINSTANCE module, char (&path)[MAX_PATH]) noexcept {
    const DWORD length = GetModuleFileNameA(module, path, MAX_PATH);
    if (length == 0)
        return HResultFromLastError();
    if (length == MAX_PATH)
        return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    return S_OK;
}

// A module's path in UTF-16, decoded from the ANSI code page in which the platform gave it,
// and failing with ERROR_NO_UNICODE_TRANSLATION when that ANSI path names another file: the
// code page put '?' for what it lacks (no file name holds one) or best-fitted a character
// (é to e), which the platform's own UTF-16 path shows where it has one.
inline HRESULT GetModulePathW(HINSTANCE module, wchar_t (&path)[MAX_PATH]) noexcept {
    char ansi[MAX_PATH];
    if (const HRESULT located = GetModulePath(module, ansi); FAILED(located))
        return located;
    const HRESULT untranslatable = HRESULT_FROM_WIN32(ERROR_NO_UNICODE_TRANSLATION);
    for (const char* p = ansi; *p; ++p)
        if (*p == '?')
            return untranslatable;
    if (!MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, ansi, -1, path, MAX_PATH))
        return HResultFromLastError();
    wchar_t platform[MAX_PATH];
    const DWORD length = GetModuleFileNameW(module, platform, MAX_PATH);
    if (length > 0 && length < MAX_PATH && !IsPlatformAnsiOf(ansi, platform))
        return untranslatable;
    return S_OK;
}
