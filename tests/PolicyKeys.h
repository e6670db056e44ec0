#pragma once
// The administrator's policies for Lanterwell, set for one test and gone after it, in both
// scopes, as Group Policy writes them (in the native view).
#include <windows.h>
#include <string>
#include <vector>
#include "support/Policy.h"
#include "tests/ScratchKey.h"

namespace test {

class PolicyKeys {
public:
    PolicyKeys() { Clear(); }
    ~PolicyKeys() { Clear(); }
    PolicyKeys(const PolicyKeys&) = delete;
    PolicyKeys& operator=(const PolicyKeys&) = delete;

    static void Set(HKEY root, const wchar_t* name, DWORD type, const void* data, DWORD size) {
        HKEY key = nullptr;
        RegCreateKeyExW(root, Policy::kKey, 0, nullptr, 0, KEY_SET_VALUE | kNative, nullptr, &key,
                        nullptr);
        RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size);
        RegCloseKey(key);
    }
    static void Set(HKEY root, const wchar_t* name, DWORD value) {
        Set(root, name, REG_DWORD, &value, sizeof(value));
    }
    // The list as Group Policy writes it: values "1", "2", ... each holding one entry.
    static void Reserve(HKEY root, const std::vector<std::wstring>& entries) {
        const std::wstring path = std::wstring(Policy::kKey) + L"\\" + Policy::kReservedLettersKey;
        HKEY key = nullptr;
        RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE | kNative, nullptr, &key,
                        nullptr);
        for (size_t i = 0; i < entries.size(); ++i)
            RegSetValueExW(key, std::to_wstring(i + 1).c_str(), 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(entries[i].c_str()),
                           static_cast<DWORD>((entries[i].size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }
    static void Clear() {
        const std::wstring key = Policy::kKey;
        const size_t split = key.rfind(L'\\');
        for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
            HKEY policies = nullptr;
            if (RegOpenKeyExW(root, key.substr(0, split).c_str(), 0, KEY_ALL_ACCESS | kNative,
                              &policies) != ERROR_SUCCESS)
                continue;
            DeleteTree(policies, key.substr(split + 1).c_str());
            RegCloseKey(policies);
        }
    }

private:
    // Where Group Policy writes them, which a 32-bit program reaches only by asking.
    static const REGSAM kNative = KEY_WOW64_64KEY;
};

} // namespace test
