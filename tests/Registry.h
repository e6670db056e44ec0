#pragma once
#include <windows.h>
#include <string>
#include "LanterwellIds.h"

namespace test {

// The published identifiers, as the build writes them out from its one list.
const char kClassIdText[] = LANTERWELL_CLSID_SHELL_EXTENSION_TEXT;
const char kClassKey[] = "CLSID\\" LANTERWELL_CLSID_SHELL_EXTENSION_TEXT;
const char kAppIdText[] = LANTERWELL_APPID_LANTERWELL_TEXT;
const char kLibraryIdText[] = LANTERWELL_LIBID_LANTERWELL_TEXT;
const char kInterfaceIdText[] = LANTERWELL_IID_ISHELL_EXTENSION_TEXT;
const CLSID kShellExtensionClass = LANTERWELL_CLSID_SHELL_EXTENSION_INIT;
const CLSID kExplorerCommandClass = LANTERWELL_CLSID_EXPLORER_COMMAND_INIT;
const CLSID kExplorerDeleteCommandClass = LANTERWELL_CLSID_EXPLORER_DELETE_COMMAND_INIT;
const GUID kLibraryId = LANTERWELL_LIBID_LANTERWELL_INIT;
const GUID kInterfaceId = LANTERWELL_IID_ISHELL_EXTENSION_INIT;
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
