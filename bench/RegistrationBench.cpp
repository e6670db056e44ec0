// The cost of registering and unregistering Lanterwell.dll against direct registry calls
// that write and delete the same keys and values, and the type library's own registration.
#include <windows.h>
#include <oleauto.h>
#include <string>
#include "bench/BenchSupport.h"
#include "LanterwellIds.h"

namespace {

const char kClsid[] = LANTERWELL_CLSID_SHELL_EXTENSION_TEXT;
const char kAppId[] = LANTERWELL_APPID_LANTERWELL_TEXT;
const char kLibId[] = LANTERWELL_LIBID_LANTERWELL_TEXT;
const GUID kLibraryId = LANTERWELL_LIBID_LANTERWELL_INIT;

void SetString(HKEY root, const std::string& path, const char* name, const std::string& data) {
    HKEY key = nullptr;
    RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key,
                    nullptr);
    if (name || !data.empty())
        RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                       static_cast<DWORD>(data.size() + 1));
    RegCloseKey(key);
}

// The rows registration writes, written and deleted directly, plus the type library.
void Floor(const std::string& module, const std::wstring& widePath, const std::wstring& helpDir) {
    HKEY approved = nullptr;
    RegOpenKeyExA(HKEY_LOCAL_MACHINE,
                  "Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved", 0,
                  KEY_SET_VALUE, &approved);
    RegSetValueExA(approved, kClsid, 0, REG_SZ, reinterpret_cast<const BYTE*>("Lanterwell"), 11);
    const std::string clsid = std::string("CLSID\\") + kClsid;
    SetString(HKEY_CLASSES_ROOT, std::string("AppID\\") + kAppId, nullptr, "Lanterwell");
    SetString(HKEY_CLASSES_ROOT, "AppID\\Lanterwell.DLL", "AppID", kAppId);
    SetString(HKEY_CLASSES_ROOT, "Lanterwell.ShellExtension.1", nullptr, "ShellExtension Class");
    SetString(HKEY_CLASSES_ROOT, "Lanterwell.ShellExtension.1\\CLSID", nullptr, kClsid);
    SetString(HKEY_CLASSES_ROOT, "Lanterwell.ShellExtension", nullptr, "ShellExtension Class");
    SetString(HKEY_CLASSES_ROOT, "Lanterwell.ShellExtension\\CLSID", nullptr, kClsid);
    SetString(HKEY_CLASSES_ROOT, "Lanterwell.ShellExtension\\CurVer", nullptr,
              "Lanterwell.ShellExtension.1");
    SetString(HKEY_CLASSES_ROOT, clsid, nullptr, "ShellExtension Class");
    SetString(HKEY_CLASSES_ROOT, clsid, "AppID", kAppId);
    SetString(HKEY_CLASSES_ROOT, clsid + "\\ProgID", nullptr, "Lanterwell.ShellExtension.1");
    SetString(HKEY_CLASSES_ROOT, clsid + "\\VersionIndependentProgID", nullptr,
              "Lanterwell.ShellExtension");
    SetString(HKEY_CLASSES_ROOT, clsid + "\\Programmable", nullptr, "");
    SetString(HKEY_CLASSES_ROOT, clsid + "\\InprocServer32", nullptr, module);
    SetString(HKEY_CLASSES_ROOT, clsid + "\\InprocServer32", "ThreadingModel", "Apartment");
    SetString(HKEY_CLASSES_ROOT, clsid + "\\TypeLib", nullptr, kLibId);
    SetString(HKEY_CLASSES_ROOT, "Folder\\ShellEx\\ContextMenuHandlers\\Lanterwell", nullptr,
              kClsid);
    ITypeLib* library = nullptr;
    if (SUCCEEDED(LoadTypeLib(widePath.c_str(), &library))) {
        RegisterTypeLib(library, const_cast<LPOLESTR>(widePath.c_str()),
                        const_cast<LPOLESTR>(helpDir.c_str()));
        library->Release();
    }

    RegDeleteValueA(approved, kClsid);
    RegCloseKey(approved);
    for (const std::string& key :
         {clsid + "\\InprocServer32", clsid + "\\TypeLib", clsid + "\\Programmable",
          clsid + "\\ProgID", clsid + "\\VersionIndependentProgID", clsid,
          std::string("Lanterwell.ShellExtension.1\\CLSID"),
          std::string("Lanterwell.ShellExtension.1"),
          std::string("Lanterwell.ShellExtension\\CLSID"),
          std::string("Lanterwell.ShellExtension\\CurVer"),
          std::string("Lanterwell.ShellExtension"),
          std::string("Folder\\ShellEx\\ContextMenuHandlers\\Lanterwell"),
          std::string("AppID\\Lanterwell.DLL"), std::string("AppID\\") + kAppId})
        RegDeleteKeyA(HKEY_CLASSES_ROOT, key.c_str());
    // The library is registered for the architecture it was built for.
    UnRegisterTypeLib(kLibraryId, 1, 0, 0, sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32);
}

} // namespace

int main(int argc, char** argv) {
    const bench::Options options(argc, argv);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const std::string module = bench::Folder() + "Lanterwell.dll";
    HMODULE server = LoadLibraryA(module.c_str());
    using Export = HRESULT(WINAPI*)();
    auto registerServer = reinterpret_cast<Export>(
        reinterpret_cast<void*>(GetProcAddress(server, "DllRegisterServer")));
    auto unregisterServer = reinterpret_cast<Export>(
        reinterpret_cast<void*>(GetProcAddress(server, "DllUnregisterServer")));
    if (!registerServer || !unregisterServer) {
        fprintf(stderr, "Lanterwell.dll not usable\n");
        return 1;
    }
    const std::wstring widePath(module.begin(), module.end());
    const std::wstring helpDir(widePath.substr(0, widePath.find_last_of(L'\\') + 1));
    const int rounds = options.quick ? 1 : 11;
    const int iterations = options.quick ? 2 : 20;
    HRESULT last = S_OK;
    auto run = bench::Compare(
        rounds, iterations,
        [&] {
            last = registerServer();
            if (SUCCEEDED(last))
                last = unregisterServer();
        },
        [&] { Floor(module, widePath, helpDir); });
    bench::Table table("Registration",
                       "DllRegisterServer then DllUnregisterServer; floor: the same keys and "
                       "values written and deleted directly, with RegisterTypeLib and "
                       "UnRegisterTypeLib; target: at most 1.3 × the floor.");
    table.Row("register + unregister", run, 1.3);
    if (FAILED(last))
        table.Note("Registration failed: 0x" + std::to_string(static_cast<unsigned long>(last)));
    table.Emit(options.markdown);
    return FAILED(last) ? 1 : 0;
}
