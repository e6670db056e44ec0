#pragma once
#include <windows.h>

// Drives as the platform numbers them: 1 = A: to 26 = Z:, drive n the mask's bit n - 1.
namespace DriveLetters {

const int kCount = 26;
const DWORD kMask = 0x3FFFFFF;

inline bool IsDrive(int drive) noexcept {
    return drive >= 1 && drive <= kCount;
}
inline wchar_t Letter(int drive) noexcept {
    return static_cast<wchar_t>(L'A' + drive - 1);
}
// The drive a letter names, in either case; 0 for a character that names none.
inline int FromLetter(wchar_t letter) noexcept {
    if (letter >= L'a' && letter <= L'z')
        return letter - L'a' + 1;
    return letter >= L'A' && letter <= L'Z' ? letter - L'A' + 1 : 0;
}
// The letters free in a mask of the drives in use (GetLogicalDrives).
inline DWORD FreeOf(DWORD inUse) noexcept {
    return ~inUse & kMask;
}
// "X:" and its root "X:\".
struct Name {
    wchar_t text[4];
};
inline Name DeviceName(int drive) noexcept {
    return {{Letter(drive), L':', 0, 0}};
}
inline Name RootName(int drive) noexcept {
    return {{Letter(drive), L':', L'\\', 0}};
}

} // namespace DriveLetters
