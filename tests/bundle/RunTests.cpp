// Runs the test bundle on Windows as it stands: each suite's program in its own folder, with
// the per-user registry state the suites use made fresh before and removed after, a JUnit
// report of them all (results.xml) and one summary line. Without administrator rights the
// cases that write the machine's registry or drives are left out, and counted.
//
// usage: run-tests [--without-administrator] [SUITE...]   (default: every suite)
#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>
#include <stdio.h>
#include <string>
#include <vector>
#include "LanterwellIds.h"
#include "drives/StoreKeys.h"
#include "support/Handles.h"

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
     L"Registration*:DispatchTest.*:ViewWalkTest.*:MachineDriveTest.*:PersistenceTest.*"},
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

// The user's Lanterwell settings, saved drives and sign-in entry: moved aside while the suites
// run, which make and delete their own, and put back as they were.
class UserState {
public:
    UserState() {
        PutBack();
        HKEY kept = nullptr;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, kKeptAside, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &kept, nullptr))
            return;
        SHCopyKeyW(HKEY_CURRENT_USER, StoreKeys::kSettings, kept, 0);
        DWORD size = sizeof(m_run);
        m_hasRun = SHGetValueW(HKEY_CURRENT_USER, StoreKeys::kRun, StoreKeys::kRunValue, &m_runType,
                               m_run, &size) == ERROR_SUCCESS;
        m_runSize = size;
        RegCloseKey(kept);
        SHDeleteKeyW(HKEY_CURRENT_USER, StoreKeys::kSettings);
    }
    ~UserState() {
        PutBack();
        if (m_hasRun)
            SHSetValueW(HKEY_CURRENT_USER, StoreKeys::kRun, StoreKeys::kRunValue, m_runType, m_run,
                        m_runSize);
        else
            SHDeleteValueW(HKEY_CURRENT_USER, StoreKeys::kRun, StoreKeys::kRunValue);
    }
    UserState(const UserState&) = delete;
    UserState& operator=(const UserState&) = delete;

private:
    static void PutBack() {
        HKEY kept = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, kKeptAside, 0, KEY_READ, &kept))
            return;
        SHDeleteKeyW(HKEY_CURRENT_USER, StoreKeys::kSettings);
        HKEY settings = nullptr;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, StoreKeys::kSettings, 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &settings, nullptr) == ERROR_SUCCESS) {
            SHCopyKeyW(kept, nullptr, settings, 0);
            RegCloseKey(settings);
        }
        RegCloseKey(kept);
        SHDeleteKeyW(HKEY_CURRENT_USER, kKeptAside);
    }

    BYTE m_run[4096] = {};
    DWORD m_runType = REG_NONE;
    DWORD m_runSize = 0;
    bool m_hasRun = false;
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

// Runs a command line in a folder, its output to the given handle (or this console).
DWORD Run(const std::wstring& folder, std::wstring command, HANDLE output = nullptr) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    if (output) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = output;
        startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    }
    PROCESS_INFORMATION started = {};
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, folder.c_str(),
                        &startup, &started))
        return GetLastError() | 0x80000000;
    const UniqueKernelObject process(started.hProcess);
    const UniqueKernelObject thread(started.hThread);
    WaitForSingleObject(process.Get(), INFINITE);
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

std::string RunSuite(const std::wstring& root, const Suite& suite, bool elevated, Counts& counts) {
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
    const DWORD code = Run(folder, command);
    ResetUserState();
    const std::string xml = ReadFile(report);
    const int cases = Occurrences(xml, "<testcase ");
    const int failed = Occurrences(xml, "<failure ");
    const int skipped = Occurrences(xml, "<skipped");
    // A program that dies leaves no report, or one that does not say so.
    const bool died = xml.empty() || (code != 0 && failed == 0);
    if (died) {
        wprintf(L"%ls ended with code %lu and no failure reported\n", suite.program, code);
        ++counts.failed;
    }
    counts.skipped += skipped;
    counts.passed += cases - skipped - failed;
    counts.failed += failed;
    return Cases(xml);
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
    if (Registered()) {
        wprintf(L"Lanterwell is installed or registered on this machine: its registration tests "
                L"would replace and remove it. Run the tests where it is not installed.\n");
        return 2;
    }
    const std::wstring root = Folder();
    // An administrator may see what a user without the rights would run.
    bool elevated = Elevated();
    int named = 0;
    for (int i = 1; i < argc; ++i) {
        if (lstrcmpiW(argv[i], kWithoutAdministrator) == 0)
            elevated = false;
        else
            ++named;
    }
    const UserState kept;
    Counts counts;
    std::string suites;
    for (const Suite& suite : kSuites) {
        bool chosen = named == 0;
        for (int i = 1; i < argc; ++i)
            chosen = chosen || lstrcmpiW(argv[i], suite.folder) == 0;
        if (chosen)
            suites += RunSuite(root, suite, elevated, counts);
    }
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
