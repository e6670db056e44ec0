// Writes what the server's own registration writes, without touching the machine's registry:
// the registry's root keys are redirected into a private tree (RegOverridePredefKey), the
// DLL's DllRegisterServer runs there, and the tree is printed one line a value, for the
// Windows Installer package's rows. Only the DLL's own registration decides them.
//
// usage: Harvest DLL > rows.txt
// The first line: "MODULE" TAB the DLL's full name, as its registration wrote it. Then a line a
// value: ROOT TAB KEY TAB NAME TAB TYPE TAB DATA, ROOT one of HKCR HKLM HKCU; NAME empty for
// the default value; TYPE one of key (a key without values), string, expandable, integer,
// binary, multi; DATA as text (binary in hex, a list's strings joined by "[~]"). Last, a line
// a key that the DLL's own unregistration keeps (the shared keys it writes below):
// "KEEP" TAB ROOT TAB KEY.
#include <windows.h>
#include <oleauto.h>
#include <stdio.h>
#include <string>
#include <vector>

namespace {

const wchar_t kPrivate[] = L"Software\\Lanterwell Harvest";

struct Root {
    HKEY predefined;
    const char* name;
};
const Root kRoots[] = {
    {HKEY_CLASSES_ROOT, "HKCR"},
    {HKEY_LOCAL_MACHINE, "HKLM"},
    {HKEY_CURRENT_USER, "HKCU"},
};

// The keys registration opens but never creates, as Windows has them.
const wchar_t* const kMachineKeys[] = {
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved",
};

std::string Utf8(const std::wstring& text) {
    std::string out(text.size() * 3 + 1, '\0');
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                          &out[0], static_cast<int>(out.size()), nullptr, nullptr);
    out.resize(bytes > 0 ? bytes : 0);
    return out;
}

std::wstring Data(DWORD type, const std::vector<BYTE>& bytes, const char*& kind) {
    const wchar_t* text = reinterpret_cast<const wchar_t*>(bytes.data());
    const size_t units = bytes.size() / sizeof(wchar_t);
    switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
        kind = type == REG_SZ ? "string" : "expandable";
        return std::wstring(text, units && !text[units - 1] ? units - 1 : units);
    case REG_DWORD:
        kind = "integer";
        return std::to_wstring(*reinterpret_cast<const DWORD*>(bytes.data()));
    case REG_MULTI_SZ: {
        kind = "multi";
        std::wstring joined;
        for (const wchar_t* at = text; at < text + units && *at; at += lstrlenW(at) + 1)
            joined += (joined.empty() ? L"" : L"[~]") + std::wstring(at);
        return joined;
    }
    default: {
        kind = "binary";
        std::wstring hex;
        for (BYTE b : bytes) {
            hex += L"0123456789ABCDEF"[b >> 4];
            hex += L"0123456789ABCDEF"[b & 15];
        }
        return hex;
    }
    }
}

using Lines = std::vector<std::string>;

void Collect(HKEY key, const char* root, const std::wstring& path, Lines& lines) {
    DWORD values = 0;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr,
                     nullptr, nullptr, nullptr);
    for (DWORD i = 0; i < values; ++i) {
        wchar_t name[16384];
        DWORD length = ARRAYSIZE(name);
        DWORD type = 0;
        DWORD size = 0;
        if (RegEnumValueW(key, i, name, &length, nullptr, &type, nullptr, &size))
            continue;
        std::vector<BYTE> bytes(size + sizeof(wchar_t));
        length = ARRAYSIZE(name);
        if (RegEnumValueW(key, i, name, &length, nullptr, &type, bytes.data(), &size))
            continue;
        bytes.resize(size);
        const char* kind = "";
        const std::wstring data = Data(type, bytes, kind);
        lines.push_back(std::string(root) + "\t" + Utf8(path) + "\t" + Utf8(name) + "\t" + kind +
                        "\t" + Utf8(data));
    }
    DWORD subkeys = 0;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr,
                     nullptr, nullptr, nullptr);
    if (!values && !subkeys && !path.empty())
        lines.push_back(std::string(root) + "\t" + Utf8(path) + "\t\tkey\t");
    for (DWORD i = 0; i < subkeys; ++i) {
        wchar_t name[256];
        DWORD length = ARRAYSIZE(name);
        if (RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr))
            continue;
        HKEY child = nullptr;
        if (RegOpenKeyExW(key, name, 0, KEY_READ, &child))
            continue;
        Collect(child, root, path.empty() ? name : path + L"\\" + name, lines);
        RegCloseKey(child);
    }
}

// Whether a key below the private tree still holds something, values or subkeys.
bool Holds(HKEY key) {
    DWORD values = 0;
    DWORD subkeys = 0;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                     nullptr, nullptr, nullptr);
    return values || subkeys;
}

void Redirect(const HKEY (&trees)[ARRAYSIZE(kRoots)]) {
    for (size_t i = 0; i < ARRAYSIZE(kRoots); ++i)
        RegOverridePredefKey(kRoots[i].predefined, trees[i]);
}

// Rows of every root of the private tree that holds something.
void CollectAll(const HKEY (&trees)[ARRAYSIZE(kRoots)], Lines& lines) {
    for (size_t i = 0; i < ARRAYSIZE(kRoots); ++i) {
        if (Holds(trees[i]))
            Collect(trees[i], kRoots[i].name, L"", lines);
    }
}

bool Nothing() {
    return true;
}

// The private tree, made afresh with the keys registration expects, the root keys redirected
// into it while `step` runs; its rows after. Then, in the same tree, `undo`; the keys it
// leaves, in `kept`.
template <typename Step, typename Undo = bool (*)()>
bool Harvest(Step step, Lines& lines, Undo undo = Nothing, Lines* kept = nullptr) {
    using DeleteTree = LONG(WINAPI*)(HKEY, LPCWSTR);
    const auto deleteTree = reinterpret_cast<DeleteTree>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("advapi32.dll"), "RegDeleteTreeW")));
    deleteTree(HKEY_CURRENT_USER, kPrivate);
    HKEY trees[ARRAYSIZE(kRoots)] = {};
    for (size_t i = 0; i < ARRAYSIZE(kRoots); ++i) {
        const std::wstring path =
            std::wstring(kPrivate) + L"\\" + std::wstring(kRoots[i].name, kRoots[i].name + 4);
        RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &trees[i], nullptr);
    }
    for (const wchar_t* key : kMachineKeys) {
        HKEY made = nullptr;
        RegCreateKeyExW(trees[1], key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &made, nullptr);
        RegCloseKey(made);
    }
    const HKEY none[ARRAYSIZE(kRoots)] = {};
    Redirect(trees);
    bool done = step();
    Redirect(none);
    if (done)
        CollectAll(trees, lines);
    if (done && kept) {
        Redirect(trees);
        done = undo();
        Redirect(none);
        if (done)
            CollectAll(trees, *kept);
    }
    for (HKEY tree : trees)
        RegCloseKey(tree);
    deleteTree(HKEY_CURRENT_USER, kPrivate);
    return done;
}

// A row's root and key.
std::string KeyOf(const std::string& line) {
    return line.substr(0, line.find('\t', line.find('\t') + 1));
}

// A row's root, key and name: what identifies the value it writes.
std::string Place(const std::string& line) {
    size_t at = line.find('\t');
    at = line.find('\t', at + 1);
    return line.substr(0, line.find('\t', at + 1));
}

using ServerProc = HRESULT(STDAPICALLTYPE*)();

ServerProc Export(HMODULE server, const char* name) {
    return server
               ? reinterpret_cast<ServerProc>(reinterpret_cast<void*>(GetProcAddress(server, name)))
               : nullptr;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: Harvest DLL\n");
        return 2;
    }
    const HMODULE server = LoadLibraryW(argv[1]);
    const auto registerServer = Export(server, "DllRegisterServer");
    const auto unregisterServer = Export(server, "DllUnregisterServer");
    Lines everything;
    Lines kept;
    if (!registerServer || !unregisterServer ||
        !Harvest([&] { return SUCCEEDED(registerServer()); }, everything,
                 [&] { return SUCCEEDED(unregisterServer()); }, &kept)) {
        fprintf(stderr, "Harvest: the registration failed\n");
        return 1;
    }
    // What the type library's own registration writes is the package's TypeLib table's to
    // write, by the same platform call.
    Lines library;
    TLIBATTR attributes = {};
    const bool registered = Harvest(
        [&] {
            ITypeLib* typeLibrary = nullptr;
            if (FAILED(LoadTypeLibEx(argv[1], REGKIND_REGISTER, &typeLibrary)))
                return false;
            TLIBATTR* read = nullptr;
            if (SUCCEEDED(typeLibrary->GetLibAttr(&read))) {
                attributes = *read;
                typeLibrary->ReleaseTLibAttr(read);
            }
            typeLibrary->Release();
            return true;
        },
        library);
    if (!registered) {
        fprintf(stderr, "Harvest: the type library's registration failed\n");
        return 1;
    }
    wchar_t module[MAX_PATH] = {};
    GetModuleFileNameW(server, module, MAX_PATH);
    printf("MODULE\t%s\n", Utf8(module).c_str());
    wchar_t libraryId[40] = {};
    StringFromGUID2(attributes.guid, libraryId, ARRAYSIZE(libraryId));
    printf("TYPELIB\t%s\t%u\t%u\t%lu\n", Utf8(libraryId).c_str(), attributes.wMajorVerNum,
           attributes.wMinorVerNum, static_cast<unsigned long>(attributes.lcid));
    for (const std::string& line : everything) {
        bool fromLibrary = false;
        for (const std::string& written : library)
            fromLibrary = fromLibrary || Place(written) == Place(line);
        if (!fromLibrary)
            printf("%s\n", line.c_str());
    }
    for (const std::string& line : kept)
        printf("KEEP\t%s\n", KeyOf(line).c_str());
    return 0;
}
