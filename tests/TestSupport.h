#pragma once
#include <windows.h>
#include <string>

// A case that hands its own folder to an ANSI function (SUBST.DLL's, the handler's ANSI drop)
// needs that folder's exact ANSI form: where the code page cannot hold it, the case says so and
// is skipped, never run on a name that is another file's.
#define SKIP_WITHOUT_ANSI_RUN_FOLDER()                                                             \
    if (!test::RunFolderIsAnsi())                                                                  \
    GTEST_SKIP() << "needs an ANSI path to its own folder, which code page " << GetACP()           \
                 << " cannot hold"

namespace test {

// How long a test waits for a condition before it calls the wait a hang: far longer than any
// busy machine takes, so that only a hang reaches it.
constexpr DWORD kHangDeadline = 600000;

// The folder that holds the running test program, with its final backslash, in UTF-16: a
// tester may unpack the tests under any name.
inline std::wstring RunFolder() {
    wchar_t path[32768];
    const DWORD length = GetModuleFileNameW(nullptr, path, ARRAYSIZE(path));
    std::wstring folder(path, length < ARRAYSIZE(path) ? length : 0);
    return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

// The tests' own names are ASCII: widened character by character.
inline std::wstring Wide(const std::string& ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

inline std::wstring InRunFolder(const std::string& name) {
    return RunFolder() + Wide(name);
}

// The exact ANSI form of a path, for a case that hands it to an ANSI function; false where the
// process's code page cannot hold it (and a best fit would name another file).
inline bool AnsiForm(const std::wstring& path, std::string& ansi) {
    BOOL lossy = FALSE;
    const int units = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, path.c_str(), -1, nullptr,
                                          0, nullptr, &lossy);
    if (units <= 0 || lossy)
        return false;
    ansi.assign(static_cast<size_t>(units), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, path.c_str(), -1, &ansi[0], units, nullptr,
                        nullptr);
    ansi.resize(static_cast<size_t>(units) - 1);
    return true;
}

// A path below the run folder in its ANSI form; empty where it has none (a case that needs one
// is skipped there first: SKIP_WITHOUT_ANSI_RUN_FOLDER).
inline std::string AnsiInRunFolder(const std::string& name) {
    std::string ansi;
    return AnsiForm(InRunFolder(name), ansi) ? ansi : std::string();
}

inline bool RunFolderIsAnsi() {
    std::string ansi;
    return AnsiForm(RunFolder(), ansi);
}

// What the drive programs say, in the language they choose for this user.
inline std::wstring Said(const wchar_t* english, const wchar_t* japanese) {
    return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_JAPANESE ? japanese : english;
}

// Drives by number, 1 for A: as SUBST.DLL counts them.
inline bool DriveInUse(int drive) {
    return (GetLogicalDrives() >> (drive - 1)) & 1;
}

// The first free drive after `after`, from P: to Y:, far from the machine's own; 0 if none.
inline int FreeDrive(int after = 15) {
    for (int drive = after + 1; drive <= 25; ++drive)
        if (!DriveInUse(drive))
            return drive;
    return 0;
}

// What a drive stands for, as the platform says, or "<none>".
inline std::wstring DeviceTarget(int drive) {
    const wchar_t name[] = {static_cast<wchar_t>(L'A' + drive - 1), L':', 0};
    wchar_t target[1024] = {};
    return QueryDosDeviceW(name, target, 1024) ? target : L"<none>";
}

// Whether the tests run on Wine. The few places where Wine differs from Windows say so where
// they differ, Windows' documented behaviour staying the expectation, as Wine's own tests mark
// theirs.
inline bool OnWine() {
    return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
}

// Whether the tests run under an emulated Wine (tools/roots/enter-root.sh says so). There one
// process cannot read another's memory: the read stops the process, which qemu does not survive.
inline bool Emulated() {
    return GetEnvironmentVariableA("LANTERWELL_EMULATED", nullptr, 0) != 0;
}

// The type library's platform on this build: its SYSKIND and the subkey it registers under.
constexpr SYSKIND kNativeSysKind = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;
constexpr const char* kNativePlatformKey = sizeof(void*) == 8 ? "win64" : "win32";

// A predefined registry root as the headers define it: the 32-bit value sign-extended.
inline HKEY PredefinedKey(DWORD value) {
    return reinterpret_cast<HKEY>(static_cast<LONG_PTR>(static_cast<LONG>(value)));
}

inline bool IsJapaneseCodePage() {
    return GetACP() == 932;
}

// The ANSI form of a text as the product must produce it: the given Shift-JIS bytes under
// code page 932, and under a Western code page each non-ASCII character as '?'.
inline std::string ExpectedAnsi(const std::u16string& text, const char* shiftJis) {
    if (IsJapaneseCodePage())
        return shiftJis;
    std::string ansi;
    for (char16_t unit : text)
        ansi += unit < 0x80 ? static_cast<char>(unit) : '?';
    return ansi;
}

// Sets the thread locale for the length of a scope.
class ThreadLocale {
public:
    explicit ThreadLocale(LCID locale) : m_saved(GetThreadLocale()) { SetThreadLocale(locale); }
    ~ThreadLocale() { SetThreadLocale(m_saved); }

private:
    LCID m_saved;
};

// A folder below the run folder that is removed again with everything in it.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& name) : m_path(InRunFolder(name)) {
        CreateDirectoryW(m_path.c_str(), nullptr);
        AnsiForm(m_path, m_ansi);
    }
    ~ScratchFolder() {
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW((m_path + L"\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                    DeleteFileW((m_path + L"\\" + found.cFileName).c_str());
            } while (FindNextFileW(search, &found));
            FindClose(search);
        }
        RemoveDirectoryW(m_path.c_str());
    }
    const std::wstring& Path() const { return m_path; }
    // Its ANSI form; empty where the code page cannot hold it.
    const std::string& AnsiPath() const { return m_ansi; }

private:
    std::wstring m_path;
    std::string m_ansi;
};

} // namespace test
