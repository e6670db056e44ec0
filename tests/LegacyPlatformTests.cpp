#include <gtest/gtest.h>
#include "extension/ShellExtension.h"
#include "support/CodePage.h"
#include "tests/ProcessWatch.h"

namespace {

// Run with Wine reporting Windows 98 or NT 4.0 to this program: without CP_THREAD_ACP the
// code page comes from the thread locale.
TEST(ConversionCodePage, IsTheThreadLocaleCodePageBeforeNt5) {
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    ASSERT_TRUE(GetVersionExA(&version));
    ASSERT_TRUE(version.dwPlatformId != VER_PLATFORM_WIN32_NT || version.dwMajorVersion < 5)
        << "run this program with an older Windows version";

    char text[8] = {};
    ASSERT_GT(GetLocaleInfoA(GetThreadLocale(), LOCALE_IDEFAULTANSICODEPAGE, text, 8), 0);
    const UINT localeCodePage = static_cast<UINT>(atoi(text));
    ASSERT_NE(localeCodePage, 0u);
    EXPECT_EQ(GetConversionCodePage(), localeCodePage);
    EXPECT_EQ(GetConversionCodePage(), GetACP()) << "Wine's thread locale follows LC_ALL";
    EXPECT_NE(GetConversionCodePage(), static_cast<UINT>(CP_THREAD_ACP));
}

} // namespace

namespace {

TEST(FileManagerWindow, OpensOnTheNtFamilyOnly) {
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    ASSERT_TRUE(GetVersionExA(&version));
    const bool nt = version.dwPlatformId == VER_PLATFORM_WIN32_NT;
    EXPECT_EQ(ShellExtension::IsNtPlatform(), nt);
    if (nt)
        return;
    test::ProcessWatch explorer("explorer.exe");
    EXPECT_EQ(ShellExtension::OpenDriveWindow("Q:\\"), 1);
    EXPECT_EQ(explorer.FindNew(1000).id, 0u);
}

} // namespace
