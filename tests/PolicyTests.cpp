// The administrator's policies, read as Group Policy writes them (the machine's before the
// user's, anything malformed as Not configured), and the restore policy as lwsubst obeys it.
#include <gtest/gtest.h>
#include <windows.h>
#include "drives/DosDevices.h"
#include "drives/DriveActions.h"
#include "drives/DriveStore.h"
#include "drives/StoreKeys.h"
#include "tests/LwsubstRun.h"
#include "tests/PolicyKeys.h"

namespace {

using Policy::Switch;
using test::PolicyKeys;

const HKEY kMachine = HKEY_LOCAL_MACHINE;
const HKEY kUser = HKEY_CURRENT_USER;

// Values of the wrong type or range.
const DWORD two = 2;
const wchar_t text[] = L"1";
const BYTE bytes[4] = {1, 0, 0, 0};

TEST(PolicyTest, SwitchesAreDwordsOfZeroOrOneAndTheMachinesWin) {
    const struct {
        const char* name;
        void (*set)();
        Switch expected;
    } rows[] = {
        {"none", [] {}, Switch::NotConfigured},
        {"user 1", [] { PolicyKeys::Set(kUser, Policy::kHideCommandsValue, 1); }, Switch::On},
        {"user 0", [] { PolicyKeys::Set(kUser, Policy::kHideCommandsValue, 0); }, Switch::Off},
        {"machine 0 over user 1",
         [] {
             PolicyKeys::Set(kMachine, Policy::kHideCommandsValue, 0);
             PolicyKeys::Set(kUser, Policy::kHideCommandsValue, 1);
         },
         Switch::Off},
        {"DWORD 2", [] { PolicyKeys::Set(kUser, Policy::kHideCommandsValue, REG_DWORD, &two, 4); },
         Switch::NotConfigured},
        {"string \"1\"",
         [] { PolicyKeys::Set(kUser, Policy::kHideCommandsValue, REG_SZ, text, sizeof(text)); },
         Switch::NotConfigured},
        {"binary 1",
         [] { PolicyKeys::Set(kUser, Policy::kHideCommandsValue, REG_BINARY, bytes, 4); },
         Switch::NotConfigured},
        {"two bytes",
         [] { PolicyKeys::Set(kUser, Policy::kHideCommandsValue, REG_DWORD, bytes, 2); },
         Switch::NotConfigured},
        {"malformed machine value, user 1",
         [] {
             PolicyKeys::Set(kMachine, Policy::kHideCommandsValue, REG_SZ, text, sizeof(text));
             PolicyKeys::Set(kUser, Policy::kHideCommandsValue, 1);
         },
         Switch::On},
    };
    for (const auto& row : rows) {
        const PolicyKeys keys;
        row.set();
        EXPECT_EQ(Policy::HideMenuCommands(), row.expected) << row.name;
        EXPECT_EQ(Policy::ForMenu().hidden, row.expected == Switch::On) << row.name;
    }
}

TEST(PolicyTest, ReservedLettersKeepWhatNamesALetterAndTheMachinesListWins) {
    const DWORD h = 1u << 7, q = 1u << 16, z = 1u << 25;
    const struct {
        std::vector<std::wstring> machine; // none: no list at all
        bool machineList;
        std::vector<std::wstring> user;
        DWORD expected;
    } rows[] = {
        {{}, false, {L"H", L"q:", L"Z:\\"}, h | q | z},
        {{}, false, {L"HH", L"", L"1:", L"H:\\x", L" H", L"@"}, 0},
        {{L"h"}, true, {L"Q"}, h},
        {{}, true, {L"Q"}, 0},
    };
    for (const auto& row : rows) {
        const PolicyKeys keys;
        if (row.machineList)
            PolicyKeys::Reserve(kMachine, row.machine);
        PolicyKeys::Reserve(kUser, row.user);
        EXPECT_EQ(Policy::ReservedLetters(), row.expected);
        EXPECT_EQ(Policy::ForMenu().reserved, row.expected);
    }
    // A value of another type, or longer than any letter's, is skipped, never read beyond.
    const PolicyKeys keys;
    PolicyKeys::Reserve(kUser, {std::wstring(300, L'H'), L"Q"});
    EXPECT_EQ(Policy::ReservedLetters(), q);
}

// The user's own sign-in entry: whether there is one, taken away after.
bool TakeRunEntry() {
    HKEY run = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, StoreKeys::kRun, 0, KEY_SET_VALUE, &run))
        return false;
    const bool found = RegDeleteValueW(run, StoreKeys::kRunValue) == ERROR_SUCCESS;
    RegCloseKey(run);
    return found;
}

class RestorePolicyTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_wasOn = DriveStore::RestoreAtSignIn();
        m_drive = test::FreeDrive(17);
        ASSERT_NE(m_drive, 0);
    }
    void TearDown() override {
        DosDevices::Delete(m_drive);
        DriveStore::Forget(m_drive);
        PolicyKeys::Clear();
        DriveStore::SetRestoreAtSignIn(m_wasOn);
    }
    std::wstring Letter() const { return {static_cast<wchar_t>(L'A' + m_drive - 1), L':'}; }

    int m_drive = 0;
    bool m_wasOn = false;
};

// Off: nothing saved, nothing restored, and no user's switch changes it; on: restoring is on
// whatever the user chose. lwsubst names the policy when it refuses.
TEST_F(RestorePolicyTest, ThePolicyDecidesForEveryUser) {
    DriveStore::SetRestoreAtSignIn(true);
    const PolicyKeys keys;
    PolicyKeys::Set(kUser, Policy::kRestoreValue, 0);
    EXPECT_EQ(DriveStore::RestoreSetting(), DriveStore::Restoring::OffByPolicy);
    const std::wstring policy = test::Said(L"\"Restore virtual drives at sign-in\"",
                                           L"「サインイン時に仮想ドライブを復元する」");
    for (const wchar_t* arguments : {L"/persist on", L"/persist off"}) {
        const test::Result result = test::Lwsubst(arguments);
        EXPECT_EQ(result.code, 1u) << result.output;
        EXPECT_TRUE(test::Says(result, policy)) << result.output;
    }
    const test::Result saved = test::Lwsubst(Letter() + L" C:\\windows /save");
    EXPECT_EQ(saved.code, 1u);
    EXPECT_NE(DosDevices::Query(m_drive, nullptr), 0) << "nothing made";
    ASSERT_EQ(test::Lwsubst(Letter() + L" C:\\windows").code, 0u);
    EXPECT_FALSE(DriveActions::Read(m_drive).saved) << "made, not saved";
    EXPECT_EQ(DriveActions::KeepForSignIn(m_drive, true), DriveStore::kSetByPolicy);
    DosDevices::Delete(m_drive);
    DriveStore::Save(m_drive, L"C:\\windows");
    EXPECT_EQ(test::Lwsubst(L"/restore").code, 0u);
    EXPECT_NE(DosDevices::Query(m_drive, nullptr), 0) << "nothing restored";

    DriveStore::SetRestoreAtSignIn(false);
    PolicyKeys::Set(kMachine, Policy::kRestoreValue, 1);
    EXPECT_EQ(DriveStore::RestoreSetting(), DriveStore::Restoring::ByPolicy);
    EXPECT_EQ(test::Lwsubst(L"/restore").code, 0u);
    EXPECT_EQ(DosDevices::Query(m_drive, nullptr), 0) << "restored";
    // A drive saved now has a sign-in entry to restore it, whatever the computer has.
    DosDevices::Delete(m_drive);
    TakeRunEntry();
    ASSERT_EQ(test::Lwsubst(Letter() + L" C:\\windows").code, 0u);
    EXPECT_TRUE(DriveActions::Read(m_drive).saved);
    EXPECT_TRUE(TakeRunEntry());
}

} // namespace
