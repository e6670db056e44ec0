// The cost of a right-click: a whole context-menu cycle through Lanterwell.dll against the
// platform calls the cycle cannot avoid, made directly.
#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>
#include "bench/BenchSupport.h"
#include "bench/MenuCycle.h"
#include "support/Policy.h"
#include "LanterwellIds.h"
#include "tests/hosts/shell-host/DropDataObject.h"
#include <strsafe.h>

namespace {

// The first identifier the menu is given, as MenuCycle gives the handler's.
const UINT kFirst = 1;

using CreateProc = int(WINAPI*)(int, const char*);
using QueryProc = int(WINAPI*)(int, char*, int);
using DeleteProc = int(WINAPI*)(int);

// The floor: the same platform work (the policies' keys asked for too), texts formatted
// beforehand, inserted in UTF-16 as the handler does on the NT family, and each help text
// handed out as the cycle asks for it.
// Where the floor's copies of the help texts ended, summed.
volatile int copied = 0;

// Each command's help text, formatted beforehand, in both forms the shell asks for.
struct HelpTexts {
    char ansi[LANTERWELL_COMMAND_COUNT][64];
    wchar_t wide[LANTERWELL_COMMAND_COUNT][64];
};

void Floor(const std::string& substPath, host::DropDataObject& data, wchar_t (*items)[64],
           const wchar_t* caption, const wchar_t* deleteText, const HelpTexts& help) {
    HMODULE subst = LoadLibraryA(substPath.c_str());
    GetProcAddress(subst, "CreateSubst");
    auto query =
        reinterpret_cast<QueryProc>(reinterpret_cast<void*>(GetProcAddress(subst, "QuerySubst")));
    GetProcAddress(subst, "DeleteSubst");

    FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium = {};
    medium.tymed = TYMED_HGLOBAL;
    char path[MAX_PATH + 1] = {};
    if (SUCCEEDED(data.GetData(&format, &medium))) {
        HDROP drop = static_cast<HDROP>(GlobalLock(medium.hGlobal));
        if (DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0) == 1)
            DragQueryFileA(drop, 0, path, MAX_PATH);
        GlobalUnlock(medium.hGlobal);
        ReleaseStgMedium(&medium);
    }
    if (!PathIsDirectoryA(path))
        PathIsRootA(path);
    PathIsUNCA(path);
    // The administrator's policies, asked of both scopes (none is set here).
    for (HKEY scope : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        HKEY policies = nullptr;
        if (RegOpenKeyExW(scope, Policy::kKey, 0, KEY_QUERY_VALUE, &policies) == ERROR_SUCCESS)
            RegCloseKey(policies);
    }
    const DWORD drives = GetLogicalDrives();
    HMENU shellMenu = CreatePopupMenu();
    HMENU popup = CreatePopupMenu();
    UINT position = 0;
    for (UINT i = 0; i < LANTERWELL_LETTER_COUNT; ++i)
        if (!(drives & (1u << i)))
            InsertMenuW(popup, position++, MF_BYPOSITION | MF_STRING, kFirst + i, items[i]);
    MENUITEMINFOW item = {};
    item.cbSize = sizeof(item);
    item.fMask = MIIM_ID | MIIM_SUBMENU | MIIM_STRING;
    item.wID = kFirst + LANTERWELL_POPUP_OFFSET;
    item.hSubMenu = popup;
    item.dwTypeData = const_cast<LPWSTR>(caption);
    InsertMenuItemW(shellMenu, 0, TRUE, &item);
    if (PathIsRootA(path)) {
        char target[MAX_PATH + 1] = {};
        if (query && query(path[0] - 'A' + 1, target, MAX_PATH) == 0)
            InsertMenuW(shellMenu, 1, MF_BYPOSITION | MF_STRING, kFirst + LANTERWELL_DELETE_OFFSET,
                        deleteText);
    }
    // Every help text handed to the caller, as the shell asks for them; where each copy ends
    // is kept, so that no copy can be left out.
    char ansi[256];
    wchar_t wide[256];
    for (int offset = 0; offset < LANTERWELL_COMMAND_COUNT; ++offset) {
        char* ansiEnd = ansi;
        wchar_t* wideEnd = wide;
        StringCchCopyExA(ansi, 256, help.ansi[offset], &ansiEnd, nullptr, 0);
        StringCchCopyExW(wide, 256, help.wide[offset], &wideEnd, nullptr, 0);
        copied += static_cast<int>((ansiEnd - ansi) + (wideEnd - wide));
    }
    DestroyMenu(shellMenu);
    FreeLibrary(subst);
}

} // namespace

int main(int argc, char** argv) {
    const bench::Options options(argc, argv);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const std::string folder = bench::Folder();
    IClassFactory* factory = bench::ShellExtensionClassObject(folder);
    if (!factory) {
        fprintf(stderr, "Lanterwell.dll not usable\n");
        return 1;
    }

    // A folder, and a drive root that the companion SUBST.DLL reports mapped.
    const std::string mapped = folder + "mapped";
    CreateDirectoryA(mapped.c_str(), nullptr);
    const std::string substPath = folder + "SUBST.DLL";
    HMODULE subst = LoadLibraryA(substPath.c_str());
    auto create =
        reinterpret_cast<CreateProc>(reinterpret_cast<void*>(GetProcAddress(subst, "CreateSubst")));
    auto remove =
        reinterpret_cast<DeleteProc>(reinterpret_cast<void*>(GetProcAddress(subst, "DeleteSubst")));
    int drive = 0;
    for (int candidate = 26; candidate >= 4 && !drive; --candidate)
        if (!(GetLogicalDrives() & (1u << (candidate - 1))) && create &&
            create(candidate, mapped.c_str()) == 0)
            drive = candidate;
    const std::string root = std::string(1, static_cast<char>('A' + drive - 1)) + ":\\";

    wchar_t items[LANTERWELL_LETTER_COUNT][64];
    for (int i = 0; i < LANTERWELL_LETTER_COUNT; ++i)
        StringCchPrintfW(items[i], 64, L"Drive (&%c:)", 'A' + i);
    HelpTexts help = {};
    for (int i = 0; i < LANTERWELL_COMMAND_COUNT; ++i) {
        StringCchPrintfA(help.ansi[i], 64, "Assigns this folder to virtual drive %c:.", 'A' + i);
        StringCchPrintfW(help.wide[i], 64, L"Assigns this folder to virtual drive %c:.", 'A' + i);
    }
    const int rounds = options.quick ? 1 : 15;
    const int iterations = options.quick ? 5 : 200;

    bench::Table table("Context-menu cycle",
                       "CreateInstance, Initialize, QueryContextMenu, every GetCommandString "
                       "(ANSI and UTF-16), Release, DestroyMenu; target: at most 1.15 × the "
                       "floor.");
    host::DropDataObject folderData({mapped});
    auto folderRun = bench::Compare(
        rounds, iterations,
        [&] { bench::MenuCycle(factory, folderData, LANTERWELL_COMMAND_COUNT); },
        [&] { Floor(substPath, folderData, items, L"Create", L"Delete", help); });
    table.Row("folder", folderRun, 1.15);
    if (drive) {
        host::DropDataObject rootData({root});
        auto rootRun = bench::Compare(
            rounds, iterations,
            [&] { bench::MenuCycle(factory, rootData, LANTERWELL_COMMAND_COUNT); },
            [&] { Floor(substPath, rootData, items, L"Create", L"Delete", help); });
        table.Row("mapped drive root " + root, rootRun, 1.15);
        remove(drive);
    } else {
        table.Note("No free letter to map: the drive-root case was not measured.");
    }
    table.Emit(options.markdown);
    factory->Release();
    FreeLibrary(subst);
    RemoveDirectoryA(mapped.c_str());
    return 0;
}
