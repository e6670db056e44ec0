#include <gtest/gtest.h>
#include <windows.h>
#include <sddl.h>
#include <string>
#include "registrar/RegistryKeys.h"
#include "tests/WalkBlock.h"
#include "tests/ExpectedScripts.h"
#include "tests/Registry.h"
#include "tests/RegistryTree.h"
#include "tests/ScratchKey.h"
#include "tests/TestSupport.h"

namespace {

using Value = test::ScratchKey::Value;

class WalkTest : public ::testing::Test {
protected:
    // Walks the entries of a block (the text after its "{", "}" included) below the
    // scratch key.
    HRESULT Walk(const std::string& entries, bool registering) {
        m_text = entries;
        ScriptLexer lexer;
        lexer.position = m_text.c_str();
        return WalkBlock(lexer, m_key.Get(), registering);
    }
    HRESULT Register(const std::string& entries) { return Walk(entries, true); }
    HRESULT Unregister(const std::string& entries) { return Walk(entries, false); }

    void Plant(const std::string& path, const char* name = nullptr, const char* data = "foreign") {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(m_key.Get(), path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  &key, nullptr),
                  0);
        if (name)
            RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data),
                           lstrlenA(data) + 1);
        RegCloseKey(key);
    }

    test::ScratchKey m_key;
    std::string m_text;
};

Value Bytes(DWORD type, const std::string& bytes) {
    Value value;
    value.type = type;
    value.bytes = bytes;
    return value;
}

TEST_F(WalkTest, RegistersKeysDefaultValuesNamedValuesAndBlocks) {
    ASSERT_EQ(Register("A = s 'default' { val Name = s 'it''s' B { C } }\r\n D }"), S_OK);
    EXPECT_EQ(m_key.String("A"), "default");
    EXPECT_EQ(m_key.Read("A", "Name"), Bytes(REG_SZ, std::string("it's\0", 5)));
    EXPECT_TRUE(m_key.Exists("A\\B\\C"));
    EXPECT_TRUE(m_key.Exists("D"));
    EXPECT_EQ(m_key.Read("D", nullptr).type, static_cast<DWORD>(REG_NONE));
}

TEST_F(WalkTest, ValuesOfEveryTypeWithTheirExactBytes) {
    ASSERT_EQ(Register("K { val s1 = s '' val d1 = d '123' val d2 = D 4294967295 "
                       "val b1 = b '1F2e' val b2 = B '0g' val b3 = b '' "
                       "val m1 = m 'a\\0b' val m2 = M 'a\\0b\\0' val m3 = m 'a\\0\\0b' "
                       "val m4 = m '' val m5 = m 'a\\b\\\\0' } }"),
              S_OK);
    EXPECT_EQ(m_key.Read("K", "s1"), Bytes(REG_SZ, std::string("\0", 1)));
    EXPECT_EQ(m_key.Read("K", "d1"), Bytes(REG_DWORD, std::string("\x7B\0\0\0", 4)));
    EXPECT_EQ(m_key.Read("K", "d2"), Bytes(REG_DWORD, "\xFF\xFF\xFF\xFF"));
    EXPECT_EQ(m_key.Read("K", "b1"), Bytes(REG_BINARY, "\x1F\x2E"));
    EXPECT_EQ(m_key.Read("K", "b2"), Bytes(REG_BINARY, std::string("\0", 1)));
    EXPECT_EQ(m_key.Read("K", "b3"), Bytes(REG_BINARY, ""));
    EXPECT_EQ(m_key.Read("K", "m1"), Bytes(REG_MULTI_SZ, std::string("a\0b\0\0", 5)));
    EXPECT_EQ(m_key.Read("K", "m2"), Bytes(REG_MULTI_SZ, std::string("a\0b\0\0", 5)));
    EXPECT_EQ(m_key.Read("K", "m3"), Bytes(REG_MULTI_SZ, std::string("a\0\0", 3)));
    EXPECT_EQ(m_key.Read("K", "m4"), Bytes(REG_MULTI_SZ, std::string("\0", 1)));
    // A backslash not followed by 0 is kept; "\\0" is a backslash and then a separator.
    EXPECT_EQ(m_key.Read("K", "m5"), Bytes(REG_MULTI_SZ, std::string("a\\b\\\0\0", 6)));
}

TEST_F(WalkTest, ValueTextsThatCannotBeStoredFailAndWriteNothing) {
    EXPECT_EQ(Register("K { val b = b 'ABC' } }"), E_FAIL);
    EXPECT_EQ(m_key.Read("K", "b").type, static_cast<DWORD>(REG_NONE));
    // A number the text does not give is never stored.
    for (const char* text : {"'4294967296'", "'twelve'", "''", "'-'"}) {
        EXPECT_EQ(Register(std::string("K { val d = d ") + text + " } }"), DISP_E_EXCEPTION)
            << text;
        EXPECT_EQ(m_key.Read("K", "d").type, static_cast<DWORD>(REG_NONE)) << text;
    }
    EXPECT_EQ(Register("K { val x = z 'text' } }"), DISP_E_EXCEPTION) << "unknown type letter";
    EXPECT_EQ(Register("K { val x s 'text' } }"), DISP_E_EXCEPTION) << "no equals sign";
    EXPECT_EQ(Register("K { val d = d '7' } }"), S_OK) << "the same script, well formed";
    EXPECT_EQ(m_key.Read("K", "d"), Bytes(REG_DWORD, std::string("\x07\0\0\0", 4)));
    EXPECT_EQ(Register("A\\B }"), DISP_E_EXCEPTION) << "a path is no key name";
    EXPECT_FALSE(m_key.Exists("A"));
}

TEST_F(WalkTest, AValueNameLongerThan259BytesIsRefused) {
    const std::string longest(259, 'n');
    ASSERT_EQ(Register("K { val " + longest + " = s 'x' } }"), S_OK);
    EXPECT_EQ(m_key.String("K", longest.c_str()), "x");
    EXPECT_EQ(Register("K { val " + longest + "n = s 'x' } }"), DISP_E_EXCEPTION);
}

TEST_F(WalkTest, AnEmptyKeyNameNeverStandsForTheParentKey) {
    Plant("K", "other");
    for (const char* script : {"ForceRemove '' }", "Delete '' }", "'' = s 'x' }", "K { '' } }"}) {
        EXPECT_EQ(Register(script), DISP_E_EXCEPTION) << script;
        EXPECT_EQ(Unregister(script), DISP_E_EXCEPTION) << script;
        EXPECT_EQ(m_key.String("K", "other"), "foreign") << script;
    }
    EXPECT_EQ(Unregister("K { '' } }"), DISP_E_EXCEPTION);
    EXPECT_TRUE(m_key.Exists("K"));
}

TEST_F(WalkTest, AKeyNameEndingInHalfADoubleByteCharacterIsRefused) {
    if (!test::IsJapaneseCodePage())
        GTEST_SKIP() << "double-byte characters need code page 932";
    EXPECT_EQ(Register("'K\x83' }"), DISP_E_EXCEPTION);
    EXPECT_EQ(Register("ForceRemove 'K\x83' }"), DISP_E_EXCEPTION);
    EXPECT_EQ(m_key.Snapshot(), std::vector<std::string>{});
    ASSERT_EQ(Register("'K\x83\x5C' }"), S_OK) << "a whole character whose trail is a backslash";
    EXPECT_TRUE(m_key.Exists("K\x83\x5C"));
}

TEST_F(WalkTest, AnEmptyValueNameIsTheDefaultValue) {
    ASSERT_EQ(Register("K { val '' = s 'unnamed' } }"), S_OK);
    EXPECT_EQ(m_key.String("K"), "unnamed");
    ASSERT_EQ(Unregister("NoRemove K { val '' = s 'unnamed' } }"), S_OK);
    EXPECT_EQ(m_key.Read("K", nullptr).type, static_cast<DWORD>(REG_NONE));
    EXPECT_TRUE(m_key.Exists("K"));
}

TEST_F(WalkTest, AnExistingKeyIsOpenedAndKeepsWhatTheScriptDoesNotName) {
    Plant("K", "other");
    Plant("K\\Sub");
    Plant("K", nullptr, "old default");
    ASSERT_EQ(Register("K = s 'new default' { val v = s 'x' } }"), S_OK);
    EXPECT_EQ(m_key.String("K"), "new default");
    EXPECT_EQ(m_key.String("K", "other"), "foreign");
    EXPECT_TRUE(m_key.Exists("K\\Sub"));
}

TEST_F(WalkTest, ForceRemoveStartsTheKeyAfreshUnlessItIsProtected) {
    Plant("K", "other");
    Plant("K\\Deep\\Deeper", "v");
    ASSERT_EQ(Register("ForceRemove K = s 'mine' { val v = s 'x' } }"), S_OK);
    EXPECT_EQ(m_key.Snapshot(), (std::vector<std::string>{"K\\", "K||1|mine" + std::string(1, '\0'),
                                                          "K|v|1|x" + std::string(1, '\0')}));

    for (const char* name : {"CLSID", "clsid"}) {
        Plant(std::string("Outer\\") + name, "other");
        ASSERT_EQ(Register(std::string("Outer { ForceRemove ") + name + " { val v = s 'x' } } }"),
                  S_OK);
        EXPECT_EQ(m_key.String(std::string("Outer\\") + name, "other"), "foreign") << name;
        EXPECT_EQ(m_key.String(std::string("Outer\\") + name, "v"), "x") << name;
    }
}

TEST_F(WalkTest, PrefixesDoNotCombine) {
    Plant("NoRemove\\Below");
    Plant("X", "other");
    ASSERT_EQ(Register("ForceRemove NoRemove X }"), S_OK);
    EXPECT_FALSE(m_key.Exists("NoRemove")) << "the tree of the key named NoRemove goes";
    EXPECT_EQ(m_key.String("X", "other"), "foreign") << "X is not deleted first";
    ASSERT_EQ(Unregister("ForceRemove NoRemove X }"), S_OK);
    EXPECT_TRUE(m_key.Exists("X"));

    ASSERT_EQ(Register("NoRemove ForceRemove Y }"), S_OK);
    EXPECT_TRUE(m_key.Exists("ForceRemove"));
    EXPECT_TRUE(m_key.Exists("Y"));
}

TEST_F(WalkTest, DeleteRemovesATreeCreatesNothingAndGoesOnWithTheNextEntry) {
    Plant("X\\Below", "v");
    ASSERT_EQ(Register("Delete X = s 'ignored' Y }"), S_OK);
    EXPECT_FALSE(m_key.Exists("X"));
    EXPECT_TRUE(m_key.Exists("Y"));
    ASSERT_EQ(Register("Delete Missing }"), S_OK) << "a missing key is no failure";
    EXPECT_FALSE(m_key.Exists("Missing"));
    Plant("Keep\\TypeLib");
    ASSERT_EQ(Register("Keep { Delete TypeLib } }"), S_OK);
    EXPECT_TRUE(m_key.Exists("Keep\\TypeLib")) << "protected";
}

TEST_F(WalkTest, ABlockAfterADeleteOrAValueEntryTouchesNoKey) {
    // The block has no key of its own: it is read and left alone, never walked under the
    // key of an earlier entry.
    ASSERT_EQ(Register("Prev Delete X { Inside { val v = s 'x' } } After }"), S_OK);
    ASSERT_EQ(Register("Prev2 val v = s 'x' { Inside2 } After2 }"), S_OK);
    EXPECT_EQ(m_key.Snapshot(),
              (std::vector<std::string>{"|v|1|x" + std::string(1, '\0'), "After\\", "After2\\",
                                        "Prev\\", "Prev2\\"}));
    ASSERT_EQ(Unregister("Prev2 val v = s 'x' { Prev } After2 }"), S_OK);
    EXPECT_TRUE(m_key.Exists("Prev")) << "the block after the value entry removed nothing";
    EXPECT_FALSE(m_key.Exists("After2"));
}

TEST_F(WalkTest, ABlockOpensOnlyWithABraceAloneAtRegistrationAndUnregistration) {
    ASSERT_EQ(Register("K {X} }"), S_OK);
    EXPECT_TRUE(m_key.Exists("K"));
    EXPECT_TRUE(m_key.Exists("{X}")) << "a key name that begins with a brace";
    EXPECT_FALSE(m_key.Exists("K\\{X}"));
    // Unregistration reads the script as registration did: {X} is the next key entry.
    EXPECT_EQ(Unregister("K {X} }"), S_OK);
    EXPECT_EQ(m_key.Snapshot(), std::vector<std::string>{});
}

// The registry path of the scratch key (or below it) as the kernel names it, for links.
std::wstring KernelPath(const std::string& below) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    return test::KernelPath(L"Software\\Lanterwell Tests\\" +
                            test::Wide(std::string(info->test_suite_name()) + "." + info->name()) +
                            (below.empty() ? L"" : L"\\" + test::Wide(below)));
}

TEST_F(WalkTest, ForceRemoveAndDeleteRemoveALinkNeverItsTarget) {
    Plant("Target\\Below", "v");
    for (const char* entry : {"ForceRemove L = s 'mine' }", "Delete L }"}) {
        SCOPED_TRACE(entry);
        ASSERT_TRUE(test::PlantLink(m_key.Get(), L"L", KernelPath("Target")));
        ASSERT_EQ(m_key.String("L\\Below", "v"), "foreign") << "the link leads to the target";
        ASSERT_EQ(Register(entry), S_OK);
        EXPECT_EQ(m_key.String("Target\\Below", "v"), "foreign") << "the target stays";
        EXPECT_EQ(m_key.String("L\\Below", "v"), "<none>") << "the link went";
        RegDeleteKeyA(m_key.Get(), "L");
    }
    // A link to the scratch key itself: a loop, ended at the link.
    ASSERT_TRUE(test::PlantLink(m_key.Get(), L"Loop", KernelPath("")));
    ASSERT_EQ(Register("ForceRemove Loop }"), S_OK);
    EXPECT_EQ(m_key.String("Target\\Below", "v"), "foreign");
}

// A plain key entry that is a link, at unregistration, goes as a link: its target (with or
// without subkeys) and the target's values stay. A NoRemove link stays too.
bool LinkExists(HKEY parent, const wchar_t* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(parent, name, REG_OPTION_OPEN_LINK, KEY_READ, &key))
        return false;
    RegCloseKey(key);
    return true;
}

TEST_F(WalkTest, UnregisteringAPlainEntryRemovesALinkNeverItsTarget) {
    for (const bool targetHasSubkeys : {false, true}) {
        SCOPED_TRACE(targetHasSubkeys);
        for (const char* leftover : {"L", "Kept", "Target"})
            DeleteKeyTree(m_key.Get(), leftover);
        Plant("Target", "v");
        if (targetHasSubkeys)
            Plant("Target\\Below", "w");
        ASSERT_TRUE(test::PlantLink(m_key.Get(), L"L", KernelPath("Target")));
        ASSERT_TRUE(test::PlantLink(m_key.Get(), L"Kept", KernelPath("Target")));
        EXPECT_EQ(Unregister("L { val v = s 'x' Below } NoRemove Kept { val v = s 'x' } }"), S_OK);
        EXPECT_EQ(m_key.String("Target", "v"), "foreign") << "the target and its value stay";
        EXPECT_EQ(m_key.String("Target\\Below", "w"), targetHasSubkeys ? "foreign" : "<none>");
        EXPECT_FALSE(LinkExists(m_key.Get(), L"L")) << "the link went";
        EXPECT_TRUE(LinkExists(m_key.Get(), L"Kept")) << "NoRemove kept the link";
        EXPECT_EQ(DeleteKeyTree(m_key.Get(), "Kept"), ERROR_SUCCESS);
        EXPECT_EQ(DeleteKeyTree(m_key.Get(), "Target"), ERROR_SUCCESS);
    }
}

// Any key may hold a value named SymbolicLinkValue of type REG_LINK: that makes no link of it,
// however long its full name.
TEST_F(WalkTest, AKeyHoldingALinkValueIsAnOrdinaryKey) {
    const std::string level(250, 'L');
    for (const std::string& above : {std::string(), level + "\\" + level + "\\" + level + "\\"}) {
        SCOPED_TRACE(above.size());
        // The ANSI functions take no path this long: created in UTF-16.
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(m_key.Get(), test::Wide(above + "T\\Child").c_str(), 0, nullptr,
                                  0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  0);
        RegCloseKey(key);
        ASSERT_EQ(
            RegOpenKeyExW(m_key.Get(), test::Wide(above + "T").c_str(), 0, KEY_SET_VALUE, &key), 0);
        const std::wstring elsewhere = KernelPath("Elsewhere");
        RegSetValueExW(key, L"SymbolicLinkValue", 0, REG_LINK,
                       reinterpret_cast<const BYTE*>(elsewhere.data()),
                       static_cast<DWORD>(elsewhere.size() * sizeof(wchar_t)));
        RegCloseKey(key);
        std::string script = "ForceRemove T { val n = s 'new' }";
        for (size_t at = 0; at < above.size(); at += level.size() + 1)
            script = "NoRemove " + level + " { " + script + " }";
        script += " }";
        ASSERT_EQ(Register(script), S_OK);
        const auto exists = [&](const std::string& path) {
            HKEY opened = nullptr;
            if (RegOpenKeyExW(m_key.Get(), test::Wide(path).c_str(), 0, KEY_READ, &opened))
                return false;
            RegCloseKey(opened);
            return true;
        };
        EXPECT_TRUE(exists(above + "T"));
        EXPECT_FALSE(exists(above + "T\\Child")) << "started afresh";
        EXPECT_EQ(Unregister(script), S_OK);
        EXPECT_FALSE(exists(above + "T"));
    }
}

// At unregistration the values of a key that goes go with it; where the key stays (NoRemove,
// or subkeys the script does not name) its named values are deleted all the same.
TEST_F(WalkTest, NamedValuesGoWhereTheirKeyStays) {
    ASSERT_EQ(Register("Gone { val a = s '1' } NoRemove Stays { val b = s '2' } "
                       "Held { val c = s '3' val d = s '4' } }"),
              S_OK);
    Plant("Held\\Foreign", "f");
    Plant("Held", "e", "kept");
    EXPECT_EQ(Unregister("Gone { val a = s '1' } NoRemove Stays { val b = s '2' } "
                         "Held { val c = s '3' val d = s '4' } }"),
              HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(test::KeyExists(m_key.Get(), "Gone"));
    EXPECT_EQ(m_key.String("Stays", "b"), "<none>");
    EXPECT_EQ(m_key.String("Held", "c"), "<none>");
    EXPECT_EQ(m_key.String("Held", "d"), "<none>");
    EXPECT_EQ(m_key.String("Held", "e"), "kept");
}

TEST_F(WalkTest, ForceRemoveDeletesSubkeysTheAnsiFunctionsCannotNameAndReportsFailure) {
    Plant("K", "old");
    const std::wstring base = test::Wide(std::string("K\\"));
    // Names past the documented 255 units exist too, and must not stop a deletion.
    for (const std::wstring& name : {std::wstring(L"caf\u00E9\u0416"), std::wstring(200, L'\u8868'),
                                     std::wstring(255, L'x'), std::wstring(256, L'y')}) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(m_key.Get(), (base + name).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr),
                  0);
        RegCloseKey(key);
    }
    ASSERT_EQ(Register("ForceRemove K = s 'new' }"), S_OK);
    EXPECT_EQ(m_key.Snapshot(),
              (std::vector<std::string>{"K\\", "K||1|new" + std::string(1, '\0')}));

    // A subkey that may only have its access changed: the deletion fails and says so.
    HKEY locked = nullptr;
    ASSERT_EQ(RegCreateKeyA(m_key.Get(), "K\\Locked", &locked), 0);
    PSECURITY_DESCRIPTOR closed = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA("D:P(A;;RCWD;;;WD)", 1,
                                                                     &closed, nullptr));
    ASSERT_EQ(RegSetKeySecurity(locked, DACL_SECURITY_INFORMATION, closed), 0);
    RegCloseKey(locked);
    LocalFree(closed);
    EXPECT_EQ(Register("ForceRemove K = s 'newer' }"), HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));
    EXPECT_EQ(m_key.String("K"), "new") << "nothing written after the failed deletion";
    // Opened up again, so that the scratch key can go.
    ASSERT_EQ(RegOpenKeyExA(m_key.Get(), "K\\Locked", 0, WRITE_DAC, &locked), 0);
    PSECURITY_DESCRIPTOR open = nullptr;
    ASSERT_TRUE(
        ConvertStringSecurityDescriptorToSecurityDescriptorA("D:(A;;KA;;;WD)", 1, &open, nullptr));
    EXPECT_EQ(RegSetKeySecurity(locked, DACL_SECURITY_INFORMATION, open), 0);
    RegCloseKey(locked);
    LocalFree(open);
}

TEST_F(WalkTest, TheNameAfterDeleteIsAKeyNameAtUnregistrationToo) {
    // Registration deletes the trees named Val and NoRemove and makes v4 and K; unregistration
    // must read the same entries, not a value entry v4 and a kept K.
    const std::string script = "Delete Val v4 = s 'x' Delete NoRemove K }";
    ASSERT_EQ(Register(script), S_OK);
    EXPECT_TRUE(m_key.Exists("v4"));
    EXPECT_TRUE(m_key.Exists("K"));
    ASSERT_EQ(Unregister(script), S_OK);
    EXPECT_EQ(m_key.Snapshot(), std::vector<std::string>{});
}

TEST_F(WalkTest, UnregistrationRemovesWhatTheScriptDescribesDeepestFirst) {
    const std::string script = "A = s 'a' { val v = s 'x' B { C } } NoRemove K { val w = s 'y' "
                               "NoRemove val kept = s 'z' } }";
    ASSERT_EQ(Register(script), S_OK);
    ASSERT_EQ(Unregister(script), S_OK);
    EXPECT_FALSE(m_key.Exists("A"));
    EXPECT_TRUE(m_key.Exists("K"));
    EXPECT_EQ(m_key.Read("K", "w").type, static_cast<DWORD>(REG_NONE));
    EXPECT_EQ(m_key.String("K", "kept"), "z");
}

TEST_F(WalkTest, UnregistrationOfMissingKeysChangesNothing) {
    Plant("Other", "v");
    const std::vector<std::string> before = m_key.Snapshot();
    ASSERT_EQ(Unregister("A { B { val x = s 'y' } } ForceRemove C Delete D NoRemove E { F } }"),
              S_OK);
    EXPECT_EQ(m_key.Snapshot(), before);
}

TEST_F(WalkTest, AKeyWithSubkeysTheScriptDoesNotNameIsLeftToThePlatform) {
    ASSERT_EQ(Register("A B { C } }"), S_OK);
    Plant("B\\Foreign");
    const HRESULT result = Unregister("A B { C } }");
    EXPECT_EQ(result, HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(m_key.Exists("A")) << "deleted before the refusal";
    EXPECT_FALSE(m_key.Exists("B\\C"));
    EXPECT_TRUE(m_key.Exists("B\\Foreign"));
}

TEST_F(WalkTest, NestingBeyondTheLimitFailsBeforeTouchingTheStack) {
    auto nested = [](int depth) {
        std::string text;
        for (int i = 0; i < depth; ++i)
            text += "K" + std::to_string(i) + " { ";
        for (int i = 0; i < depth; ++i)
            text += "} ";
        return text + "}";
    };
    EXPECT_EQ(Register(nested(kMaxBlockDepth - 1)), S_OK);
    EXPECT_EQ(Unregister(nested(kMaxBlockDepth - 1)), S_OK);
    EXPECT_FALSE(m_key.Exists("K0"));
    EXPECT_EQ(Register(nested(kMaxBlockDepth)), DISP_E_EXCEPTION);
    EXPECT_EQ(Unregister(nested(100000)), DISP_E_EXCEPTION);
    EXPECT_EQ(Register(nested(100000)), DISP_E_EXCEPTION);
}

TEST_F(WalkTest, InsideAMissingKeyUnregistrationReadsOnAndTouchesNothing) {
    ASSERT_EQ(Register("Present { val v = s 'x' } }"), S_OK);
    // Missing's block is read without touching the registry; the walk goes on after it.
    ASSERT_EQ(Unregister("Missing { Present { val v = s 'x' } } Present { val v = s 'x' } }"),
              S_OK);
    EXPECT_FALSE(m_key.Exists("Present"));
}

// The class script's entries, below the scratch key in place of HKCR, with its variables
// replaced as the loader would.
std::string ClassEntries() {
    std::string text = expected::kClassScript;
    text.erase(0, text.find("{") + 1);
    for (const auto& [name, value] :
         {std::pair<std::string, std::string>{"%MODULE%", "C:\\It''s here\\Lanterwell.dll"},
          {"%APPID%", test::kAppIdText}})
        text.replace(text.find(name), name.size(), value);
    return text;
}

TEST_F(WalkTest, TheClassScriptRegistersAndUnregistersItsRows) {
    const std::string clsid = test::kClassKey;
    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(Register(ClassEntries()), S_OK);
        const auto sz = [](const std::string& text) { return text + std::string(1, '\0'); };
        EXPECT_EQ(
            m_key.Snapshot(),
            (std::vector<std::string>{
                "CLSID\\",
                clsid + "\\",
                clsid + "||1|" + sz("ShellExtension Class"),
                clsid + "|AppID|1|" + sz(test::kAppIdText),
                clsid + "\\InprocServer32\\",
                clsid + "\\InprocServer32||1|" + sz("C:\\It's here\\Lanterwell.dll"),
                clsid + "\\InprocServer32|ThreadingModel|1|" + sz("Apartment"),
                clsid + "\\ProgID\\",
                clsid + "\\ProgID||1|" + sz("Lanterwell.ShellExtension.1"),
                clsid + "\\Programmable\\",
                clsid + "\\TypeLib\\",
                clsid + "\\TypeLib||1|" + sz(test::kLibraryIdText),
                clsid + "\\VersionIndependentProgID\\",
                clsid + "\\VersionIndependentProgID||1|" + sz("Lanterwell.ShellExtension"),
                "Folder\\",
                "Folder\\ShellEx\\",
                "Folder\\ShellEx\\ContextMenuHandlers\\",
                "Folder\\ShellEx\\ContextMenuHandlers\\Lanterwell\\",
                "Folder\\ShellEx\\ContextMenuHandlers\\Lanterwell||1|" + sz(test::kClassIdText),
                "Lanterwell.ShellExtension\\",
                "Lanterwell.ShellExtension||1|" + sz("ShellExtension Class"),
                "Lanterwell.ShellExtension\\CLSID\\",
                "Lanterwell.ShellExtension\\CLSID||1|" + sz(test::kClassIdText),
                "Lanterwell.ShellExtension\\CurVer\\",
                "Lanterwell.ShellExtension\\CurVer||1|" + sz("Lanterwell.ShellExtension.1"),
                "Lanterwell.ShellExtension.1\\",
                "Lanterwell.ShellExtension.1||1|" + sz("ShellExtension Class"),
                "Lanterwell.ShellExtension.1\\CLSID\\",
                "Lanterwell.ShellExtension.1\\CLSID||1|" + sz(test::kClassIdText),
            }))
            << "round " << round;
    }
    ASSERT_EQ(Unregister(ClassEntries()), S_OK);
    EXPECT_EQ(m_key.Snapshot(),
              (std::vector<std::string>{"CLSID\\", "Folder\\", "Folder\\ShellEx\\",
                                        "Folder\\ShellEx\\ContextMenuHandlers\\"}));
}

} // namespace
