// The walks in the 32-bit registry view of a 32-bit process on 64-bit Windows, where the
// platform reaches keys both views share, and a view's own, through links of its own.
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include "registrar/RegistryKeys.h"
#include "tests/WalkBlock.h"
#include "support/Platform.h"
#include "tests/RegistryTree.h"
#include "tests/ScratchKey.h"

namespace {

const char kName[] = "'Lanterwell View'";
const wchar_t kTargetValue[] = L"foreign";

HRESULT Walk(HKEY root, const std::string& entries, bool registering) {
    const std::string text = entries + " }";
    ScriptLexer lexer;
    lexer.position = text.c_str();
    return WalkBlock(lexer, root, registering);
}

// A script with the key it registers written as %K%.
std::string Script(const char* shape, const std::string& key) {
    std::string text = shape;
    text.replace(text.find("%K%"), 3, key + " = s 'x' { val v = s 'y' Sub }");
    return text;
}

// A key of HKEY_LOCAL_MACHINE by the 64-bit view's name for it, whichever view reaches it.
std::wstring Read(const std::wstring& path, const wchar_t* name = L"v") {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &key))
        return L"<no key>";
    wchar_t data[64] = {};
    DWORD size = sizeof(data) - sizeof(wchar_t);
    const LONG read =
        RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    return read ? L"<no value>" : data;
}

bool Write(const std::wstring& path, DWORD options = 0) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, options,
                        KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &key, nullptr))
        return false;
    const LONG set = RegSetValueExW(
        key, L"v", 0, REG_SZ, reinterpret_cast<const BYTE*>(kTargetValue), sizeof(kTargetValue));
    RegCloseKey(key);
    return set == ERROR_SUCCESS;
}

// A symbolic link at a path of HKEY_LOCAL_MACHINE (by the 64-bit view's name) to another.
bool PlantLink(const std::wstring& path, const std::wstring& target) {
    return test::PlantLink(HKEY_LOCAL_MACHINE, path, L"\\Registry\\Machine\\" + target,
                           KEY_WOW64_64KEY);
}

// Deletes a key and its subkey Sub, by the 64-bit view's names; a link as a link.
void Remove(const std::wstring& path) {
    for (const std::wstring& doomed : {path + L"\\Sub", path}) {
        KeyHandle key;
        if (key.OpenLink(HKEY_LOCAL_MACHINE, doomed.c_str(), DELETE | KEY_WOW64_64KEY) == 0)
            DeleteOpenKey(key.Get());
    }
}

class ViewWalkTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!Platform::IsWow64())
            GTEST_SKIP() << "the 32-bit view of a 32-bit process on 64-bit Windows";
        m_links = test::PlatformLinks();
        ASSERT_NE(m_links.find("Software\\Wow6432Node\\Classes -> "), std::string::npos);
        ASSERT_TRUE(Write(m_outside));
    }
    void TearDown() override {
        if (!Platform::IsWow64())
            return;
        Remove(m_outside);
        EXPECT_EQ(test::PlatformLinks(), m_links) << "the platform's links are as they were";
    }

    std::string m_links;
    const std::wstring m_outside = L"Software\\Lanterwell View Target";
};

struct ViewCase {
    HKEY root;
    const char* script;
    const wchar_t* where; // the registered key, by its name in the 64-bit view
    const wchar_t* twin;  // the same name in the 64-bit view, where that is another key
    HRESULT unregistered; // what a 64-bit program gets for the same script in its view
};

// Roots the view redirects (HKCR and HKLM\Software\Classes below CLSID, HKLM\Software), keys
// both views share (the rest of Classes; HKLM\Software\Microsoft\OLE, through a link), and
// linked keys named with and without NoRemove: a linked key that is not NoRemove goes as the
// key it reaches would, which the platform refuses while that key holds other subkeys.
const ViewCase kViewCases[] = {
    {HKEY_CLASSES_ROOT, "NoRemove CLSID { %K% }",
     L"Software\\Classes\\Wow6432Node\\CLSID\\Lanterwell View",
     L"Software\\Classes\\CLSID\\Lanterwell View", S_OK},
    {HKEY_LOCAL_MACHINE, "NoRemove Software { NoRemove Classes { NoRemove CLSID { %K% } } }",
     L"Software\\Classes\\Wow6432Node\\CLSID\\Lanterwell View",
     L"Software\\Classes\\CLSID\\Lanterwell View", S_OK},
    {HKEY_LOCAL_MACHINE, "NoRemove Software { Classes { %K% } }",
     L"Software\\Classes\\Lanterwell View", nullptr, HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED)},
    {HKEY_LOCAL_MACHINE, "NoRemove Software { %K% }", L"Software\\Wow6432Node\\Lanterwell View",
     L"Software\\Lanterwell View", S_OK},
    {HKEY_LOCAL_MACHINE, "NoRemove Software { NoRemove Microsoft { NoRemove OLE { %K% } } }",
     L"Software\\Microsoft\\OLE\\Lanterwell View", nullptr, S_OK},
    {HKEY_LOCAL_MACHINE, "NoRemove Software { Microsoft { NoRemove OLE { %K% } } }",
     L"Software\\Microsoft\\OLE\\Lanterwell View", nullptr,
     HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED)},
};

TEST_F(ViewWalkTest, ScriptsBelowEveryRootLeaveNothingInEitherViewAndNoPlatformLinkChanges) {
    for (const ViewCase& row : kViewCases) {
        SCOPED_TRACE(row.script);
        if (row.twin)
            ASSERT_TRUE(Write(row.twin));
        ASSERT_EQ(Walk(row.root, Script(row.script, kName), true), S_OK);
        EXPECT_EQ(Read(row.where), L"y");
        EXPECT_EQ(Walk(row.root, Script(row.script, kName), false), row.unregistered);
        EXPECT_EQ(Read(row.where), L"<no key>");

        // A link planted where the key would be goes as a link, at unregistration and at
        // ForceRemove, and its target stays.
        ASSERT_TRUE(PlantLink(row.where, m_outside));
        ASSERT_EQ(Read(row.where), kTargetValue);
        EXPECT_EQ(Walk(row.root, Script(row.script, kName), false), row.unregistered);
        EXPECT_EQ(Read(row.where), L"<no key>");
        ASSERT_TRUE(PlantLink(row.where, m_outside));
        const std::string forced = Script(row.script, std::string("ForceRemove ") + kName);
        EXPECT_EQ(Walk(row.root, forced, true), S_OK);
        EXPECT_EQ(Read(row.where), L"y") << "a key of its own in the link's place";
        EXPECT_EQ(Walk(row.root, forced, false), row.unregistered);
        EXPECT_EQ(Read(row.where), L"<no key>");
        EXPECT_EQ(Read(m_outside), kTargetValue) << "the link's target stays";
        if (row.twin) {
            EXPECT_EQ(Read(row.twin), kTargetValue) << "the 64-bit view's own key stays";
            Remove(row.twin);
        }
        Remove(row.where);
    }
}

// A link of the platform's form, made for this test, whose target it may delete: Delete and
// ForceRemove take the key it reaches, as they would in the 64-bit view, and keep the link.
TEST_F(ViewWalkTest, DeleteAndForceRemoveTakeTheKeyAViewLinkReachesAndKeepTheLink) {
    const std::wstring shared = L"Software\\Lanterwell Shared";
    const std::wstring link = L"Software\\Wow6432Node\\Lanterwell Shared";
    ASSERT_TRUE(PlantLink(link, shared));
    for (const char* entry : {"Delete 'Lanterwell Shared'", "ForceRemove 'Lanterwell Shared'"}) {
        SCOPED_TRACE(entry);
        ASSERT_TRUE(Write(shared + L"\\Sub"));
        ASSERT_EQ(Read(link + L"\\Sub"), kTargetValue);
        ASSERT_EQ(
            Walk(HKEY_LOCAL_MACHINE, std::string("NoRemove Software { ") + entry + " }", true),
            S_OK);
        EXPECT_EQ(Read(shared + L"\\Sub"), L"<no key>");
        HKEY kept = nullptr;
        ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, link.c_str(), REG_OPTION_OPEN_LINK,
                                KEY_READ | KEY_WOW64_64KEY, &kept),
                  ERROR_SUCCESS)
            << "the link stays";
        RegCloseKey(kept);
    }
    Remove(shared);
    Remove(link);
}

} // namespace
