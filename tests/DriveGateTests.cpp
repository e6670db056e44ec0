// Every program that makes a drive asks one gate: the folder the user named, exactly, or a
// refusal with its reason, from lwsubst, its /restore, SUBST.DLL and the window's calls alike.
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include <thread>
#include <vector>
#include "tests/LwsubstRun.h"
#include "tests/PolicyKeys.h"
#include "tests/TestSupport.h"
#include "drives/DosDevices.h"
#include "drives/DriveActions.h"
#include "drives/DriveStore.h"

namespace {

using FolderNames::Names;

const wchar_t kDevices[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\DOS Devices";

std::string Narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());
}

std::wstring Letter(int drive) {
    return {static_cast<wchar_t>(L'A' + drive - 1), L':'};
}

void SetValue(HKEY root, const wchar_t* path, const std::wstring& name, const std::wstring& data) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr), 0);
    RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                   static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

void DeleteValue(HKEY root, const wchar_t* path, const std::wstring& name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path, 0, KEY_SET_VALUE, &key) == 0) {
        RegDeleteValueW(key, name.c_str());
        RegCloseKey(key);
    }
}

// What a drive maps now: its folder, or "<none>".
std::wstring Mapped(int drive) {
    wchar_t folder[MAX_PATH];
    return DosDevices::Query(drive, folder) == 0 ? folder : L"<none>";
}

// A program's way of making a drive, answering 0 or why not.
using Maker = int (*)(int drive, const std::wstring& name);

int ByLwsubst(int drive, const std::wstring& name) {
    const test::Result result = test::Lwsubst(Letter(drive) + L" \"" + name + L"\"");
    return static_cast<int>(result.code);
}
int ByCompanion(int drive, const std::wstring& name) {
    HMODULE companion = LoadLibraryW(test::InRunFolder("subst_companion.dll").c_str());
    const auto create = reinterpret_cast<int(WINAPI*)(int, const char*)>(
        reinterpret_cast<void*>(GetProcAddress(companion, "CreateSubst")));
    std::string ansi;
    const int answer = create && test::AnsiForm(name, ansi) ? create(drive, ansi.c_str()) : -1;
    FreeLibrary(companion);
    return answer;
}
int ByWindow(int drive, const std::wstring& name) {
    return DriveActions::Make(drive, name.c_str(), DriveActions::Keep::Never, Names::FullOnly)
        .created;
}
int ByRestore(int drive, const std::wstring& name) {
    DriveStore::SetRestoreAtSignIn(true);
    SetValue(HKEY_CURRENT_USER, L"Software\\Lanterwell\\Drives", Letter(drive).substr(0, 1), name);
    const int code = static_cast<int>(test::Lwsubst(L"/restore").code);
    DriveStore::Forget(drive);
    return code;
}

class DriveGateTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Every program is asked, CreateSubst too, which takes ANSI names.
        SKIP_WITHOUT_ANSI_RUN_FOLDER();
        m_wasOn = DriveStore::RestoreAtSignIn();
        for (int drive = 1; drive <= 26; ++drive)
            DriveStore::Forget(drive);
        m_drive = test::FreeDrive(17);
        ASSERT_NE(m_drive, 0);
        CreateDirectoryW(m_folder.c_str(), nullptr);
    }
    void TearDown() override {
        if (!m_drive)
            return;
        DosDevices::Delete(m_drive);
        DriveStore::Forget(m_drive);
        DeleteValue(HKEY_LOCAL_MACHINE, kDevices, Letter(m_drive));
        RemoveDirectoryW(m_folder.c_str());
        DriveStore::SetRestoreAtSignIn(m_wasOn);
    }

    const std::wstring m_folder = test::InRunFolder("gate folder");
    int m_drive = 0;
    bool m_wasOn = false;
};

// Names that stand for the folder map exactly it; names that stand for none map nothing, from
// every program (the window takes full paths only: it has no current folder a user knows of).
TEST_F(DriveGateTest, EveryProgramMapsTheFolderNamedOrNothing) {
    const struct {
        const char* program;
        Maker make;
        bool relative;
    } programs[] = {{"lwsubst", ByLwsubst, true},
                    {"CreateSubst", ByCompanion, true},
                    {"window", ByWindow, false},
                    {"restore", ByRestore, false}};
    const std::wstring runFolder = test::RunFolder();
    const struct {
        std::wstring name;
        std::wstring relativeMaps; // what a program that reads names as SUBST does maps
        std::wstring fullMaps;     // what a program that takes full paths only maps
    } names[] = {
        {L"\\??\\" + m_folder, L"<none>", L"<none>"},
        {L"\\\\.\\" + m_folder, L"<none>", L"<none>"},
        {L"\\\\?\\" + m_folder, m_folder, m_folder},
        {L"\\\\?\\" + m_folder + L".", L"<none>", L"<none>"},
        {m_folder + L"\\", m_folder, m_folder},
        {L"gate folder", m_folder, L"<none>"},
        {L".", runFolder.substr(0, runFolder.size() - 1), L"<none>"},
        {m_folder + L"\\NUL", L"<none>", L"<none>"},
    };
    for (const auto& program : programs) {
        for (const auto& name : names) {
            const std::wstring expected = program.relative ? name.relativeMaps : name.fullMaps;
            const int answer = program.make(m_drive, name.name);
            EXPECT_EQ(Mapped(m_drive), expected)
                << program.program << " given " << Narrow(name.name);
            EXPECT_EQ(answer == 0, expected != L"<none>") << program.program;
            DosDevices::Delete(m_drive);
        }
    }
}

// A letter that a drive for every user holds (from the next start too) is refused by every
// program and offered by none.
TEST_F(DriveGateTest, ALetterHeldForEveryUserIsRefusedEverywhere) {
    SetValue(HKEY_LOCAL_MACHINE, kDevices, Letter(m_drive), L"\\??\\C:\\windows");
    EXPECT_FALSE(DosDevices::FreeLetters() & (1u << (m_drive - 1)));
    for (const Maker make : {ByLwsubst, ByCompanion, ByWindow, ByRestore}) {
        EXPECT_NE(make(m_drive, m_folder), 0);
        EXPECT_EQ(Mapped(m_drive), L"<none>");
    }
    EXPECT_EQ(ByCompanion(m_drive, m_folder), DosDevices::kMachineDriveHolds);
}

// A letter the administrator's policy keeps is refused by every program, for every user
// too, and offered by none; the policy's other letters change nothing of the rest.
TEST_F(DriveGateTest, ALetterReservedByPolicyIsRefusedEverywhere) {
    const test::PolicyKeys keys;
    test::PolicyKeys::Reserve(HKEY_CURRENT_USER, {Letter(m_drive)});
    EXPECT_FALSE(DosDevices::FreeLetters() & (1u << (m_drive - 1)));
    for (const Maker make : {ByLwsubst, ByCompanion, ByWindow, ByRestore}) {
        EXPECT_NE(make(m_drive, m_folder), 0);
        EXPECT_EQ(Mapped(m_drive), L"<none>");
    }
    EXPECT_EQ(ByCompanion(m_drive, m_folder), DosDevices::kReservedByPolicy);
    wchar_t full[MAX_PATH];
    int error = 0;
    EXPECT_EQ(DriveActions::MakeMachine(m_drive, m_folder.c_str(), full, error),
              DriveActions::Problem::ReservedLetter);
    test::PolicyKeys::Reserve(HKEY_CURRENT_USER, {L"not a letter"});
    EXPECT_EQ(ByWindow(m_drive, m_folder), 0) << "the list's one entry no longer names it";
}

// Saved folders compare in the mapped form: a final backslash or the long form restores once,
// and the next restore (both sign-in entries run one) finds it in place.
TEST_F(DriveGateTest, RestoringTwiceIsRestoringOnce) {
    for (const std::wstring& saved : {m_folder + L"\\", L"\\\\?\\" + m_folder}) {
        ASSERT_EQ(ByRestore(m_drive, saved), 0);
        SetValue(HKEY_CURRENT_USER, L"Software\\Lanterwell\\Drives", Letter(m_drive).substr(0, 1),
                 saved);
        EXPECT_EQ(test::Lwsubst(L"/restore").code, 0u) << Narrow(saved);
        EXPECT_EQ(Mapped(m_drive), m_folder);
        EXPECT_EQ(DriveActions::SignInOf(DriveActions::Read(m_drive), DriveStore::RestoreSetting()),
                  DriveActions::SignIn::Restored);
        DosDevices::Delete(m_drive);
    }
}

// Saved values that name no full path are listed as such, not as drives.
TEST_F(DriveGateTest, BrokenSavedValuesAreReported) {
    for (const wchar_t* value : {L"", L"relative\\dir", L"C:", L"\\??\\C:\\data"}) {
        SetValue(HKEY_CURRENT_USER, L"Software\\Lanterwell\\Drives", Letter(m_drive).substr(0, 1),
                 value);
        const DriveActions::Listing entry = DriveActions::Read(m_drive);
        EXPECT_TRUE(entry.unreadable && !entry.saved) << Narrow(value);
    }
}

// Change keeps the user's setting the master switch: a ticked box keeps the drive's own entry.
TEST_F(DriveGateTest, ChangeNeverTurnsRestoringOn) {
    DriveStore::SetRestoreAtSignIn(false);
    ASSERT_EQ(ByWindow(m_drive, m_folder), 0);
    const DriveActions::Made made =
        DriveActions::Change(m_drive, m_drive, m_folder.c_str(), DriveActions::Keep::Entry);
    EXPECT_EQ(made.created + made.saved, 0);
    EXPECT_EQ(DriveStore::RestoreSetting(), DriveStore::Restoring::OffByUser);
    EXPECT_TRUE(DriveActions::Read(m_drive).saved);
}

// Two programs making one letter at once: one drive, made by one of them, and a delete leaves
// the letter free (no second definition stacked beneath).
TEST_F(DriveGateTest, TwoMakersOfOneLetterMakeOneDrive) {
    for (int round = 0; round < 50; ++round) {
        int answers[2] = {-1, -1};
        std::thread other([&] { answers[1] = ByWindow(m_drive, m_folder); });
        answers[0] = ByWindow(m_drive, L"C:\\windows");
        other.join();
        ASSERT_EQ((answers[0] == 0) + (answers[1] == 0), 1) << round;
        EXPECT_EQ(DosDevices::Delete(m_drive), 0);
        ASSERT_FALSE(test::DriveInUse(m_drive)) << round;
    }
}

// Smaller: /save over an oversized saved value; /machine with the long form; a share's value
// for every user listed as a share; a folder with spaces, unquoted.
TEST_F(DriveGateTest, SmallerFaults) {
    SetValue(HKEY_CURRENT_USER, L"Software\\Lanterwell\\Drives", Letter(m_drive).substr(0, 1),
             std::wstring(3000, L'x'));
    EXPECT_EQ(test::Lwsubst(Letter(m_drive) + L" \"" + m_folder + L"\" /save").code, 0u);
    wchar_t saved[MAX_PATH];
    EXPECT_EQ(DriveStore::Saved(m_drive, saved), 0);
    EXPECT_EQ(std::wstring(saved), m_folder);
    EXPECT_EQ(test::Lwsubst(Letter(m_drive) + L" /d").code, 0u);

    EXPECT_EQ(test::Lwsubst(Letter(m_drive) + L" \\\\?\\C:\\windows /machine").code, 0u);
    EXPECT_EQ(test::Lwsubst(Letter(m_drive) + L" /d /machine").code, 0u);
    SetValue(HKEY_LOCAL_MACHINE, kDevices, Letter(m_drive), L"\\??\\UNC\\server\\share");
    const std::string listed = test::Lwsubst(L"/machine").output;
    EXPECT_NE(listed.find("\\\\server\\share"), std::string::npos) << listed;

    const test::Result spaced = test::Lwsubst(Letter(m_drive) + L" C:\\My Folder");
    EXPECT_EQ(spaced.code, 2u);
    EXPECT_NE(spaced.output.find("\"C:\\My Folder\""), std::string::npos) << spaced.output;
}

// A folder the output cannot hold is never printed as the name of another one.
TEST_F(DriveGateTest, ListedFoldersAreNeverLookAlikes) {
    const std::wstring fullwidth = m_folder + L"\\\xFF41";
    ASSERT_TRUE(CreateDirectoryW(fullwidth.c_str(), nullptr));
    ASSERT_EQ(ByWindow(m_drive, fullwidth), 0);
    const std::string listed = test::Lwsubst(L"").output;
    const std::string lookAlike = Narrow(m_folder) + "\\a\r";
    EXPECT_EQ(listed.find(lookAlike), std::string::npos) << listed;
    DosDevices::Delete(m_drive);
    RemoveDirectoryW(fullwidth.c_str());
}

} // namespace
