// Registration from folders of every kind of name, under a thread locale that matches the
// system's code page and one that does not: either every row names the module exactly, or
// registration fails and the registry is exactly as it was.
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "LanterwellIds.h"
#include "tests/Registry.h"
#include "tests/RegistryTree.h"
#include "tests/TestSupport.h"

namespace {

// Everything of ours that registration may write.
std::string Snapshot() {
    std::string out;
    for (const wchar_t* key :
         {L"CLSID\\" LANTERWELL_CLSID_SHELL_EXTENSION_TEXT,
          L"AppID\\" LANTERWELL_APPID_LANTERWELL_TEXT, L"AppID\\Lanterwell.DLL",
          L"Lanterwell.ShellExtension", L"Lanterwell.ShellExtension.1",
          L"TypeLib\\" LANTERWELL_LIBID_LANTERWELL_TEXT,
          L"Interface\\" LANTERWELL_IID_ISHELL_EXTENSION_TEXT,
          L"Folder\\ShellEx\\ContextMenuHandlers\\Lanterwell"})
        test::DumpTree(HKEY_CLASSES_ROOT, key, out);
    return out + "approved: " + test::ApprovedValue();
}

std::wstring ReadDefault(const std::wstring& path) {
    wchar_t data[1024] = {};
    DWORD size = sizeof(data) - sizeof(wchar_t);
    if (RegGetValueW(HKEY_CLASSES_ROOT, path.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, data, &size))
        return L"<none>";
    return data;
}

struct PathCase {
    const char* label;
    std::wstring name;
    bool alwaysRegisters; // ASCII: under any locale
    UINT homeCodePage;    // the system code page that holds the name (0: none does)
};

struct LocaleCase {
    PathCase path;
    bool matchingLocale;
};

std::vector<LocaleCase> Cases() {
    const PathCase paths[] = {
        {"ASCII with quote, percent, braces", L"It's 100% {x}", true, 0},
        {"Japanese ending in a 0x5C trail byte", L"\u4E00\u89A7\u8868\u30BD", false, 932},
        {"Korean", L"\uD55C\uAD6D\uC5B4", false, 0},
        {"accented Latin", L"\u00E9t\u00E9", false, 1252},
    };
    std::vector<LocaleCase> cases;
    for (const PathCase& path : paths)
        for (bool matching : {true, false})
            cases.push_back({path, matching});
    return cases;
}

class RegistrationPathTest : public ::testing::TestWithParam<LocaleCase> {
protected:
    void SetUp() override {
        CreateDirectoryW(kBase, nullptr);
        CreateDirectoryW(m_folder.c_str(), nullptr);
        ASSERT_TRUE(
            CopyFileW(test::InRunFolder("Lanterwell.dll").c_str(), m_module.c_str(), FALSE));
    }
    void TearDown() override {
        DeleteFileW(m_module.c_str());
        RemoveDirectoryW(m_folder.c_str());
        RemoveDirectoryW(kBase);
    }

    static constexpr const wchar_t* kBase = L"C:\\lwreg";
    const std::wstring m_folder = std::wstring(kBase) + L"\\" + GetParam().path.name;
    const std::wstring m_module = m_folder + L"\\Lanterwell.dll";
};

TEST_P(RegistrationPathTest, EveryRowIsExactOrNothingIsWritten) {
    const LocaleCase& c = GetParam();
    SCOPED_TRACE(c.path.label);
    SCOPED_TRACE(c.matchingLocale ? "thread locale matches the code page" : "it does not");
    const LCID system = GetACP() == 932 ? 0x411 : 0x409;
    const LCID other = GetACP() == 932 ? 0x409 : 0x411;
    const std::string before = Snapshot();

    const HMODULE server = LoadLibraryW(m_module.c_str());
    ASSERT_NE(server, nullptr);
    using Export = HRESULT(WINAPI*)();
    const auto registerServer = reinterpret_cast<Export>(
        reinterpret_cast<void*>(GetProcAddress(server, "DllRegisterServer")));
    const auto unregisterServer = reinterpret_cast<Export>(
        reinterpret_cast<void*>(GetProcAddress(server, "DllUnregisterServer")));
    {
        test::ThreadLocale locale(c.matchingLocale ? system : other);
        const HRESULT registered = registerServer();
        // A name registers exactly where the code page holds it and the thread carries it in
        // that code page; elsewhere it must fail cleanly.
        const bool registers =
            c.path.alwaysRegisters || (c.path.homeCodePage == GetACP() && c.matchingLocale);
        EXPECT_EQ(SUCCEEDED(registered), registers) << std::hex << registered;
        if (SUCCEEDED(registered)) {
            const std::wstring clsid = L"CLSID\\" LANTERWELL_CLSID_SHELL_EXTENSION_TEXT;
            EXPECT_EQ(ReadDefault(clsid + L"\\InprocServer32"), m_module);
            const std::wstring platform(test::kNativePlatformKey, test::kNativePlatformKey + 5);
            EXPECT_EQ(
                ReadDefault(L"TypeLib\\" LANTERWELL_LIBID_LANTERWELL_TEXT "\\1.0\\0\\" + platform),
                m_module);
            EXPECT_EQ(unregisterServer(), S_OK);
        } else {
            EXPECT_EQ(registered, HRESULT_FROM_WIN32(ERROR_NO_UNICODE_TRANSLATION));
        }
    }
    FreeLibrary(server);
    EXPECT_TRUE(Snapshot() == before) << "the registry is as it was";
}

INSTANTIATE_TEST_SUITE_P(Folders, RegistrationPathTest, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<LocaleCase>& info) {
                             return "case" + std::to_string(info.index);
                         });

} // namespace
