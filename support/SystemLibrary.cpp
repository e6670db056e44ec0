#include "support/SystemLibrary.h"
#include <strsafe.h>

namespace SystemLibrary {

FARPROC Function(const wchar_t* library, const char* name) noexcept {
    HMODULE module = GetModuleHandleW(library);
    if (!module) {
        wchar_t path[MAX_PATH];
        const UINT length = GetSystemDirectoryW(path, MAX_PATH);
        if (length == 0 || length >= MAX_PATH || FAILED(StringCchCatW(path, MAX_PATH, L"\\")) ||
            FAILED(StringCchCatW(path, MAX_PATH, library))) {
            SetLastError(ERROR_BUFFER_OVERFLOW);
            return nullptr;
        }
        module = LoadLibraryW(path);
        if (!module)
            return nullptr;
    }
    return GetProcAddress(module, name);
}

} // namespace SystemLibrary
