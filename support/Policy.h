#pragma once
#include <windows.h>

// Group Policy for Lanterwell: what an administrator set below Software\Policies\Lanterwell
// (Lanterwell.admx), the machine's policy (HKEY_LOCAL_MACHINE) winning over the user's
// (HKEY_CURRENT_USER), as Windows' own policies do. A value that is missing, of another type
// or out of its range is Not configured: a malformed policy never decides anything.
namespace Policy {

const wchar_t kKey[] = L"Software\\Policies\\Lanterwell";
// Restore virtual drives at sign-in: a DWORD, 1 on for every user, 0 off.
const wchar_t kRestoreValue[] = L"RestoreAtSignIn";
// Drives for every user in the drives window: a DWORD, 0 not offered, 1 offered.
const wchar_t kMachineDrivesValue[] = L"OfferDrivesForEveryUser";
// Lanterwell's commands in Explorer's menu: a DWORD, 1 hidden, 0 shown.
const wchar_t kHideCommandsValue[] = L"HideMenuCommands";
// Drive letters Lanterwell never uses: below kKey, a key whose REG_SZ values each hold a letter
// ("H", "H:" or "H:\"), as Group Policy writes a list; a value naming no letter is skipped.
const wchar_t kReservedLettersKey[] = L"ReservedLetters";

enum class Switch { NotConfigured, On, Off };

Switch RestoreAtSignIn() noexcept;
Switch OfferDrivesForEveryUser() noexcept;
Switch HideMenuCommands() noexcept;
// The letters reserved, as a drive mask (bit n - 1 for drive n); 0 when not configured.
DWORD ReservedLetters() noexcept;

// What Explorer's menu needs, read once for a menu.
struct Menu {
    bool hidden = false;
    DWORD reserved = 0;
};
Menu ForMenu() noexcept;

} // namespace Policy
