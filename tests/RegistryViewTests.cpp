// The walks in the 32-bit registry view of a 32-bit process on 64-bit Windows, where the
// platform reaches keys both views share, and a view's own, through links of its own.
#include <gtest/gtest.h>
#include <windows.h>
#include <atomic>
#include <string>
#include <thread>
#include "registrar/RegistryKeys.h"
#include "registrar/ViewLinks.h"
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
void Remove(const std::wstring& path, HKEY root = HKEY_LOCAL_MACHINE) {
    for (const std::wstring& doomed : {path + L"\\Sub", path}) {
        KeyHandle key;
        if (key.OpenLink(root, doomed.c_str(), DELETE | KEY_WOW64_64KEY) == 0)
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
    {HKEY_CLASSES_ROOT, "NoRemove Interface { %K% }",
     L"Software\\Classes\\Wow6432Node\\Interface\\Lanterwell View",
     L"Software\\Classes\\Interface\\Lanterwell View", S_OK},
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
        if (row.twin) {
            ASSERT_TRUE(Write(row.twin));
        }
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
            // Linked to its 64-bit twin, as the platform links only keys both views share.
            ASSERT_TRUE(PlantLink(row.where, row.twin));
            EXPECT_EQ(Walk(row.root, Script(row.script, kName), false), row.unregistered);
            EXPECT_EQ(Read(row.where), L"<no key>");
            EXPECT_EQ(Read(row.twin), kTargetValue) << "the 64-bit view's own key stays";
            Remove(row.twin);
        }
        Remove(row.where);
    }
}

// A link of the platform's form to a key both views share, made for this test, whose target it
// may delete: Delete and ForceRemove take the key it reaches, as they would in the 64-bit view,
// and keep the link.
TEST_F(ViewWalkTest, DeleteAndForceRemoveTakeTheKeyAViewLinkReachesAndKeepTheLink) {
    const std::wstring shared = L"Software\\Classes\\Lanterwell Shared";
    const std::wstring link = L"Software\\Classes\\Wow6432Node\\Lanterwell Shared";
    ASSERT_TRUE(PlantLink(link, shared));
    for (const char* entry : {"Delete 'Lanterwell Shared'", "ForceRemove 'Lanterwell Shared'"}) {
        SCOPED_TRACE(entry);
        ASSERT_TRUE(Write(shared + L"\\Sub"));
        ASSERT_EQ(Read(link + L"\\Sub"), kTargetValue);
        ASSERT_EQ(Walk(HKEY_LOCAL_MACHINE,
                       std::string("NoRemove Software { NoRemove Classes { ") + entry + " } }",
                       true),
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

// A link flipped by another program between its platform's shape and another key while the
// walk deletes what it reaches: what is deleted is always the key the link was judged by.
TEST_F(ViewWalkTest, ALinkThatChangesUnderTheWalkNeverTakesAnotherKey) {
    const std::wstring shared = L"Software\\Classes\\Lanterwell Shared";
    const std::wstring link = L"Software\\Classes\\Wow6432Node\\Lanterwell Shared";
    const std::wstring targets[] = {L"\\Registry\\Machine\\" + shared,
                                    L"\\Registry\\Machine\\" + m_outside};
    std::atomic<bool> stop(false);
    std::thread flipper([&] {
        for (size_t turn = 0; !stop; ++turn) {
            HKEY key = nullptr;
            if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, link.c_str(), REG_OPTION_OPEN_LINK,
                              KEY_SET_VALUE | KEY_WOW64_64KEY, &key))
                continue;
            const std::wstring& target = targets[turn % 2];
            RegSetValueExW(key, L"SymbolicLinkValue", 0, REG_LINK,
                           reinterpret_cast<const BYTE*>(target.data()),
                           static_cast<DWORD>(target.size() * sizeof(wchar_t)));
            RegCloseKey(key);
        }
    });
    int taken = 0;
    for (int round = 0; round < 200; ++round) {
        Remove(link);
        PlantLink(link, shared);
        Write(shared + L"\\Sub");
        Walk(HKEY_LOCAL_MACHINE,
             "NoRemove Software { NoRemove Classes { Delete 'Lanterwell Shared' } }", true);
        if (Read(m_outside) != kTargetValue) {
            ++taken;
            Write(m_outside);
        }
    }
    stop = true;
    flipper.join();
    EXPECT_EQ(taken, 0) << "rounds in which a key the rule never allows was deleted";
    Remove(shared);
    Remove(link);
}

// A link below a view node where the platform keeps no view (a user's Software, which both
// views share) is planted, in any process: unregistration removes it and keeps its target.
TEST(ViewLinkShapeTest, AViewNodeBelowASharedKeyHoldsOnlyPlantedLinks) {
    const test::ScratchKey scratch("View Link Shape");
    const std::wstring path = L"Software\\Lanterwell Tests\\View Link Shape";
    Remove(path + L"\\Wow6432Node\\Real", HKEY_CURRENT_USER); // left by a failed run
    HKEY real = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, (path + L"\\Real").c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &real, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(real, L"v", 0, REG_SZ, reinterpret_cast<const BYTE*>(kTargetValue),
                   sizeof(kTargetValue));
    RegCloseKey(real);
    ASSERT_TRUE(test::PlantLink(HKEY_CURRENT_USER, path + L"\\Wow6432Node\\Real",
                                test::KernelPath(path + L"\\Real")));
    EXPECT_EQ(Walk(scratch.Get(), "NoRemove Wow6432Node { Real }", false), S_OK);
    EXPECT_FALSE(scratch.Exists("Wow6432Node\\Real"));
    EXPECT_EQ(scratch.String("Real", "v"), "foreign") << "the target stays";
}

struct LinkRuleCase {
    const wchar_t* link;
    const wchar_t* target;
    bool platforms;
};

// The documented links and shared keys as Windows and Wine spell them, and links of the same
// shape where the view redirects or keeps no view.
const LinkRuleCase kLinkRuleCases[] = {
    {L"\\REGISTRY\\MACHINE\\SOFTWARE\\Wow6432Node\\Classes",
     L"\\REGISTRY\\MACHINE\\SOFTWARE\\Classes\\Wow6432Node", true},
    {L"\\REGISTRY\\Machine\\Software\\Wow6432Node\\Classes",
     L"\\REGISTRY\\Machine\\Software\\Classes", true}, // as Wine names the target
    {L"\\REGISTRY\\MACHINE\\SOFTWARE\\Classes\\Wow6432Node\\TypeLib",
     L"\\Registry\\Machine\\Software\\Classes\\TypeLib", true},
    {L"\\REGISTRY\\MACHINE\\SOFTWARE\\Classes\\Wow6432Node\\AppID",
     L"\\REGISTRY\\MACHINE\\SOFTWARE\\Classes\\AppID", true},
    {L"\\REGISTRY\\USER\\S-1-5-21-1-2-3-1000_Classes\\Wow6432Node\\AppID",
     L"\\REGISTRY\\USER\\S-1-5-21-1-2-3-1000_Classes\\AppID", true},
    {L"\\REGISTRY\\USER\\S-1-5-21-0-0-0-1000\\Software\\Classes\\Wow6432Node\\TypeLib",
     L"\\REGISTRY\\USER\\S-1-5-21-0-0-0-1000\\Software\\Classes\\TypeLib", true},
    {L"\\REGISTRY\\MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\OLE",
     L"\\REGISTRY\\MACHINE\\SOFTWARE\\Microsoft\\OLE", true},
    {L"\\REGISTRY\\MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\App "
     L"Paths\\x.exe",
     L"\\REGISTRY\\MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\x.exe", true},
    {L"\\REGISTRY\\MACHINE\\SOFTWARE\\Classes\\Wow6432Node\\CLSID\\{X}",
     L"\\REGISTRY\\MACHINE\\SOFTWARE\\Classes\\CLSID\\{X}", false},
    {L"\\REGISTRY\\MACHINE\\SOFTWARE\\Classes\\Wow6432Node\\Interface\\{X}",
     L"\\REGISTRY\\MACHINE\\SOFTWARE\\Classes\\Interface\\{X}", false},
    {L"\\REGISTRY\\MACHINE\\SOFTWARE\\Wow6432Node\\Name", L"\\REGISTRY\\MACHINE\\SOFTWARE\\Name",
     false},
    {L"\\REGISTRY\\MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run",
     L"\\REGISTRY\\MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", false},
    {L"\\REGISTRY\\MACHINE\\SOFTWARE\\Wow6432Node\\Classes\\TypeLib",
     L"\\REGISTRY\\MACHINE\\SOFTWARE\\Classes\\TypeLib", false},
    {L"\\REGISTRY\\USER\\S-1-5-21-0-0-0-1000\\Software\\Name\\Wow6432Node\\Real",
     L"\\REGISTRY\\USER\\S-1-5-21-0-0-0-1000\\Software\\Name\\Real", false},
    {L"\\REGISTRY\\MACHINE\\SOFTWARE\\Classes\\Wow6432Node\\TypeLib",
     L"\\REGISTRY\\MACHINE\\SOFTWARE\\Outside", false},
    {L"\\REGISTRY\\MACHINE\\SOFTWARE\\Classes\\Wow6432Node\\Wow6432Node\\TypeLib",
     L"\\REGISTRY\\MACHINE\\SOFTWARE\\Classes\\Wow6432Node\\TypeLib", false},
    {L"\\REGISTRY\\MACHINE\\SOFTWARE\\Classes\\Wow6432Node",
     L"\\REGISTRY\\MACHINE\\SOFTWARE\\Classes", false},
};

// Key names compare as the registry compares them: ordinally, case by its upper-case table.
TEST(ViewLinkShapeTest, KeyNamesCompareAsTheRegistryComparesThem) {
    const struct {
        const wchar_t* one;
        const wchar_t* other;
        bool same;
    } rows[] = {{L"CLSID", L"clsid", true},          {L"\u00E4", L"\u00C4", true},
                {L"CLSID", L"C\u00ADLSID", false},   {L"Key", L"\u212Aey", false},
                {L"Stra\u00DFe", L"STRASSE", false}, {L"TypeLib", L"TypeLib ", false}};
    for (const auto& row : rows)
        EXPECT_EQ(SameKeyName({row.one, lstrlenW(row.one)}, {row.other, lstrlenW(row.other)}),
                  row.same)
            << test::Utf8(row.one) << " / " << test::Utf8(row.other);
    const wchar_t link[] = L"\\REGISTRY\\MACHINE\\SOFTWARE\\Classes\\Wow6432Node\\C\u00ADLSID\\{X}";
    const wchar_t target[] = L"\\REGISTRY\\MACHINE\\SOFTWARE\\Classes\\CLSID\\{X}";
    EXPECT_FALSE(IsPlatformViewLink({link, lstrlenW(link)}, {target, lstrlenW(target)}));
}

TEST(ViewLinkShapeTest, OnlyTheDocumentedSharedKeysAreThePlatformsLinks) {
    for (const LinkRuleCase& row : kLinkRuleCases) {
        SCOPED_TRACE(test::Utf8(row.link));
        EXPECT_EQ(
            IsPlatformViewLink({row.link, lstrlenW(row.link)}, {row.target, lstrlenW(row.target)}),
            row.platforms);
    }
}

} // namespace
