// The floor of the drives window: its own dialog template, read from Lanterwell.exe, shown with
// nothing in its list by a program that loads only what such a dialog needs (USER32 and, for
// the list, COMCTL32). usage: WindowFloor PATH-OF-LANTERWELL.EXE
#include <windows.h>
#include <commctrl.h>
#include "drives/window/DrivesIds.h"

namespace {

INT_PTR CALLBACK FloorProc(HWND window, UINT message, WPARAM, LPARAM) {
    if (message == WM_CLOSE) {
        DestroyWindow(window);
        PostQuitMessage(0);
        return TRUE;
    }
    return FALSE;
}

// The command line's one argument, its quotes taken off.
wchar_t* Argument(wchar_t* line) {
    const bool quoted = *line == L'"';
    for (++line; *line && (quoted ? *line != L'"' : *line != L' '); ++line) {
    }
    while (*line == L'"' || *line == L' ')
        ++line;
    wchar_t* end = line + lstrlenW(line);
    while (end > line && (end[-1] == L'"' || end[-1] == L' '))
        *--end = 0;
    return line;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    const wchar_t* program = Argument(GetCommandLineW());
    const INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    const HMODULE module = LoadLibraryExW(program, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    const HRSRC found = module ? FindResourceW(module, MAKEINTRESOURCEW(IDD_DRIVES),
                                               reinterpret_cast<LPCWSTR>(RT_DIALOG))
                               : nullptr;
    const auto* dialog =
        found ? static_cast<const DLGTEMPLATE*>(LockResource(LoadResource(module, found)))
              : nullptr;
    // The window's class, so that whoever waits for the window finds this one the same way.
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = DefDlgProcW;
    windowClass.cbWndExtra = DLGWINDOWEXTRA;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = L"LanterwellDrives";
    RegisterClassExW(&windowClass);
    const HWND window =
        dialog ? CreateDialogIndirectParamW(instance, dialog, nullptr, FloorProc, 0) : nullptr;
    if (!window)
        return 1;
    ShowWindow(window, SW_SHOWNORMAL);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0)
        DispatchMessageW(&message);
    return 0;
}
