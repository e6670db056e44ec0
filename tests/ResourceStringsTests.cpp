#include <gtest/gtest.h>
#include <vector>
#include "extension/ResourceStrings.h"
#include "support/StringTable.h"
#include "support/UiLanguage.h"
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

std::u16string AsString(const WideUiText& text) {
    return std::u16string(reinterpret_cast<const char16_t*>(text.text), text.length);
}

std::u16string Widened(const char* ascii) {
    return std::u16string(ascii, ascii + lstrlenA(ascii));
}

const TextSource kJapanese{&moduleInstance, kJapaneseTexts};
const TextSource kEnglish{&moduleInstance, kEnglishTexts};

// The string-table blocks exactly as the built DLL carries them: Japanese and English.
TEST(StringTable, BuiltDllCarriesBlock7InJapaneseAndEnglishWithTheExactCodeUnits) {
    HMODULE dll = LoadLibraryExW(test::InRunFolder("Lanterwell.dll").c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(dll, nullptr);
    for (const bool japanese : {true, false}) {
        HRSRC block = FindResourceExA(dll, RT_STRING, MAKEINTRESOURCEA(7),
                                      japanese ? kJapaneseTexts : kEnglishTexts);
        ASSERT_NE(block, nullptr) << japanese;
        const WORD* words = static_cast<const WORD*>(LockResource(LoadResource(dll, block)));
        const DWORD size = SizeofResource(dll, block);

        std::u16string expectedBlock;
        for (unsigned id = 96; id < 112; ++id) {
            if (id < 100 || id > 107) {
                expectedBlock += char16_t(0);
                continue;
            }
            const std::u16string text =
                japanese ? expected::String(id).utf16 : Widened(expected::String(id).english);
            expectedBlock += char16_t(text.size());
            expectedBlock += text;
        }
        ASSERT_EQ(size, expectedBlock.size() * 2);
        EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(words), size / 2),
                  expectedBlock);
    }
    std::vector<WORD> languages;
    EnumResourceLanguagesA(dll, RT_STRING, MAKEINTRESOURCEA(7), CollectLanguage,
                           reinterpret_cast<LONG_PTR>(&languages));
    EXPECT_EQ(languages, (std::vector<WORD>{1033, 1041}));
    FreeLibrary(dll);
}

TEST(StringTable, FindStringEntryPointsAtTheCountWordOfNonEmptyEntries) {
    for (const LANGID lookup : {kJapaneseTexts, kEnglishTexts}) {
        const WORD* entry = FindStringEntry(moduleInstance.instance, IDS_CREATE_DRIVE, lookup);
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(entry + 1), entry[0]),
                  lookup == kJapaneseTexts ? expected::String(IDS_CREATE_DRIVE).utf16
                                           : Widened(expected::String(IDS_CREATE_DRIVE).english));
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

TEST(LoadResourceString, LoadsEveryTextOfTheChosenLanguageInAnsiAndUtf16) {
    for (const expected::Text& text : expected::kStrings) {
        AnsiString loaded;
        ASSERT_TRUE(LoadResourceString(kJapanese, loaded, text.id)) << text.id;
        EXPECT_EQ(AsString(loaded), test::ExpectedAnsi(text.utf16, text.shiftJis)) << text.id;
        ASSERT_TRUE(LoadResourceString(kEnglish, loaded, text.id)) << text.id;
        EXPECT_EQ(AsString(loaded), text.english) << text.id;

        WideUiText wide;
        ASSERT_TRUE(LoadResourceString(kJapanese, wide, text.id)) << text.id;
        EXPECT_EQ(AsString(wide), text.utf16) << text.id;
        ASSERT_TRUE(LoadResourceString(kEnglish, wide, text.id)) << text.id;
        EXPECT_EQ(AsString(wide), Widened(text.english)) << text.id;
    }
}

TEST(UiLanguage, JapaneseForAJapaneseUserAndEnglishForEveryoneElse) {
    const struct {
        LANGID user;
        LANGID texts;
    } rows[] = {
        {MAKELANGID(LANG_JAPANESE, SUBLANG_JAPANESE_JAPAN), kJapaneseTexts},
        {MAKELANGID(LANG_JAPANESE, SUBLANG_NEUTRAL), kJapaneseTexts},
        {MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_UK), kEnglishTexts},
        {MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), kEnglishTexts},
        {MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED), kEnglishTexts},
        {MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), kEnglishTexts},
    };
    for (const auto& row : rows)
        EXPECT_EQ(UiLanguageFor(row.user), row.texts) << std::hex << row.user;
}

TEST(LoadResourceString, MissingOrEmptyEntriesFailAndLeaveTheStringAlone) {
    AnsiString text;
    ASSERT_TRUE(text.Assign("kept"));
    for (UINT id : {96u, 97u, 98u, 99u, 108u, 109u, 110u, 111u, 50u, 200u, 0u, 65535u}) {
        EXPECT_FALSE(LoadResourceString(kJapanese, text, id)) << id;
        EXPECT_EQ(AsString(text), "kept") << id;
    }
    AnsiString empty;
    EXPECT_FALSE(LoadResourceString(kEnglish, empty, 96));
    EXPECT_TRUE(empty.IsEmpty());
}

TEST(LoadResourceString, ReplacesWhatTheStringHeldAndLeavesItsCopiesAlone) {
    AnsiString text;
    ASSERT_TRUE(text.Assign("a much longer text than the product name"));
    AnsiString copy(text);
    ASSERT_TRUE(LoadResourceString(kJapanese, text, IDS_PRODUCT_NAME));
    EXPECT_EQ(AsString(text), "Lanterwell");
    EXPECT_EQ(AsString(copy), "a much longer text than the product name");
}

TEST(FormatResourceText, FormatsTheDriveEntryAndTheHelpText) {
    AnsiString item;
    FormatResourceText(kJapanese, item, IDS_DRIVE_ITEM, 'C');
    EXPECT_EQ(AsString(item),
              test::ExpectedAnsi(u"ドライブ (&C:)", "\x83\x68\x83\x89\x83\x43\x83\x75 (&C:)"));

    AnsiString help;
    FormatResourceText(kJapanese, help, IDS_HELP_CREATE, 'Q');
    EXPECT_EQ(AsString(help),
              test::ExpectedAnsi(
                  u"このフォルダを仮想ドライブ Q: に割り当てます。",
                  "\x82\xB1\x82\xCC\x83\x74\x83\x48\x83\x8B\x83\x5F\x82\xF0\x89\xBC\x91\x7A\x83"
                  "\x68\x83\x89\x83\x43\x83\x75 Q: \x82\xC9\x8A\x84\x82\xE8\x93\x96\x82\xC4\x82"
                  "\xDC\x82\xB7\x81\x42"));

    WideUiText wide;
    FormatResourceText(kJapanese, wide, IDS_HELP_CREATE, 'Q');
    EXPECT_EQ(AsString(wide), u"このフォルダを仮想ドライブ Q: に割り当てます。");
    FormatResourceText(kEnglish, wide, IDS_DRIVE_ITEM, 'C');
    EXPECT_EQ(AsString(wide), u"Drive (&C:)");
}

TEST(FormatResourceText, AMissingFormatGivesTheEmptyText) {
    AnsiString text;
    ASSERT_TRUE(text.Assign("old"));
    FormatResourceText(kJapanese, text, 97, 'C');
    EXPECT_TRUE(text.IsEmpty());
    WideUiText wide;
    FormatResourceText(kEnglish, wide, 97, 'C');
    EXPECT_EQ(wide.length, 0);
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
