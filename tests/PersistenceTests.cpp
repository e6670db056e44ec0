// Virtual drives kept for sign-in: the companion saves what the menu makes while the user's
// setting is on, and lwsubst restores it after the drive went (as at sign-out), exactly.
#include <gtest/gtest.h>
#include <windows.h>
#include <sddl.h>
#include <string>
#include <thread>
#include <vector>
#include "tests/ExpectedTexts.h"
#include "tests/ExtensionHarness.h"
#include "tests/LwsubstRun.h"
#include "tests/SubstDoubles.h"
#include "tests/TestSupport.h"
#include "drives/DosDevices.h"
#include "drives/DriveStore.h"

namespace {

const wchar_t kDrivesKey[] = L"Software\\Lanterwell\\Drives";

// The user's sign-in entry for Lanterwell, or "<none>".
std::wstring SignInEntry() {
    wchar_t command[MAX_PATH + 32] = {};
    DWORD size = sizeof(command);
    return RegGetValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                        L"Lanterwell", RRF_RT_REG_SZ, nullptr, command, &size) == ERROR_SUCCESS
               ? command
               : L"<none>";
}

std::wstring SavedFolder(int drive) {
    wchar_t folder[MAX_PATH];
    return DriveStore::Saved(drive, folder) == 0 ? folder : L"<none>";
}

bool DrivesKeyHasValues() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kDrivesKey, 0, KEY_READ, &key))
        return false;
    DWORD values = 0;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr,
                     nullptr, nullptr, nullptr);
    RegCloseKey(key);
    return values > 0;
}

// Removes the DOS device behind the program's back, as signing out does.
void SignOut(int drive) {
    const wchar_t name[] = {static_cast<wchar_t>(L'A' + drive - 1), L':', 0};
    wchar_t target[1024] = {};
    if (QueryDosDeviceW(name, target, 1024))
        DefineDosDeviceW(DDD_REMOVE_DEFINITION | DDD_RAW_TARGET_PATH | DDD_EXACT_MATCH_ON_REMOVE,
                         name, target);
}

// The machine-wide default of the setup program's option: on, or absent.
void SetMachineDefault(bool on) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Lanterwell", 0, nullptr, 0,
                        KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &key, nullptr))
        return;
    const DWORD value = 1;
    if (on)
        RegSetValueExW(key, L"RestoreAtSignIn", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                       sizeof(value));
    else
        RegDeleteValueW(key, L"RestoreAtSignIn");
    RegCloseKey(key);
    if (!on)
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"Software\\Lanterwell");
}

// The user without a setting of their own.
void ClearUserSetting() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Lanterwell", 0, KEY_SET_VALUE, &key))
        return;
    RegDeleteValueW(key, L"RestoreAtSignIn");
    RegCloseKey(key);
}

void ForgetSignInEntry() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", 0,
                      KEY_SET_VALUE, &key))
        return;
    RegDeleteValueW(key, L"Lanterwell");
    RegCloseKey(key);
}

std::wstring LetterOf(int drive) {
    return {static_cast<wchar_t>(L'A' + drive - 1), L':'};
}

// The user's setting and saved drives as the test found them, put back afterwards.
class PersistenceTest : public ::testing::Test {
protected:
    void SetUp() override {
        SKIP_WITHOUT_ANSI_RUN_FOLDER(); // the server finds SUBST.DLL beside it by its ANSI path
        ASSERT_TRUE(m_subst.Placed());
        m_wasOn = DriveStore::RestoreAtSignIn();
        for (int drive = 1; drive <= static_cast<int>(kLetterCount); ++drive)
            DriveStore::Forget(drive);
        CreateDirectoryW(m_base.c_str(), nullptr);
    }
    void TearDown() override {
        for (int drive : m_drives) {
            SignOut(drive);
            DriveStore::Forget(drive);
        }
        for (auto folder = m_folders.rbegin(); folder != m_folders.rend(); ++folder)
            RemoveDirectoryW(folder->c_str());
        RemoveDirectoryW(m_base.c_str());
        DriveStore::SetRestoreAtSignIn(m_wasOn);
        test::Lwsubst(m_wasOn ? L"/persist on" : L"/persist off");
    }
    std::wstring Folder(const std::wstring& name) {
        const std::wstring path = m_base + L"\\" + name;
        CreateDirectoryW(path.c_str(), nullptr);
        m_folders.push_back(path);
        return path;
    }
    int Drive() {
        const int drive = test::FreeDrive(m_drives.empty() ? 15 : m_drives.back());
        m_drives.push_back(drive);
        return drive;
    }
    // Makes the drive through the handler's menu command, as the user does.
    void MakeThroughMenu(int drive, const std::wstring& folder) {
        test::TestExtension extension;
        ASSERT_EQ(extension.Select(std::vector<std::wstring>{folder}), S_OK);
        test::ShellMenu menu;
        ASSERT_EQ(test::Query(extension, menu.Get()), test::kFolderItems);
        ASSERT_EQ(extension.Run(static_cast<UINT>(drive - 1)), S_OK);
    }
    void DeleteThroughMenu(int drive) {
        test::TestExtension extension;
        const std::string root = std::string(1, static_cast<char>('A' + drive - 1)) + ":\\";
        ASSERT_EQ(extension.Select({root}), S_OK);
        test::ShellMenu menu;
        ASSERT_EQ(test::Query(extension, menu.Get()), test::kRootItems);
        ASSERT_EQ(extension.Run(kDeleteOffset), S_OK);
    }

    test::PlacedSubst m_subst{"subst_companion.dll"};
    const std::wstring m_base = L"C:\\lwkeep";
    std::vector<std::wstring> m_folders;
    std::vector<int> m_drives;
    bool m_wasOn = false;
};

TEST_F(PersistenceTest, WithTheSettingOnTheMenuSavesAndLwsubstRestoresExactly) {
    ASSERT_EQ(test::Lwsubst(L"/persist on").code, 0u);
    ASSERT_TRUE(DriveStore::RestoreAtSignIn());
    std::vector<std::wstring> names = {L"Plain folder", L"it's 100%"};
    if (test::IsJapaneseCodePage()) {
        names.push_back(L"\u4E00\u89A7\u8868"); // ends in a 0x5C trail byte
        names.push_back(L"\u30E1\u30E2\u30BD");
    }
    for (const std::wstring& name : names) {
        const std::wstring folder = Folder(name);
        const int drive = Drive();
        ASSERT_NE(drive, 0);
        MakeThroughMenu(drive, folder);
        EXPECT_EQ(SavedFolder(drive), folder);
        SignOut(drive);
        ASSERT_EQ(test::DeviceTarget(drive), L"<none>");
    }
    const test::Result restored = test::Lwsubst(L"/restore");
    EXPECT_EQ(restored.code, 0u) << restored.output;
    for (size_t i = 0; i < names.size(); ++i)
        EXPECT_EQ(test::DeviceTarget(m_drives[i]), L"\\??\\" + m_base + L"\\" + names[i]);
    EXPECT_EQ(test::Lwsubst(L"/restore").code, 0u) << "drives already back are no failure";

    // Deleting through the menu forgets the drive.
    DeleteThroughMenu(m_drives[0]);
    EXPECT_EQ(SavedFolder(m_drives[0]), L"<none>");
    EXPECT_EQ(test::DeviceTarget(m_drives[0]), L"<none>");
}

TEST_F(PersistenceTest, ANameOutsideTheCodePageIsSavedAndRestoredInUtf16) {
    const std::wstring folder = Folder(L"\uD55C\uAD6D\uC5B4 \u00E9t\u00E9");
    const int drive = Drive();
    const wchar_t letter[] = {static_cast<wchar_t>(L'A' + drive - 1), L':', 0};
    const test::Result made = test::Lwsubst(std::wstring(letter) + L" \"" + folder + L"\" /save");
    ASSERT_EQ(made.code, 0u) << made.output;
    EXPECT_EQ(SavedFolder(drive), folder);
    SignOut(drive);
    EXPECT_EQ(test::Lwsubst(L"/restore").code, 0u);
    EXPECT_EQ(test::DeviceTarget(drive), L"\\??\\" + folder);
    EXPECT_EQ(test::Lwsubst(std::wstring(letter) + L" /d").code, 0u);
    EXPECT_EQ(test::DeviceTarget(drive), L"<none>");
    EXPECT_EQ(SavedFolder(drive), L"<none>");
}

TEST_F(PersistenceTest, WithTheSettingOffNothingIsWritten) {
    ASSERT_EQ(test::Lwsubst(L"/persist off").code, 0u);
    const std::wstring folder = Folder(L"Unsaved");
    const int drive = Drive();
    MakeThroughMenu(drive, folder);
    EXPECT_EQ(test::DeviceTarget(drive), L"\\??\\" + folder);
    EXPECT_FALSE(DrivesKeyHasValues());
    DeleteThroughMenu(drive);
    EXPECT_FALSE(DrivesKeyHasValues());
}

TEST_F(PersistenceTest, RestoreSkipsALetterInUseAndAMissingFolderAndKeepsThem) {
    ASSERT_EQ(test::Lwsubst(L"/persist on").code, 0u);
    const std::wstring folder = Folder(L"Kept");
    const int taken = Drive();
    const int missing = Drive();
    ASSERT_EQ(DriveStore::Save(taken, folder.c_str()), 0);
    ASSERT_EQ(DriveStore::Save(missing, (m_base + L"\\Gone").c_str()), 0);
    // Another folder holds the first letter now.
    const std::wstring other = Folder(L"Other");
    const wchar_t name[] = {static_cast<wchar_t>(L'A' + taken - 1), L':', 0};
    ASSERT_TRUE(DefineDosDeviceW(0, name, other.c_str()));

    const test::Result restored = test::Lwsubst(L"/restore");
    EXPECT_EQ(restored.code, 1u);
    EXPECT_NE(restored.output.find(static_cast<char>('A' + taken - 1)), std::string::npos);
    EXPECT_NE(restored.output.find(static_cast<char>('A' + missing - 1)), std::string::npos);
    EXPECT_EQ(test::DeviceTarget(taken), L"\\??\\" + other) << "the drive in use is left alone";
    EXPECT_EQ(test::DeviceTarget(missing), L"<none>");
    EXPECT_EQ(SavedFolder(taken), folder) << "kept for next time";
    EXPECT_EQ(SavedFolder(missing), m_base + L"\\Gone");

    // A saved entry whose drive is gone is deleted by /d all the same.
    const wchar_t missingName[] = {static_cast<wchar_t>(L'A' + missing - 1), L':', 0};
    EXPECT_EQ(test::Lwsubst(std::wstring(missingName) + L" /d").code, 0u);
    EXPECT_EQ(SavedFolder(missing), L"<none>");
}

TEST_F(PersistenceTest, BadInputGetsAMessageAndANonZeroExitCode) {
    const std::wstring folder = Folder(L"Target");
    const std::wstring file = folder + L"\\file.txt";
    HANDLE handle = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    CloseHandle(handle);
    const int drive = Drive();
    const std::wstring letter = {static_cast<wchar_t>(L'A' + drive - 1), L':'};
    struct Case {
        std::wstring arguments;
        DWORD code;
    };
    const Case cases[] = {
        {L"1: \"" + folder + L"\"", 2},
        {L"\u00C4: \"" + folder + L"\"", 2},
        {L"LL: \"" + folder + L"\"", 2},
        {letter + L" \"" + file + L"\"", 1},
        {letter + L" \"" + folder + L"\\missing\"", 1},
        {L"C: \"" + folder + L"\"", 1},
        {L"C: /d", 1},
        {letter + L" /d", 1},
        {L"/persist maybe", 2},
        {L"/unknown", 2},
        {letter + L" \"" + folder + L"\" /later", 2},
        {letter + L" \"\"", 2},
    };
    for (const Case& c : cases) {
        const test::Result result = test::Lwsubst(c.arguments);
        EXPECT_EQ(result.code, c.code) << std::string(c.arguments.begin(), c.arguments.end());
        EXPECT_FALSE(result.output.empty()) << "a message says why";
    }
    EXPECT_EQ(test::DeviceTarget(drive), L"<none>");
    EXPECT_TRUE(GetFileAttributesW(L"C:\\windows") != INVALID_FILE_ATTRIBUTES) << "C: untouched";
    DeleteFileW(file.c_str());
}

TEST_F(PersistenceTest, PersistSwitchesTheSettingAndTheUsersSignInEntry) {
    ASSERT_EQ(test::Lwsubst(L"/persist on").code, 0u);
    EXPECT_TRUE(DriveStore::RestoreAtSignIn());
    EXPECT_EQ(SignInEntry(), L"\"" + test::InRunFolder("lwsubst.exe") + L"\" /restore");
    ASSERT_EQ(test::Lwsubst(L"/persist off").code, 0u);
    EXPECT_FALSE(DriveStore::RestoreAtSignIn());
    EXPECT_EQ(SignInEntry(), L"<none>");
}

// One rule for what is kept and what comes back, whoever made or deleted the drive: the
// user's own setting, else the machine-wide default; /save keeps the drive and turns the
// user's restore on; deleting forgets, from the menu as from lwsubst.
TEST_F(PersistenceTest, WhatComesBackAfterSignOutFollowsOneRule) {
    enum Setting { kOn, kOff, kNone };
    const struct {
        Setting user;
        bool machineDefault;
        bool savedWithLwsubst;
        bool restored;
    } rows[] = {
        {kOn, false, false, true},  {kOn, true, false, true},     {kOff, false, false, false},
        {kOff, true, false, false}, {kNone, false, false, false}, {kNone, true, false, true},
        {kOff, false, true, true},  {kNone, false, true, true},   {kOn, true, true, true},
    };
    const std::wstring folder = Folder(L"Rule");
    const int drive = Drive();
    int index = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(index);
        if (row.user == kNone)
            ClearUserSetting();
        else
            ASSERT_EQ(DriveStore::SetRestoreAtSignIn(row.user == kOn), 0);
        SetMachineDefault(row.machineDefault);
        if (row.savedWithLwsubst)
            EXPECT_EQ(test::Lwsubst(LetterOf(drive) + L" \"" + folder + L"\" /save").code, 0u);
        else
            MakeThroughMenu(drive, folder);
        SignOut(drive);
        const test::Result restore = test::Lwsubst(L"/restore");
        EXPECT_EQ(restore.code, 0u) << restore.output;
        EXPECT_EQ(test::DeviceTarget(drive), row.restored ? L"\\??\\" + folder : L"<none>");
        // Listed as restored at sign-in only where it will be.
        const bool labelled =
            test::Lwsubst(L"").output.find(
                expected::JapaneseUi()
                    ? "\x83\x54\x83\x43\x83\x93\x83\x43\x83\x93\x8E\x9E\x82\xC9\x95\x9C\x8C\xB3)"
                    : "(restored at sign-in)") != std::string::npos;
        EXPECT_EQ(labelled, row.restored);
        if (!row.restored)
            MakeThroughMenu(drive, folder);
        // Deleting forgets, from the menu as from lwsubst, whatever saved it.
        if (index++ % 2)
            DeleteThroughMenu(drive);
        else
            EXPECT_EQ(test::Lwsubst(LetterOf(drive) + L" /d").code, 0u);
        EXPECT_EQ(SavedFolder(drive), L"<none>");
        EXPECT_EQ(test::DeviceTarget(drive), L"<none>");
    }
    SetMachineDefault(false);
}

// /save is the user's own choice: it stays when the machine-wide default goes, and the list
// says why restoring is off where it is. A quoted folder may end in a backslash, as cmd users
// type it.
TEST_F(PersistenceTest, AUsersOwnChoiceOutlivesTheMachineDefault) {
    ClearUserSetting();
    SetMachineDefault(true);
    const std::wstring folder = Folder(L"Own choice");
    const int drive = Drive();
    const test::Result saved = test::Lwsubst(LetterOf(drive) + L" \"" + folder + L"\\\" /save");
    ASSERT_EQ(saved.code, 0u) << saved.output;
    EXPECT_EQ(SavedFolder(drive), folder);
    SetMachineDefault(false);
    SignOut(drive);
    EXPECT_EQ(test::Lwsubst(L"/restore").code, 0u);
    EXPECT_EQ(test::DeviceTarget(drive), L"\\??\\" + folder);
    EXPECT_NE(SignInEntry(), L"<none>");
    for (bool userTurnedOff : {true, false}) {
        if (userTurnedOff)
            ASSERT_EQ(DriveStore::SetRestoreAtSignIn(false), 0);
        else
            ClearUserSetting();
        const std::string listed = test::Lwsubst(L"").output;
        EXPECT_NE(listed.find("/persist on"), std::string::npos) << listed;
    }
}

// Saving changes the user's setting, their sign-in entry and the saved drive together: when any
// write is refused, none of them has changed, and the user is told.
TEST_F(PersistenceTest, SavingIsAllOrNothing) {
    const std::wstring folder = Folder(L"All or nothing");
    const int drive = Drive();
    const std::wstring persist = L"/persist on";
    const std::wstring save = LetterOf(drive) + L" \"" + folder + L"\" /save";
    const wchar_t kRun[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    const struct {
        const wchar_t* refused;
        const std::wstring& command;
    } cases[] = {{kRun, persist},
                 {L"Software\\Lanterwell", persist},
                 {kRun, save},
                 {L"Software\\Lanterwell", save},
                 {kDrivesKey, save}};
    for (const auto& c : cases) {
        ClearUserSetting();
        SetMachineDefault(false);
        ForgetSignInEntry();
        test::Result result;
        {
            const test::WritesRefused lock(HKEY_CURRENT_USER, c.refused);
            ASSERT_TRUE(lock.Held()) << "the test cannot lock the key";
            result = test::Lwsubst(c.command);
        }
        const std::wstring about = std::wstring(c.refused) + L": " + c.command;
        EXPECT_EQ(result.code, 1u) << about;
        EXPECT_EQ(DriveStore::RestoreSetting(), DriveStore::Restoring::OffOnMachine) << about;
        EXPECT_EQ(SignInEntry(), L"<none>") << about;
        EXPECT_EQ(SavedFolder(drive), L"<none>") << about;
        SignOut(drive);
    }
}

// The longest folder a drive maps (259 units) is saved, listed and restored like any other.
TEST_F(PersistenceTest, TheLongestFolderADriveMapsComesBack) {
    const std::wstring folder =
        m_base + L"\\" + std::wstring(MAX_PATH - 1 - m_base.size() - 1, L'l');
    ASSERT_EQ(folder.size(), static_cast<size_t>(MAX_PATH - 1));
    ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + folder).c_str(), nullptr));
    const int drive = Drive();
    const test::Result made = test::Lwsubst(LetterOf(drive) + L" \"" + folder + L"\" /save");
    EXPECT_EQ(made.code, 0u) << made.output;
    EXPECT_EQ(SavedFolder(drive), folder);
    const std::string listed = test::Lwsubst(L"").output;
    EXPECT_EQ(listed.find("saved entry"), std::string::npos) << listed;
    SignOut(drive);
    EXPECT_EQ(test::Lwsubst(L"/restore").code, 0u);
    EXPECT_EQ(test::DeviceTarget(drive), L"\\??\\" + folder);
    RemoveDirectoryW((L"\\\\?\\" + folder).c_str());
}

// Values saved by hand or by another program: an expandable one is restored expanded; one of
// another type or too long is reported, skipped, and deleted by /d.
TEST_F(PersistenceTest, OddSavedValuesAreExpandedOrReportedAndDeletable) {
    ASSERT_EQ(test::Lwsubst(L"/persist on").code, 0u);
    const std::wstring folder = Folder(L"Odd");
    ASSERT_TRUE(SetEnvironmentVariableW(L"LW_ODD", folder.c_str()));
    const struct {
        DWORD type;
        std::wstring data;
        bool restored;
    } rows[] = {
        {REG_EXPAND_SZ, L"%LW_ODD%", true},
        {REG_BINARY, folder, false},
        {REG_SZ, std::wstring(400, L'x'), false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.type);
        const int drive = Drive();
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kDrivesKey, 0, nullptr, 0, KEY_SET_VALUE,
                                  nullptr, &key, nullptr),
                  0);
        RegSetValueExW(key, LetterOf(drive).substr(0, 1).c_str(), 0, row.type,
                       reinterpret_cast<const BYTE*>(row.data.c_str()),
                       static_cast<DWORD>((row.data.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
        const test::Result restored = test::Lwsubst(L"/restore");
        EXPECT_EQ(restored.code, row.restored ? 0u : 1u) << restored.output;
        EXPECT_EQ(test::DeviceTarget(drive), row.restored ? L"\\??\\" + folder : L"<none>");
        const std::string deleteHint = "lwsubst " + std::string(1, char('A' + drive - 1)) + ": /d";
        if (!row.restored) {
            EXPECT_NE(restored.output.find(deleteHint), std::string::npos) << restored.output;
            EXPECT_NE(test::Lwsubst(L"").output.find(deleteHint), std::string::npos);
        }
        EXPECT_EQ(test::Lwsubst(LetterOf(drive) + L" /d").code, 0u);
        wchar_t unused[MAX_PATH];
        EXPECT_EQ(DriveStore::Saved(drive, unused), ERROR_FILE_NOT_FOUND);
    }
}

// A share reads back from the platform as "UNC\server\share"; it is saved as it was made.
TEST_F(PersistenceTest, AShareReadsBackAsTheFolderItWasMadeFrom) {
    const int drive = Drive();
    ASSERT_TRUE(DefineDosDeviceW(DDD_RAW_TARGET_PATH, LetterOf(drive).c_str(),
                                 L"\\??\\UNC\\server\\share\\dir"));
    wchar_t folder[MAX_PATH];
    ASSERT_EQ(DosDevices::Query(drive, folder), 0);
    EXPECT_STREQ(folder, L"\\\\server\\share\\dir");
    EXPECT_EQ(DriveStore::SaveMade(drive), 0);
    EXPECT_EQ(SavedFolder(drive), L"\\\\server\\share\\dir");
}

TEST_F(PersistenceTest, TwoRestoresAtOnceMakeEachDriveOnceAndBothSucceed) {
    ASSERT_EQ(test::Lwsubst(L"/persist on").code, 0u);
    std::vector<std::wstring> folders;
    for (int i = 0; i < 5; ++i) {
        folders.push_back(Folder(L"Twice " + std::to_wstring(i)));
        ASSERT_EQ(DriveStore::Save(Drive(), folders.back().c_str()), 0);
    }
    test::Result first, second;
    std::thread one([&] { first = test::Lwsubst(L"/restore"); });
    std::thread two([&] { second = test::Lwsubst(L"/restore"); });
    one.join();
    two.join();
    EXPECT_EQ(first.code, 0u) << first.output;
    EXPECT_EQ(second.code, 0u) << second.output;
    for (size_t i = 0; i < folders.size(); ++i) {
        const wchar_t name[] = {static_cast<wchar_t>(L'A' + m_drives[i] - 1), L':', 0};
        wchar_t targets[2048] = {};
        const DWORD units = QueryDosDeviceW(name, targets, 2048);
        // One definition: a single target and the list's end.
        EXPECT_EQ(std::wstring(targets), L"\\??\\" + folders[i]);
        EXPECT_EQ(units, lstrlenW(targets) + 2u);
    }
}

TEST_F(PersistenceTest, ADriveWhoseFolderLiesOnAnotherSavedDriveComesBackToo) {
    ASSERT_EQ(test::Lwsubst(L"/persist on").code, 0u);
    const std::wstring folder = Folder(L"Chain");
    Folder(L"Chain\\sub");
    {
        // Wine defines the device but does not reach files through it; Windows does.
        const int probe = Drive();
        ASSERT_TRUE(DefineDosDeviceW(0, LetterOf(probe).c_str(), folder.c_str()));
        const bool reachable =
            GetFileAttributesW((LetterOf(probe) + L"\\sub").c_str()) != INVALID_FILE_ATTRIBUTES;
        SignOut(probe);
        if (!reachable && test::OnWine())
            GTEST_SKIP() << "Wine does not reach files through a substituted drive";
        ASSERT_TRUE(reachable) << "Windows reaches files through a substituted drive";
    }
    const int outer = Drive();
    const int inner = Drive();
    // The lower letter waits for the higher one.
    ASSERT_EQ(DriveStore::Save(outer, (LetterOf(inner) + L"\\sub").c_str()), 0);
    ASSERT_EQ(DriveStore::Save(inner, folder.c_str()), 0);
    const test::Result restored = test::Lwsubst(L"/restore");
    EXPECT_EQ(restored.code, 0u) << restored.output;
    EXPECT_EQ(test::DeviceTarget(inner), L"\\??\\" + folder);
    EXPECT_EQ(test::DeviceTarget(outer), L"\\??\\" + LetterOf(inner) + L"\\sub");
}

// Each message names what it is about: the folder where it means the folder, a sentence
// where there was a bare error number, and a saved value that is no full path is never made.
TEST_F(PersistenceTest, MessagesNameTheFolderAndSavedRelativePathsAreRefused) {
    ASSERT_EQ(test::Lwsubst(L"/persist on").code, 0u);
    const std::wstring folder = Folder(L"Messages");
    const std::wstring file = folder + L"\\a file.txt";
    CloseHandle(CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    const int drive = Drive();
    const std::wstring missing = folder + L"\\nowhere";
    const std::wstring tooLong = folder + L"\\" + std::wstring(300, L'x');
    const struct {
        std::wstring arguments;
        std::wstring named;
    } rows[] = {
        {LetterOf(drive) + L" \"" + missing + L"\"", missing},
        {LetterOf(drive) + L" \"" + file + L"\"", file},
        {LetterOf(drive) + L" \"" + tooLong + L"\"", tooLong.substr(0, 60)},
    };
    for (const auto& row : rows) {
        const test::Result result = test::Lwsubst(row.arguments);
        EXPECT_EQ(result.code, 1u);
        EXPECT_NE(result.output.find(std::string(row.named.begin(), row.named.end())),
                  std::string::npos)
            << result.output;
        EXPECT_EQ(result.output.find("206"), std::string::npos) << result.output;
    }
    // Saved by hand or by an older version: relative, or empty.
    for (const wchar_t* stored : {L"relative\\folder", L""}) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kDrivesKey, 0, nullptr, 0, KEY_SET_VALUE,
                                  nullptr, &key, nullptr),
                  0);
        RegSetValueExW(key, LetterOf(drive).substr(0, 1).c_str(), 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(stored),
                       static_cast<DWORD>((lstrlenW(stored) + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
        const test::Result restored = test::Lwsubst(L"/restore");
        EXPECT_EQ(restored.code, 1u);
        const std::string quoted = "\"" + std::string(stored, stored + lstrlenW(stored)) + "\"";
        EXPECT_NE(restored.output.find(quoted), std::string::npos) << restored.output;
        EXPECT_EQ(test::DeviceTarget(drive), L"<none>");
    }
    EXPECT_EQ(DriveStore::Save(drive, L"relative\\folder"), ERROR_BAD_PATHNAME);
    DeleteFileW(file.c_str());
}

} // namespace
