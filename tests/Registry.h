#pragma once
#include <windows.h>
#include <string>

namespace test {

const char kClassKey[] = "CLSID\\{5B1D7E20-3C44-4A8F-9E61-2F0A7C9D4B13}";
const char kClassIdText[] = "{5B1D7E20-3C44-4A8F-9E61-2F0A7C9D4B13}";
const char kAppIdText[] = "{A7E3C915-62D0-4B7E-8F24-D19B05E6C3A8}";
const char kLibraryIdText[] = "{3E9F4C61-0B7A-4D25-A8C3-7F16E2B9D054}";
const char kApprovedKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";

inline bool KeyExists(HKEY root, const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key))
        return false;
    RegCloseKey(key);
    return true;
}

// A REG_SZ value without its NUL; "<none>" when there is none, "<type N>" for another type.
inline std::string ReadString(HKEY root, const std::string& path, const char* name = nullptr) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key))
        return "<none>";
    char data[1024] = {};
    DWORD size = sizeof(data);
    DWORD type = REG_NONE;
    const LONG result =
        RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    if (result)
        return "<none>";
    if (type != REG_SZ)
        return "<type " + std::to_string(type) + ">";
    if (size == 0 || data[size - 1] != 0)
        return "<no terminator>";
    return std::string(data, size - 1);
}

inline std::string ApprovedValue() {
    return ReadString(HKEY_LOCAL_MACHINE, kApprovedKey, kClassIdText);
}

} // namespace test
