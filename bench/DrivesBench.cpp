// The drive programs against the platform floor, each a process started and waited for as a
// user's action starts one:
// - the drives window from its start to its list filled with 20 drives, against the same
//   dialog template shown with its list empty (this program, --floor-window);
// - lwsubst making and deleting a drive, against a program that makes and deletes the same
//   drive with DefineDosDevice alone (this program, --floor-subst).
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <string>
#include <vector>
#include "bench/BenchSupport.h"
#include "drives/window/DrivesIds.h"

namespace {

const wchar_t kWindowClass[] = L"LanterwellDrives";
const DWORD kMostWait = 60000;

// Starts a command line; false when it cannot start.
bool Start(std::wstring line, PROCESS_INFORMATION& process) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return false;
    CloseHandle(process.hThread);
    return true;
}

// Waits for a started process to end (ending it when it will not), and lets it go.
void Finish(PROCESS_INFORMATION& process) {
    if (WaitForSingleObject(process.hProcess, kMostWait) != WAIT_OBJECT_0)
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hProcess);
}

// Runs a command line to its end.
void Run(const std::wstring& line) {
    PROCESS_INFORMATION process = {};
    if (Start(line, process))
        Finish(process);
}

// Starts a window's program, waits until its list holds `rows` rows, and closes it.
void ShowWindowOf(const std::wstring& line, LRESULT rows) {
    PROCESS_INFORMATION process = {};
    if (!Start(line, process))
        return;
    // A window that never comes is ended: a benchmark never hangs its caller.
    const DWORD started = GetTickCount();
    while (GetTickCount() - started < kMostWait) {
        const HWND window = FindWindowW(kWindowClass, nullptr);
        const HWND list = window ? GetDlgItem(window, IDC_LIST) : nullptr;
        if (list && IsWindowVisible(window) && SendMessageW(list, LVM_GETITEMCOUNT, 0, 0) == rows) {
            PostMessageW(window, WM_CLOSE, 0, 0);
            break;
        }
        Sleep(1);
    }
    Finish(process);
}

// The floor of the window: its own dialog template, from its file, with nothing in its list.
INT_PTR CALLBACK FloorProc(HWND window, UINT message, WPARAM, LPARAM) {
    if (message == WM_CLOSE) {
        DestroyWindow(window);
        PostQuitMessage(0);
        return TRUE;
    }
    return FALSE;
}

int FloorWindow(const std::wstring& program) {
    const INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    const HMODULE module = LoadLibraryExW(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    const HRSRC found = module ? FindResourceW(module, MAKEINTRESOURCEW(IDD_DRIVES),
                                               reinterpret_cast<LPCWSTR>(RT_DIALOG))
                               : nullptr;
    const auto* dialog =
        found ? static_cast<const DLGTEMPLATE*>(LockResource(LoadResource(module, found)))
              : nullptr;
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = DefDlgProcW;
    windowClass.cbWndExtra = DLGWINDOWEXTRA;
    windowClass.lpszClassName = kWindowClass;
    RegisterClassExW(&windowClass);
    const HWND window = dialog ? CreateDialogIndirectParamW(GetModuleHandleW(nullptr), dialog,
                                                            nullptr, FloorProc, 0)
                               : nullptr;
    if (!window)
        return 1;
    ShowWindow(window, SW_SHOWNORMAL);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0)
        DispatchMessageW(&message);
    return 0;
}

// The floor of lwsubst: "X: folder" makes the drive, "X: /d" deletes it.
int FloorSubst(const std::wstring& drive, const std::wstring& target) {
    if (target == L"/d")
        return DefineDosDeviceW(DDD_REMOVE_DEFINITION, drive.c_str(), nullptr) ? 0 : 1;
    return DefineDosDeviceW(0, drive.c_str(), target.c_str()) ? 0 : 1;
}

// The letters free now, from Z: downward.
std::vector<std::wstring> FreeLetters(size_t most) {
    std::vector<std::wstring> letters;
    const DWORD used = GetLogicalDrives();
    for (int bit = 25; bit >= 0 && letters.size() < most; --bit)
        if (!(used & (1u << bit)))
            letters.push_back(std::wstring(1, static_cast<wchar_t>(L'A' + bit)) + L":");
    return letters;
}

std::wstring Quoted(const std::string& path) {
    return L"\"" + std::wstring(path.begin(), path.end()) + L"\"";
}

} // namespace

int main(int argc, char** argv) {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide && count == 3 && std::wstring(wide[1]) == L"--floor-window")
        return FloorWindow(wide[2]);
    if (wide && count == 4 && std::wstring(wide[1]) == L"--floor-subst")
        return FloorSubst(wide[2], wide[3]);
    LocalFree(wide);
    const bench::Options options(argc, argv);
    const int rounds = options.quick ? 1 : 7;
    const int iterations = options.quick ? 1 : 5;

    const std::string folder = bench::Folder();
    const std::wstring self = Quoted(folder + "DrivesBench.exe");
    const std::wstring window = Quoted(folder + "Lanterwell.exe");
    const std::wstring lwsubst = Quoted(folder + "lwsubst.exe");
    const std::string mapped = folder + "mapped";
    CreateDirectoryA(mapped.c_str(), nullptr);
    const std::wstring target(mapped.begin(), mapped.end());

    bench::Table table("Drive programs",
                       "Each a process, started and waited for; targets: the window at most "
                       "1.3 × the floor, lwsubst at most 1.2 ×.");
    std::vector<std::wstring> letters = FreeLetters(21);
    const std::wstring spare = letters.empty() ? L"" : letters.back();
    if (!letters.empty())
        letters.pop_back();
    for (const std::wstring& letter : letters)
        DefineDosDeviceW(0, letter.c_str(), target.c_str());
    const auto windowRun = bench::Compare(
        rounds, iterations, [&] { ShowWindowOf(window, static_cast<LRESULT>(letters.size())); },
        [&] { ShowWindowOf(self + L" --floor-window " + window, 0); });
    table.Row("window, start to " + std::to_string(letters.size()) + " drives listed",
              windowRun.first, windowRun.second);
    for (const std::wstring& letter : letters)
        DefineDosDeviceW(DDD_REMOVE_DEFINITION, letter.c_str(), nullptr);

    if (spare.empty()) {
        table.Note("No free letter: lwsubst was not measured.");
    } else {
        const std::wstring quotedTarget = L" \"" + target + L"\"";
        const auto substRun = bench::Compare(
            rounds, iterations,
            [&] {
                Run(lwsubst + L" " + spare + quotedTarget);
                Run(lwsubst + L" " + spare + L" /d");
            },
            [&] {
                Run(self + L" --floor-subst " + spare + quotedTarget);
                Run(self + L" --floor-subst " + spare + L" /d");
            });
        table.Row("lwsubst, make and delete " + std::string(spare.begin(), spare.end()),
                  substRun.first, substRun.second);
    }
    RemoveDirectoryA(mapped.c_str());
    table.Emit(options.markdown);
    return 0;
}
