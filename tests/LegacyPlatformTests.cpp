#include <gtest/gtest.h>
#include "extension/ShellExtension.h"
#include "support/CodePage.h"
#include "support/Platform.h"
#include "tests/ProcessWatch.h"
#include "tests/Registry.h"
#include "tests/TestSupport.h"

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
    EXPECT_EQ(Platform::IsNt(), nt);
    if (nt)
        return;
    test::ProcessWatch explorer("explorer.exe");
    EXPECT_EQ(DriveCommands::OpenDriveWindow("Q:\\"), 1);
    EXPECT_EQ(explorer.FindNew(1000).id, 0u);
}

} // namespace

namespace {

// Before the NT family the shell has no approved list: registration leaves it alone.
TEST(Registration, LeavesTheApprovedListAloneOutsideTheNtFamily) {
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    ASSERT_TRUE(GetVersionExA(&version));
    ASSERT_EQ((GetVersion() & 0x80000000) != 0, version.dwPlatformId != VER_PLATFORM_WIN32_NT)
        << "GetVersion's high bit marks the systems outside the NT family";
    if (GetVersion() & 0x80000000) {
        HKEY approved = nullptr;
        ASSERT_EQ(
            RegOpenKeyExA(HKEY_LOCAL_MACHINE, test::kApprovedKey, 0, KEY_SET_VALUE, &approved), 0);
        const char planted[] = "planted";
        RegSetValueExA(approved, test::kClassIdText, 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(planted), sizeof(planted));
        RegCloseKey(approved);
    }
    HMODULE server = LoadLibraryW(test::InRunFolder("Lanterwell.dll").c_str());
    ASSERT_NE(server, nullptr);
    using Export = HRESULT(WINAPI*)();
    auto registerServer = reinterpret_cast<Export>(
        reinterpret_cast<void*>(GetProcAddress(server, "DllRegisterServer")));
    auto unregisterServer = reinterpret_cast<Export>(
        reinterpret_cast<void*>(GetProcAddress(server, "DllUnregisterServer")));
    const bool nt = !(GetVersion() & 0x80000000);

    ASSERT_EQ(registerServer(), S_OK);
    EXPECT_TRUE(test::KeyExists(HKEY_CLASSES_ROOT, test::kClassKey));
    EXPECT_EQ(test::ApprovedValue(), nt ? "Lanterwell" : "planted");
    ASSERT_EQ(unregisterServer(), S_OK);
    EXPECT_FALSE(test::KeyExists(HKEY_CLASSES_ROOT, test::kClassKey));
    EXPECT_EQ(test::ApprovedValue(), nt ? "<none>" : "planted");
    FreeLibrary(server);

    HKEY approved = nullptr;
    RegOpenKeyExA(HKEY_LOCAL_MACHINE, test::kApprovedKey, 0, KEY_SET_VALUE, &approved);
    RegDeleteValueA(approved, test::kClassIdText);
    RegCloseKey(approved);
}

} // namespace
