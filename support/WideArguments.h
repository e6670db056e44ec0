#pragma once
#include <windows.h>

// The C runtime's wide arguments, as its wide entry point would receive them: read by the
// platform's rules, with nothing more loaded for them (msvcrt exports the call on every
// Windows, and every toolchain of ours links it).
extern "C" int __cdecl __wgetmainargs(int* count, wchar_t*** arguments, wchar_t*** environment,
                                      int expandWildcards, int* startInfo);

// False when the runtime could not read them.
inline bool WideArguments(int& count, wchar_t**& arguments) noexcept {
    wchar_t** environment = nullptr;
    int startInfo = 0;
    return __wgetmainargs(&count, &arguments, &environment, 0, &startInfo) >= 0 && count >= 1;
}
