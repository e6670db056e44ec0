#include "support/Platform.h"

namespace {

OSVERSIONINFOA ReadVersion() {
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    GetVersionExA(&version);
    return version;
}

// IsWow64Process exists from Windows XP SP2 on; before it no process runs under WOW64.
bool AskWow64() {
    using IsWow64ProcessProc = BOOL(WINAPI*)(HANDLE, BOOL*);
    const auto isWow64 = reinterpret_cast<IsWow64ProcessProc>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "IsWow64Process")));
    BOOL wow64 = FALSE;
    return isWow64 && isWow64(GetCurrentProcess(), &wow64) && wow64;
}

// Two threads may ask at once; both get the same answer. 0: not asked yet.
LONG volatile wow64Answer = 0;

} // namespace

namespace Platform {

bool IsNt() noexcept {
    return ReadVersion().dwPlatformId == VER_PLATFORM_WIN32_NT;
}

bool IsNt5OrLater() noexcept {
    const OSVERSIONINFOA version = ReadVersion();
    return version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion >= 5;
}

bool IsWow64() noexcept {
    LONG answer = wow64Answer;
    if (!answer) {
        answer = AskWow64() ? 1 : 2;
        InterlockedExchange(&wow64Answer, answer);
    }
    return answer == 1;
}

} // namespace Platform
