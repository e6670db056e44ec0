#include "fuzz/RegistrySandbox.h"
#include <sddl.h>
#include "support/Platform.h"
#include "tests/RegistryTree.h"

namespace fuzz {

const Place kHome = {
    "HKCU { NoRemove Software { NoRemove 'Lanterwell Fuzz' { NoRemove Scratch { %s\r\n} } } }\r\n",
    HKEY_CURRENT_USER, L"Software\\Lanterwell Fuzz", nullptr};

const Place kViewPlaces[4] = {
    {"HKCR { NoRemove 'Lanterwell Fuzz' { NoRemove Scratch { %s\r\n} } }\r\n", HKEY_LOCAL_MACHINE,
     L"Software\\Classes\\Lanterwell Fuzz", nullptr},
    {"HKLM { NoRemove Software { NoRemove Classes { NoRemove CLSID { NoRemove 'Lanterwell Fuzz' { "
     "NoRemove Scratch { %s\r\n} } } } } }\r\n",
     HKEY_LOCAL_MACHINE, L"Software\\Classes\\Wow6432Node\\CLSID\\Lanterwell Fuzz",
     L"Software\\Classes\\CLSID\\Lanterwell Fuzz"},
    {"HKCR { NoRemove Interface { NoRemove 'Lanterwell Fuzz' { NoRemove Scratch { %s\r\n} } } "
     "}\r\n",
     HKEY_LOCAL_MACHINE, L"Software\\Classes\\Wow6432Node\\Interface\\Lanterwell Fuzz",
     L"Software\\Classes\\Interface\\Lanterwell Fuzz"},
    {"HKLM { NoRemove Software { NoRemove 'Lanterwell Fuzz' { NoRemove Scratch { %s\r\n} } } }\r\n",
     HKEY_LOCAL_MACHINE, L"Software\\Wow6432Node\\Lanterwell Fuzz", L"Software\\Lanterwell Fuzz"},
};

const Place kViewNodePlace = {
    "HKCU { NoRemove Software { NoRemove 'Lanterwell Fuzz View' { NoRemove Wow6432Node { NoRemove "
    "Scratch { %s\r\n} } } } }\r\n",
    HKEY_CURRENT_USER, L"Software\\Lanterwell Fuzz View\\Wow6432Node",
    L"Software\\Lanterwell Fuzz View"};

namespace {

std::wstring Wide(const std::string& ansi) {
    std::wstring out(ansi.size() + 1, L'\0');
    const int units = MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), static_cast<int>(ansi.size()),
                                          &out[0], static_cast<int>(out.size()));
    out.resize(units > 0 ? units : 0);
    return out;
}

// The registry's own operations on keys named as the 64-bit view names them.
class Keys {
public:
    Keys(HKEY root, REGSAM view) : m_root(root), m_view(view) {}

    HKEY Open(const std::wstring& path, REGSAM access, DWORD options = 0) const {
        HKEY key = nullptr;
        return RegOpenKeyExW(m_root, path.c_str(), options, access | m_view, &key) ? nullptr : key;
    }
    HKEY Create(const std::wstring& path, DWORD options = 0) const {
        HKEY key = nullptr;
        return RegCreateKeyExW(m_root, path.c_str(), 0, nullptr, options, KEY_ALL_ACCESS | m_view,
                               nullptr, &key, nullptr)
                   ? nullptr
                   : key;
    }
    bool Exists(const std::wstring& path) const {
        const HKEY key = Open(path, KEY_READ, REG_OPTION_OPEN_LINK);
        if (key)
            RegCloseKey(key);
        return key != nullptr;
    }
    void SetAccess(const std::wstring& path, const wchar_t* sddl) const {
        const HKEY key = Open(path, WRITE_DAC);
        if (!key)
            return;
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        if (ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor,
                                                                 nullptr)) {
            RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor);
            LocalFree(descriptor);
        }
        RegCloseKey(key);
    }
    void CreateKey(const std::wstring& path, const wchar_t* value = nullptr) const {
        const HKEY key = Create(path);
        if (!key)
            return;
        if (value)
            RegSetValueExW(key, value, 0, REG_SZ, reinterpret_cast<const BYTE*>(L"planted"),
                           sizeof(L"planted"));
        RegCloseKey(key);
    }
    void CreateLink(const std::wstring& path, const std::wstring& target) const {
        test::PlantLink(m_root, path, target, m_view);
    }
    // Deletes a tree by the platform's own means, links as links.
    void DeleteTree(const std::wstring& path) const {
        const HKEY key = Open(path, KEY_READ | DELETE, REG_OPTION_OPEN_LINK);
        if (!key)
            return;
        DWORD type = 0;
        const bool link =
            RegQueryValueExW(key, L"SymbolicLinkValue", nullptr, &type, nullptr, nullptr) == 0 &&
            type == REG_LINK;
        for (std::wstring child; !link && FirstChild(key, path, child);) {
            DeleteTree(child);
            // A child that would not go ends the loop instead of spinning on it.
            if (Exists(child))
                break;
        }
        using NtDeleteKeyProc = LONG(NTAPI*)(HANDLE);
        static const auto deleteKey = reinterpret_cast<NtDeleteKeyProc>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtDeleteKey")));
        deleteKey(key);
        RegCloseKey(key);
    }
    static bool FirstChild(HKEY key, const std::wstring& path, std::wstring& child) {
        wchar_t name[1024];
        DWORD length = 1024;
        if (RegEnumKeyExW(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr) || !name[0])
            return false;
        child = path + L"\\" + std::wstring(name, length);
        return true;
    }

private:
    HKEY m_root;
    REGSAM m_view;
};

// The root as the kernel names it, the form a symbolic link points at.
std::wstring KernelPath(HKEY root, const std::wstring& path) {
    return root == HKEY_LOCAL_MACHINE ? L"\\REGISTRY\\MACHINE\\" + path : test::KernelPath(path);
}

} // namespace

RegistrySandbox::RegistrySandbox(const Place& place)
    : m_place(place), m_view(Platform::IsWow64() ? KEY_WOW64_64KEY : 0),
      m_scratch(std::wstring(place.parent) + L"\\Scratch"),
      m_twinScratch(place.twin ? std::wstring(place.twin) + L"\\Scratch" : std::wstring()),
      m_outside(std::wstring(place.parent) + L"\\Outside") {
    const Keys keys(place.root, m_view);
    keys.DeleteTree(place.parent);
    if (place.twin)
        keys.DeleteTree(place.twin);
    keys.CreateKey(m_outside, L"sentinel");
    keys.CreateKey(m_outside + L"\\Target\\Below", L"sentinel");
    keys.CreateKey(m_scratch);
}

RegistrySandbox::~RegistrySandbox() {
    Reset({});
    const Keys keys(m_place.root, m_view);
    keys.DeleteTree(m_place.parent);
    if (m_place.twin)
        keys.DeleteTree(m_place.twin);
}

bool RegistrySandbox::Empty(const std::wstring& scratch) {
    const Keys keys(m_place.root, m_view);
    const HKEY key = keys.Open(scratch, KEY_ALL_ACCESS);
    if (!key)
        return false;
    bool emptied = true;
    for (std::wstring child; emptied && Keys::FirstChild(key, scratch, child);) {
        keys.DeleteTree(child);
        emptied = !keys.Exists(child);
    }
    for (;;) {
        wchar_t name[16384];
        DWORD length = 16384;
        if (!emptied || RegEnumValueW(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr))
            break;
        emptied = RegDeleteValueW(key, name) == ERROR_SUCCESS;
    }
    RegCloseKey(key);
    return emptied;
}

void RegistrySandbox::PlantAll(const std::wstring& scratch, const std::vector<Plant>& plants,
                               bool inTwin) {
    const Keys keys(m_place.root, m_view);
    for (const Plant& plant : plants) {
        const std::wstring path = scratch + L"\\" + Wide(plant.path);
        switch (plant.kind) {
        case Plant::Key:
            keys.CreateKey(path);
            break;
        case Plant::Value:
            keys.CreateKey(path, Wide(plant.name).c_str());
            break;
        case Plant::ReadOnlyKey:
            keys.CreateKey(path);
            keys.SetAccess(path, L"D:P(A;;KRWD;;;WD)");
            m_readOnly.push_back(path);
            break;
        case Plant::TwinLink:
            if (inTwin) {
                keys.CreateKey(path, L"sentinel");
                break;
            }
            if (!m_twinScratch.empty()) {
                keys.CreateLink(path,
                                KernelPath(m_place.root, m_twinScratch + L"\\" + Wide(plant.path)));
                break;
            }
            // Without a twin, a link like any other.
            [[fallthrough]];
        case Plant::Link:
            keys.CreateLink(path, KernelPath(m_place.root, m_outside + L"\\Target"));
            break;
        }
    }
}

bool RegistrySandbox::Reset(const std::vector<Plant>& plants) {
    const Keys keys(m_place.root, m_view);
    for (const std::wstring& path : m_readOnly)
        keys.SetAccess(path, L"D:(A;;KA;;;WD)");
    m_readOnly.clear();
    if (!m_twinScratch.empty()) {
        keys.CreateKey(m_twinScratch);
        if (!Empty(m_twinScratch))
            return false;
        PlantAll(m_twinScratch, plants, true);
    }
    if (!Empty(m_scratch))
        return false;
    PlantAll(m_scratch, plants, false);
    return true;
}

std::string RegistrySandbox::Scratch() const {
    std::string out;
    test::DumpTree(m_place.root, m_scratch, out, m_view);
    return out;
}

std::string RegistrySandbox::Outside() const {
    std::string out;
    // The parent's own values and its children's names, then the whole Outside tree.
    const Keys keys(m_place.root, m_view);
    if (const HKEY parent = keys.Open(m_place.parent, KEY_READ)) {
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
    test::DumpTree(m_place.root, m_outside, out, m_view);
    // Only the twin's scratch key: the twin may hold the place itself.
    if (!m_twinScratch.empty())
        test::DumpTree(m_place.root, m_twinScratch, out, m_view);
    return out;
}

} // namespace fuzz
