// Virtual drives kept for sign-in: the companion saves what the menu makes while the user's
// setting is on, and lwsubst restores it after the drive went (as at sign-out), exactly.
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "tests/ExtensionHarness.h"
#include "tests/SubstDoubles.h"
#include "tests/TestSupport.h"
#include "tools/subst/DriveStore.h"

namespace {

const wchar_t kDrivesKey[] = L"Software\\Lanterwell\\Drives";

std::wstring Wide(const std::string& ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

std::wstring DeviceTarget(int drive) {
    const wchar_t name[] = {static_cast<wchar_t>(L'A' + drive - 1), L':', 0};
    wchar_t target[1024] = {};
    return QueryDosDeviceW(name, target, 1024) ? target : L"<none>";
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

int FreeDrive(int after = 15) {
    for (int drive = after + 1; drive <= 25; ++drive)
        if (!(GetLogicalDrives() & (1u << (drive - 1))))
            return drive;
    return 0;
}

struct Result {
    DWORD code = 0xFFFFFFFF;
    std::string output;
};

// Runs lwsubst.exe from the run folder with a UTF-16 command line, capturing its output.
Result Lwsubst(const std::wstring& arguments) {
    Result result;
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE read = nullptr, write = nullptr;
    if (!CreatePipe(&read, &write, &inherit, 0))
        return result;
    SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = write;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    const std::wstring program = Wide(test::InRunFolder("lwsubst.exe"));
    std::wstring commandLine = L"\"" + program + L"\" " + arguments;
    PROCESS_INFORMATION process = {};
    const BOOL started = CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0,
                                        nullptr, nullptr, &startup, &process);
    CloseHandle(write);
    if (started) {
        char buffer[4096];
        DWORD got = 0;
        while (ReadFile(read, buffer, sizeof(buffer), &got, nullptr) && got)
            result.output.append(buffer, got);
        WaitForSingleObject(process.hProcess, 30000);
        GetExitCodeProcess(process.hProcess, &result.code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(read);
    return result;
}

// The user's setting and saved drives as the test found them, put back afterwards.
class PersistenceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_subst.Placed());
        m_wasOn = DriveStore::RestoreAtSignIn();
        for (int drive = 1; drive <= 26; ++drive)
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
        Lwsubst(m_wasOn ? L"/persist on" : L"/persist off");
    }
    std::wstring Folder(const std::wstring& name) {
        const std::wstring path = m_base + L"\\" + name;
        CreateDirectoryW(path.c_str(), nullptr);
        m_folders.push_back(path);
        return path;
    }
    int Drive() {
        const int drive = FreeDrive(m_drives.empty() ? 15 : m_drives.back());
        m_drives.push_back(drive);
        return drive;
    }
    // Makes the drive through the handler's menu command, as the user does.
    void MakeThroughMenu(int drive, const std::wstring& folder) {
        test::TestExtension extension;
        ASSERT_EQ(extension.Select(std::vector<std::wstring>{folder}), S_OK);
        test::ShellMenu menu;
        ASSERT_EQ(HRESULT_CODE(test::Query(extension, menu.Get())), 27);
        test::KeyboardShift shift(true);
        ASSERT_EQ(extension.Run(static_cast<UINT>(drive - 1)), S_OK);
    }
    void DeleteThroughMenu(int drive) {
        test::TestExtension extension;
        const std::string root = std::string(1, static_cast<char>('A' + drive - 1)) + ":\\";
        ASSERT_EQ(extension.Select({root}), S_OK);
        test::ShellMenu menu;
        ASSERT_EQ(HRESULT_CODE(test::Query(extension, menu.Get())), 28);
        ASSERT_EQ(extension.Run(test::TestExtension::kDeleteOffset), S_OK);
    }

    test::PlacedSubst m_subst{"subst_companion.dll"};
    const std::wstring m_base = L"C:\\lwkeep";
    std::vector<std::wstring> m_folders;
    std::vector<int> m_drives;
    bool m_wasOn = false;
};

TEST_F(PersistenceTest, WithTheSettingOnTheMenuSavesAndLwsubstRestoresExactly) {
    ASSERT_EQ(Lwsubst(L"/persist on").code, 0u);
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
        ASSERT_EQ(DeviceTarget(drive), L"<none>");
    }
    const Result restored = Lwsubst(L"/restore");
    EXPECT_EQ(restored.code, 0u) << restored.output;
    for (size_t i = 0; i < names.size(); ++i)
        EXPECT_EQ(DeviceTarget(m_drives[i]), L"\\??\\" + m_base + L"\\" + names[i]);
    EXPECT_EQ(Lwsubst(L"/restore").code, 0u) << "drives already back are no failure";

    // Deleting through the menu forgets the drive.
    DeleteThroughMenu(m_drives[0]);
    EXPECT_EQ(SavedFolder(m_drives[0]), L"<none>");
    EXPECT_EQ(DeviceTarget(m_drives[0]), L"<none>");
}

TEST_F(PersistenceTest, ANameOutsideTheCodePageIsSavedAndRestoredInUtf16) {
    const std::wstring folder = Folder(L"\uD55C\uAD6D\uC5B4 \u00E9t\u00E9");
    const int drive = Drive();
    const wchar_t letter[] = {static_cast<wchar_t>(L'A' + drive - 1), L':', 0};
    const Result made = Lwsubst(std::wstring(letter) + L" \"" + folder + L"\" /save");
    ASSERT_EQ(made.code, 0u) << made.output;
    EXPECT_EQ(SavedFolder(drive), folder);
    SignOut(drive);
    EXPECT_EQ(Lwsubst(L"/restore").code, 0u);
    EXPECT_EQ(DeviceTarget(drive), L"\\??\\" + folder);
    EXPECT_EQ(Lwsubst(std::wstring(letter) + L" /d").code, 0u);
    EXPECT_EQ(DeviceTarget(drive), L"<none>");
    EXPECT_EQ(SavedFolder(drive), L"<none>");
}

TEST_F(PersistenceTest, WithTheSettingOffNothingIsWritten) {
    ASSERT_EQ(Lwsubst(L"/persist off").code, 0u);
    const std::wstring folder = Folder(L"Unsaved");
    const int drive = Drive();
    MakeThroughMenu(drive, folder);
    EXPECT_EQ(DeviceTarget(drive), L"\\??\\" + folder);
    EXPECT_FALSE(DrivesKeyHasValues());
    DeleteThroughMenu(drive);
    EXPECT_FALSE(DrivesKeyHasValues());
}

TEST_F(PersistenceTest, RestoreSkipsALetterInUseAndAMissingFolderAndKeepsThem) {
    const std::wstring folder = Folder(L"Kept");
    const int taken = Drive();
    const int missing = Drive();
    ASSERT_EQ(DriveStore::Save(taken, folder.c_str()), 0);
    ASSERT_EQ(DriveStore::Save(missing, (m_base + L"\\Gone").c_str()), 0);
    // Another folder holds the first letter now.
    const std::wstring other = Folder(L"Other");
    const wchar_t name[] = {static_cast<wchar_t>(L'A' + taken - 1), L':', 0};
    ASSERT_TRUE(DefineDosDeviceW(0, name, other.c_str()));

    const Result restored = Lwsubst(L"/restore");
    EXPECT_EQ(restored.code, 1u);
    EXPECT_NE(restored.output.find(static_cast<char>('A' + taken - 1)), std::string::npos);
    EXPECT_NE(restored.output.find(static_cast<char>('A' + missing - 1)), std::string::npos);
    EXPECT_EQ(DeviceTarget(taken), L"\\??\\" + other) << "the drive in use is left alone";
    EXPECT_EQ(DeviceTarget(missing), L"<none>");
    EXPECT_EQ(SavedFolder(taken), folder) << "kept for next time";
    EXPECT_EQ(SavedFolder(missing), m_base + L"\\Gone");

    // A saved entry whose drive is gone is deleted by /d all the same.
    const wchar_t missingName[] = {static_cast<wchar_t>(L'A' + missing - 1), L':', 0};
    EXPECT_EQ(Lwsubst(std::wstring(missingName) + L" /d").code, 0u);
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
    };
    for (const Case& c : cases) {
        const Result result = Lwsubst(c.arguments);
        EXPECT_EQ(result.code, c.code) << std::string(c.arguments.begin(), c.arguments.end());
        EXPECT_FALSE(result.output.empty()) << "a message says why";
    }
    EXPECT_EQ(DeviceTarget(drive), L"<none>");
    EXPECT_TRUE(GetFileAttributesW(L"C:\\windows") != INVALID_FILE_ATTRIBUTES) << "C: untouched";
    DeleteFileW(file.c_str());
}

TEST_F(PersistenceTest, PersistSwitchesTheSettingAndTheUsersSignInEntry) {
    ASSERT_EQ(Lwsubst(L"/persist on").code, 0u);
    EXPECT_TRUE(DriveStore::RestoreAtSignIn());
    wchar_t command[MAX_PATH + 32] = {};
    DWORD size = sizeof(command);
    ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                           L"Lanterwell", RRF_RT_REG_SZ, nullptr, command, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(std::wstring(command),
              L"\"" + Wide(test::InRunFolder("lwsubst.exe")) + L"\" /restore");
    ASSERT_EQ(Lwsubst(L"/persist off").code, 0u);
    EXPECT_FALSE(DriveStore::RestoreAtSignIn());
    size = sizeof(command);
    EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                           L"Lanterwell", RRF_RT_REG_SZ, nullptr, command, &size),
              ERROR_FILE_NOT_FOUND);
}

} // namespace
