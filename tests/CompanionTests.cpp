#include <gtest/gtest.h>
#include <string>
#include <utility>
#include "extension/SubstLibrary.h"
#include "server/ModuleInstance.h"
#include "tests/TestSupport.h"

namespace {

// The companion SUBST.DLL, bound beside the test program as the server would bind it.
class CompanionTest : public ::testing::Test {
protected:
    void SetUp() override {
        SKIP_WITHOUT_ANSI_RUN_FOLDER();
        ASSERT_TRUE(CopyFileW(test::InRunFolder("subst_companion.dll").c_str(),
                              test::InRunFolder("SUBST.DLL").c_str(), FALSE));
        m_binding = new SubstLibrary(moduleInstance.instance, true);
        ASSERT_TRUE(m_binding->IsLoaded());
        m_drive = test::FreeDrive();
        ASSERT_NE(m_drive, 0);
    }
    void TearDown() override {
        if (m_binding && test::DriveInUse(m_drive))
            m_binding->Delete(m_drive);
        delete m_binding;
        DeleteFileW(test::InRunFolder("SUBST.DLL").c_str());
    }

    SubstLibrary* m_binding = nullptr;
    int m_drive = 0;
    test::ScratchFolder m_folder{"mapped folder"};
};

TEST_F(CompanionTest, MapsQueriesAndRemovesASubstitutedDrive) {
    ASSERT_EQ(m_binding->Create(m_drive, m_folder.AnsiPath().c_str()), 0);
    EXPECT_TRUE(test::DriveInUse(m_drive));

    char buffer[261] = {};
    EXPECT_EQ(m_binding->Query(m_drive, buffer, 260), 0);
    EXPECT_STREQ(buffer, m_folder.AnsiPath().c_str());

    EXPECT_NE(m_binding->Create(m_drive, m_folder.AnsiPath().c_str()), 0) << "letter in use";

    EXPECT_EQ(m_binding->Delete(m_drive), 0);
    EXPECT_FALSE(test::DriveInUse(m_drive));
    EXPECT_NE(m_binding->Query(m_drive, buffer, 260), 0);
    EXPECT_NE(m_binding->Delete(m_drive), 0) << "nothing left to remove";
}

TEST_F(CompanionTest, QueryWritesNoMoreThanTheSizeAllows) {
    ASSERT_EQ(m_binding->Create(m_drive, m_folder.AnsiPath().c_str()), 0);
    char buffer[261];
    FillMemory(buffer, sizeof(buffer), 'x');
    EXPECT_EQ(m_binding->Query(m_drive, buffer, 5), 0);
    EXPECT_EQ(std::string(buffer, 4), m_folder.AnsiPath().substr(0, 4));
    EXPECT_EQ(buffer[4], 0);
    EXPECT_EQ(buffer[5], 'x');
}

TEST_F(CompanionTest, RefusesFilesMissingPathsAndBadLetters) {
    const std::string file = m_folder.AnsiPath() + "\\file.txt";
    HANDLE handle = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    CloseHandle(handle);

    EXPECT_NE(m_binding->Create(m_drive, file.c_str()), 0);
    EXPECT_NE(m_binding->Create(m_drive, (m_folder.AnsiPath() + "\\missing").c_str()), 0);
    EXPECT_NE(m_binding->Create(m_drive, ""), 0);
    EXPECT_FALSE(test::DriveInUse(m_drive));
    EXPECT_NE(m_binding->Create(0, m_folder.AnsiPath().c_str()), 0);
    EXPECT_NE(m_binding->Create(27, m_folder.AnsiPath().c_str()), 0);
    EXPECT_NE(m_binding->Create(3, m_folder.AnsiPath().c_str()), 0) << "C: is a real drive";
}

TEST_F(CompanionTest, NeverTreatsOrRemovesARealDriveAsASubstitution) {
    ASSERT_TRUE(test::DriveInUse(3));
    char buffer[261] = {};
    EXPECT_NE(m_binding->Query(3, buffer, 260), 0);
    EXPECT_NE(m_binding->Delete(3), 0);
    EXPECT_TRUE(test::DriveInUse(3));
    EXPECT_NE(GetFileAttributesA("C:\\windows"), INVALID_FILE_ATTRIBUTES);
}

// The tools carry the release's version; the module keeps its own.
TEST(ToolVersions, TheToolsCarryTheReleaseVersion) {
    const auto fileVersion = [](const std::string& name) {
        const std::wstring path = test::InRunFolder(name);
        DWORD ignored = 0;
        std::string block(GetFileVersionInfoSizeW(path.c_str(), &ignored), '\0');
        VS_FIXEDFILEINFO* fixed = nullptr;
        UINT size = 0;
        if (block.empty() || !GetFileVersionInfoW(path.c_str(), 0, block.size(), &block[0]) ||
            !VerQueryValueW(&block[0], L"\\", reinterpret_cast<void**>(&fixed), &size))
            return std::make_pair(0ul, 0ul);
        return std::make_pair(static_cast<unsigned long>(fixed->dwFileVersionMS),
                              static_cast<unsigned long>(fixed->dwFileVersionLS));
    };
    EXPECT_EQ(fileVersion("Lanterwell.dll"), std::make_pair(0x00010001ul, 0x00020000ul));
    const auto release = std::make_pair(static_cast<unsigned long>(LANTERWELL_RELEASE_MS),
                                        static_cast<unsigned long>(LANTERWELL_RELEASE_LS));
    EXPECT_GT(release, std::make_pair(0x00010001ul, 0x00020000ul)) << "above the module's";
    EXPECT_EQ(fileVersion("lwsubst.exe"), release);
    EXPECT_EQ(fileVersion("subst_companion.dll"), release);
}

} // namespace
