#pragma once
#include <windows.h>
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
