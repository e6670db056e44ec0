// Runs the test bundle on Windows as it stands: each suite's program in its own folder, with
// the per-user registry state the suites use made fresh before and removed after, a JUnit
// report of them all (results.xml) and one summary line. Without administrator rights the
// cases that write the machine's registry or drives are left out, and counted.
//
// Each suite has a time limit (30 minutes; --time-limit MINUTES, or Ns for seconds): a suite
// that takes longer is ended with every process it started, and reported as failed, as is one
// that ends without its report.
//
// usage: run-tests [--without-administrator] [--time-limit MINUTES|Ns] [SUITE...]
//        (default: every suite; anything else prints this and ends with exit code 2)
#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>
#include <stdio.h>
#include <string>
#include <vector>
#include "LanterwellIds.h"
#include "drives/StoreKeys.h"
#include "support/Handles.h"
#include "support/KeyHandle.h"

namespace {

struct FileTraits {
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static bool Release(HANDLE file) { return CloseHandle(file) != FALSE; }
};
using UniqueFile = UniqueHandle<HANDLE, FileTraits>;

struct Suite {
    const wchar_t* folder;
    const wchar_t* program;
    // The cases that need administrator rights, as a GoogleTest filter.
    const wchar_t* administrator;
};

const Suite kSuites[] = {
    {L"core", L"lanterwell_tests.exe",
     L"Registration*:DispatchTest.*:ViewWalkTest.*:MachineDriveTest.*:PersistenceTest.*:"
     L"DriveGateTest.ALetterHeldForEveryUser*:DriveGateTest.SmallerFaults:PolicyTest.*:"
     L"RestorePolicyTest.*:MenuTest.ThePolicy*:ExplorerCommandTest.ThePolicy*"},
    {L"window", L"drives_window_tests.exe", L"MachineDrivesWindowTest.*"},
};

// The per-user keys the suites write for themselves.
const wchar_t* const kTestKeys[] = {
    L"Software\\Lanterwell Tests",
    L"Software\\Lanterwell Fuzz",
    L"Software\\Lanterwell Fuzz View",
};

// Where the user's own settings and saved drives wait while the suites run; an interrupted
// run leaves them there, and the next one puts them back first.
const wchar_t kKeptAside[] = L"Software\\Lanterwell Tests Kept Aside";

const wchar_t kWithoutAdministrator[] = L"--without-administrator";

struct Counts {
    int passed = 0;
    int failed = 0;
    int skipped = 0;
    int administrator = 0;
};

void ResetUserState() {
    for (const wchar_t* key : kTestKeys)
        SHDeleteKeyW(HKEY_CURRENT_USER, key);
}

// The user's Lanterwell settings, saved drives and sign-in entry: set aside on disk while the
// suites run, which make and delete their own, and put back as they were, or by the next run
// where this one was interrupted.
class UserState {
public:
    UserState() {
        PutBack();
        KeyHandle kept;
        if (kept.Create(HKEY_CURRENT_USER, kKeptAside, KEY_ALL_ACCESS))
            return;
        KeyHandle settings;
        const bool hadSettings =
            settings.Open(HKEY_CURRENT_USER, StoreKeys::kSettings, KEY_READ) == ERROR_SUCCESS;
        if (hadSettings && SHCopyKeyW(HKEY_CURRENT_USER, StoreKeys::kSettings, kept.Get(), 0))
            return;
        // The sign-in entry as it was, or the note that there was none.
        BYTE run[4096];
        DWORD runSize = sizeof(run);
        DWORD runType = REG_NONE;
        const bool hadRun = SHGetValueW(HKEY_CURRENT_USER, StoreKeys::kRun, StoreKeys::kRunValue,
                                        &runType, run, &runSize) == ERROR_SUCCESS;
        const DWORD none = 1;
        const LONG noted = hadRun
                               ? RegSetValueExW(kept.Get(), kRunAside, 0, runType, run, runSize)
                               : RegSetValueExW(kept.Get(), kNoRunAside, 0, REG_DWORD,
                                                reinterpret_cast<const BYTE*>(&none), sizeof(none));
        const DWORD flag = hadSettings;
        // Set aside whole before anything is taken away.
        if (noted ||
            RegSetValueExW(kept.Get(), kHadSettings, 0, REG_DWORD,
                           reinterpret_cast<const BYTE*>(&flag), sizeof(flag)) ||
            RegSetValueExW(kept.Get(), kComplete, 0, REG_DWORD,
                           reinterpret_cast<const BYTE*>(&none), sizeof(none)))
            return;
        SHDeleteKeyW(HKEY_CURRENT_USER, StoreKeys::kSettings);
    }
    ~UserState() { PutBack(); }
    UserState(const UserState&) = delete;
    UserState& operator=(const UserState&) = delete;

private:
    // Names in the key set aside that no setting of Lanterwell's has.
    static constexpr const wchar_t* kRunAside = L"Lanterwell Tests: sign-in entry";
    static constexpr const wchar_t* kNoRunAside = L"Lanterwell Tests: no sign-in entry";
    static constexpr const wchar_t* kHadSettings = L"Lanterwell Tests: had settings";
    static constexpr const wchar_t* kComplete = L"Lanterwell Tests: complete";

    static bool Flag(HKEY key, const wchar_t* name) {
        DWORD value = 0;
        DWORD size = sizeof(value);
        return RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value),
                                &size) == ERROR_SUCCESS &&
               value;
    }

    // Whatever a run set aside, as it was; a record that was never completed changed nothing.
    static void PutBack() {
        KeyHandle kept;
        if (kept.Open(HKEY_CURRENT_USER, kKeptAside, KEY_ALL_ACCESS))
            return;
        if (Flag(kept.Get(), kComplete)) {
            SHDeleteKeyW(HKEY_CURRENT_USER, StoreKeys::kSettings);
            PutSignInBack(kept.Get());
            const bool hadSettings = Flag(kept.Get(), kHadSettings);
            for (const wchar_t* name : {kRunAside, kNoRunAside, kHadSettings, kComplete})
                RegDeleteValueW(kept.Get(), name);
            KeyHandle settings;
            if (hadSettings &&
                settings.Create(HKEY_CURRENT_USER, StoreKeys::kSettings, KEY_ALL_ACCESS) == 0)
                SHCopyKeyW(kept.Get(), nullptr, settings.Get(), 0);
        }
        kept.Close();
        SHDeleteKeyW(HKEY_CURRENT_USER, kKeptAside);
    }

    static void PutSignInBack(HKEY kept) {
        BYTE run[4096];
        DWORD runSize = sizeof(run);
        DWORD runType = REG_NONE;
        if (RegQueryValueExW(kept, kRunAside, nullptr, &runType, run, &runSize) == ERROR_SUCCESS)
            SHSetValueW(HKEY_CURRENT_USER, StoreKeys::kRun, StoreKeys::kRunValue, runType, run,
                        runSize);
        else if (Flag(kept, kNoRunAside))
            SHDeleteValueW(HKEY_CURRENT_USER, StoreKeys::kRun, StoreKeys::kRunValue);
    }
};

// Whether Lanterwell is registered here, in either view: the registration suites would
// replace that registration with the bundle's and remove it.
bool Registered() {
    const std::wstring server =
        std::wstring(L"CLSID\\") + LANTERWELL_CLSID_SHELL_EXTENSION_WIDE + L"\\InprocServer32";
    for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CLASSES_ROOT, server.c_str(), 0, KEY_READ | view, &key) == 0) {
            RegCloseKey(key);
            return true;
        }
    }
    return false;
}

bool Elevated() {
    UniqueKernelObject token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Receive()))
        return false;
    TOKEN_ELEVATION elevation = {};
    DWORD size = 0;
    // Before Vista every administrator runs with full rights.
    if (!GetTokenInformation(token.Get(), TokenElevation, &elevation, sizeof(elevation), &size))
        return true;
    return elevation.TokenIsElevated != 0;
}

std::wstring Folder() {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L'\\'));
}

// What ended a suite's program in its time: its exit code, or kTimedOut.
const DWORD kTimedOut = 0xFFFFFFFF;

// Runs a command line in a folder, its output to the given handle (or this console), within a
// time limit, after which it is ended with every process it started (a job holds them all).
DWORD Run(const std::wstring& folder, std::wstring command, HANDLE output = nullptr,
          DWORD limit = INFINITE) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    if (output) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = output;
        startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    }
    const UniqueKernelObject job(CreateJobObjectW(nullptr, nullptr));
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (job)
        SetInformationJobObject(job.Get(), JobObjectExtendedLimitInformation, &limits,
                                sizeof(limits));
    PROCESS_INFORMATION started = {};
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr,
                        folder.c_str(), &startup, &started))
        return GetLastError() | 0x80000000;
    const UniqueKernelObject process(started.hProcess);
    const UniqueKernelObject thread(started.hThread);
    // Where the platform refuses a job (a job inside another before Windows 8), the program
    // alone is ended.
    const bool inJob = job && AssignProcessToJobObject(job.Get(), process.Get());
    ResumeThread(thread.Get());
    if (WaitForSingleObject(process.Get(), limit) == WAIT_TIMEOUT) {
        if (inJob)
            TerminateJobObject(job.Get(), kTimedOut);
        TerminateProcess(process.Get(), kTimedOut);
        WaitForSingleObject(process.Get(), INFINITE);
        return kTimedOut;
    }
    DWORD code = 1;
    GetExitCodeProcess(process.Get(), &code);
    return code;
}

std::string ReadFile(const std::wstring& path) {
    const UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
    std::string text;
    if (!file)
        return text;
    char buffer[65536];
    DWORD read = 0;
    while (::ReadFile(file.Get(), buffer, sizeof(buffer), &read, nullptr) && read)
        text.append(buffer, read);
    return text;
}

int Occurrences(const std::string& text, const char* what) {
    int count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++count;
    return count;
}

// The suite's program by its full name: the platform looks for a bare one beside the runner.
std::wstring Program(const std::wstring& folder, const Suite& suite) {
    return L"\"" + folder + L"\\" + suite.program + L"\"";
}

// How many cases a filter selects, as the program lists them.
int Listed(const std::wstring& folder, const Suite& suite, const std::wstring& filter) {
    const std::wstring list = folder + L"\\list.txt";
    SECURITY_ATTRIBUTES inherit = {};
    inherit.nLength = sizeof(inherit);
    inherit.bInheritHandle = TRUE;
    {
        const UniqueFile file(
            CreateFileW(list.c_str(), GENERIC_WRITE, 0, &inherit, CREATE_ALWAYS, 0, nullptr));
        if (!file)
            return 0;
        Run(folder, Program(folder, suite) + L" --gtest_list_tests --gtest_filter=" + filter,
            file.Get());
    }
    // Read once the file is closed: it is open to no one else meanwhile.
    const std::string text = ReadFile(list);
    DeleteFileW(list.c_str());
    return Occurrences(text, "\n  ");
}

// The suite's <testsuite> elements, for the bundle's report.
std::string Cases(const std::string& report) {
    const size_t first = report.find("<testsuite ");
    const size_t last = report.rfind("</testsuites>");
    return first == std::string::npos || last < first ? std::string()
                                                      : report.substr(first, last - first);
}

// How many cases failed: each counted once, however many of its expectations failed.
int FailedCases(const std::string& report) {
    int failed = 0;
    for (size_t at = report.find("<testcase "); at != std::string::npos;) {
        const size_t next = report.find("<testcase ", at + 1);
        const size_t failure = report.find("<failure ", at);
        failed += failure != std::string::npos && failure < next ? 1 : 0;
        at = next;
    }
    return failed;
}

// A suite whose program ended without its report, or without reporting why it failed: one
// failed case of its own, so that a report's reader sees it too.
std::string AbnormalEnd(const Suite& suite, DWORD code, DWORD limitSeconds) {
    char said[160];
    if (code == kTimedOut)
        snprintf(said, sizeof(said), "ended after its time limit of %lu s", limitSeconds);
    else
        snprintf(said, sizeof(said), "ended with code 0x%08lX without reporting a failure", code);
    const std::string name(suite.folder, suite.folder + lstrlenW(suite.folder));
    return "<testsuite name=\"" + name +
           "\" tests=\"1\" failures=\"1\">\n"
           "<testcase name=\"the suite's program\" classname=\"" +
           name +
           "\">"
           "<failure message=\"" +
           said + "\"/></testcase>\n</testsuite>\n";
}

std::string RunSuite(const std::wstring& root, const Suite& suite, bool elevated,
                     DWORD limitSeconds, Counts& counts) {
    const std::wstring folder = root + L"\\" + suite.folder;
    const std::wstring report = root + L"\\" + suite.folder + L".xml";
    DeleteFileW(report.c_str());
    std::wstring command =
        Program(folder, suite) + L" --gtest_color=no --gtest_output=xml:\"" + report + L"\"";
    if (!elevated) {
        counts.administrator += Listed(folder, suite, suite.administrator);
        command += std::wstring(L" --gtest_filter=-") + suite.administrator;
    }
    wprintf(L"== %ls\n", suite.folder);
    fflush(stdout);
    ResetUserState();
    const DWORD code = Run(folder, command, nullptr, limitSeconds * 1000);
    ResetUserState();
    const std::string xml = code == kTimedOut ? std::string() : ReadFile(report);
    const int cases = Occurrences(xml, "<testcase ");
    const int failed = FailedCases(xml);
    const int skipped = Occurrences(xml, "<skipped");
    counts.skipped += skipped;
    counts.passed += cases - skipped - failed;
    counts.failed += failed;
    // A program that dies or hangs leaves no report, or one that does not say so.
    if (!xml.empty() && (code == 0 || failed > 0))
        return Cases(xml);
    wprintf(L"%ls: %hs\n", suite.program, AbnormalEnd(suite, code, limitSeconds).c_str());
    ++counts.failed;
    return Cases(xml) + AbnormalEnd(suite, code, limitSeconds);
}

void Usage() {
    wprintf(L"usage: run-tests [--without-administrator] [--time-limit MINUTES|Ns] [SUITE...]\n"
            L"Runs the test suites (");
    for (const Suite& suite : kSuites)
        wprintf(L" %ls", suite.folder);
    wprintf(L" ) and writes results.xml beside itself.\n");
}

} // namespace

int main() {
    int argc = 0;
    // The suites' names as given, in UTF-16 whatever the code page.
    const UniqueLocalText arguments(
        reinterpret_cast<wchar_t*>(CommandLineToArgvW(GetCommandLineW(), &argc)));
    wchar_t** argv = reinterpret_cast<wchar_t**>(arguments.Get());
    if (!argv)
        argc = 0;
    const std::wstring root = Folder();
    // An administrator may see what a user without the rights would run.
    bool elevated = Elevated();
    DWORD limitSeconds = 30 * 60;
    std::vector<const Suite*> chosen;
    for (int i = 1; i < argc; ++i) {
        const Suite* named = nullptr;
        for (const Suite& suite : kSuites)
            named = lstrcmpiW(argv[i], suite.folder) == 0 ? &suite : named;
        wchar_t* end = nullptr;
        if (lstrcmpiW(argv[i], kWithoutAdministrator) == 0) {
            elevated = false;
        } else if (lstrcmpiW(argv[i], L"--time-limit") == 0 && i + 1 < argc) {
            // Minutes, or seconds where an "s" follows.
            limitSeconds = wcstoul(argv[++i], &end, 10);
            limitSeconds *= *end == L's' ? 1 : 60;
            if (limitSeconds == 0 || (*end && lstrcmpW(end, L"s") != 0)) {
                Usage();
                return 2;
            }
        } else if (named) {
            chosen.push_back(named);
        } else {
            const bool help = !lstrcmpW(argv[i], L"--help") || !lstrcmpW(argv[i], L"/?") ||
                              !lstrcmpW(argv[i], L"-h");
            if (!help)
                wprintf(L"run-tests: what is %ls?\n", argv[i]);
            Usage();
            return help ? 0 : 2;
        }
    }
    if (chosen.empty())
        for (const Suite& suite : kSuites)
            chosen.push_back(&suite);
    if (Registered()) {
        wprintf(L"Lanterwell is installed or registered on this machine: its registration tests "
                L"would replace and remove it. Run the tests where it is not installed.\n");
        return 2;
    }
    const UserState kept;
    Counts counts;
    std::string suites;
    for (const Suite* suite : chosen)
        suites += RunSuite(root, *suite, elevated, limitSeconds, counts);
    const std::string report =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites>\n" + suites + "</testsuites>\n";
    const UniqueFile file(CreateFileW((root + L"\\results.xml").c_str(), GENERIC_WRITE, 0, nullptr,
                                      CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    if (file)
        WriteFile(file.Get(), report.data(), static_cast<DWORD>(report.size()), &written, nullptr);
    wprintf(L"lanterwell tests: %d passed, %d failed, %d skipped, %d left out without "
            L"administrator rights\n",
            counts.passed, counts.failed, counts.skipped, counts.administrator);
    return counts.failed ? 1 : 0;
}
