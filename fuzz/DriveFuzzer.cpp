// Sends generated folder names through every way a drive is made, and checks one invariant:
// the letter maps exactly the folder the name stands for, in the form the platform maps (the
// same folder the platform opens for the name: same volume, same file), or nothing changed and a
// reason was given; the store holds only what was mapped; restoring twice is restoring once.
// The ways: lwsubst's make and /save, /restore and the window's Add and Change as the drive
// core runs them for those programs, SUBST.DLL's CreateSubst, /machine's check, and every 25th
// name lwsubst.exe itself. A plain name of an existing folder must be mapped as that folder
// wherever the program reads such names (the window reads full paths only). A failing name is
// shrunk part by part and written out.
//
// usage: DriveFuzzer [--seed N] [--count N]
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string>
#include <vector>
#include "drives/DosDevices.h"
#include "drives/DriveActions.h"
#include "drives/DriveStore.h"
#include "drives/MachineDrives.h"
#include "fuzz/NameGenerator.h"

namespace {

using FolderNames::Names;

const wchar_t kDrivesKey[] = L"Software\\Lanterwell\\Drives";
const int kProcessEvery = 25;

// The case being run, for the crash filter.
const std::wstring* volatile g_current = nullptr;

std::string Utf8(const std::wstring& text) {
    std::string out(text.size() * 3 + 1, '\0');
    out.resize(static_cast<size_t>(
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0],
                            static_cast<int>(out.size()), nullptr, nullptr)));
    return out;
}

LONG WINAPI OnCrash(EXCEPTION_POINTERS* pointers) {
    printf("CRASH 0x%08lX with the name %s\n", pointers->ExceptionRecord->ExceptionCode,
           g_current ? Utf8(*g_current).c_str() : "(none)");
    fflush(stdout);
    TerminateProcess(GetCurrentProcess(), 4);
    return EXCEPTION_EXECUTE_HANDLER;
}

// What the platform opens for a name: its volume and file, or nothing.
struct Identity {
    bool found = false;
    DWORD volume = 0, high = 0, low = 0;
    bool operator==(const Identity& other) const {
        return found && other.found && volume == other.volume && high == other.high &&
               low == other.low;
    }
};

Identity IdentityOf(const std::wstring& name) {
    Identity identity;
    const HANDLE file =
        CreateFileW(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    BY_HANDLE_FILE_INFORMATION information;
    if (file == INVALID_HANDLE_VALUE)
        return identity;
    identity.found = GetFileInformationByHandle(file, &information) &&
                     (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    identity.volume = information.dwVolumeSerialNumber;
    identity.high = information.nFileIndexHigh;
    identity.low = information.nFileIndexLow;
    CloseHandle(file);
    return identity;
}

// The form the platform maps: full, no long-form prefix, no final backslash but on a root, and
// the platform's full path of itself.
bool InMappedForm(const std::wstring& folder) {
    if (folder.size() < 3 || folder.compare(0, 4, L"\\\\?\\") == 0 ||
        folder.compare(0, 4, L"\\\\.\\") == 0)
        return false;
    if (folder.back() == L'\\' && folder.size() != 3)
        return false;
    std::vector<wchar_t> full(32768);
    const DWORD length = GetFullPathNameW(folder.c_str(), 32768, full.data(), nullptr);
    return length && std::wstring(full.data(), length) == folder;
}

std::wstring Mapped(int drive) {
    wchar_t folder[MAX_PATH];
    return DosDevices::Query(drive, folder) == 0 ? folder : L"";
}

// The drive's saved value as it stands, or "<none>".
std::wstring SavedValue(int drive) {
    const wchar_t name[] = {static_cast<wchar_t>(L'A' + drive - 1), 0};
    std::vector<wchar_t> data(4096);
    DWORD size = static_cast<DWORD>(data.size() * sizeof(wchar_t));
    if (RegGetValueW(HKEY_CURRENT_USER, kDrivesKey, name, RRF_RT_ANY | RRF_NOEXPAND, nullptr,
                     data.data(), &size))
        return L"<none>";
    return data.data();
}

void SaveRaw(int drive, const std::wstring& text) {
    const wchar_t name[] = {static_cast<wchar_t>(L'A' + drive - 1), 0};
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kDrivesKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr))
        return;
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

struct Campaign {
    fuzz::Fixtures fixtures;
    int letter = 0; // the drive every way makes
    int other = 0;  // the drive the window's Change starts from
    int(WINAPI* createSubst)(int, const char*) = nullptr;
    std::wstring lwsubst;
    std::string folder; // the program's own, where failures are written
};

// The invariant for a drive a way made from a name.
std::string CheckMade(const fuzz::NameCase& name, const std::wstring& given, int drive) {
    const std::wstring mapped = Mapped(drive);
    if (mapped.empty())
        return "made, yet the letter maps nothing";
    if (!InMappedForm(mapped))
        return "the letter maps a name that is not in the mapped form";
    if (name.plain)
        return mapped == name.expected ? "" : "the letter maps another folder than the one named";
    if (!(IdentityOf(mapped) == IdentityOf(given)))
        return "the letter maps another folder than the one the name opens";
    return "";
}

// The invariant for a way that answered: made as named, or nothing changed and a reason given.
// `saves`: whether a drive made is saved (else nothing may be saved).
std::string CheckAnswer(const fuzz::NameCase& name, const std::wstring& given, int drive,
                        int answer, bool readsRelative, bool saves, bool reasonNamed) {
    if (answer == 0) {
        if (name.relative && !readsRelative)
            return "a relative name was mapped where there is no current folder";
        std::string broken = CheckMade(name, given, drive);
        if (broken.empty() &&
            (saves ? SavedValue(drive) != Mapped(drive) : SavedValue(drive) != L"<none>"))
            broken = "the store does not hold exactly what was mapped";
        return broken;
    }
    if (!Mapped(drive).empty())
        return "refused, yet the letter is mapped";
    if (SavedValue(drive) != L"<none>")
        return "refused, yet something was saved";
    if (reasonNamed && DriveActions::ProblemOf(answer) == DriveActions::Problem::Other)
        return "refused without a reason the programs say";
    if (name.plain && !name.vanishing && (readsRelative || !name.relative))
        return "a plain name of an existing folder was refused";
    return "";
}

void Clear(const Campaign& campaign) {
    for (int drive : {campaign.letter, campaign.other}) {
        DosDevices::Delete(drive);
        DriveStore::Forget(drive);
    }
}

struct Restored {
    int drive;
    int error;
    bool heard;
};

void HearRestore(void* context, int drive, const wchar_t*, int error) {
    Restored& restored = *static_cast<Restored*>(context);
    if (drive == restored.drive) {
        restored.error = error;
        restored.heard = true;
    }
}

std::string ThroughRestore(const Campaign& campaign, const fuzz::NameCase& name,
                           const std::wstring& given) {
    SaveRaw(campaign.letter, given);
    Restored first = {campaign.letter, 0, false};
    DriveActions::Restore(HearRestore, &first);
    if (!first.heard)
        return "a saved drive not in place was neither restored nor reported";
    std::string broken;
    if (first.error == 0) {
        broken = CheckMade(name, given, campaign.letter);
        const std::wstring was = Mapped(campaign.letter);
        Restored second = {campaign.letter, 0, false};
        if (broken.empty() && (!DriveActions::Restore(HearRestore, &second) || second.heard ||
                               Mapped(campaign.letter) != was))
            broken = "restoring twice is not restoring once";
    } else if (!Mapped(campaign.letter).empty()) {
        broken = "a restore reported a failure, yet the letter is mapped";
    } else if (name.plain && !name.vanishing && !name.relative) {
        broken = "a plain name of an existing folder was not restored";
    }
    if (broken.empty() && SavedValue(campaign.letter) != given)
        broken = "a restore changed the saved value";
    return broken;
}

std::string ThroughChange(const Campaign& campaign, const fuzz::NameCase& name,
                          const std::wstring& given) {
    wchar_t full[MAX_PATH];
    const std::wstring start = campaign.fixtures.base + L"\\d";
    if (DosDevices::Create(campaign.other, start.c_str(), Names::FullOnly, full))
        return "the drive to change could not be made";
    const DriveActions::Made made = DriveActions::Change(campaign.other, campaign.letter,
                                                         given.c_str(), DriveActions::Keep::Entry);
    const int answer = made.created ? made.created : made.saved;
    if (answer == 0 && !Mapped(campaign.other).empty())
        return "a change left the old drive behind";
    if (answer != 0 && Mapped(campaign.other) != start)
        return "a refused change did not keep the old drive as it was";
    return CheckAnswer(name, given, campaign.letter, answer, false, true, true);
}

std::string ThroughMachineCheck(const Campaign& campaign, const fuzz::NameCase& name,
                                const std::wstring& given) {
    UniqueLocalText full = MachineDrives::NewFolder();
    int error = 0;
    const DriveActions::Problem problem = DriveActions::CheckMachine(
        campaign.letter, given.c_str(), Names::Relative, full.Get(), error);
    if (problem == DriveActions::Problem::Other)
        return "/machine refused without a reason it says";
    if (problem != DriveActions::Problem::None)
        return "";
    const std::wstring folder = full.Get();
    if (!InMappedForm(folder))
        return "/machine would write a name that is not in the mapped form";
    if (!name.vanishing && !(IdentityOf(folder) == IdentityOf(given)))
        return "/machine would write another folder than the one the name opens";
    return "";
}

// An argument quoted so that the program reads it back exactly: backslashes before the
// closing quote are doubled (the names hold no quotes).
std::wstring Quoted(const std::wstring& argument) {
    size_t backslashes = 0;
    while (backslashes < argument.size() && argument[argument.size() - 1 - backslashes] == L'\\')
        ++backslashes;
    return L"\"" + argument + std::wstring(backslashes, L'\\') + L"\"";
}

int ThroughProcess(const Campaign& campaign, const std::wstring& given) {
    std::wstring command = L"\"" + campaign.lwsubst + L"\" " +
                           std::wstring(1, static_cast<wchar_t>(L'A' + campaign.letter - 1)) +
                           L": " + Quoted(given);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES; // its messages are not the campaign's
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(campaign.lwsubst.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                        campaign.fixtures.base.c_str(), &startup, &process))
        return -1;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}

// The ways a drive is made, each run on the name, with what it broke.
enum Way { Make, Save, Window, Companion, Change, Restore, Machine, Process, kWays };
const char* const kWayNames[] = {"lwsubst make",  "lwsubst /save", "window Add",     "CreateSubst",
                                 "window Change", "/restore",      "/machine check", "lwsubst.exe"};

std::string Through(const Campaign& campaign, Way way, const fuzz::NameCase& name) {
    const std::wstring given = name.Text();
    Clear(campaign);
    using DriveActions::Keep;
    switch (way) {
    case Make:
    case Save:
    case Window: {
        const bool window = way == Window;
        const DriveActions::Made made =
            DriveActions::Make(campaign.letter, given.c_str(),
                               way == Make ? Keep::BySetting
                               : window    ? Keep::Never
                                           : Keep::Always,
                               window ? Names::FullOnly : Names::Relative);
        return CheckAnswer(name, given, campaign.letter, made.created ? made.created : made.saved,
                           !window, !window, true);
    }
    case Companion: {
        // The menu passes ANSI names: a name the code page cannot hold exactly is not one.
        char ansi[4 * MAX_PATH];
        BOOL lossy = FALSE;
        if (!WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, given.c_str(), -1, ansi,
                                 sizeof(ansi), nullptr, &lossy) ||
            lossy)
            return "";
        return CheckAnswer(name, given, campaign.letter,
                           campaign.createSubst(campaign.letter, ansi), true, true, false);
    }
    case Change:
        return ThroughChange(campaign, name, given);
    case Restore:
        return ThroughRestore(campaign, name, given);
    case Machine:
        return ThroughMachineCheck(campaign, name, given);
    default:
        return CheckAnswer(name, given, campaign.letter, ThroughProcess(campaign, given), true,
                           true, false);
    }
}

// Removes and makes again the vanishing folder while a case runs.
struct Vanisher {
    std::wstring folder;
    volatile LONG stop = 0;
    static DWORD WINAPI Run(void* self) {
        Vanisher& vanisher = *static_cast<Vanisher*>(self);
        while (!vanisher.stop) {
            RemoveDirectoryW(vanisher.folder.c_str());
            CreateDirectoryW(vanisher.folder.c_str(), nullptr);
        }
        return 0;
    }
};

// `mapped`, where given, learns whether the way left a drive on the letter.
std::string RunCase(const Campaign& campaign, Way way, const fuzz::NameCase& name,
                    bool* mapped = nullptr) {
    const std::wstring text = name.Text();
    g_current = &text;
    Vanisher vanisher;
    vanisher.folder = campaign.fixtures.base + L"\\" + campaign.fixtures.vanishing;
    const HANDLE thread =
        name.vanishing ? CreateThread(nullptr, 0, Vanisher::Run, &vanisher, 0, nullptr) : nullptr;
    const std::string broken = Through(campaign, way, name);
    if (thread) {
        InterlockedExchange(&vanisher.stop, 1);
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
        CreateDirectoryW(vanisher.folder.c_str(), nullptr);
    }
    if (mapped)
        *mapped = !Mapped(campaign.letter).empty();
    Clear(campaign);
    g_current = nullptr;
    return broken;
}

// Drops parts of a failing name for as long as the same way breaks the same invariant.
fuzz::NameCase Shrink(const Campaign& campaign, Way way, fuzz::NameCase name,
                      const std::string& broken) {
    if (name.plain)
        return name;
    for (size_t at = 0; at < name.parts.size();) {
        fuzz::NameCase fewer = name;
        fewer.parts.erase(fewer.parts.begin() + static_cast<long>(at));
        if (RunCase(campaign, way, fewer) == broken)
            name = fewer;
        else
            ++at;
    }
    return name;
}

void Report(const Campaign& campaign, Way way, const fuzz::NameCase& name,
            const std::string& broken, int number) {
    const std::string text =
        std::string("# ") + broken + "\n# " + kWayNames[way] + "\n" + Utf8(name.Text()) + "\n";
    const std::string file = campaign.folder + "drive-failure-" + std::to_string(number) + ".txt";
    if (FILE* out = fopen(file.c_str(), "wb")) {
        fwrite(text.data(), 1, text.size(), out);
        fclose(out);
    }
    printf("FAILED: %s(written to %s)\n", text.c_str(), file.c_str());
}

bool MakeFixtures(fuzz::Fixtures& fixtures) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    wchar_t longTemp[MAX_PATH];
    if (!GetLongPathNameW(temp, longTemp, MAX_PATH))
        return false;
    fixtures.base = std::wstring(longTemp) + L"lanterwell-names";
    const std::wstring longName(100, L'L');
    fixtures.dirs = {
        L"d",      L"d\\sub",
        L"sp ace", L"\x8868",
        L"\xFF41", L"a",
        longName,  longName + L"\\" + longName.substr(0, 258 - fixtures.base.size() - 102)};
    fixtures.file = L"f";
    fixtures.vanishing = L"vanishing";
    CreateDirectoryW(fixtures.base.c_str(), nullptr);
    for (const std::wstring& dir : fixtures.dirs)
        CreateDirectoryW((fixtures.base + L"\\" + dir).c_str(), nullptr);
    CreateDirectoryW((fixtures.base + L"\\" + fixtures.vanishing).c_str(), nullptr);
    CloseHandle(CreateFileW((fixtures.base + L"\\" + fixtures.file).c_str(), GENERIC_WRITE, 0,
                            nullptr, CREATE_ALWAYS, 0, nullptr));
    for (const std::wstring& dir : fixtures.dirs)
        if (!(IdentityOf(fixtures.base + L"\\" + dir).found))
            return false;
    return SetCurrentDirectoryW(fixtures.base.c_str()) != FALSE;
}

bool Prepare(Campaign& campaign) {
    if (!MakeFixtures(campaign.fixtures))
        return false;
    for (int drive = 1; drive <= 26; ++drive)
        DriveStore::Forget(drive);
    DriveStore::SetRestoreAtSignIn(true);
    const DWORD free = DosDevices::FreeLetters();
    for (int drive = 16; drive <= 25; ++drive) {
        if (!(free & (1u << (drive - 1))))
            continue;
        (campaign.letter ? campaign.other : campaign.letter) = drive;
        if (campaign.other)
            break;
    }
    wchar_t program[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, program, MAX_PATH);
    std::wstring folder(program, length);
    folder.resize(folder.find_last_of(L'\\') + 1);
    campaign.lwsubst = folder + L"lwsubst.exe";
    campaign.folder = std::string(folder.begin(), folder.end());
    const HMODULE companion = LoadLibraryW((folder + L"SUBST.DLL").c_str());
    campaign.createSubst = reinterpret_cast<int(WINAPI*)(int, const char*)>(
        reinterpret_cast<void*>(GetProcAddress(companion, "CreateSubst")));
    return campaign.letter && campaign.other && campaign.createSubst &&
           GetFileAttributesW(campaign.lwsubst.c_str()) != INVALID_FILE_ATTRIBUTES;
}

} // namespace

int main(int argc, char** argv) {
    unsigned seed = 1;
    long count = 1000;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--seed")
            seed = static_cast<unsigned>(strtoul(argv[i + 1], nullptr, 10));
        else if (option == "--count")
            count = strtol(argv[i + 1], nullptr, 10);
    }
    SetUnhandledExceptionFilter(OnCrash);
    Campaign campaign;
    if (!Prepare(campaign)) {
        printf("the campaign's folders, letters, SUBST.DLL or lwsubst.exe are not there\n");
        return 1;
    }
    fuzz::NameGenerator generator(seed, campaign.fixtures);
    int failures = 0;
    long ran = 0;
    long runs = 0;
    long made = 0;
    for (long i = 0; i < count && failures < 5; ++i) {
        const fuzz::NameCase name = generator.Generate();
        for (int way = 0; way < kWays; ++way) {
            if (way == Process && i % kProcessEvery)
                continue;
            bool mapped = false;
            const std::string broken = RunCase(campaign, static_cast<Way>(way), name, &mapped);
            ++runs;
            made += mapped ? 1 : 0;
            if (!broken.empty()) {
                Report(campaign, static_cast<Way>(way),
                       Shrink(campaign, static_cast<Way>(way), name, broken), broken, ++failures);
                break;
            }
        }
        ++ran;
    }
    DriveStore::SetRestoreAtSignIn(false);
    printf("seed %u: %ld names through every way a drive is made: %ld runs, %ld of them left a "
           "drive\n",
           seed, ran, runs, made);
    printf("fuzz: %ld passed, %d failed\n", ran - failures, failures);
    return failures ? 1 : 0;
}
