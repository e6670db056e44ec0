#pragma once
#include <windows.h>
#include <shlobj.h>
#include "tools/shell-host/DropDataObject.h"

namespace bench {

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
