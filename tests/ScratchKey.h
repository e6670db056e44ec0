#pragma once
#include <windows.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "tests/TestSupport.h"

namespace test {

// Deletes a key with everything below it. Wide names: an ANSI name may hold a double-byte
// character whose trail byte is a backslash.
inline void DeleteTree(HKEY parent, const wchar_t* name) {
    using DeleteTreeProc = LONG(WINAPI*)(HKEY, LPCWSTR);
    static const auto deleteTree = reinterpret_cast<DeleteTreeProc>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("advapi32.dll"), "RegDeleteTreeW")));
    deleteTree(parent, name);
    if (name)
        RegDeleteKeyW(parent, name);
}

// A key of its own below HKEY_CURRENT_USER for one test, removed with everything in it.
class ScratchKey {
public:
    explicit ScratchKey(const std::string& name = CurrentTestName())
        : m_path("Software\\Lanterwell Tests\\" + name) {
        DeleteTree(HKEY_CURRENT_USER, Wide(m_path).c_str());
        RegCreateKeyExA(HKEY_CURRENT_USER, m_path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &m_key, nullptr);
    }
    ~ScratchKey() {
        RegCloseKey(m_key);
        DeleteTree(HKEY_CURRENT_USER, Wide(m_path).c_str());
    }
    ScratchKey(const ScratchKey&) = delete;
    ScratchKey& operator=(const ScratchKey&) = delete;

    HKEY Get() const { return m_key; }

    // Removes everything below the key, keeping the key itself.
    void Clear() const { DeleteTree(m_key, nullptr); }

    bool Exists(const std::string& path) const {
        HKEY key = nullptr;
        if (RegOpenKeyExA(m_key, path.c_str(), 0, KEY_READ, &key))
            return false;
        RegCloseKey(key);
        return true;
    }

    // The value's type and bytes; type REG_NONE with no bytes when there is none.
    struct Value {
        DWORD type = REG_NONE;
        std::string bytes;
        bool operator==(const Value& other) const {
            return type == other.type && bytes == other.bytes;
        }
    };
    Value Read(const std::string& path, const char* name) const {
        Value value;
        HKEY key = nullptr;
        if (RegOpenKeyExA(m_key, path.c_str(), 0, KEY_READ, &key))
            return value;
        char data[8192];
        DWORD size = sizeof(data);
        DWORD type = REG_NONE;
        if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) ==
            0) {
            value.type = type;
            value.bytes.assign(data, size);
        }
        RegCloseKey(key);
        return value;
    }
    // A string value as stored, without its terminating NUL.
    std::string String(const std::string& path, const char* name = nullptr) const {
        const Value value = Read(path, name);
        if (value.type != REG_SZ || value.bytes.empty())
            return "<none>";
        return value.bytes.substr(0, value.bytes.size() - 1);
    }

    // Everything below the key, one line a key or value, for comparing whole trees.
    std::vector<std::string> Snapshot(const std::string& path = "") const {
        std::vector<std::string> lines;
        HKEY key = nullptr;
        if (RegOpenKeyExA(m_key, path.empty() ? nullptr : path.c_str(), 0, KEY_READ, &key))
            return lines;
        for (DWORD i = 0;; ++i) {
            char name[16384];
            DWORD nameLength = sizeof(name);
            BYTE data[8192];
            DWORD size = sizeof(data);
            DWORD type = 0;
            if (RegEnumValueA(key, i, name, &nameLength, nullptr, &type, data, &size))
                break;
            lines.push_back(path + "|" + name + "|" + std::to_string(type) + "|" +
                            std::string(reinterpret_cast<char*>(data), size));
        }
        std::vector<std::string> subkeys;
        for (DWORD i = 0;; ++i) {
            char name[256];
            DWORD nameLength = sizeof(name);
            if (RegEnumKeyExA(key, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr))
                break;
            subkeys.push_back(name);
        }
        RegCloseKey(key);
        for (const std::string& subkey : subkeys) {
            const std::string child = path.empty() ? subkey : path + "\\" + subkey;
            lines.push_back(child + "\\");
            for (const std::string& line : Snapshot(child))
                lines.push_back(line);
        }
        return lines;
    }

private:
    static std::string CurrentTestName() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "";
        for (char& c : name)
            if (c == '/')
                c = '_';
        return name;
    }

    std::string m_path;
    HKEY m_key = nullptr;
};

} // namespace test
