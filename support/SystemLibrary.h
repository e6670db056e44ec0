#pragma once
#include <windows.h>

// Functions of system DLLs that only a rare path calls, loaded from the system folder when that
// path first runs: a program's start does not pay for a DLL its usual work never calls, and no
// DLL of that name in the program's or the current folder is ever taken for the system's.
namespace SystemLibrary {

// The function, or nullptr with the last error set (the DLL or the function is missing). The
// DLL stays loaded for the rest of the process.
FARPROC Function(const wchar_t* library, const char* name) noexcept;

template <typename Signature> Signature* Get(const wchar_t* library, const char* name) noexcept {
    return reinterpret_cast<Signature*>(reinterpret_cast<void*>(Function(library, name)));
}

} // namespace SystemLibrary
