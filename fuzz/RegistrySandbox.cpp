#include "fuzz/RegistrySandbox.h"
#include <sddl.h>
#include "tests/RegistryTree.h"

namespace fuzz {

namespace {

const wchar_t kParent[] = L"Software\\Lanterwell Fuzz";
const wchar_t kScratch[] = L"Software\\Lanterwell Fuzz\\Scratch";
const wchar_t kOutside[] = L"Software\\Lanterwell Fuzz\\Outside";

std::wstring Wide(const std::string& ansi) {
    std::wstring out(ansi.size() + 1, L'\0');
    const int units = MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), static_cast<int>(ansi.size()),
                                          &out[0], static_cast<int>(out.size()));
    out.resize(units > 0 ? units : 0);
    return out;
}

void SetAccess(const std::wstring& path, const wchar_t* sddl) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, WRITE_DAC, &key))
        return;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor,
                                                             nullptr)) {
        RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor);
        LocalFree(descriptor);
    }
    RegCloseKey(key);
}

// Deletes a tree below HKEY_CURRENT_USER by the platform's own means, links as links.
void DeleteTree(const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), REG_OPTION_OPEN_LINK, KEY_READ | DELETE,
                      &key))
        return;
    DWORD type = 0;
    const bool link =
        RegQueryValueExW(key, L"SymbolicLinkValue", nullptr, &type, nullptr, nullptr) == 0 &&
        type == REG_LINK;
    if (!link) {
        for (;;) {
            wchar_t name[256];
            DWORD length = 256;
            if (RegEnumKeyExW(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr) ||
                !name[0])
                break;
            const std::wstring child = path + L"\\" + std::wstring(name, length);
            DeleteTree(child);
            // A child that would not go ends the loop instead of spinning on it.
            HKEY still = nullptr;
            if (RegOpenKeyExW(HKEY_CURRENT_USER, child.c_str(), REG_OPTION_OPEN_LINK, KEY_READ,
                              &still) == 0) {
                RegCloseKey(still);
                break;
            }
        }
    }
    using NtDeleteKeyProc = LONG(NTAPI*)(HANDLE);
    static const auto deleteKey = reinterpret_cast<NtDeleteKeyProc>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtDeleteKey")));
    deleteKey(key);
    RegCloseKey(key);
}

void CreateKey(const std::wstring& path, const wchar_t* value = nullptr) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr))
        return;
    if (value)
        RegSetValueExW(key, value, 0, REG_SZ, reinterpret_cast<const BYTE*>(L"planted"),
                       sizeof(L"planted"));
    RegCloseKey(key);
}

} // namespace

RegistrySandbox::RegistrySandbox() {
    DeleteTree(kParent);
    CreateKey(kOutside, L"sentinel");
    CreateKey(std::wstring(kOutside) + L"\\Target\\Below", L"sentinel");
    RegCreateKeyExW(HKEY_CURRENT_USER, kScratch, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &m_scratch,
                    nullptr);
}

RegistrySandbox::~RegistrySandbox() {
    Reset({});
    RegCloseKey(m_scratch);
    DeleteTree(kParent);
}

bool RegistrySandbox::Reset(const std::vector<Plant>& plants) {
    for (const std::wstring& path : m_readOnly)
        SetAccess(path, L"D:(A;;KA;;;WD)");
    m_readOnly.clear();
    for (;;) {
        wchar_t name[256];
        DWORD length = 256;
        if (RegEnumKeyExW(m_scratch, 0, name, &length, nullptr, nullptr, nullptr, nullptr))
            break;
        const std::wstring child = std::wstring(kScratch) + L"\\" + std::wstring(name, length);
        DeleteTree(child);
        HKEY still = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, child.c_str(), REG_OPTION_OPEN_LINK, KEY_READ,
                          &still) == 0) {
            RegCloseKey(still);
            return false;
        }
    }
    for (;;) {
        wchar_t name[16384];
        DWORD length = 16384;
        if (RegEnumValueW(m_scratch, 0, name, &length, nullptr, nullptr, nullptr, nullptr))
            break;
        if (RegDeleteValueW(m_scratch, name))
            return false;
    }
    for (const Plant& plant : plants) {
        const std::wstring path = std::wstring(kScratch) + L"\\" + Wide(plant.path);
        switch (plant.kind) {
        case Plant::Key:
            CreateKey(path);
            break;
        case Plant::Value:
            CreateKey(path, Wide(plant.name).c_str());
            break;
        case Plant::ReadOnlyKey:
            CreateKey(path);
            SetAccess(path, L"D:P(A;;KRWD;;;WD)");
            m_readOnly.push_back(path);
            break;
        case Plant::Link: {
            HKEY link = nullptr;
            if (RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_CREATE_LINK,
                                KEY_ALL_ACCESS, nullptr, &link, nullptr))
                break;
            const std::wstring target =
                test::KernelPath(L"Software\\Lanterwell Fuzz\\Outside\\Target");
            RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK,
                           reinterpret_cast<const BYTE*>(target.data()),
                           static_cast<DWORD>(target.size() * sizeof(wchar_t)));
            RegCloseKey(link);
            break;
        }
        }
    }
    return true;
}

std::string RegistrySandbox::Scratch() const {
    std::string out;
    test::DumpTree(HKEY_CURRENT_USER, kScratch, out);
    return out;
}

std::string RegistrySandbox::Outside() const {
    std::string out;
    // The parent's own values and its children's names, then the whole Outside tree.
    HKEY parent = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kParent, 0, KEY_READ, &parent) == 0) {
        for (DWORD i = 0;; ++i) {
            wchar_t name[256];
            DWORD length = 256;
            if (RegEnumKeyExW(parent, i, name, &length, nullptr, nullptr, nullptr, nullptr))
                break;
            out += "child " + test::Utf8(std::wstring(name, length)) + "\n";
        }
        DWORD values = 0;
        RegQueryInfoKeyW(parent, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                         nullptr, nullptr, nullptr, nullptr);
        out += "values " + std::to_string(values) + "\n";
        RegCloseKey(parent);
    }
    test::DumpTree(HKEY_CURRENT_USER, kOutside, out);
    return out;
}

} // namespace fuzz
