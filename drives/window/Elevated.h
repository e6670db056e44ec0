#pragma once
#include <windows.h>

// The window's part that needs an administrator: lwsubst, beside the window, started with the
// platform's "runas" (which asks for an administrator's consent) for that one action. The
// window itself never runs elevated.
namespace Elevated {

// BCM_SETSHIELD, the platform's mark on a button whose action needs an administrator
// (commctrl.h declares it from Vista's headers on; earlier Windows ignores the message).
const UINT kSetShield = 0x160C;

// Runs lwsubst with the arguments and waits for its end: 0 with its exit code in `exitCode`,
// ERROR_CANCELLED where the user declined, or another Win32 error code.
int RunLwsubst(HWND owner, const wchar_t* arguments, DWORD& exitCode) noexcept;

// Makes the drive for every user on the letter with the folder, or with none deletes it, and
// says how it went: `done` (a text of the window's) where it was; why not; nothing where the
// user declined. True when it was done.
bool ChangeMachineDrive(HWND owner, int drive, const wchar_t* folder, UINT done) noexcept;

} // namespace Elevated
