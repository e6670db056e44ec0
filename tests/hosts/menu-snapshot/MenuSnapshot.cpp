// Opens Lanterwell's context menu on screen as the shell would, for a picture of it: makes the
// handler from the Lanterwell.dll beside this program, hands it the path, builds a menu with
// a few items of the shell's own around the handler's, and shows it with TrackPopupMenu at the
// given point with the handler's popup opened. Once the popup is open it prints
// "popup open: LEFT TOP RIGHT BOTTOM", the screen rectangle the open menus cover, and it closes
// the menu when the file named by --close-when exists (or after ten minutes).
//
// usage: menu-snapshot [--map LETTER FOLDER] [--at X Y] --close-when FILE PATH
//   --map  first maps FOLDER to LETTER: with the companion SUBST.DLL (and removes it again at
//          the end), so that the menu of a mapped drive's root can be shown
#include <windows.h>
#include <shlobj.h>
#include <stdio.h>
#include <stdlib.h>
#include <string>
#include "tests/hosts/shell-host/DropDataObject.h"
#include "tests/hosts/shell-host/HostSupport.h"
#include "LanterwellIds.h"

namespace {

const CLSID kShellExtensionClass = LANTERWELL_CLSID_SHELL_EXTENSION_INIT;
const UINT kFirstId = 100;

// Texts of the shell's own items around the handler's, in the user's language.
const wchar_t* const kJapaneseShellItems[] = {L"\u958B\u304F(&O)", L"\u30B3\u30D4\u30FC(&C)",
                                              L"\u30D7\u30ED\u30D1\u30C6\u30A3(&R)"};
const wchar_t* const kEnglishShellItems[] = {L"&Open", L"&Copy", L"P&roperties"};

HMODULE ServerBesideThisProgram() {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    while (length > 0 && path[length - 1] != '\\')
        --length;
    lstrcpynA(path + length, "Lanterwell.dll", MAX_PATH - length);
    return LoadLibraryA(path);
}

HRESULT MakeHandler(HMODULE server, IContextMenu** menu) {
    using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    auto getClassObject = reinterpret_cast<GetClassObject>(
        reinterpret_cast<void*>(GetProcAddress(server, "DllGetClassObject")));
    if (!getClassObject)
        return E_FAIL;
    IClassFactory* factory = nullptr;
    HRESULT result =
        getClassObject(kShellExtensionClass, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (FAILED(result))
        return result;
    result = factory->CreateInstance(nullptr, IID_IContextMenu, reinterpret_cast<void**>(menu));
    factory->Release();
    return result;
}

// Every wait has a deadline that only a hang reaches.
const DWORD kDeadline = 600000;

// The visible menu windows and the rectangle they cover together.
struct OpenMenus {
    int count = 0;
    RECT covered = {};
};

BOOL CALLBACK AddMenuWindow(HWND window, LPARAM parameter) {
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    if (lstrcmpW(name, L"#32768") != 0 || !IsWindowVisible(window))
        return TRUE;
    auto* menus = reinterpret_cast<OpenMenus*>(parameter);
    RECT rect = {};
    GetWindowRect(window, &rect);
    if (menus->count++ == 0)
        menus->covered = rect;
    else
        UnionRect(&menus->covered, &menus->covered, &rect);
    return TRUE;
}

OpenMenus FindOpenMenus() {
    OpenMenus menus;
    EnumWindows(AddMenuWindow, reinterpret_cast<LPARAM>(&menus));
    return menus;
}

// Waits until at least `count` menus are open.
bool WaitForMenus(int count) {
    for (DWORD waited = 0; waited < kDeadline; waited += 50) {
        if (FindOpenMenus().count >= count)
            return true;
        Sleep(50);
    }
    return false;
}

void Press(WORD key) {
    INPUT input[2] = {};
    input[0].type = input[1].type = INPUT_KEYBOARD;
    input[0].ki.wVk = input[1].ki.wVk = key;
    input[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, input, sizeof(INPUT));
}

// Once the menu is up: down to the handler's popup, right to open it, then closes the menu when
// told to.
DWORD WINAPI DriveMenu(void* parameter) {
    const char* closeWhen = static_cast<const char*>(parameter);
    if (WaitForMenus(1)) {
        Press(VK_DOWN); // the first item: the shell's
        Press(VK_DOWN); // the handler's popup
        Press(VK_RIGHT);
        if (WaitForMenus(2)) {
            const RECT covered = FindOpenMenus().covered;
            printf("popup open: %ld %ld %ld %ld\n", covered.left, covered.top, covered.right,
                   covered.bottom);
            fflush(stdout);
        }
    }
    host::WaitForFile(closeWhen);
    EndMenu();
    return 0;
}

int Usage() {
    fprintf(stderr, "usage: menu-snapshot [--map LETTER FOLDER] [--at X Y] --close-when FILE "
                    "PATH\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    std::string path, mapFolder;
    char mapLetter = 0;
    int x = 40, y = 40;
    std::string closeWhen;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--map" && i + 2 < argc) {
            mapLetter = static_cast<char>(argv[++i][0] & ~0x20);
            mapFolder = argv[++i];
        } else if (argument == "--at" && i + 2 < argc) {
            x = atoi(argv[++i]);
            y = atoi(argv[++i]);
        } else if (argument == "--close-when" && i + 1 < argc) {
            closeWhen = argv[++i];
        } else if (argument.compare(0, 2, "--") == 0) {
            return Usage();
        } else {
            path = argument;
        }
    }
    if (path.empty() || closeWhen.empty() || (mapLetter && (mapLetter < 'A' || mapLetter > 'Z')))
        return Usage();

    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const HMODULE server = ServerBesideThisProgram();
    HMODULE companion = nullptr;
    const int drive = mapLetter ? mapLetter - 'A' + 1 : 0;
    if (mapLetter) {
        companion = LoadLibraryA("SUBST.DLL");
        using CreateProc = int(WINAPI*)(int, const char*);
        auto create = companion ? reinterpret_cast<CreateProc>(reinterpret_cast<void*>(
                                      GetProcAddress(companion, "CreateSubst")))
                                : nullptr;
        if (!create || create(drive, mapFolder.c_str()) != 0) {
            fprintf(stderr, "cannot map %c: to %s\n", mapLetter, mapFolder.c_str());
            return 1;
        }
    }

    IContextMenu* menu = nullptr;
    if (!server || FAILED(MakeHandler(server, &menu))) {
        fprintf(stderr, "cannot make the handler\n");
        return 1;
    }
    IShellExtInit* init = nullptr;
    menu->QueryInterface(IID_IShellExtInit, reinterpret_cast<void**>(&init));
    host::DropDataObject data({path});
    init->Initialize(nullptr, &data, nullptr);
    init->Release();

    const wchar_t* const* kShellItems = PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_JAPANESE
                                            ? kJapaneseShellItems
                                            : kEnglishShellItems;
    HMENU popup = CreatePopupMenu();
    InsertMenuW(popup, 0, MF_BYPOSITION | MF_STRING, 1, kShellItems[0]);
    InsertMenuW(popup, 1, MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
    InsertMenuW(popup, 2, MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
    InsertMenuW(popup, 3, MF_BYPOSITION | MF_STRING, 2, kShellItems[1]);
    InsertMenuW(popup, 4, MF_BYPOSITION | MF_STRING, 3, kShellItems[2]);
    const HRESULT added = menu->QueryContextMenu(popup, 2, kFirstId, 0x7FFF, CMF_NORMAL);
    printf("QueryContextMenu: 0x%08lX\n", static_cast<unsigned long>(added));
    fflush(stdout);

    // The menu needs an owner window in the foreground; it stays out of the picture.
    HWND owner = CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", L"", WS_POPUP, x, y, 1, 1, nullptr,
                                 nullptr, nullptr, nullptr);
    ShowWindow(owner, SW_SHOW);
    SetForegroundWindow(owner);
    CloseHandle(
        CreateThread(nullptr, 0, DriveMenu, const_cast<char*>(closeWhen.c_str()), 0, nullptr));
    TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RETURNCMD, x, y, 0, owner, nullptr);
    DestroyWindow(owner);
    DestroyMenu(popup);
    menu->Release();

    if (mapLetter) {
        using DeleteProc = int(WINAPI*)(int);
        if (auto remove = reinterpret_cast<DeleteProc>(
                reinterpret_cast<void*>(GetProcAddress(companion, "DeleteSubst"))))
            remove(drive);
        FreeLibrary(companion);
    }
    CoUninitialize();
    return 0;
}
