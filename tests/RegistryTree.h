#pragma once
#include <windows.h>
#include <sddl.h>
#include <string>
#include <vector>

namespace test {

// A path below HKEY_CURRENT_USER as the kernel names it, the form a symbolic link points at.
inline std::wstring KernelPath(const std::wstring& belowCurrentUser) {
    HANDLE token = nullptr;
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
    BYTE buffer[256];
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, buffer, sizeof(buffer), &size);
    CloseHandle(token);
    wchar_t* sid = nullptr;
    ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &sid);
    std::wstring path = std::wstring(L"\\REGISTRY\\USER\\") + (sid ? sid : L"") +
                        (belowCurrentUser.empty() ? L"" : L"\\" + belowCurrentUser);
    LocalFree(sid);
    return path;
}

inline std::string Utf8(const std::wstring& text) {
    std::string out(text.size() * 3 + 1, '\0');
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                          &out[0], static_cast<int>(out.size()), nullptr, nullptr);
    out.resize(bytes > 0 ? bytes : 0);
    return out;
}

// A symbolic link at a path below a root key, pointing at a kernel registry path
// ("\\REGISTRY\\..."); `view` may name the registry view the path is in.
inline bool PlantLink(HKEY root, const std::wstring& path, const std::wstring& target,
                      REGSAM view = 0) {
    HKEY link = nullptr;
    if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, REG_OPTION_CREATE_LINK,
                        KEY_ALL_ACCESS | view, nullptr, &link, nullptr))
        return false;
    const LONG set = RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK,
                                    reinterpret_cast<const BYTE*>(target.data()),
                                    static_cast<DWORD>(target.size() * sizeof(wchar_t)));
    RegCloseKey(link);
    return set == ERROR_SUCCESS;
}

// The names of a key's subkeys, however long.
inline std::vector<std::wstring> Subkeys(HKEY key) {
    std::vector<std::wstring> names;
    for (DWORD i = 0;; ++i) {
        wchar_t name[1024];
        DWORD length = 1024;
        if (RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr))
            return names;
        names.emplace_back(name, length);
    }
}

// Every key and value below a key, one line each (names in UTF-8, data in hex), read through
// the UTF-16 functions; a symbolic link is listed as a link, never followed. `view` may name
// the registry view the path is in.
inline void DumpTree(HKEY root, const std::wstring& path, std::string& out, REGSAM view = 0,
                     int depth = 0) {
    HKEY key = nullptr;
    if (depth > 80 ||
        RegOpenKeyExW(root, path.c_str(), REG_OPTION_OPEN_LINK, KEY_READ | view, &key))
        return;
    for (DWORD i = 0;; ++i) {
        wchar_t name[16384];
        DWORD nameLength = 16384;
        BYTE data[8192];
        DWORD size = sizeof(data);
        DWORD type = 0;
        if (RegEnumValueW(key, i, name, &nameLength, nullptr, &type, data, &size))
            break;
        out += Utf8(path) + "|" + Utf8(std::wstring(name, nameLength)) + "|" +
               std::to_string(type) + "|";
        for (DWORD b = 0; b < size; ++b) {
            out += "0123456789abcdef"[data[b] >> 4];
            out += "0123456789abcdef"[data[b] & 15];
        }
        out += "\n";
    }
    const std::vector<std::wstring> subkeys = Subkeys(key);
    RegCloseKey(key);
    for (const std::wstring& subkey : subkeys) {
        out += Utf8(path + L"\\" + subkey) + "\\\n";
        DumpTree(root, path + L"\\" + subkey, out, view, depth + 1);
    }
}

// Every symbolic link below a key of HKEY_LOCAL_MACHINE, one line each with its target, read
// without following any: the registry's 32-bit view keeps its links of the platform's own
// below "Software\Wow6432Node" and "Software\Classes\Wow6432Node".
inline void ListLinks(const std::wstring& path, std::string& out, int depth = 0) {
    HKEY key = nullptr;
    if (depth > 16 || RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), REG_OPTION_OPEN_LINK,
                                    KEY_READ | KEY_WOW64_64KEY, &key))
        return;
    wchar_t target[1024];
    DWORD size = sizeof(target);
    DWORD type = REG_NONE;
    const bool link = RegQueryValueExW(key, L"SymbolicLinkValue", nullptr, &type,
                                       reinterpret_cast<BYTE*>(target), &size) == 0 &&
                      type == REG_LINK;
    const std::vector<std::wstring> subkeys = link ? std::vector<std::wstring>() : Subkeys(key);
    RegCloseKey(key);
    if (link)
        out += Utf8(path) + " -> " + Utf8(std::wstring(target, size / sizeof(wchar_t))) + "\n";
    for (const std::wstring& subkey : subkeys)
        ListLinks(path + L"\\" + subkey, out, depth + 1);
}

inline std::string PlatformLinks() {
    std::string out;
    ListLinks(L"Software\\Wow6432Node", out);
    ListLinks(L"Software\\Classes\\Wow6432Node", out);
    return out;
}

} // namespace test
