#pragma once
#include <windows.h>
#include <string>

namespace test {

// How long a test waits for a condition before it calls the wait a hang: far longer than any
// busy machine takes, so that only a hang reaches it.
constexpr DWORD kHangDeadline = 600000;

// The folder that holds the running test program, with its final backslash.
inline std::string RunFolder() {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, length);
    return folder.substr(0, folder.find_last_of('\\') + 1);
}

inline std::string InRunFolder(const std::string& name) {
    return RunFolder() + name;
}

// The tests' paths and names are ASCII: widened character by character.
inline std::wstring Wide(const std::string& ascii) {
    return std::wstring(ascii.begin(), ascii.end());
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
        CreateDirectoryA(m_path.c_str(), nullptr);
    }
    ~ScratchFolder() {
        std::string pattern = m_path + "\\*";
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA(pattern.c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                    DeleteFileA((m_path + "\\" + found.cFileName).c_str());
            } while (FindNextFileA(search, &found));
            FindClose(search);
        }
        RemoveDirectoryA(m_path.c_str());
    }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

} // namespace test
