// Drives for every user through lwsubst /machine: the session manager's values exactly as the
// platform documents them ("X:" = "\??\" and the folder), other programs' values left alone
// unless named, and every refusal leaving the key as it was.
#include <gtest/gtest.h>
#include <windows.h>
#include <functional>
#include <string>
#include <vector>
#include "tests/LwsubstRun.h"
#include "tests/TestSupport.h"
#include "drives/DriveStore.h"

namespace {

using test::Said;

const wchar_t kDevices[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\DOS Devices";
const wchar_t kMade[] = L"Software\\Lanterwell\\MachineDrives";

std::wstring Name(int drive) {
    return {static_cast<wchar_t>(L'A' + drive - 1), L':'};
}

// A value as a string, or "<none>" (a DWORD reads as "<dword>").
std::wstring Value(const wchar_t* path, REGSAM view, int drive) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE | view, &key))
        return L"<none>";
    std::vector<wchar_t> data(33000);
    DWORD size = static_cast<DWORD>(data.size() * sizeof(wchar_t));
    DWORD type = REG_NONE;
    const LONG read = RegQueryValueExW(key, Name(drive).c_str(), nullptr, &type,
                                       reinterpret_cast<BYTE*>(data.data()), &size);
    RegCloseKey(key);
    if (read)
        return L"<none>";
    return type == REG_SZ ? std::wstring(data.data()) : L"<dword>";
}
std::wstring Device(int drive) {
    return Value(kDevices, 0, drive);
}
std::wstring Noted(int drive) {
    return Value(kMade, KEY_WOW64_64KEY, drive);
}

// Writes a value as another program (or, with a note, Lanterwell) would have.
void Plant(int drive, const std::wstring& data, bool noted = false) {
    HKEY key = nullptr;
    const std::wstring name = Name(drive);
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kDevices, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) == 0) {
        RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                       static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }
    if (noted && RegCreateKeyExW(HKEY_LOCAL_MACHINE, kMade, 0, nullptr, 0,
                                 KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &key, nullptr) == 0) {
        const std::wstring folder = data.substr(4);
        RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                       static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }
}

void Forget(const wchar_t* path, REGSAM view, const std::wstring& name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_SET_VALUE | view, &key) == 0) {
        RegDeleteValueW(key, name.c_str());
        RegCloseKey(key);
    }
}

using test::Says;

class MachineDriveTest : public ::testing::Test {
protected:
    void SetUp() override { CreateDirectoryW(m_base.c_str(), nullptr); }
    void TearDown() override {
        for (int drive : m_drives) {
            Forget(kDevices, 0, Name(drive));
            Forget(kMade, KEY_WOW64_64KEY, Name(drive));
            DefineDosDeviceW(DDD_REMOVE_DEFINITION, Name(drive).c_str(), nullptr);
            DriveStore::Forget(drive);
        }
        for (auto folder = m_folders.rbegin(); folder != m_folders.rend(); ++folder)
            RemoveDirectoryW((L"\\\\?\\" + *folder).c_str());
        RemoveDirectoryW(m_base.c_str());
    }
    std::wstring Folder(const std::wstring& name) {
        const std::wstring path = m_base + L"\\" + name;
        CreateDirectoryW((L"\\\\?\\" + path).c_str(), nullptr);
        m_folders.push_back(path);
        return path;
    }
    // A letter free now and held by no value of the key.
    int Drive() {
        int drive = m_drives.empty() ? 6 : m_drives.back();
        while ((drive = test::FreeDrive(drive)) != 0 && Device(drive) != L"<none>")
            ;
        m_drives.push_back(drive);
        return drive;
    }

    const std::wstring m_base = L"C:\\lwmachine";
    std::vector<std::wstring> m_folders;
    std::vector<int> m_drives;
};

// Each folder is written as its full path behind "\??\", a final backslash dropped but on a
// volume's root, a name past MAX_PATH whole; the note says Lanterwell made it, and deleting
// removes both.
TEST_F(MachineDriveTest, ValuesNameTheFolderInTheDocumentedForm) {
    const std::wstring nested = Folder(L"nested");
    const std::wstring longest = Folder(std::wstring(MAX_PATH - 1 - m_base.size() - 1, L'l'));
    // Past MAX_PATH, in names of a length every file system holds.
    const std::wstring half(150, L'x');
    Folder(half);
    const struct {
        std::wstring given;
        std::wstring written;
    } cases[] = {{L"C:\\", L"C:\\"},
                 {Folder(L"nested\\deeper"), nested + L"\\deeper"},
                 {Folder(L"日本語のフォルダー"), m_base + L"\\日本語のフォルダー"},
                 {nested + L"\\", nested},
                 {longest, longest},
                 {Folder(half + L"\\" + half), m_base + L"\\" + half + L"\\" + half}};
    ASSERT_EQ(longest.size(), static_cast<size_t>(MAX_PATH - 1));
    for (const auto& c : cases) {
        const int drive = Drive();
        const test::Result made = test::Lwsubst(Name(drive) + L" \"" + c.given + L"\" /machine");
        EXPECT_EQ(made.code, 0u) << made.output;
        EXPECT_EQ(Device(drive), L"\\??\\" + c.written);
        EXPECT_EQ(Noted(drive), c.written);
        EXPECT_EQ(test::Lwsubst(Name(drive) + L" /d /machine").code, 0u);
        EXPECT_EQ(Device(drive), L"<none>");
        EXPECT_EQ(Noted(drive), L"<none>");
    }
}

// A drive for every user is listed there from the next start until the platform defines it,
// and then as every user's; the session's own list does not take it for a drive of its own.
TEST_F(MachineDriveTest, TheListSaysWhenADriveIsThere) {
    const std::wstring folder = Folder(L"listed");
    const int drive = Drive();
    ASSERT_EQ(test::Lwsubst(Name(drive) + L" \"" + folder + L"\" /machine").code, 0u);
    const std::wstring line = Name(drive) + L"\\: => " + folder + L"  (";
    EXPECT_TRUE(
        Says(test::Lwsubst(L"/machine"), line + Said(L"every user, from the next start)",
                                                     L"すべてのユーザー、次回の起動から)")));
    // As Windows defines it at start-up.
    ASSERT_TRUE(DefineDosDeviceW(0, Name(drive).c_str(), folder.c_str()));
    EXPECT_TRUE(
        Says(test::Lwsubst(L"/machine"), line + Said(L"every user)", L"すべてのユーザー)")));
    EXPECT_FALSE(Says(test::Lwsubst(L""), Name(drive))) << "not a drive of the session";
    EXPECT_EQ(test::Lwsubst(Name(drive) + L" /d").code, 1u) << "nor the session's to delete";
    EXPECT_EQ(Device(drive), L"\\??\\" + folder);
}

// Whatever is refused changes nothing: the key, the note and the user's drives stay as they
// were, and the message says why.
TEST_F(MachineDriveTest, RefusalsChangeNothing) {
    const std::wstring folder = Folder(L"refused");
    const int held = Drive();
    const int other = Drive();
    const std::wstring planted = L"\\??\\C:\\windows";
    const struct {
        const char* about;
        bool locked; // the key refuses writes, as it does to a program that is not elevated
        std::function<void()> before;
        std::wstring arguments;
        std::wstring said;
    } cases[] = {
        {"not an administrator", true, [] {}, Name(held) + L" \"" + folder + L"\" /machine",
         Said(L"Only an administrator", L"管理者だけ")},
        {"deleting, not an administrator", true, [&] { Plant(held, planted); },
         Name(held) + L" /d /machine", Said(L"Only an administrator", L"管理者だけ")},
        {"a drive of the session", false,
         [&] { DefineDosDeviceW(0, Name(held).c_str(), folder.c_str()); },
         Name(held) + L" \"" + folder + L"\" /machine", L"lwsubst " + Name(held) + L" /d"},
        {"a drive saved for sign-in", false, [&] { DriveStore::Save(held, folder.c_str()); },
         Name(held) + L" \"" + folder + L"\" /machine", L"lwsubst " + Name(held) + L" /d"},
        {"a missing folder", false, [] {}, Name(held) + L" \"" + m_base + L"\\gone\" /machine",
         m_base + L"\\gone"},
        {"a letter in use", false, [] {}, L"C: \"" + folder + L"\" /machine", L"C:"},
        {"a folder on a session's drive", false,
         [&] { DefineDosDeviceW(0, Name(other).c_str(), folder.c_str()); },
         Name(held) + L" " + Name(other) + L"\\ /machine", Name(other) + L"\\"},
        {"a session drive on a letter for every user", false, [&] { Plant(held, planted); },
         Name(held) + L" \"" + folder + L"\"", L"lwsubst /machine"},
    };
    for (const auto& c : cases) {
        c.before();
        const std::wstring device = Device(held);
        test::Result result;
        if (c.locked) {
            const test::WritesRefused lock(HKEY_LOCAL_MACHINE, kDevices);
            ASSERT_TRUE(lock.Held()) << "the test cannot lock the key";
            result = test::Lwsubst(c.arguments);
        } else {
            result = test::Lwsubst(c.arguments);
        }
        EXPECT_EQ(result.code, 1u) << c.about;
        EXPECT_TRUE(Says(result, c.said)) << c.about << ": " << result.output;
        EXPECT_EQ(Device(held), device) << c.about;
        EXPECT_EQ(Noted(held), L"<none>") << c.about;
        if (c.arguments.find(L"/machine") == std::wstring::npos) {
            EXPECT_EQ(test::DeviceTarget(held), L"<none>") << c.about;
        }
        for (int drive : {held, other})
            DefineDosDeviceW(DDD_REMOVE_DEFINITION, Name(drive).c_str(), nullptr);
        DriveStore::Forget(held);
        Forget(kDevices, 0, Name(held));
    }
}

// Other programs' values are listed and marked, an unreadable one said as that; one is deleted
// only when named, and the platform's own devices in the key are never touched.
TEST_F(MachineDriveTest, OtherProgramsValuesAreDeletedOnlyWhenNamed) {
    const int other = Drive();
    const int unreadable = Drive();
    const int absent = Drive();
    Plant(other, L"\\??\\C:\\windows");
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kDevices, 0, KEY_SET_VALUE, &key), 0);
    const DWORD number = 1;
    RegSetValueExW(key, Name(unreadable).c_str(), 0, REG_DWORD,
                   reinterpret_cast<const BYTE*>(&number), sizeof(number));
    RegSetValueExW(key, L"LWDEVICE", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"\\Device\\Null"),
                   sizeof(L"\\Device\\Null"));
    RegCloseKey(key);

    const test::Result listed = test::Lwsubst(L"/machine");
    EXPECT_TRUE(Says(listed, Name(other) + L"\\: => C:\\windows  (" +
                                 Said(L"every user, from the next start; not made by Lanterwell)",
                                      L"すべてのユーザー、次回の起動から、Lanterwell 以外で作成)")))
        << listed.output;
    EXPECT_TRUE(Says(listed, L"lwsubst " + Name(unreadable) + L" /d /machine")) << listed.output;
    EXPECT_EQ(test::Lwsubst(Name(absent) + L" /d /machine").code, 1u);
    EXPECT_EQ(Device(other), L"\\??\\C:\\windows");
    EXPECT_EQ(test::Lwsubst(Name(other) + L" /d /machine").code, 0u);
    EXPECT_EQ(test::Lwsubst(Name(unreadable) + L" /d /machine").code, 0u);
    EXPECT_EQ(Device(other), L"<none>");
    EXPECT_EQ(Device(unreadable), L"<none>");
    wchar_t device[64] = {};
    DWORD size = sizeof(device);
    EXPECT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE, kDevices, L"LWDEVICE", RRF_RT_REG_SZ, nullptr,
                           device, &size),
              0);
    Forget(kDevices, 0, L"LWDEVICE");
}

} // namespace
