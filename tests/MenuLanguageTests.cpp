#include <gtest/gtest.h>
#include <shlobj.h>
#include <string>
#include "extension/CommandOffsets.h"
#include "tests/ExpectedTexts.h"
#include "tests/MessageBoxCatcher.h"
#include "tests/ServerDll.h"
#include "tests/SubstDoubles.h"
#include "tests/TestSupport.h"
#include "tests/hosts/shell-host/DropDataObject.h"

// The built DLL's menu, help texts and error boxes, read back as a user's Windows shows them:
// in the user's language whatever the thread's code page, and on a Japanese system in a
// Japanese thread byte for byte as the ANSI functions always read them.
namespace {

const UINT kFirst = 100;

struct LanguageRow {
    const char* name;
    bool japaneseUi;
    UINT ansiCodePage;
    LCID threadLocale;
};

const LanguageRow kRows[] = {
    {"Japanese, 932, Japanese thread", true, 932, MAKELCID(0x0411, SORT_DEFAULT)},
    {"Japanese, 932, English thread", true, 932, MAKELCID(0x0409, SORT_DEFAULT)},
    {"English, 1252, English thread", false, 1252, MAKELCID(0x0409, SORT_DEFAULT)},
    {"English, 65001, English thread", false, CP_UTF8, MAKELCID(0x0409, SORT_DEFAULT)},
};

std::u16string U16(const wchar_t* text) {
    return std::u16string(reinterpret_cast<const char16_t*>(text));
}

std::u16string MenuTextW(HMENU menu, UINT id) {
    wchar_t text[256] = {};
    GetMenuStringW(menu, id, text, 256, MF_BYCOMMAND);
    return U16(text);
}

std::string MenuTextA(HMENU menu, UINT id) {
    char text[256] = {};
    GetMenuStringA(menu, id, text, 256, MF_BYCOMMAND);
    return text;
}

// One handler object of the built DLL with a selection and its menu.
class Handler {
public:
    Handler(const test::ServerDll& dll, const std::wstring& path) : m_menu(CreatePopupMenu()) {
        IClassFactory* factory = nullptr;
        EXPECT_EQ(dll.ClassObject(&factory), S_OK);
        if (!factory)
            return;
        factory->CreateInstance(nullptr, IID_IContextMenu, reinterpret_cast<void**>(&menu));
        factory->Release();
        IShellExtInit* init = nullptr;
        if (!menu ||
            FAILED(menu->QueryInterface(IID_IShellExtInit, reinterpret_cast<void**>(&init))))
            return;
        host::DropDataObject data(std::vector<std::wstring>{path}, true);
        EXPECT_EQ(init->Initialize(nullptr, &data, nullptr), S_OK);
        init->Release();
        EXPECT_TRUE(SUCCEEDED(menu->QueryContextMenu(m_menu, 0, kFirst, kFirst + 100, CMF_NORMAL)));
    }
    ~Handler() {
        if (menu)
            menu->Release();
        DestroyMenu(m_menu);
    }
    HMENU Menu() const { return m_menu; }
    std::u16string HelpW(UINT offset) const {
        wchar_t text[256] = {};
        menu->GetCommandString(offset, GCS_HELPTEXTW, nullptr, reinterpret_cast<CHAR*>(text), 256);
        return U16(text);
    }
    std::string HelpA(UINT offset) const {
        char text[256] = {};
        menu->GetCommandString(offset, GCS_HELPTEXTA, nullptr, text, 256);
        return text;
    }
    void Invoke(UINT offset) const {
        CMINVOKECOMMANDINFO info = {};
        info.cbSize = sizeof(info);
        info.lpVerb = MAKEINTRESOURCEA(offset);
        EXPECT_EQ(menu->InvokeCommand(&info), S_OK);
    }

    IContextMenu* menu = nullptr;

private:
    HMENU m_menu;
};

TEST(MenuLanguage, TextsFollowTheUserInterfaceLanguageWhateverTheCodePage) {
    SKIP_WITHOUT_ANSI_RUN_FOLDER(); // the server finds SUBST.DLL beside it by its ANSI path
    test::PlacedSubst subst("subst_recording.dll");
    test::SubstRecorder recorder;
    recorder.SetResult(SubstCreate, 1);
    recorder.SetResult(SubstDelete, 1);
    test::ServerDll dll;
    ASSERT_TRUE(dll.Loaded());
    int rowsRun = 0;
    for (const LanguageRow& row : kRows) {
        if (row.japaneseUi != expected::JapaneseUi() || row.ansiCodePage != GetACP())
            continue;
        ++rowsRun;
        SCOPED_TRACE(row.name);
        test::ThreadLocale locale(row.threadLocale);
        const bool japanese = row.japaneseUi;
        const bool ansiExact = japanese && GetThreadLocale() == MAKELCID(0x0411, SORT_DEFAULT);

        // A folder: the popup and its letters. The drive root below also gets the delete item.
        Handler folder(dll, test::RunFolder());
        ASSERT_NE(folder.menu, nullptr);
        EXPECT_EQ(MenuTextW(folder.Menu(), kFirst + kPopupOffset), expected::Utf16(101, japanese));
        if (ansiExact)
            EXPECT_EQ(MenuTextA(folder.Menu(), kFirst + kPopupOffset), expected::Ansi(101, true));
        const DWORD drives = GetLogicalDrives();
        int letters = 0;
        for (UINT offset = 0; offset < kLetterCount; ++offset) {
            if (drives & (1u << offset))
                continue;
            ++letters;
            const char letter = char('A' + offset);
            EXPECT_EQ(MenuTextW(folder.Menu(), kFirst + offset),
                      expected::Utf16(102, japanese, letter));
            EXPECT_EQ(folder.HelpW(offset), expected::Utf16(104, japanese, letter));
            if (ansiExact) {
                EXPECT_EQ(MenuTextA(folder.Menu(), kFirst + offset),
                          expected::Ansi(102, true, letter));
                EXPECT_EQ(folder.HelpA(offset), expected::Ansi(104, true, letter));
            }
        }
        EXPECT_GT(letters, 0);

        Handler root(dll, L"C:\\");
        ASSERT_NE(root.menu, nullptr);
        EXPECT_EQ(MenuTextW(root.Menu(), kFirst + kDeleteOffset), expected::Utf16(103, japanese));
        EXPECT_EQ(root.HelpW(kDeleteOffset), expected::Utf16(105, japanese));
        if (ansiExact) {
            EXPECT_EQ(MenuTextA(root.Menu(), kFirst + kDeleteOffset), expected::Ansi(103, true));
            EXPECT_EQ(root.HelpA(kDeleteOffset), expected::Ansi(105, true));
        }

        // Both failure boxes, from a mapping and a deletion that the library refuses.
        test::MessageBoxCatcher catcher;
        ASSERT_TRUE(catcher.Hooked());
        folder.Invoke(25);
        root.Invoke(kDeleteOffset);
        ASSERT_EQ(catcher.boxes.size(), 2u);
        EXPECT_EQ(U16(catcher.boxes[0].wideText.c_str()), expected::Utf16(106, japanese));
        EXPECT_EQ(U16(catcher.boxes[0].wideCaption.c_str()), expected::Utf16(101, japanese));
        EXPECT_EQ(U16(catcher.boxes[1].wideText.c_str()), expected::Utf16(107, japanese));
        EXPECT_EQ(U16(catcher.boxes[1].wideCaption.c_str()), expected::Utf16(103, japanese));
        if (ansiExact) {
            EXPECT_EQ(catcher.boxes[0].text, expected::Ansi(106, true));
            EXPECT_EQ(catcher.boxes[1].caption, expected::Ansi(103, true));
        }
    }
    // Every locale the suite runs under is one of the rows.
    EXPECT_GT(rowsRun, 0) << "UI language " << GetUserDefaultUILanguage() << ", code page "
                          << GetACP();
}

} // namespace
