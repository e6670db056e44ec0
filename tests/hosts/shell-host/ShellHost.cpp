// Drives Lanterwell.dll as the shell does: makes the handler, hands it a CF_HDROP of the
// given paths, builds a context menu and prints it; optionally runs one of its commands.
//
// Message boxes that the handler shows are printed and closed.
//
// usage: shell-host [--cocreate] [--explorer-command] [--shift] [--hold-until FILE] PATH...
//                   [--invoke LETTER|delete]
//   --cocreate  reach the class through CoCreateInstance (needs the DLL registered);
//               otherwise through DllGetClassObject of the Lanterwell.dll beside this program
//   --explorer-command  drive the Explorer command (Windows 11's compact menu) for one path
//               instead, given as the shell item array Explorer builds
//   --shift     hold Shift while the command runs
//   --hold-until FILE  keep the object, and so the DLL, loaded until FILE exists (at most ten
//               minutes), as Explorer keeps a handler's DLL loaded
#include <windows.h>
#include <shlobj.h>
#include <stdio.h>
#include <stdlib.h>
#include <string>
#include <vector>
#include "tests/hosts/shell-host/DropDataObject.h"
#include "tests/hosts/shell-host/HostSupport.h"
#include "extension/CommandOffsets.h"
#include "LanterwellIds.h"

namespace {

using host::Utf8;

const CLSID kShellExtensionClass = LANTERWELL_CLSID_SHELL_EXTENSION_INIT;
const UINT kFirstId = 1;
const UINT kLastId = 0x7FFF;

void PrintMenu(HMENU menu, IContextMenu* handler, int depth) {
    const int count = GetMenuItemCount(menu);
    for (int position = 0; position < count; ++position) {
        wchar_t text[256] = {};
        MENUITEMINFOA info = {};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_ID | MIIM_SUBMENU;
        GetMenuItemInfoA(menu, position, TRUE, &info);
        GetMenuStringW(menu, position, text, 256, MF_BYPOSITION);
        printf("%*s[%d] id %-3u %s", depth * 4, "", position, info.wID, Utf8(text).c_str());
        if (info.wID >= kFirstId && info.wID != 0) {
            wchar_t help[256] = {};
            if (handler->GetCommandString(info.wID - kFirstId, GCS_HELPTEXTW, nullptr,
                                          reinterpret_cast<CHAR*>(help), 256) == S_OK &&
                help[0])
                printf("    -- %s", Utf8(help).c_str());
        }
        printf("\n");
        if (info.hSubMenu)
            PrintMenu(info.hSubMenu, handler, depth + 1);
    }
}

int Usage() {
    fprintf(stderr, "usage: shell-host [--cocreate] [--explorer-command] [--shift] "
                    "[--hold-until FILE] PATH... [--invoke LETTER|delete]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    bool cocreate = false;
    bool shift = false;
    bool explorerCommand = false;
    std::string holdUntil;
    std::string invoke;
    std::vector<std::string> paths;
    int lastPath = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--cocreate")
            cocreate = true;
        else if (argument == "--shift")
            shift = true;
        else if (argument == "--explorer-command")
            explorerCommand = true;
        else if (argument == "--hold-until" && i + 1 < argc)
            holdUntil = argv[++i];
        else if (argument == "--invoke" && i + 1 < argc)
            invoke = argv[++i];
        else if (argument.compare(0, 2, "--") == 0)
            return Usage();
        else {
            paths.push_back(argument);
            lastPath = i;
        }
    }
    if (paths.empty())
        return Usage();

    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (shift)
        host::HoldShift();
    if (explorerCommand) {
        // The path as the command line has it in UTF-16: any name the file system holds.
        int count = 0;
        wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
        if (paths.size() != 1 || !wide || count != argc)
            return Usage();
        const int status = host::RunExplorerCommand(cocreate, wide[lastPath], invoke);
        LocalFree(wide);
        CoUninitialize();
        return status;
    }
    IShellExtInit* init = nullptr;
    HRESULT result = host::MakeObject(cocreate, kShellExtensionClass, IID_IShellExtInit,
                                      reinterpret_cast<void**>(&init));
    if (FAILED(result)) {
        fprintf(stderr, "cannot make the handler: 0x%08lX\n", result);
        return 1;
    }
    host::PrintServer();
    host::DropDataObject data(paths);
    result = init->Initialize(nullptr, &data, nullptr);
    printf("Initialize: 0x%08lX\n", result);

    IContextMenu* menu = nullptr;
    init->QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(&menu));
    HMENU shellMenu = CreatePopupMenu();
    result = menu->QueryContextMenu(shellMenu, 0, kFirstId, kLastId, CMF_NORMAL);
    printf("QueryContextMenu: 0x%08lX (%ld identifiers)\n", result, HRESULT_CODE(result));
    PrintMenu(shellMenu, menu, 0);

    int status = 0;
    if (!invoke.empty()) {
        UINT offset = kDeleteOffset;
        if (invoke != "delete") {
            const char letter = static_cast<char>(invoke[0] & ~0x20);
            if (letter < 'A' || letter > 'Z')
                return Usage();
            offset = static_cast<UINT>(letter - 'A');
        }
        const host::BoxCloser boxes;
        CMINVOKECOMMANDINFO info = {};
        info.cbSize = sizeof(info);
        info.lpVerb = MAKEINTRESOURCEA(offset);
        info.nShow = SW_SHOWNORMAL;
        result = menu->InvokeCommand(&info);
        printf("InvokeCommand(%u): 0x%08lX\n", offset, result);
        status = FAILED(result) ? 1 : 0;
    }
    fflush(stdout);
    if (!holdUntil.empty())
        host::WaitForFile(holdUntil.c_str());
    DestroyMenu(shellMenu);
    menu->Release();
    init->Release();
    CoUninitialize();
    return status;
}
