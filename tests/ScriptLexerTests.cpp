#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "LanterwellIds.h"
#include "registrar/ScriptLexer.h"
#include "registrar/ScriptTree.h"
#include "registrar/ScriptTables.h"
#include "tests/TestSupport.h"

namespace {

// Every token of a text, and the result of the read that ended the list.
struct Tokens {
    std::vector<std::string> tokens;
    HRESULT end;
};

Tokens ReadAll(const std::string& text) {
    ScriptLexer parser;
    parser.position = text.c_str();
    Tokens result;
    char token[kTokenSize];
    while (SUCCEEDED(result.end = parser.NextToken(token))) {
        result.tokens.push_back(token);
        parser.SkipSpace();
        if (!*parser.position) {
            result.end = S_OK;
            break;
        }
    }
    return result;
}

std::vector<std::string> Expect(std::initializer_list<const char*> tokens) {
    return std::vector<std::string>(tokens.begin(), tokens.end());
}

TEST(NextToken, QuotedTokensMergeDoubledQuotes) {
    EXPECT_EQ(ReadAll("'it''s'").tokens, Expect({"it's"}));
    EXPECT_EQ(ReadAll("''").tokens, Expect({""}));
    EXPECT_EQ(ReadAll("'''x'").tokens, Expect({"'x"}));
    EXPECT_EQ(ReadAll("'a'b").tokens, Expect({"a", "b"}));
    EXPECT_EQ(ReadAll("'a b'\t'c'").tokens, Expect({"a b", "c"}));
}

TEST(NextToken, BareTokensEndOnlyAtBlanks) {
    EXPECT_EQ(ReadAll("abc'd").tokens, Expect({"abc'd"}));
    EXPECT_EQ(ReadAll("key{").tokens, Expect({"key{"}));
    EXPECT_EQ(ReadAll("a=b }{").tokens, Expect({"a=b", "}{"}));
    EXPECT_EQ(ReadAll("\r\n\t a \f b").tokens, Expect({"a", "\f", "b"})) << "form feed is no blank";
    EXPECT_EQ(ReadAll("'" LANTERWELL_APPID_LANTERWELL_TEXT "' = s 'Lanterwell'").tokens,
              Expect({LANTERWELL_APPID_LANTERWELL_TEXT, "=", "s", "Lanterwell"}));
}

TEST(NextToken, FailsAtTheEndOfTheTextAndOnUnclosedQuotes) {
    for (const char* text : {"", "   \r\n\t ", "'", "'abc", "'abc''", "'it''"}) {
        ScriptLexer parser;
        parser.position = text;
        char token[kTokenSize];
        EXPECT_EQ(parser.NextToken(token), DISP_E_EXCEPTION) << text;
    }
}

TEST(NextToken, HoldsAt4094SingleByteCharacters) {
    for (bool quoted : {false, true}) {
        const std::string longest(4094, 'x');
        const std::string open = quoted ? "'" : "";
        EXPECT_EQ(ReadAll(open + longest + open).tokens, std::vector<std::string>{longest});
        EXPECT_EQ(ReadAll(open + longest + "y" + open).end, DISP_E_EXCEPTION);
    }
    // Merged doubled quotes count once.
    const std::string quotes(4094, '\'');
    const std::string doubled = "'" + std::string(2 * 4094, '\'') + "'";
    EXPECT_EQ(ReadAll(doubled).tokens, std::vector<std::string>{quotes});
    EXPECT_EQ(ReadAll("'" + std::string(2 * 4095, '\'') + "'").end, DISP_E_EXCEPTION);
}

TEST(NextToken, StepsDoubleByteCharactersWhole) {
    if (!test::IsJapaneseCodePage())
        GTEST_SKIP() << "double-byte characters need code page 932";
    // ソ is 0x83 0x5C: its trail byte is a backslash. 0x83 0x27 has a quote as trail byte.
    EXPECT_EQ(ReadAll("'\x83\x5C'").tokens, Expect({"\x83\x5C"}));
    EXPECT_EQ(ReadAll("'a\x83\x27' b").tokens, Expect({"a\x83\x27", "b"}));
    EXPECT_EQ(FindChar("\x83\x5C", '\\'), nullptr);
    const char* text = "\x83\x5C\\";
    EXPECT_EQ(FindChar(text, '\\'), text + 2);
    // The longest token may end in a double-byte character: 4095 bytes.
    const std::string longest = std::string(4093, 'x') + "\x83\x5C";
    EXPECT_EQ(ReadAll(longest).tokens, std::vector<std::string>{longest});
    EXPECT_EQ(ReadAll(std::string(4094, 'x') + "\x83\x5C").end, DISP_E_EXCEPTION);
}

// A block's tree as text: "key", "val name", "delete name", each with its prefixes, value
// clause and block.
std::string Render(const ScriptTree& tree, int first, int end) {
    std::string text;
    for (int index = first; index < end; index = tree[index].end) {
        const ScriptEntry& entry = tree[index];
        static const char* const kinds[] = {"", "val ", "delete "};
        text += text.empty() ? "" : " ";
        text += entry.forceRemove ? std::string("!") + entry.forceRemove + " " : "";
        text += std::string(entry.noRemove ? "keep " : "") + kinds[int(entry.kind)] + entry.name;
        text += entry.type ? std::string("=") + entry.type + ":" + entry.text : "";
        text += entry.hasBlock ? " {" + Render(tree, index + 1, entry.end) + "}" : "";
    }
    return text;
}

TEST(ScriptTree, ReadsEachEntryAsBothWalksTakeIt) {
    const struct {
        const char* block;
        const char* tree; // null: refused
    } cases[] = {
        {"A = s 'a' { val v = d 1 B { C } } D }", "A=s:a {val v=d:1 B {C}} D"},
        {"ForceRemove NoRemove X }", "!NoRemove keep X"},
        {"NoRemove ForceRemove Y Val v = s x }", "keep ForceRemove Y val v=s:x"},
        {"Delete Val v4 = s 'x' Delete NoRemove K }", "delete Val v4=s:x delete NoRemove K"},
        {"Delete X = z 'kept' { In } After }", "delete X=z:kept {In} After"},
        {"val v = s 'x' { Dropped { Deep } } After }", "val v=s:x After"},
        {"K {X} '}' }", "K {X}"},
        {"ForceRemove '}' }", "!} }"},
        {"K == s 'v' }", "K=s:v"},
        {"K }x", "K"},
        {"K", nullptr},
        {"K { }", nullptr},
        {"'' }", nullptr},
        {"A\\B }", nullptr},
        {"Delete '' }", nullptr},
        {"val v s 'x' }", nullptr},
        {"val v = s }", nullptr},
        {"K = s 'x }", nullptr},
        {"val v = s 'x' { '' } }", nullptr},
    };
    for (const auto& c : cases) {
        ScriptLexer lexer;
        lexer.position = c.block;
        ScriptTree tree;
        const HRESULT result = tree.Parse(lexer);
        EXPECT_EQ(result, c.tree ? S_OK : DISP_E_EXCEPTION) << c.block;
        if (c.tree && SUCCEEDED(result))
            EXPECT_EQ(Render(tree, 0, tree.Count()), c.tree) << c.block;
    }
}

TEST(Lexer, BlanksAreTabLineFeedCarriageReturnAndSpace) {
    for (int c = 0; c < 256; ++c)
        EXPECT_EQ(IsBlank(static_cast<BYTE>(c)), c == 9 || c == 10 || c == 13 || c == 32) << c;
}

TEST(Lexer, HexDigitsAndEverythingElseAsZero) {
    const char* digits = "0123456789ABCDEF";
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(HexDigitValue(digits[i]), i);
        EXPECT_EQ(HexDigitValue(static_cast<BYTE>(tolower(digits[i]))), i);
    }
    for (int c : {int('g'), int('G'), int(' '), int('/'), int(':'), int('@'), int('`'), 0, 0x80,
                  0xAF, 0xFF})
        EXPECT_EQ(HexDigitValue(static_cast<BYTE>(c)), 0) << c;
}

TEST(ScriptTables, RootKeyNamesInEitherFormAndCase) {
    EXPECT_EQ(RootKeyFromName("hkcr"), HKEY_CLASSES_ROOT);
    EXPECT_EQ(RootKeyFromName("HkLm"), HKEY_LOCAL_MACHINE);
    EXPECT_EQ(RootKeyFromName("hkey_users"), HKEY_USERS);
    EXPECT_EQ(RootKeyFromName("HKCU"), HKEY_CURRENT_USER);
    EXPECT_EQ(RootKeyFromName("HKU"), HKEY_USERS);
    EXPECT_EQ(RootKeyFromName("HKPD"), HKEY_PERFORMANCE_DATA);
    EXPECT_EQ(RootKeyFromName("HKDD"), test::PredefinedKey(0x80000006));
    EXPECT_EQ(RootKeyFromName("HKCC"), test::PredefinedKey(0x80000005));
    EXPECT_EQ(RootKeyFromName("HKEY_CURRENT_CONFIG"), HKEY_CURRENT_CONFIG);
    EXPECT_EQ(RootKeyFromName("HKEY_DYN_DATA"), HKEY_DYN_DATA);
    EXPECT_EQ(RootKeyFromName("HKEY_PERFORMANCE_DATA"), HKEY_PERFORMANCE_DATA);
    EXPECT_EQ(RootKeyFromName("HKEY_CLASSES_ROOT"), HKEY_CLASSES_ROOT);
    EXPECT_EQ(RootKeyFromName("HKEY_CURRENT_USER"), HKEY_CURRENT_USER);
    EXPECT_EQ(RootKeyFromName("HKEY_LOCAL_MACHINE"), HKEY_LOCAL_MACHINE);
    for (const char* none : {"HKEY_CLASSES", "HKC", "", "HKCR "})
        EXPECT_EQ(RootKeyFromName(none), nullptr) << none;
}

TEST(ScriptTables, TypeLettersAreWholeTokens) {
    VARTYPE type = VT_EMPTY;
    EXPECT_TRUE(ValueTypeFromLetter("s", type));
    EXPECT_EQ(type, VT_BSTR);
    EXPECT_TRUE(ValueTypeFromLetter("S", type));
    EXPECT_EQ(type, VT_BSTR);
    EXPECT_TRUE(ValueTypeFromLetter("m", type));
    EXPECT_EQ(type, VT_BSTR | VT_BYREF);
    EXPECT_TRUE(ValueTypeFromLetter("D", type));
    EXPECT_EQ(type, VT_UI4);
    EXPECT_TRUE(ValueTypeFromLetter("b", type));
    EXPECT_EQ(type, VT_UI1);
    type = VT_I8;
    EXPECT_FALSE(ValueTypeFromLetter("SZ", type));
    EXPECT_FALSE(ValueTypeFromLetter("", type));
    EXPECT_FALSE(ValueTypeFromLetter("x", type));
    EXPECT_EQ(type, VT_I8) << "untouched";
}

TEST(ScriptTables, ProtectedKeyNamesAreSingleNamesInAnyCase) {
    for (const char* name :
         {"AppID", "clsid", "Component Categories", "FILETYPE", "Interface", "Hardware", "Mime",
          "SAM", "security", "SYSTEM", "software", "TypeLib"})
        EXPECT_TRUE(IsProtectedKeyName(name)) << name;
    for (const char* name : {"CLSID2", "Software\\Classes", "Component", "", "Types"})
        EXPECT_FALSE(IsProtectedKeyName(name)) << name;
}

} // namespace
