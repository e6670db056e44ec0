#include "drives/DriveStore.h"
#include "drives/DosDevices.h"
#include "drives/FolderNames.h"
#include "drives/StoreKeys.h"
#include "support/DriveLetters.h"
#include "support/KeyHandle.h"
#include "support/Policy.h"
#include <strsafe.h>

namespace {

using StoreKeys::kDrives;
using StoreKeys::kRestoreValue;
using StoreKeys::kSettings;

bool ValueName(int drive, wchar_t (&name)[2]) {
    if (!DriveLetters::IsDrive(drive))
        return false;
    name[0] = DriveLetters::Letter(drive);
    name[1] = 0;
    return true;
}

// The setting under a root: 1 on, 0 off, -1 none.
int ReadSetting(HKEY root, REGSAM view) {
    KeyHandle key;
    if (key.Open(root, kSettings, KEY_QUERY_VALUE | view))
        return -1;
    DWORD value = 0;
    DWORD size = sizeof(value);
    DWORD type = REG_NONE;
    if (RegQueryValueExW(key.Get(), kRestoreValue, nullptr, &type, reinterpret_cast<BYTE*>(&value),
                         &size) != ERROR_SUCCESS ||
        type != REG_DWORD)
        return -1;
    return value != 0 ? 1 : 0;
}

} // namespace

namespace DriveStore {

Restoring RestoreSetting() noexcept {
    const Policy::Switch policy = Policy::RestoreAtSignIn();
    if (policy != Policy::Switch::NotConfigured)
        return policy == Policy::Switch::On ? Restoring::ByPolicy : Restoring::OffByPolicy;
    const int own = ReadSetting(HKEY_CURRENT_USER, 0);
    if (own >= 0)
        return own == 1 ? Restoring::ByUser : Restoring::OffByUser;
    // The setup program writes the default in the native view, which a 32-bit process on
    // 64-bit Windows reaches only by asking (32-bit Windows ignores the flag).
    return ReadSetting(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY) == 1 ? Restoring::ByMachine
                                                                 : Restoring::OffOnMachine;
}

bool RestoreAtSignIn() noexcept {
    return IsOn(RestoreSetting());
}

int SetRestoreAtSignIn(bool on) noexcept {
    KeyHandle key;
    if (const LONG error = key.Create(HKEY_CURRENT_USER, kSettings, KEY_SET_VALUE))
        return error;
    const DWORD value = on ? 1 : 0;
    return RegSetValueExW(key.Get(), kRestoreValue, 0, REG_DWORD,
                          reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

int KeepMade(int drive) noexcept {
    return RestoreAtSignIn() ? SaveMade(drive) : 0;
}

int SaveMade(int drive) noexcept {
    wchar_t folder[MAX_PATH];
    if (const int error = DosDevices::Query(drive, folder))
        return error;
    return Save(drive, folder);
}

int Save(int drive, const wchar_t* folder) noexcept {
    wchar_t name[2];
    if (!ValueName(drive, name) || !folder)
        return ERROR_INVALID_PARAMETER;
    if (!FolderNames::IsFullPath(folder))
        return ERROR_BAD_PATHNAME;
    KeyHandle key;
    if (const LONG error = key.Create(HKEY_CURRENT_USER, kDrives, KEY_SET_VALUE))
        return error;
    size_t length = 0;
    if (FAILED(StringCchLengthW(folder, MAX_PATH, &length)))
        return ERROR_FILENAME_EXCED_RANGE;
    const DWORD bytes = static_cast<DWORD>((length + 1) * sizeof(wchar_t));
    return RegSetValueExW(key.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(folder), bytes);
}

int Forget(int drive) noexcept {
    wchar_t name[2];
    if (!ValueName(drive, name))
        return ERROR_INVALID_PARAMETER;
    KeyHandle key;
    LONG error = key.Open(HKEY_CURRENT_USER, kDrives, KEY_SET_VALUE);
    if (error == ERROR_SUCCESS)
        error = RegDeleteValueW(key.Get(), name);
    return error == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : error;
}

int Saved(int drive, wchar_t* folder) noexcept {
    wchar_t name[2];
    if (!ValueName(drive, name) || !folder)
        return ERROR_INVALID_PARAMETER;
    folder[0] = 0;
    KeyHandle key;
    if (const LONG error = key.Open(HKEY_CURRENT_USER, kDrives, KEY_QUERY_VALUE))
        return error;
    DWORD type = REG_NONE;
    // Every folder a drive can map (MAX_PATH - 1 units) and its terminator, and one unit more
    // for a terminator the registry need not hold.
    wchar_t stored[MAX_PATH + 1];
    DWORD size = MAX_PATH * sizeof(wchar_t);
    const LONG error =
        RegQueryValueExW(key.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(stored), &size);
    if (error == ERROR_MORE_DATA || (!error && type != REG_SZ && type != REG_EXPAND_SZ))
        return ERROR_INVALID_DATA;
    if (error)
        return error;
    stored[size / sizeof(wchar_t)] = 0;
    if (type == REG_SZ) {
        if (FAILED(StringCchCopyW(folder, MAX_PATH, stored)))
            return ERROR_INVALID_DATA;
    } else {
        const DWORD expanded = ExpandEnvironmentStringsW(stored, folder, MAX_PATH);
        if (expanded == 0 || expanded > MAX_PATH) {
            folder[0] = 0;
            return ERROR_INVALID_DATA;
        }
    }
    // Read in the mapped form, as every drive program compares and restores it; a name that is
    // no full path stays as it was given, for the tools to show.
    wchar_t full[MAX_PATH];
    if (FolderNames::FullName(folder, FolderNames::Names::FullOnly, full, MAX_PATH))
        return ERROR_BAD_PATHNAME;
    return SUCCEEDED(StringCchCopyW(folder, MAX_PATH, full)) ? 0 : ERROR_INVALID_DATA;
}

} // namespace DriveStore
