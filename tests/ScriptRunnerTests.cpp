#include <gtest/gtest.h>
#include <objbase.h>
#include <string>
#include "registrar/ExpansionBuffer.h"
#include "registrar/Registrar.h"
#include "registrar/ScriptRunner.h"
#include "server/ClassRegistry.h"
#include "tests/ScratchKey.h"
#include "tests/TestSupport.h"

namespace {

// Expands a text with the given registrar; the result or the failure.
struct Expansion {
    HRESULT result;
    std::string text;
};

Expansion Expand(Registrar& registrar, const char* text) {
    ScriptLexer parser(&registrar);
    char* expanded = reinterpret_cast<char*>(1);
    Expansion expansion{ExpandVariables(parser, text, &expanded), ""};
    if (SUCCEEDED(expansion.result)) {
        expansion.text = expanded;
        CoTaskMemFree(expanded);
    } else {
        EXPECT_EQ(expanded, nullptr);
    }
    return expansion;
}

TEST(ExpandVariables, ReplacesNamesCaseBlindFirstMatchWinning) {
    Registrar registrar;
    ASSERT_EQ(registrar.AddVariable(L"Module", L"C:\\It''s\\server.dll"), S_OK);
    ASSERT_EQ(registrar.AddVariable(L"APPID", L"{first}"), S_OK);
    ASSERT_EQ(registrar.AddVariable(L"appid", L"{second}"), S_OK);
    EXPECT_EQ(Expand(registrar, "'%MODULE%' %Module% %module%").text,
              "'C:\\It''s\\server.dll' C:\\It''s\\server.dll C:\\It''s\\server.dll");
    EXPECT_EQ(Expand(registrar, "%APPID%").text, "{first}");
    EXPECT_EQ(Expand(registrar, "100%% sure, %%%APPID%%%").text, "100% sure, %{first}%");
    EXPECT_EQ(Expand(registrar, "").text, "");
}

TEST(ExpandVariables, RefusesOpenReferencesLongNamesAndUnknownVariables) {
    Registrar registrar;
    const std::string name31(31, 'n');
    const std::wstring wideName31(31, L'n');
    ASSERT_EQ(registrar.AddVariable(wideName31.c_str(), L"found"), S_OK);
    EXPECT_EQ(Expand(registrar, ("%" + name31 + "%").c_str()).text, "found");
    EXPECT_EQ(Expand(registrar, ("%" + name31 + "n%").c_str()).result, E_FAIL);
    EXPECT_EQ(Expand(registrar, "ends with %").result, DISP_E_EXCEPTION);
    EXPECT_EQ(Expand(registrar, "%open").result, DISP_E_EXCEPTION);
    EXPECT_EQ(Expand(registrar, "%unknown%").result, DISP_E_EXCEPTION);
    ScriptLexer parser(&registrar);
    char* expanded = nullptr;
    EXPECT_EQ(ExpandVariables(parser, nullptr, &expanded), E_POINTER);
    EXPECT_EQ(ExpandVariables(parser, "text", nullptr), E_POINTER);
}

TEST(ExpansionBuffer, StartsAtTwiceTheSourceOr1000AndDoublesBeforeItFills) {
    EXPECT_EQ(ExpansionBuffer(0).capacity, 1000);
    EXPECT_EQ(ExpansionBuffer(49).capacity, 1000);
    EXPECT_EQ(ExpansionBuffer(50).capacity, 100);
    EXPECT_EQ(ExpansionBuffer(5000).capacity, 10000);

    ExpansionBuffer buffer(50);
    ASSERT_TRUE(buffer.Ready());
    const std::string bytes(98, 'x');
    ASSERT_TRUE(buffer.Append(bytes.c_str(), 98)); // 98 + 1 < 100
    EXPECT_EQ(buffer.capacity, 100);
    ASSERT_TRUE(buffer.Append("y", 1)); // 99 + 1 reaches 100: grows
    EXPECT_EQ(buffer.capacity, 200);
    EXPECT_EQ(buffer.length, 99);
    EXPECT_EQ(std::string(buffer.data), bytes + "y");
    const std::string many(450, 'z');
    ASSERT_TRUE(buffer.Append(many.c_str(), 450));
    EXPECT_EQ(buffer.capacity, 800);
    char* text = buffer.Detach();
    EXPECT_EQ(lstrlenA(text), 549);
    CoTaskMemFree(text);
}

TEST(Registrar, HoldsCopiesAndRefusesNullArguments) {
    Registrar registrar;
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(registrar.QueryInterface(IID_IUnknown, &out), E_NOTIMPL);
    EXPECT_EQ(out, reinterpret_cast<void*>(1));
    EXPECT_EQ(registrar.AddRef(), 1u);
    EXPECT_EQ(registrar.Release(), 0u);
    EXPECT_EQ(registrar.AddVariable(nullptr, L"v"), E_INVALIDARG);
    EXPECT_EQ(registrar.AddVariable(L"n", nullptr), E_INVALIDARG);
    wchar_t value[] = L"original";
    ASSERT_EQ(registrar.AddVariable(L"n", value), S_OK);
    value[0] = L'X';
    EXPECT_STREQ(registrar.Variables().Find("N"), L"original");
    EXPECT_EQ(registrar.ClearVariables(), S_OK);
    EXPECT_EQ(registrar.Variables().Count(), 0);
    EXPECT_EQ(registrar.Variables().Find("n"), nullptr);
}

TEST(DoubleSingleQuotes, DoublesEveryQuote) {
    wchar_t escaped[520];
    DoubleSingleQuotes(escaped, L"C:\\It's\\'x''");
    EXPECT_STREQ(escaped, L"C:\\It''s\\''x''''");
    const std::wstring quotes(259, L'\'');
    DoubleSingleQuotes(escaped, quotes.c_str());
    EXPECT_EQ(std::wstring(escaped), std::wstring(518, L'\''));
}

// Runs script texts below a scratch key of HKEY_CURRENT_USER.
class ScriptTextTest : public ::testing::Test {
protected:
    HRESULT Run(const std::string& body, bool registering) {
        m_text = body;
        ScriptLexer parser(&m_registrar);
        return RunScriptText(parser, m_text.c_str(), registering);
    }
    // A root block whose entries go below the scratch key.
    static std::string Root(const std::string& entries, const char* root = "HKCU") {
        return std::string(root) +
               " { NoRemove Software { NoRemove 'Lanterwell Tests' { "
               "NoRemove ScriptTextTest { " +
               entries + " } } } }\r\n";
    }

    test::ScratchKey m_key{"ScriptTextTest"};
    Registrar m_registrar;
    std::string m_text;
};

TEST_F(ScriptTextTest, EmptyScriptsDoNothingAndBlankOnesFail) {
    EXPECT_EQ(Run("", true), S_OK);
    EXPECT_EQ(Run("", false), S_OK);
    EXPECT_EQ(Run(" \r\n\t", true), DISP_E_EXCEPTION);
    EXPECT_EQ(Run("HKXX { }", true), DISP_E_EXCEPTION) << "unknown root key";
    EXPECT_EQ(Run("HKCU K }", true), DISP_E_EXCEPTION) << "no block";
    EXPECT_EQ(m_key.Snapshot(), std::vector<std::string>{});
}

TEST_F(ScriptTextTest, RegistersUnregistersAndExpandsFirst) {
    // Values go in as they are and the lexer reads them: quotes come doubled, as in Module.
    ASSERT_EQ(m_registrar.AddVariable(L"Value", L"it''s 100%"), S_OK);
    const std::string script = Root("A = s '%VALUE%' { B }") + Root("C", "HKEY_CURRENT_USER");
    ASSERT_EQ(Run(script, true), S_OK);
    EXPECT_EQ(m_key.String("A"), "it's 100%");
    EXPECT_TRUE(m_key.Exists("A\\B"));
    EXPECT_TRUE(m_key.Exists("C"));
    ASSERT_EQ(Run(script, false), S_OK);
    EXPECT_EQ(m_key.Snapshot(), std::vector<std::string>{});

    EXPECT_EQ(Run(Root("D") + Root("E = s '%missing%'"), true), DISP_E_EXCEPTION);
    EXPECT_FALSE(m_key.Exists("D")) << "nothing is written before the expansion succeeds";
}

TEST_F(ScriptTextTest, AFailedRootBlockIsRolledBackAndEarlierBlocksStay) {
    HKEY kept = nullptr;
    ASSERT_EQ(RegCreateKeyA(m_key.Get(), "Kept", &kept), 0);
    RegCloseKey(kept);
    const std::string script =
        Root("First { val v = s 'x' }") + Root("NoRemove Kept { New } Second { val d = d 'bad' }");
    EXPECT_EQ(Run(script, true), DISP_E_EXCEPTION);
    EXPECT_TRUE(m_key.Exists("First"));
    EXPECT_EQ(m_key.String("First", "v"), "x");
    EXPECT_FALSE(m_key.Exists("Second")) << "rolled back";
    EXPECT_FALSE(m_key.Exists("Kept\\New"));
    EXPECT_TRUE(m_key.Exists("Kept")) << "NoRemove keys survive the roll-back";

    // At unregistration a failing block ends the run: the next one is not run.
    ASSERT_EQ(RegCreateKeyA(m_key.Get(), "Second\\Foreign", &kept), 0);
    RegCloseKey(kept);
    EXPECT_EQ(Run(Root("Second") + Root("First"), false), HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(m_key.Exists("First"));
}

TEST_F(ScriptTextTest, ABlockNestedTooDeepIsRefusedBeforeAnythingIsWritten) {
    std::string nested = "Top ";
    for (int i = 0; i < 70; ++i)
        nested += "{ K" + std::to_string(i) + " ";
    for (int i = 0; i < 70; ++i)
        nested += "} ";
    EXPECT_EQ(Run(Root(nested), true), DISP_E_EXCEPTION);
    EXPECT_EQ(m_key.Snapshot(), std::vector<std::string>{});
}

TEST_F(ScriptTextTest, AKeyNamedLikeABlockAfterAValueEntryRegistersAndUnregisters) {
    const std::string scripts[] = {
        Root("K { val v = s 'x' '{G}' }"),
        Root("K { val v = s 'x' '{G}' { Sub } Sibling }"),
        Root("K { A '{G}' { Sub } Sibling }"),
    };
    for (const std::string& script : scripts) {
        SCOPED_TRACE(script);
        ASSERT_EQ(Run(script, true), S_OK);
        EXPECT_TRUE(m_key.Exists("K\\{G}"));
        ASSERT_EQ(Run(script, false), S_OK);
        EXPECT_EQ(m_key.Snapshot(), std::vector<std::string>{});
    }
    // A flat list of GUID-named keys with values is no nesting at all.
    std::string flat = "K { ";
    for (int i = 0; i < 62; ++i)
        flat += "'{C" + std::to_string(i) + "}' = s 'v' ";
    ASSERT_EQ(Run(Root(flat + "}"), true), S_OK);
    EXPECT_EQ(m_key.String("K\\{C61}"), "v");
    ASSERT_EQ(Run(Root(flat + "}"), false), S_OK);
    EXPECT_EQ(m_key.Snapshot(), std::vector<std::string>{});
}

TEST_F(ScriptTextTest, AMalformedRootBlockWritesNothing) {
    const char* const malformed[] = {
        "A B { C 'unterminated } }", // no closing quote
        "A { val v s 'x' }",         // Val without =
        "A { 'B\\C' }",              // a key name holding a backslash
        "A { B { C }",               // the block never closes
    };
    for (const char* entries : malformed) {
        SCOPED_TRACE(entries);
        EXPECT_TRUE(FAILED(Run(Root(entries), true)));
        EXPECT_EQ(m_key.Snapshot(), std::vector<std::string>{});
    }
    // A NUL inside a block ends the text there.
    const std::string withNul = Root(std::string("A { B ") + '\0' + " C }");
    m_text = withNul;
    ScriptLexer parser(&m_registrar);
    EXPECT_TRUE(FAILED(RunScriptText(parser, m_text.c_str(), true)));
    EXPECT_EQ(m_key.Snapshot(), std::vector<std::string>{});
}

TEST_F(ScriptTextTest, AKeyNameTheWalkCouldNotFindAgainIsRefusedBeforeAnythingIsWritten) {
    if (!test::IsJapaneseCodePage())
        GTEST_SKIP() << "double-byte names need code page 932";
    std::string longName;
    for (int i = 0; i < 130; ++i)
        longName += "\x82\xA0"; // あ: 260 bytes
    EXPECT_EQ(Run(Root("First Second { '" + longName + "' }"), true), DISP_E_EXCEPTION);
    EXPECT_EQ(m_key.Snapshot(), std::vector<std::string>{});
    const std::string fits = longName.substr(0, 258);
    ASSERT_EQ(Run(Root("Second { '" + fits + "' }"), true), S_OK);
    ASSERT_EQ(Run(Root("Second { '" + fits + "' }"), false), S_OK);
    EXPECT_EQ(m_key.Snapshot(), std::vector<std::string>{});
}

TEST(ClassCategories, NoListOrNoClassTouchesNothing) {
    static const CATID category = {
        0x40FC6ED5, 0x2438, 0x11CF, {0xA3, 0xDB, 0x08, 0x00, 0x36, 0xF1, 0x25, 0x02}};
    static const CATID* const list[] = {&category, nullptr};
    EXPECT_EQ(UpdateClassCategories(IID_IUnknown, nullptr, true), S_OK);
    EXPECT_EQ(UpdateClassCategories(IID_IUnknown, nullptr, false), S_OK);
    EXPECT_EQ(UpdateClassCategories(CLSID_NULL, list, true), S_OK);
    EXPECT_EQ(UpdateClassCategories(CLSID_NULL, list, false), S_OK);
}

} // namespace
