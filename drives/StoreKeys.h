#pragma once

// Where the drive programs keep what they keep: below HKEY_CURRENT_USER but for the
// machine-wide default, which the setup program writes, and the drives for every user, which
// only an administrator writes (both below HKEY_LOCAL_MACHINE).
namespace StoreKeys {

// The user's restore setting (and the machine's default, under HKEY_LOCAL_MACHINE): a DWORD.
const wchar_t kSettings[] = L"Software\\Lanterwell";
const wchar_t kRestoreValue[] = L"RestoreAtSignIn";
// Where the drives window was when it closed, and how large: REG_BINARY.
const wchar_t kWindowValue[] = L"Window";
// The widths the user gave the drives window's columns: REG_BINARY.
const wchar_t kColumnsValue[] = L"Columns";
// The saved drives: one REG_SZ (or REG_EXPAND_SZ) value per drive, named by its letter.
const wchar_t kDrives[] = L"Software\\Lanterwell\\Drives";
// The user's own sign-in entry, which runs lwsubst /restore.
const wchar_t kRun[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t kRunValue[] = L"Lanterwell";
// The drives for every user, which the session manager defines when Windows starts: one
// REG_SZ value per drive, named "X:", holding "\??\" and the folder. Shared by both views.
const wchar_t kMachineDrives[] =
    L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\DOS Devices";
// Which of those Lanterwell made, in the native view: "X:" = the folder it wrote there.
const wchar_t kMadeMachineDrives[] = L"Software\\Lanterwell\\MachineDrives";

} // namespace StoreKeys
