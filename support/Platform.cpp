#include "support/Platform.h"
#include "support/ChosenOnce.h"

namespace {

OSVERSIONINFOA ReadVersion() {
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    GetVersionExA(&version);
    return version;
}

using Wow64Answer = bool (*)();

bool UnderWow64() {
    return true;
}

bool Native() {
    return false;
}

// IsWow64Process exists from Windows XP SP2 on; before it no process runs under WOW64.
Wow64Answer AskWow64() {
    using IsWow64ProcessProc = BOOL(WINAPI*)(HANDLE, BOOL*);
    const auto isWow64 = reinterpret_cast<IsWow64ProcessProc>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "IsWow64Process")));
    BOOL wow64 = FALSE;
    return isWow64 && isWow64(GetCurrentProcess(), &wow64) && wow64 ? UnderWow64 : Native;
}

Wow64Answer volatile wow64Answer = nullptr;

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
    return ChosenOnce(wow64Answer, AskWow64)();
}

} // namespace Platform
