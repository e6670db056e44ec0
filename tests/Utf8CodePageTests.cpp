#include <gtest/gtest.h>
#include <objbase.h>
#include <string>
#include "registrar/Registrar.h"
#include "registrar/ScriptRunner.h"
#include "tests/Registry.h"
#include "tests/TestSupport.h"

namespace {

// Run with an ANSI code page of UTF-8, where a Japanese character takes three bytes: more
// than the two per code unit that a conversion buffer holds.
class Utf8CodePage : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(GetACP(), static_cast<UINT>(CP_UTF8)); }
};

TEST_F(Utf8CodePage, AValueThatCannotBeConvertedFailsTheExpansion) {
    Registrar registrar;
    ASSERT_EQ(registrar.AddVariable(L"Value", L"\u4EEE\u4EEE"), S_OK);
    ASSERT_EQ(registrar.AddVariable(L"Short", L"\u4EEE"), S_OK);
    ScriptParser parser(&registrar);
    char* expanded = reinterpret_cast<char*>(1);
    ASSERT_EQ(ExpandVariables(parser, "x %Short% y", &expanded), S_OK);
    EXPECT_STREQ(expanded, "x \xE4\xBB\xAE y");
    CoTaskMemFree(expanded);
    expanded = reinterpret_cast<char*>(1);
    EXPECT_EQ(ExpandVariables(parser, "x %Value% y", &expanded), E_OUTOFMEMORY);
    EXPECT_EQ(expanded, nullptr);
}

// From a folder whose name cannot be converted, registration fails before its first write and
// never writes a wrong path.
TEST_F(Utf8CodePage, AModulePathThatCannotBeConvertedIsNeverWritten) {
    const std::string runFolder = test::RunFolder();
    const std::string original = test::InRunFolder("Lanterwell.dll");
    const std::wstring folder =
        std::wstring(runFolder.begin(), runFolder.end()) + std::wstring(60, L'\u4EEE');
    const std::wstring module = folder + L"\\Lanterwell.dll";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    const std::wstring source(original.begin(), original.end());
    ASSERT_TRUE(CopyFileW(source.c_str(), module.c_str(), FALSE));
    HMODULE server = LoadLibraryW(module.c_str());
    ASSERT_NE(server, nullptr);
    using Export = HRESULT(WINAPI*)();
    auto registerServer = reinterpret_cast<Export>(
        reinterpret_cast<void*>(GetProcAddress(server, "DllRegisterServer")));

    EXPECT_EQ(registerServer(), E_OUTOFMEMORY);
    EXPECT_EQ(test::ApprovedValue(), "<none>");
    EXPECT_FALSE(test::KeyExists(HKEY_CLASSES_ROOT, "AppID\\Lanterwell.DLL"));
    EXPECT_FALSE(test::KeyExists(HKEY_CLASSES_ROOT, test::kClassKey));
    EXPECT_FALSE(test::KeyExists(HKEY_CLASSES_ROOT, "Lanterwell.ShellExtension"));

    FreeLibrary(server);
    HKEY approved = nullptr;
    RegOpenKeyExA(HKEY_LOCAL_MACHINE, test::kApprovedKey, 0, KEY_SET_VALUE, &approved);
    RegDeleteValueA(approved, test::kClassIdText);
    RegCloseKey(approved);
    RegDeleteKeyA(HKEY_CLASSES_ROOT, "AppID\\Lanterwell.DLL");
    RegDeleteKeyA(HKEY_CLASSES_ROOT, (std::string("AppID\\") + test::kAppIdText).c_str());
    DeleteFileW(module.c_str());
    RemoveDirectoryW(folder.c_str());
}

} // namespace
