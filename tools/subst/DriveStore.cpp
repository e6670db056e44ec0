#include "tools/subst/DriveStore.h"

namespace {

const wchar_t kSettingsKey[] = L"Software\\Lanterwell";
const wchar_t kDrivesKey[] = L"Software\\Lanterwell\\Drives";
const wchar_t kRestoreValue[] = L"RestoreAtSignIn";

// Closes a key when it goes away.
class Key {
public:
    ~Key() {
        if (m_key)
            RegCloseKey(m_key);
    }
    HKEY* Receive() { return &m_key; }
    HKEY Get() const { return m_key; }

private:
    HKEY m_key = nullptr;
};

bool ValueName(int drive, wchar_t (&name)[2]) {
    if (drive < 1 || drive > 26)
        return false;
    name[0] = static_cast<wchar_t>(L'A' + drive - 1);
    name[1] = 0;
    return true;
}

} // namespace

namespace DriveStore {

bool RestoreAtSignIn() noexcept {
    Key key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_QUERY_VALUE, key.Receive()))
        return false;
    DWORD value = 0;
    DWORD size = sizeof(value);
    DWORD type = REG_NONE;
    return RegQueryValueExW(key.Get(), kRestoreValue, nullptr, &type,
                            reinterpret_cast<BYTE*>(&value), &size) == ERROR_SUCCESS &&
           type == REG_DWORD && value != 0;
}

int SetRestoreAtSignIn(bool on) noexcept {
    Key key;
    if (const LONG error = RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0,
                                           KEY_SET_VALUE, nullptr, key.Receive(), nullptr))
        return error;
    const DWORD value = on ? 1 : 0;
    return RegSetValueExW(key.Get(), kRestoreValue, 0, REG_DWORD,
                          reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

int Save(int drive, const wchar_t* folder) noexcept {
    wchar_t name[2];
    if (!ValueName(drive, name) || !folder)
        return ERROR_INVALID_PARAMETER;
    Key key;
    if (const LONG error = RegCreateKeyExW(HKEY_CURRENT_USER, kDrivesKey, 0, nullptr, 0,
                                           KEY_SET_VALUE, nullptr, key.Receive(), nullptr))
        return error;
    const DWORD bytes = static_cast<DWORD>((lstrlenW(folder) + 1) * sizeof(wchar_t));
    return RegSetValueExW(key.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(folder), bytes);
}

int Forget(int drive) noexcept {
    wchar_t name[2];
    if (!ValueName(drive, name))
        return ERROR_INVALID_PARAMETER;
    Key key;
    LONG error = RegOpenKeyExW(HKEY_CURRENT_USER, kDrivesKey, 0, KEY_SET_VALUE, key.Receive());
    if (error == ERROR_SUCCESS)
        error = RegDeleteValueW(key.Get(), name);
    return error == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : error;
}

int Saved(int drive, wchar_t* folder) noexcept {
    wchar_t name[2];
    if (!ValueName(drive, name) || !folder)
        return ERROR_INVALID_PARAMETER;
    folder[0] = 0;
    Key key;
    if (const LONG error =
            RegOpenKeyExW(HKEY_CURRENT_USER, kDrivesKey, 0, KEY_QUERY_VALUE, key.Receive()))
        return error;
    DWORD type = REG_NONE;
    DWORD size = (MAX_PATH - 1) * sizeof(wchar_t);
    const LONG error =
        RegQueryValueExW(key.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(folder), &size);
    if (error)
        return error;
    if (type != REG_SZ) {
        folder[0] = 0;
        return ERROR_INVALID_DATA;
    }
    // What the registry holds need not end in a NUL.
    folder[size / sizeof(wchar_t)] = 0;
    return 0;
}

} // namespace DriveStore
