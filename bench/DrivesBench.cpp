// The drive programs against the platform floor, each a process started and waited for as a
// user's action starts one, and each floor a small program of its own that loads only what its
// platform calls need:
// - the drives window from its start to its list filled with 20 drives, against the same
//   dialog template shown with its list empty (WindowFloor.exe);
// - lwsubst making and deleting a drive, against a program that checks the folder and makes
//   and deletes the same drive with DefineDosDevice alone (SubstFloor.exe);
// - lwsubst's start (/?), against SubstFloor.exe saying its one line.
#include <windows.h>
#include <commctrl.h>
#include <string>
#include <vector>
#include "bench/BenchSupport.h"
#include "drives/window/DrivesIds.h"

namespace {

const wchar_t kWindowClass[] = L"LanterwellDrives";
const DWORD kMostWait = 60000;

// Starts a command line, its output discarded as a script's would be; false when it cannot
// start.
bool Start(std::wstring line, PROCESS_INFORMATION& process) {
    static const HANDLE discard =
        CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    SetHandleInformation(discard, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = discard;
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
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
    const bench::Options options(argc, argv);
    const int rounds = options.quick ? 1 : 11;
    const int iterations = options.quick ? 1 : 5;

    const std::string folder = bench::Folder();
    const std::wstring windowFloor = Quoted(folder + "WindowFloor.exe");
    const std::wstring substFloor = Quoted(folder + "SubstFloor.exe");
    const std::wstring window = Quoted(folder + "Lanterwell.exe");
    const std::wstring lwsubst = Quoted(folder + "lwsubst.exe");
    const std::string mapped = folder + "mapped";
    CreateDirectoryA(mapped.c_str(), nullptr);
    const std::wstring target(mapped.begin(), mapped.end());

    bench::Table table("Drive programs",
                       "Each a process, started and waited for, against a floor program of its "
                       "own; targets: the window at most 1.3 × the floor, lwsubst's work at most "
                       "1.2 ×, its start at most 1.1 ×.");
    std::vector<std::wstring> letters = FreeLetters(21);
    const std::wstring spare = letters.empty() ? L"" : letters.back();
    if (!letters.empty())
        letters.pop_back();
    for (const std::wstring& letter : letters)
        DefineDosDeviceW(0, letter.c_str(), target.c_str());
    const auto windowRun = bench::Compare(
        rounds, iterations, [&] { ShowWindowOf(window, static_cast<LRESULT>(letters.size())); },
        [&] { ShowWindowOf(windowFloor + L" " + window, 0); });
    table.Row("window, start to " + std::to_string(letters.size()) + " drives listed", windowRun,
              1.3);
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
                Run(substFloor + L" " + spare + quotedTarget);
                Run(substFloor + L" " + spare + L" /d");
            });
        table.Row("lwsubst, make and delete " + std::string(spare.begin(), spare.end()), substRun,
                  1.2);
    }
    const auto startRun = bench::Compare(
        rounds, iterations * 2, [&] { Run(lwsubst + L" /?"); }, [&] { Run(substFloor); });
    table.Row("lwsubst, start (/?)", startRun, 1.1);
    RemoveDirectoryA(mapped.c_str());
    table.Emit(options.markdown);
    return 0;
}
