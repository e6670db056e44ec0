// A suite's program for the runner's own test, ending as the mode its first argument after
// the runner's names says (the file stand-in.txt beside it): "pass", "two-failures" (one case
// with two failed expectations), "abort", "crash" (an access violation), "hang" (with a child
// that hangs too), or "interrupt" (the user's sign-in entry changed, then the runner ended, as
// a run closed mid-suite).
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <tlhelp32.h>
#include <string>

namespace {

std::string Mode() {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string file(path, length);
    file = file.substr(0, file.find_last_of('\\')) + "\\..\\stand-in.txt";
    char mode[32] = {};
    if (FILE* in = fopen(file.c_str(), "rb")) {
        fgets(mode, sizeof(mode), in);
        fclose(in);
    }
    mode[strcspn(mode, "\r\n")] = 0;
    return mode;
}

void Report(const char* path, const char* cases) {
    if (FILE* out = fopen(path, "wb")) {
        fprintf(out,
                "<?xml version=\"1.0\"?>\n<testsuites>\n<testsuite name=\"StandIn\">\n%s"
                "</testsuite>\n</testsuites>\n",
                cases);
        fclose(out);
    }
}

void EndRunner() {
    const DWORD self = GetCurrentProcessId();
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32First(snapshot, &entry); more;
         more = Process32Next(snapshot, &entry)) {
        if (entry.th32ProcessID != self)
            continue;
        const HANDLE parent = OpenProcess(PROCESS_TERMINATE, FALSE, entry.th32ParentProcessID);
        TerminateProcess(parent, 9);
        CloseHandle(parent);
    }
    CloseHandle(snapshot);
}

} // namespace

int main(int argc, char** argv) {
    const char* report = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (!strcmp(argv[i], "--child"))
            Sleep(INFINITE);
        if (!strncmp(argv[i], "--gtest_list_tests", 18))
            return 0;
        if (!strncmp(argv[i], "--gtest_output=xml:", 19))
            report = argv[i] + 19;
    }
    const std::string mode = Mode();
    if (mode == "two-failures") {
        Report(report, "<testcase name=\"A\"><failure message=\"one\"/><failure message=\"two\"/>"
                       "</testcase>\n<testcase name=\"B\"/>\n");
        return 1;
    }
    if (mode == "abort")
        abort();
    if (mode == "crash")
        *static_cast<volatile int*>(nullptr) = 0;
    if (mode == "hang") {
        char self[MAX_PATH];
        GetModuleFileNameA(nullptr, self, MAX_PATH);
        std::string line = std::string("\"") + self + "\" --child";
        STARTUPINFOA startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION child = {};
        CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                       &child);
        Sleep(INFINITE);
    }
    if (mode == "interrupt") {
        const char entry[] = "stand-in /restore";
        HKEY run = nullptr;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                            0, nullptr, 0, KEY_SET_VALUE, nullptr, &run, nullptr) == 0) {
            RegSetValueExA(run, "Lanterwell", 0, REG_SZ, reinterpret_cast<const BYTE*>(entry),
                           sizeof(entry));
            RegCloseKey(run);
        }
        EndRunner();
        return 9;
    }
    Report(report, "<testcase name=\"A\"/>\n");
    return 0;
}
