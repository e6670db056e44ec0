#pragma once
#include <windows.h>
#include <shlobj.h>
#include <string>
#include "tests/hosts/shell-host/DropDataObject.h"
#include "LanterwellIds.h"

namespace bench {

// The class object of the Lanterwell.dll in a folder, loaded for the rest of the run; null
// when the DLL is not usable.
inline IClassFactory* ShellExtensionClassObject(const std::string& folder) {
    static const CLSID shellExtension = LANTERWELL_CLSID_SHELL_EXTENSION_INIT;
    HMODULE server = LoadLibraryA((folder + "Lanterwell.dll").c_str());
    using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    auto getClassObject = reinterpret_cast<GetClassObject>(
        reinterpret_cast<void*>(GetProcAddress(server, "DllGetClassObject")));
    IClassFactory* factory = nullptr;
    if (!getClassObject || FAILED(getClassObject(shellExtension, IID_IClassFactory,
                                                 reinterpret_cast<void**>(&factory))))
        return nullptr;
    return factory;
}

// One context menu as the shell makes it, with the class object already cached: a new
// object, the selection, the menu, the help texts asked for, and everything released.
inline void MenuCycle(IClassFactory* factory, host::DropDataObject& data, UINT helpTexts) {
    IShellExtInit* init = nullptr;
    factory->CreateInstance(nullptr, IID_IShellExtInit, reinterpret_cast<void**>(&init));
    init->Initialize(nullptr, &data, nullptr);
    IContextMenu* menu = nullptr;
    init->QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(&menu));
    HMENU shellMenu = CreatePopupMenu();
    menu->QueryContextMenu(shellMenu, 0, 1, 0x7FFF, CMF_NORMAL);
    char ansi[256];
    wchar_t wide[256];
    for (UINT offset = 0; offset < helpTexts; ++offset) {
        menu->GetCommandString(offset, GCS_HELPTEXTA, nullptr, ansi, 256);
        menu->GetCommandString(offset, GCS_HELPTEXTW, nullptr, reinterpret_cast<CHAR*>(wide), 256);
    }
    menu->Release();
    init->Release();
    DestroyMenu(shellMenu);
}

} // namespace bench
