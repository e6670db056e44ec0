#include <gtest/gtest.h>
#include <objbase.h>
#include <string>
#include "registrar/Registrar.h"
#include "registrar/ScriptRunner.h"
#include "tests/Registry.h"
#include "tests/TestSupport.h"

namespace {

// Run with an ANSI code page of UTF-8, where a Japanese character takes three bytes: every
// conversion must be as large as the conversion says, never two bytes a code unit.
class Utf8CodePage : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(GetACP(), static_cast<UINT>(CP_UTF8)); }
};

using Export = HRESULT(WINAPI*)();

std::wstring ClassServer() {
    HKEY key = nullptr;
    const std::wstring name = test::Wide(test::kClassKey) + L"\\InprocServer32";
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, name.c_str(), 0, KEY_QUERY_VALUE, &key))
        return L"<none>";
    wchar_t value[MAX_PATH] = {};
    DWORD size = sizeof(value) - sizeof(wchar_t);
    RegQueryValueExW(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    return value;
}

// The built DLL copied into a folder of `count` Japanese characters below `parent`, loaded.
class CopiedServer {
public:
    CopiedServer(const std::wstring& parent, int count)
        : m_folder(parent + std::wstring(count, L'\u4EEE')),
          m_path(m_folder + L"\\Lanterwell.dll") {
        CreateDirectoryW(parent.c_str(), nullptr);
        CreateDirectoryW(m_folder.c_str(), nullptr);
        CopyFileW(test::InRunFolder("Lanterwell.dll").c_str(), m_path.c_str(), FALSE);
        m_module = LoadLibraryW(m_path.c_str());
    }
    ~CopiedServer() {
        if (m_module)
            FreeLibrary(m_module);
        DeleteFileW(m_path.c_str());
        RemoveDirectoryW(m_folder.c_str());
    }
    HRESULT Call(const char* name) const {
        auto call =
            reinterpret_cast<Export>(reinterpret_cast<void*>(GetProcAddress(m_module, name)));
        return call ? call() : E_FAIL;
    }
    bool Loaded() const { return m_module != nullptr; }
    const std::wstring& Path() const { return m_path; }

private:
    std::wstring m_folder;
    std::wstring m_path;
    HMODULE m_module = nullptr;
};

void ExpectNothingRegistered() {
    EXPECT_EQ(test::ApprovedValue(), "<none>");
    EXPECT_FALSE(test::KeyExists(HKEY_CLASSES_ROOT, "AppID\\Lanterwell.DLL"));
    EXPECT_FALSE(test::KeyExists(HKEY_CLASSES_ROOT, test::kClassKey));
    EXPECT_FALSE(test::KeyExists(HKEY_CLASSES_ROOT, "Lanterwell.ShellExtension"));
}

TEST_F(Utf8CodePage, AValueTakesAsManyBytesAsItsCharactersNeed) {
    Registrar registrar;
    ASSERT_EQ(registrar.AddVariable(L"Value", L"\u4EEE\u4EEE"), S_OK);
    ScriptLexer parser(&registrar);
    char* expanded = reinterpret_cast<char*>(1);
    ASSERT_EQ(ExpandVariables(parser, "x %Value% y", &expanded), S_OK);
    EXPECT_STREQ(expanded, "x \xE4\xBB\xAE\xE4\xBB\xAE y");
    CoTaskMemFree(expanded);
}

// From a folder of many Japanese characters the exact path is registered, however deep the
// folder lies, as long as its ANSI path fits; one whose ANSI path does not fit (though its
// UTF-16 path does) is refused before anything is written.
TEST_F(Utf8CodePage, RegistrationWritesTheExactPathOrNothing) {
    const std::wstring run = test::RunFolder();
    const std::wstring tail = L"\\Lanterwell.dll";
    int depths = 0;
    for (const std::wstring& parent : {run, run + L"deeper\\"}) {
        const int room = MAX_PATH - 1 - static_cast<int>(parent.size() + tail.size());
        if (room / 3 < 10)
            continue;
        ++depths;
        SCOPED_TRACE(parent.size());
        {
            CopiedServer fits(parent, room / 3 < 60 ? room / 3 : 60);
            ASSERT_TRUE(fits.Loaded());
            EXPECT_EQ(fits.Call("DllRegisterServer"), S_OK);
            EXPECT_EQ(ClassServer(), fits.Path());
            EXPECT_EQ(fits.Call("DllUnregisterServer"), S_OK);
            ExpectNothingRegistered();
        }
        {
            // Three bytes a character overflow MAX_PATH where one unit each still fits.
            CopiedServer tooLong(parent, room / 3 + 4);
            ASSERT_TRUE(tooLong.Loaded());
            EXPECT_TRUE(FAILED(tooLong.Call("DllRegisterServer")));
            ExpectNothingRegistered();
        }
    }
    RemoveDirectoryW((run + L"deeper").c_str());
    if (depths == 0)
        GTEST_SKIP() << "the run folder is too deep for a folder of Japanese characters";
}

} // namespace
