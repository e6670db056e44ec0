#include <gtest/gtest.h>
#include "support/AnsiString.h"
#include "support/CodePage.h"
#include "support/Conversion.h"
#include "support/ModuleHeap.h"
#include "tests/TestSupport.h"

namespace {

TEST(ConversionCodePage, IsTheThreadAnsiCodePageOnNt5AndLater) {
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    ASSERT_TRUE(GetVersionExA(&version));
    ASSERT_EQ(version.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_NT));
    ASSERT_GE(version.dwMajorVersion, 5u);
    EXPECT_EQ(GetConversionCodePage(), static_cast<UINT>(CP_THREAD_ACP));
    EXPECT_EQ(GetConversionCodePage(), static_cast<UINT>(CP_THREAD_ACP));
}

TEST(WideText, Converts127BytesInsideAnd128BytesOnTheHeap) {
    const LONG before = ModuleHeap::LiveBlocks();
    {
        std::string text127(127, 'a');
        WideText inside(text127.c_str()); // 128 units with the terminator
        ASSERT_NE(inside.Text(), nullptr);
        EXPECT_FALSE(inside.OnHeap());
        EXPECT_EQ(std::wstring(inside.Text()), std::wstring(127, L'a'));

        std::string text128(128, 'b');
        WideText outside(text128.c_str());
        ASSERT_NE(outside.Text(), nullptr);
        EXPECT_TRUE(outside.OnHeap());
        EXPECT_EQ(ModuleHeap::LiveBlocks(), before + 1);
        EXPECT_EQ(std::wstring(outside.Text()), std::wstring(128, L'b'));
    }
    EXPECT_EQ(ModuleHeap::LiveBlocks(), before);
}

TEST(WideText, ConvertsDoubleByteTextInTheJapaneseCodePage) {
    // 仮想 followed by a character whose trail byte is a backslash (ソ, 0x83 0x5C).
    const char* shiftJis = "\x89\xBC\x91\x7A\x83\x5C";
    WideText wide(shiftJis);
    ASSERT_NE(wide.Text(), nullptr);
    if (test::IsJapaneseCodePage())
        EXPECT_EQ(std::wstring(wide.Text()), std::wstring(L"\u4EEE\u60F3\u30BD"));
    else
        EXPECT_EQ(std::wstring(wide.Text()), std::wstring(L"\u2030\u00BC\u2018z\u0192\\"));
}

TEST(WideText, ANullTextGivesNoText) {
    WideText wide(nullptr);
    EXPECT_EQ(wide.Text(), nullptr);
}

TEST(AnsiPath, RoundTripsThroughTheCodePageAndUsesTheHeapAbove1024Bytes) {
    const wchar_t* japanese = L"C:\\\u4EEE\u60F3\\x";
    AnsiPath ansi(japanese);
    ASSERT_NE(ansi.Text(), nullptr);
    EXPECT_FALSE(ansi.OnHeap());
    if (test::IsJapaneseCodePage())
        EXPECT_STREQ(ansi.Text(), "C:\\\x89\xBC\x91\x7A\\x");
    else
        EXPECT_STREQ(ansi.Text(), "C:\\??\\x");

    // Sized by what the text takes in the code page: one byte a letter here.
    std::wstring longText(1023, L'x'); // 1024 bytes with the terminator
    EXPECT_FALSE(AnsiPath(longText.c_str()).OnHeap());
    longText += L'y';
    AnsiPath onHeap(longText.c_str());
    EXPECT_TRUE(onHeap.OnHeap());
    EXPECT_EQ(std::string(onHeap.Text()), std::string(1023, 'x') + "y");
}

TEST(AnsiString, StartsEmptySharesCopiesAndFreesWithTheLastHolder) {
    const LONG before = ModuleHeap::LiveBlocks();
    {
        AnsiString a;
        EXPECT_TRUE(a.IsEmpty());
        EXPECT_STREQ(a.Text(), "");
        ASSERT_TRUE(a.Assign("shared"));
        EXPECT_EQ(ModuleHeap::LiveBlocks(), before + 1);
        {
            AnsiString b(a);
            AnsiString c;
            c = b;
            EXPECT_EQ(b.Text(), a.Text()); // one buffer for all three
            EXPECT_EQ(c.Text(), a.Text());
            EXPECT_EQ(ModuleHeap::LiveBlocks(), before + 1);
            ASSERT_TRUE(c.MakeUpper());
            EXPECT_STREQ(c.Text(), "SHARED");
            EXPECT_STREQ(a.Text(), "shared");
        }
        EXPECT_EQ(ModuleHeap::LiveBlocks(), before + 1);
        a = a;
        EXPECT_STREQ(a.Text(), "shared");
        ASSERT_TRUE(a.Assign(a.Text() + 2));
        EXPECT_STREQ(a.Text(), "ared");
    }
    EXPECT_EQ(ModuleHeap::LiveBlocks(), before);
}

TEST(AnsiString, KeepsItsTextWhenAChangeCannotBeMade) {
    AnsiString text;
    ASSERT_TRUE(text.Assign("kept", 4));
    EXPECT_FALSE(text.Assign(nullptr));
    EXPECT_FALSE(text.Assign("x", -1));
    EXPECT_EQ(text.PrepareBuffer(-1), nullptr);
    EXPECT_STREQ(text.Text(), "kept");
    EXPECT_EQ(text.Length(), 4);
}

TEST(AnsiString, KeepsItsTextWhenTheHeapCannotGiveTheBuffer) {
    if (sizeof(void*) != 4)
        GTEST_SKIP() << "only a 32-bit address space refuses a 2 GiB block; a 64-bit one "
                        "commits it lazily";
    AnsiString text;
    ASSERT_TRUE(text.Assign("kept", 4));
    EXPECT_EQ(text.PrepareBuffer(0x7FFFFFF0), nullptr);
    EXPECT_STREQ(text.Text(), "kept");
    EXPECT_EQ(text.Length(), 4);
}

TEST(AnsiString, UpperCasesDoubleByteTextWithoutTouchingTrailBytes) {
    AnsiString text;
    ASSERT_TRUE(text.Assign("c:\\\x83\x5C"
                            "a"));
    ASSERT_TRUE(text.MakeUpper());
    if (test::IsJapaneseCodePage())
        EXPECT_STREQ(text.Text(), "C:\\\x83\x5C"
                                  "A");
    else
        EXPECT_EQ(text.Text()[0], 'C');
}

} // namespace
