#include <gtest/gtest.h>
#include <vector>
#include "extension/ResourceStrings.h"
#include "resources/ResourceIds.h"
#include "server/ModuleInstance.h"
#include "tests/ExpectedTexts.h"
#include "tests/TestSupport.h"

namespace {

BOOL CALLBACK CollectLanguage(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR found) {
    reinterpret_cast<std::vector<WORD>*>(found)->push_back(language);
    return TRUE;
}

std::string AsString(const AnsiString& text) {
    return std::string(text.Text(), text.Length());
}

// The string-table block exactly as the built DLL carries it.
TEST(StringTable, BuiltDllCarriesBlock7InJapaneseWithTheExactCodeUnits) {
    HMODULE dll = LoadLibraryExA(test::InRunFolder("Lanterwell.dll").c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(dll, nullptr);
    HRSRC block = FindResourceExA(dll, RT_STRING, MAKEINTRESOURCEA(7), 1041);
    ASSERT_NE(block, nullptr);
    const WORD* words = static_cast<const WORD*>(LockResource(LoadResource(dll, block)));
    const DWORD size = SizeofResource(dll, block);

    std::u16string expectedBlock;
    for (unsigned id = 96; id < 112; ++id) {
        if (id < 100 || id > 107) {
            expectedBlock += char16_t(0);
            continue;
        }
        const std::u16string& text = expected::String(id).utf16;
        expectedBlock += char16_t(text.size());
        expectedBlock += text;
    }
    ASSERT_EQ(size, expectedBlock.size() * 2);
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(words), size / 2), expectedBlock);

    // Japanese only: the neutral look-up of the product finds it through the platform.
    std::vector<WORD> languages;
    EnumResourceLanguagesA(dll, RT_STRING, MAKEINTRESOURCEA(7), CollectLanguage,
                           reinterpret_cast<LONG_PTR>(&languages));
    EXPECT_EQ(languages, std::vector<WORD>{1041});
    FreeLibrary(dll);
}

TEST(StringTable, FindStringEntryPointsAtTheCountWordOfNonEmptyEntries) {
    for (auto lookup : {StringBlockLookup::NeutralLanguage, StringBlockLookup::DefaultLanguage}) {
        const WORD* entry = FindStringEntry(moduleInstance.instance, IDS_CREATE_DRIVE, lookup);
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(entry + 1), entry[0]),
                  expected::String(IDS_CREATE_DRIVE).utf16);
        for (UINT empty : {96u, 99u, 108u, 111u})
            EXPECT_EQ(FindStringEntry(moduleInstance.instance, empty, lookup), nullptr) << empty;
        EXPECT_EQ(FindStringEntry(moduleInstance.instance, 50, lookup), nullptr);
        EXPECT_EQ(FindStringEntry(moduleInstance.instance, 200, lookup), nullptr);
    }
}

TEST(StringTable, ResourceInstancesAreTheModuleAlone) {
    EXPECT_EQ(moduleInstance.GetResourceInstanceAt(0), moduleInstance.instance);
    EXPECT_EQ(moduleInstance.resourceInstance, moduleInstance.instance);
    EXPECT_EQ(moduleInstance.GetResourceInstanceAt(1), nullptr);
    EXPECT_EQ(moduleInstance.GetResourceInstanceAt(5), nullptr);
}

TEST(LoadResourceString, LoadsEveryTextInTheAnsiCodePage) {
    for (const expected::Text& text : expected::kStrings) {
        AnsiString loaded;
        ASSERT_TRUE(LoadResourceString(loaded, text.id)) << text.id;
        EXPECT_EQ(AsString(loaded), test::ExpectedAnsi(text.utf16, text.shiftJis)) << text.id;
    }
}

TEST(LoadResourceString, MissingOrEmptyEntriesFailAndLeaveTheStringAlone) {
    AnsiString text;
    ASSERT_TRUE(text.Assign("kept"));
    for (UINT id : {96u, 97u, 98u, 99u, 108u, 109u, 110u, 111u, 50u, 200u, 0u, 65535u}) {
        EXPECT_FALSE(LoadResourceString(text, id)) << id;
        EXPECT_EQ(AsString(text), "kept") << id;
    }
    AnsiString empty;
    EXPECT_FALSE(LoadResourceString(empty, 96));
    EXPECT_TRUE(empty.IsEmpty());
}

TEST(LoadResourceString, ReplacesWhatTheStringHeldAndLeavesItsCopiesAlone) {
    AnsiString text;
    ASSERT_TRUE(text.Assign("a much longer text than the product name"));
    AnsiString copy(text);
    ASSERT_TRUE(LoadResourceString(text, IDS_PRODUCT_NAME));
    EXPECT_EQ(AsString(text), "Lanterwell");
    EXPECT_EQ(AsString(copy), "a much longer text than the product name");
}

TEST(FormatResourceText, FormatsTheDriveEntryAndTheHelpText) {
    AnsiString item;
    FormatResourceText(item, IDS_DRIVE_ITEM, 'C');
    EXPECT_EQ(AsString(item),
              test::ExpectedAnsi(u"ドライブ (&C:)", "\x83\x68\x83\x89\x83\x43\x83\x75 (&C:)"));

    AnsiString help;
    FormatResourceText(help, IDS_HELP_CREATE, 'Q');
    EXPECT_EQ(AsString(help),
              test::ExpectedAnsi(
                  u"このフォルダを仮想ドライブ Q: に割り当てます。",
                  "\x82\xB1\x82\xCC\x83\x74\x83\x48\x83\x8B\x83\x5F\x82\xF0\x89\xBC\x91\x7A\x83"
                  "\x68\x83\x89\x83\x43\x83\x75 Q: \x82\xC9\x8A\x84\x82\xE8\x93\x96\x82\xC4\x82"
                  "\xDC\x82\xB7\x81\x42"));
}

TEST(FormatResourceText, AMissingFormatGivesTheEmptyText) {
    AnsiString text;
    ASSERT_TRUE(text.Assign("old"));
    FormatResourceText(text, 97, 'C');
    EXPECT_TRUE(text.IsEmpty());
}

TEST(FormatText, FormatsTheRootAndTheCommandLine) {
    AnsiString root;
    FormatText(root, "%c:\\", 64 + 17);
    EXPECT_EQ(AsString(root), "Q:\\");
    AnsiString command;
    FormatText(command, "explorer.exe \"%s\"", root.Text());
    EXPECT_EQ(AsString(command), "explorer.exe \"Q:\\\"");
}

TEST(FormatText, StopsAt1024CharsAndIgnoresANullFormat) {
    std::string longText(2000, 'x');
    AnsiString text;
    FormatText(text, "%s", longText.c_str());
    // The platform's formatter keeps 1023 or 1024 chars; never a NUL or anything beyond.
    const int length = text.Length();
    EXPECT_GE(length, 1023);
    EXPECT_LE(length, 1024);
    EXPECT_EQ(AsString(text), std::string(length, 'x'));

    FormatText(text, nullptr);
    EXPECT_EQ(text.Length(), length);
}

} // namespace
