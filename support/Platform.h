#pragma once
#include <windows.h>

// What Windows the module runs on, asked of the platform once.
namespace Platform {

// Windows NT, 2000 and later; false on Windows 95, 98 and Me.
bool IsNt() noexcept;
// NT 5 (Windows 2000) or later.
bool IsNt5OrLater() noexcept;
// A 32-bit process on 64-bit Windows, which sees the registry through the 32-bit view.
bool IsWow64() noexcept;

} // namespace Platform
