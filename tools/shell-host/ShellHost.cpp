// Drives Lanterwell.dll as the shell does: makes the handler, hands it a CF_HDROP of the
// given paths, builds a context menu and prints it; optionally runs one of its commands.
//
// Message boxes that the handler shows are printed and closed.
//
// usage: shell-host [--cocreate] [--shift] [--hold MS] PATH... [--invoke LETTER|delete]
//   --cocreate  reach the class through CoCreateInstance (needs the DLL registered);
//               otherwise through DllGetClassObject of the Lanterwell.dll beside this program
//   --shift     hold Shift while the command runs
//   --hold MS   keep the object, and so the DLL, loaded this long before leaving, as Explorer
//               keeps a handler's DLL loaded
#include <windows.h>
#include <shlobj.h>
#include <stdio.h>
#include <stdlib.h>
#include <string>
#include <vector>
#include "tools/shell-host/DropDataObject.h"

namespace {

const CLSID kShellExtensionClass = {
    0x5B1D7E20, 0x3C44, 0x4A8F, {0x9E, 0x61, 0x2F, 0x0A, 0x7C, 0x9D, 0x4B, 0x13}};
const UINT kFirstId = 1;
const UINT kLastId = 0x7FFF;

// Menu texts are ANSI in the process's code page; the terminal wants UTF-8.
std::string Utf8(const wchar_t* text) {
    char buffer[1024];
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, buffer, sizeof(buffer), 0, 0);
    return bytes > 0 ? std::string(buffer, bytes - 1) : std::string();
}

std::string Utf8FromAnsi(const char* text) {
    wchar_t wide[512];
    return MultiByteToWideChar(CP_ACP, 0, text, -1, wide, 512) ? Utf8(wide) : std::string();
}

void PrintMenu(HMENU menu, IContextMenu* handler, int depth) {
    const int count = GetMenuItemCount(menu);
    for (int position = 0; position < count; ++position) {
        char text[256] = {};
        MENUITEMINFOA info = {};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_ID | MIIM_SUBMENU;
        GetMenuItemInfoA(menu, position, TRUE, &info);
        GetMenuStringA(menu, position, text, sizeof(text), MF_BYPOSITION);
        printf("%*s[%d] id %-3u %s", depth * 4, "", position, info.wID, Utf8FromAnsi(text).c_str());
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

// A console host has nobody to click a message box away: print it and close it.
LRESULT CALLBACK CloseMessageBoxes(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE) {
        HWND box = reinterpret_cast<HWND>(wParam);
        char className[32] = {};
        GetClassNameA(box, className, sizeof(className));
        if (lstrcmpA(className, "#32770") == 0) {
            char caption[256] = {};
            char text[512] = {};
            GetWindowTextA(box, caption, sizeof(caption));
            GetDlgItemTextA(box, 0xFFFF, text, sizeof(text));
            printf("message box [%s] %s\n", Utf8FromAnsi(caption).c_str(),
                   Utf8FromAnsi(text).c_str());
            PostMessageA(box, WM_COMMAND, IDOK, 0);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

HRESULT MakeHandler(bool cocreate, IShellExtInit** handler) {
    if (cocreate)
        return CoCreateInstance(kShellExtensionClass, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IShellExtInit, reinterpret_cast<void**>(handler));
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    while (length > 0 && path[length - 1] != '\\')
        --length;
    lstrcpynA(path + length, "Lanterwell.dll", MAX_PATH - length);
    HMODULE server = LoadLibraryA(path);
    if (!server)
        return HRESULT_FROM_WIN32(GetLastError());
    using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    auto getClassObject = reinterpret_cast<GetClassObject>(
        reinterpret_cast<void*>(GetProcAddress(server, "DllGetClassObject")));
    if (!getClassObject)
        return HRESULT_FROM_WIN32(GetLastError());
    IClassFactory* factory = nullptr;
    HRESULT result =
        getClassObject(kShellExtensionClass, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (FAILED(result))
        return result;
    result = factory->CreateInstance(nullptr, IID_IShellExtInit, reinterpret_cast<void**>(handler));
    factory->Release();
    return result;
}

int Usage() {
    fprintf(stderr, "usage: shell-host [--cocreate] [--shift] [--hold MS] PATH... "
                    "[--invoke LETTER|delete]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    bool cocreate = false;
    bool shift = false;
    DWORD hold = 0;
    std::string invoke;
    std::vector<std::string> paths;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--cocreate")
            cocreate = true;
        else if (argument == "--shift")
            shift = true;
        else if (argument == "--hold" && i + 1 < argc)
            hold = static_cast<DWORD>(atol(argv[++i]));
        else if (argument == "--invoke" && i + 1 < argc)
            invoke = argv[++i];
        else if (argument.compare(0, 2, "--") == 0)
            return Usage();
        else
            paths.push_back(argument);
    }
    if (paths.empty())
        return Usage();

    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IShellExtInit* init = nullptr;
    HRESULT result = MakeHandler(cocreate, &init);
    if (FAILED(result)) {
        fprintf(stderr, "cannot make the handler: 0x%08lX\n", result);
        return 1;
    }
    // Which server answered: on 64-bit Windows each architecture has its own registration.
    char server[MAX_PATH] = {};
    GetModuleFileNameA(GetModuleHandleA("Lanterwell.dll"), server, MAX_PATH);
    printf("server: %s (%u-bit host)\n", Utf8FromAnsi(server).c_str(),
           static_cast<unsigned>(sizeof(void*) * 8));
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
        UINT offset = 27;
        if (invoke != "delete") {
            const char letter = static_cast<char>(invoke[0] & ~0x20);
            if (letter < 'A' || letter > 'Z')
                return Usage();
            offset = static_cast<UINT>(letter - 'A');
        }
        if (shift) {
            BYTE keys[256] = {};
            GetKeyboardState(keys);
            keys[VK_SHIFT] = 0x80;
            SetKeyboardState(keys);
        }
        HHOOK hook = SetWindowsHookExA(WH_CBT, CloseMessageBoxes, nullptr, GetCurrentThreadId());
        CMINVOKECOMMANDINFO info = {};
        info.cbSize = sizeof(info);
        info.lpVerb = MAKEINTRESOURCEA(offset);
        info.nShow = SW_SHOWNORMAL;
        result = menu->InvokeCommand(&info);
        UnhookWindowsHookEx(hook);
        printf("InvokeCommand(%u): 0x%08lX\n", offset, result);
        status = FAILED(result) ? 1 : 0;
    }
    fflush(stdout);
    if (hold)
        Sleep(hold);
    DestroyMenu(shellMenu);
    menu->Release();
    init->Release();
    CoUninitialize();
    return status;
}
