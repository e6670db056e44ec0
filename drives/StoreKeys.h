#pragma once

// Where the drive programs keep what they keep, all below HKEY_CURRENT_USER but the
// machine-wide default, which the setup program writes below HKEY_LOCAL_MACHINE.
namespace StoreKeys {

// The user's restore setting (and the machine's default, under HKEY_LOCAL_MACHINE): a DWORD.
const wchar_t kSettings[] = L"Software\\Lanterwell";
const wchar_t kRestoreValue[] = L"RestoreAtSignIn";
// The saved drives: one REG_SZ (or REG_EXPAND_SZ) value per drive, named by its letter.
const wchar_t kDrives[] = L"Software\\Lanterwell\\Drives";
// The user's own sign-in entry, which runs lwsubst /restore.
const wchar_t kRun[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t kRunValue[] = L"Lanterwell";

} // namespace StoreKeys
