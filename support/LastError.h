#pragma once
#include <windows.h>

// The calling thread's last Win32 error as an HRESULT: 0x80070000 with the code's low 16
// bits for a code above 0, the code itself otherwise.
inline HRESULT HResultFromLastError() noexcept {
    return HRESULT_FROM_WIN32(GetLastError());
}
