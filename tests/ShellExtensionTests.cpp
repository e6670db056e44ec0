#include <gtest/gtest.h>
#include <memory>
#include "extension/ShellExtension.h"
#include "extension/SubstLibrary.h"
#include "server/ModuleInstance.h"
#include "tests/PolicyKeys.h"
#include "tests/hosts/shell-host/DropDataObject.h"
#include "tests/ExpectedTexts.h"
#include "tests/ExtensionHarness.h"
#include "tests/MessageBoxCatcher.h"
#include "tests/ProcessWatch.h"
#include "tests/SubstDoubles.h"
#include "tests/TestSupport.h"

namespace {

using host::DropDataObject;
using test::kFirst;
using test::Query;
using test::ShellMenu;
using test::TestExtension;

struct MenuItem {
    UINT id;
    std::string text;
    HMENU submenu;
};

std::vector<MenuItem> ReadMenu(HMENU menu) {
    std::vector<MenuItem> items;
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        char text[256] = {};
        MENUITEMINFOA info = {};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_ID | MIIM_SUBMENU;
        GetMenuItemInfoA(menu, i, TRUE, &info);
        GetMenuStringA(menu, i, text, sizeof(text), MF_BYPOSITION);
        items.push_back({info.wID, text, info.hSubMenu});
    }
    return items;
}

std::string DriveItemText(char letter) {
    return expected::ShownAnsi(102, letter);
}

std::string Expected(unsigned id) {
    return expected::ShownAnsi(id);
}

// ---------------------------------------------------------------------------------------
// Selection capture

class SelectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        SKIP_WITHOUT_ANSI_RUN_FOLDER(); // the server finds SUBST.DLL beside it by its ANSI path
    }
    test::PlacedSubst m_subst{"subst_recording.dll"};
    test::SubstRecorder m_recorder;
};

TEST_F(SelectionTest, ASingleItemBecomesTheSelectedPathAndTheMediumIsReleased) {
    TestExtension extension;
    DropDataObject data({"C:\\windows"});
    EXPECT_EQ(extension.Initialize(nullptr, &data, nullptr), S_OK);
    EXPECT_EQ(data.taken, 1);
    EXPECT_EQ(data.released, 1);
    EXPECT_EQ(extension.Run(2), S_OK);
    const auto calls = m_recorder.Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].which, SubstCreate);
    EXPECT_EQ(calls[0].drive, 3);
    EXPECT_STREQ(calls[0].path, "C:\\windows");
}

TEST_F(SelectionTest, SeveralItemsAreAcceptedAndOfferNothing) {
    TestExtension extension;
    ASSERT_EQ(extension.Select({"C:\\windows"}), S_OK);
    DropDataObject data({"C:\\windows", "C:\\windows\\system32"});
    EXPECT_EQ(extension.Initialize(nullptr, &data, nullptr), S_OK);
    EXPECT_EQ(data.released, 1);
    ShellMenu menu;
    EXPECT_EQ(Query(extension, menu.Get()), S_OK);
    EXPECT_EQ(GetMenuItemCount(menu.Get()), 3);
}

TEST_F(SelectionTest, UnusableSelectionsAreInvalidAndKeepThePreviousPath) {
    TestExtension extension;
    ASSERT_EQ(extension.Select({"C:\\windows"}), S_OK);

    DropDataObject empty({});
    EXPECT_EQ(extension.Initialize(nullptr, &empty, nullptr), E_INVALIDARG);
    EXPECT_EQ(empty.released, 1);
    DropDataObject noDrop({"C:\\"}, false);
    EXPECT_EQ(extension.Initialize(nullptr, &noDrop, nullptr), E_INVALIDARG);
    EXPECT_EQ(noDrop.released, 0);
    EXPECT_EQ(extension.Initialize(nullptr, nullptr, nullptr), E_INVALIDARG);

    EXPECT_EQ(extension.Run(0), S_OK);
    const auto calls = m_recorder.Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_STREQ(calls[0].path, "C:\\windows");
}

TEST_F(SelectionTest, APathTooLongToReadWholeIsNeverActedOn) {
    const std::string longest = "C:\\" + std::string(256, 'a'); // 259 chars
    TestExtension extension;
    ASSERT_EQ(extension.Select({longest}), S_OK);
    EXPECT_EQ(extension.Run(0), S_OK);

    EXPECT_EQ(extension.Select({longest + "b"}), E_INVALIDARG);
    ShellMenu menu;
    EXPECT_EQ(Query(extension, menu.Get()), S_OK);
    EXPECT_EQ(GetMenuItemCount(menu.Get()), 3);
    EXPECT_EQ(extension.Run(0), S_OK);

    const auto calls = m_recorder.Calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(std::string(calls[0].path), longest);
    EXPECT_EQ(std::string(calls[1].path), "") << "never a cut path";
}

// ---------------------------------------------------------------------------------------
// Menu building against the real drive mask, with the companion SUBST.DLL

class MenuTest : public ::testing::Test {
protected:
    void SetUp() override {
        SKIP_WITHOUT_ANSI_RUN_FOLDER(); // SUBST.DLL and the ANSI drop are handed its folder
        ASSERT_TRUE(m_subst.Placed());
    }
    void TearDown() override {
        for (int drive : m_mapped)
            m_binding->Delete(drive);
        m_binding.reset();
    }

    // Maps the scratch folder to a free letter, or to every free letter.
    int MapOne() {
        for (int drive = 16; drive <= 25; ++drive)
            if (!test::DriveInUse(drive) &&
                m_binding->Create(drive, m_folder.AnsiPath().c_str()) == 0) {
                m_mapped.push_back(drive);
                return drive;
            }
        return 0;
    }
    void MapAllFree() {
        for (int drive = 1; drive <= static_cast<int>(kLetterCount); ++drive)
            if (!test::DriveInUse(drive) &&
                m_binding->Create(drive, m_folder.AnsiPath().c_str()) == 0)
                m_mapped.push_back(drive);
    }

    test::PlacedSubst m_subst{"subst_companion.dll"};
    std::unique_ptr<SubstLibrary> m_binding{new SubstLibrary(moduleInstance.instance, true)};
    test::ScratchFolder m_folder{"menu folder"};
    std::vector<int> m_mapped;
};

void ExpectPopupOfFreeLetters(const MenuItem& popup, DWORD drives) {
    EXPECT_EQ(popup.id, kFirst + kPopupOffset);
    EXPECT_EQ(popup.text, Expected(101));
    ASSERT_NE(popup.submenu, nullptr);
    std::vector<MenuItem> expectedEntries;
    for (UINT i = 0; i < kLetterCount; ++i)
        if (!(drives & (1u << i)))
            expectedEntries.push_back({kFirst + i, DriveItemText(char('A' + i)), nullptr});
    const std::vector<MenuItem> entries = ReadMenu(popup.submenu);
    ASSERT_EQ(entries.size(), expectedEntries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i].id, expectedEntries[i].id) << i;
        EXPECT_EQ(entries[i].text, expectedEntries[i].text) << i;
    }
}

TEST_F(MenuTest, AFolderGetsThePopupOfFreeLettersAtIndexMenu) {
    TestExtension extension;
    ASSERT_EQ(extension.Select({m_folder.AnsiPath()}), S_OK);
    const int mapped = MapOne(); // in use now: no entry for it
    ASSERT_NE(mapped, 0);
    ShellMenu menu;
    EXPECT_EQ(Query(extension, menu.Get()), test::kFolderItems);
    const std::vector<MenuItem> items = ReadMenu(menu.Get());
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[0].id, 1u);
    EXPECT_EQ(items[2].id, 2u);
    ExpectPopupOfFreeLetters(items[1], GetLogicalDrives());
    for (const MenuItem& entry : ReadMenu(items[1].submenu))
        EXPECT_NE(entry.id, kFirst + mapped - 1);
}

TEST_F(MenuTest, TheRootOfAMappedDriveAlsoGetsTheDeleteItem) {
    const int mapped = MapOne();
    ASSERT_NE(mapped, 0);
    for (char first : {char('A' + mapped - 1), char('a' + mapped - 1)}) {
        TestExtension extension;
        ASSERT_EQ(extension.Select({std::string(1, first) + ":\\"}), S_OK);
        ShellMenu menu;
        EXPECT_EQ(Query(extension, menu.Get(), 0), test::kRootItems);
        const std::vector<MenuItem> items = ReadMenu(menu.Get());
        ASSERT_EQ(items.size(), 5u);
        ExpectPopupOfFreeLetters(items[0], GetLogicalDrives());
        EXPECT_EQ(items[1].id, kFirst + kDeleteOffset);
        EXPECT_EQ(items[1].text, Expected(103));
        EXPECT_EQ(items[1].submenu, nullptr);
    }
}

TEST_F(MenuTest, AnOrdinaryRootGetsThePopupAlone) {
    TestExtension extension;
    ASSERT_EQ(extension.Select({"C:\\"}), S_OK);
    ShellMenu menu;
    EXPECT_EQ(Query(extension, menu.Get()), test::kFolderItems);
    const std::vector<MenuItem> items = ReadMenu(menu.Get());
    ASSERT_EQ(items.size(), 4u);
    ExpectPopupOfFreeLetters(items[1], GetLogicalDrives());
}

// The administrator's policy: the letters it keeps are not offered; hidden commands add
// nothing to the shell's menu.
TEST_F(MenuTest, ThePolicyKeepsLettersOutOfThePopupOrHidesTheCommands) {
    const test::PolicyKeys keys;
    const int reserved = test::FreeDrive(16);
    ASSERT_NE(reserved, 0);
    test::PolicyKeys::Reserve(HKEY_CURRENT_USER, {std::wstring(1, L'A' + reserved - 1)});
    TestExtension extension;
    ASSERT_EQ(extension.Select({m_folder.AnsiPath()}), S_OK);
    ShellMenu menu;
    EXPECT_EQ(Query(extension, menu.Get()), test::kFolderItems);
    const std::vector<MenuItem> items = ReadMenu(menu.Get());
    ASSERT_EQ(items.size(), 4u);
    ExpectPopupOfFreeLetters(items[1], GetLogicalDrives() | (1u << (reserved - 1)));

    test::PolicyKeys::Set(HKEY_LOCAL_MACHINE, Policy::kHideCommandsValue, 1);
    ShellMenu hidden;
    EXPECT_EQ(Query(extension, hidden.Get()), MAKE_HRESULT(0, 0, 0));
    EXPECT_EQ(ReadMenu(hidden.Get()).size(), 3u);
}

TEST_F(MenuTest, WithEveryLetterInUseOnlyTheDeleteItemGoesIn) {
    MapAllFree();
    ASSERT_FALSE(m_mapped.empty());
    ASSERT_EQ(GetLogicalDrives() & 0x3FFFFFF, 0x3FFFFFFu);
    TestExtension extension;
    ASSERT_EQ(extension.Select({std::string(1, char('A' + m_mapped[0] - 1)) + ":\\"}), S_OK);
    ShellMenu menu;
    EXPECT_EQ(Query(extension, menu.Get(), 0), test::kRootItems);
    std::vector<MenuItem> items = ReadMenu(menu.Get());
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[0].id, 1u);
    EXPECT_EQ(items[1].id, kFirst + kDeleteOffset) << "at indexMenu + 1 even without the popup";

    TestExtension folder;
    ASSERT_EQ(folder.Select({m_folder.AnsiPath()}), S_OK);
    ShellMenu other;
    EXPECT_EQ(Query(folder, other.Get()), test::kFolderItems);
    EXPECT_EQ(GetMenuItemCount(other.Get()), 3);
}

TEST_F(MenuTest, ALetterThatCameIntoUseIsLeftToTheLibraryToRefuse) {
    test::MessageBoxCatcher catcher;
    TestExtension extension;
    ASSERT_EQ(extension.Select({m_folder.AnsiPath()}), S_OK);
    EXPECT_EQ(extension.Run(2), S_OK); // C:, a real drive
    ASSERT_EQ(catcher.boxes.size(), 1u);
    EXPECT_EQ(catcher.boxes[0].text, Expected(106));
    EXPECT_EQ(catcher.boxes[0].caption, Expected(101));
}

TEST_F(MenuTest, EachStopInsertsNothing) {
    test::ScratchFolder scratch("stops");
    const std::string file = scratch.AnsiPath() + "\\file.txt";
    CloseHandle(CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    struct Case {
        const char* what;
        std::vector<std::string> selection;
        UINT flags;
        UINT last;
    } cases[] = {
        {"default only", {m_folder.AnsiPath()}, CMF_DEFAULTONLY, 1000},
        {"default only with others", {"C:\\"}, CMF_DEFAULTONLY | CMF_EXPLORE, 1000},
        {"nothing selected", {}, CMF_NORMAL, 1000},
        {"a file", {file}, CMF_NORMAL, 1000},
        {"a missing folder", {m_folder.AnsiPath() + "\\missing"}, CMF_NORMAL, 1000},
        {"a UNC share", {"\\\\server\\share"}, CMF_NORMAL, 1000},
        {"too few identifiers", {m_folder.AnsiPath()}, CMF_NORMAL, kFirst + kPopupOffset},
        {"identifiers reversed", {m_folder.AnsiPath()}, CMF_NORMAL, kFirst - 1},
    };
    for (const Case& c : cases) {
        TestExtension extension;
        if (!c.selection.empty()) {
            ASSERT_EQ(extension.Select(c.selection), S_OK) << c.what;
        }
        ShellMenu menu;
        EXPECT_EQ(Query(extension, menu.Get(), 1, c.flags, c.last), S_OK) << c.what;
        EXPECT_EQ(GetMenuItemCount(menu.Get()), 3) << c.what;
    }
    TestExtension exact;
    ASSERT_EQ(exact.Select({m_folder.AnsiPath()}), S_OK);
    ShellMenu menu;
    EXPECT_EQ(Query(exact, menu.Get(), 1, CMF_NORMAL, kFirst + kDeleteOffset), test::kFolderItems);
}

TEST(MenuWithoutLibrary, AddsNothing) {
    ASSERT_EQ(test::LoadedSubst(), nullptr);
    TestExtension extension;
    ASSERT_EQ(extension.Select({"C:\\windows"}), S_OK);
    ShellMenu menu;
    EXPECT_EQ(Query(extension, menu.Get()), S_OK);
    EXPECT_EQ(GetMenuItemCount(menu.Get()), 3);
}

TEST(MenuWithDoubles, OnlyARootIsAskedWhetherItIsMappedAndMissingQueryMeansNo) {
    SKIP_WITHOUT_ANSI_RUN_FOLDER(); // the server finds SUBST.DLL beside it by its ANSI path
    {
        test::PlacedSubst subst("subst_recording.dll");
        TestExtension folder;
        ASSERT_EQ(folder.Select({"C:\\windows"}), S_OK);
        ShellMenu menu;
        EXPECT_EQ(Query(folder, menu.Get()), test::kFolderItems);
        EXPECT_TRUE(test::SubstRecorder().Calls().empty()) << "a folder is never queried";

        TestExtension root;
        ASSERT_EQ(root.Select({"c:\\"}), S_OK);
        ShellMenu rootMenu;
        EXPECT_EQ(Query(root, rootMenu.Get()), test::kRootItems);
        const auto calls = test::SubstRecorder().Calls();
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].which, SubstQuery);
        EXPECT_EQ(calls[0].drive, 3);
        EXPECT_EQ(calls[0].size, 260);
        EXPECT_TRUE(calls[0].bufferWasZeroed);
    }
    test::PlacedSubst subst("subst_no_query.dll");
    TestExtension root;
    ASSERT_EQ(root.Select({"C:\\"}), S_OK);
    ShellMenu menu;
    EXPECT_EQ(Query(root, menu.Get()), test::kFolderItems);
    EXPECT_EQ(GetMenuItemCount(menu.Get()), 4);
}

// ---------------------------------------------------------------------------------------
// Commands

class CommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        SKIP_WITHOUT_ANSI_RUN_FOLDER(); // the server finds SUBST.DLL beside it by its ANSI path
        ASSERT_TRUE(m_subst.Placed());
        ASSERT_TRUE(m_catcher.Hooked());
        m_owner = CreateWindowA("STATIC", "owner", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                                nullptr, nullptr, nullptr);
        ASSERT_NE(m_owner, nullptr);
    }
    void TearDown() override { DestroyWindow(m_owner); }

    test::PlacedSubst m_subst{"subst_recording.dll"};
    test::SubstRecorder m_recorder;
    test::MessageBoxCatcher m_catcher;
    HWND m_owner = nullptr;
};

TEST_F(CommandTest, StringVerbsAndOffsetsWithoutACommandAreInvalid) {
    TestExtension extension;
    ASSERT_EQ(extension.Select({"C:\\windows"}), S_OK);
    CMINVOKECOMMANDINFO info = {};
    info.cbSize = sizeof(info);
    info.lpVerb = "open";
    EXPECT_EQ(extension.InvokeCommand(&info), E_INVALIDARG);
    EXPECT_EQ(extension.InvokeCommand(nullptr), E_INVALIDARG);
    for (UINT offset : {26u, 28u, 29u, 0xFFFFu})
        EXPECT_EQ(extension.Run(offset), E_INVALIDARG) << offset;
    EXPECT_TRUE(m_recorder.Calls().empty());
    EXPECT_TRUE(m_catcher.boxes.empty());
}

TEST_F(CommandTest, DeleteTakesTheDriveFromThePathFirstCharacter) {
    struct Case {
        const char* path;
        int drive; // 0: nothing is called
    } cases[] = {{"q:\\", 17}, {"Q:\\", 17}, {"C:\\windows", 3}, {"\\\\server\\share", 0}};
    for (const Case& c : cases) {
        TestExtension extension;
        ASSERT_EQ(extension.Select({c.path}), S_OK);
        EXPECT_EQ(extension.Run(kDeleteOffset), S_OK);
    }
    TestExtension unselected;
    EXPECT_EQ(unselected.Run(kDeleteOffset), S_OK);
    const auto calls = m_recorder.Calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].drive, 17);
    EXPECT_EQ(calls[1].drive, 17);
    EXPECT_EQ(calls[2].drive, 3);
    for (const SubstCall& call : calls)
        EXPECT_EQ(call.which, SubstDelete);
    EXPECT_TRUE(m_catcher.boxes.empty());
}

TEST_F(CommandTest, FailuresAreReportedInTheirBoxesAndStillSucceed) {
    m_recorder.SetResult(SubstCreate, 5);
    m_recorder.SetResult(SubstDelete, -1);
    TestExtension extension;
    ASSERT_EQ(extension.Select({"Q:\\"}), S_OK);
    test::ProcessWatch explorer("explorer.exe");
    EXPECT_EQ(extension.Run(2, m_owner), S_OK);
    EXPECT_EQ(extension.Run(kDeleteOffset, m_owner), S_OK);
    ASSERT_EQ(m_catcher.boxes.size(), 2u);
    const test::CaughtBox& create = m_catcher.boxes[0];
    EXPECT_EQ(create.text, Expected(106));
    EXPECT_EQ(create.caption, Expected(101));
    const test::CaughtBox& remove = m_catcher.boxes[1];
    EXPECT_EQ(remove.text, Expected(107));
    EXPECT_EQ(remove.caption, Expected(103));
    for (const test::CaughtBox& box : m_catcher.boxes) {
        EXPECT_EQ(box.owner, m_owner);
        EXPECT_TRUE(box.hasOk);
        EXPECT_FALSE(box.hasCancel);
        EXPECT_FALSE(box.hasYes);
        EXPECT_TRUE(box.hasErrorIcon);
    }
    EXPECT_EQ(explorer.FindNew(500).id, 0u) << "no window after a failure";
}

TEST(CommandMissingExports, ShowTheFailureBoxes) {
    SKIP_WITHOUT_ANSI_RUN_FOLDER(); // the server finds SUBST.DLL beside it by its ANSI path
    test::MessageBoxCatcher catcher;
    {
        test::PlacedSubst subst("subst_no_create.dll");
        TestExtension extension;
        ASSERT_EQ(extension.Select({"C:\\windows"}), S_OK);
        EXPECT_EQ(extension.Run(5), S_OK);
        EXPECT_EQ(extension.Run(kDeleteOffset), S_OK);
    }
    {
        test::PlacedSubst subst("subst_no_delete.dll");
        TestExtension extension;
        ASSERT_EQ(extension.Select({"C:\\"}), S_OK);
        EXPECT_EQ(extension.Run(kDeleteOffset), S_OK);
    }
    ASSERT_EQ(catcher.boxes.size(), 3u);
    EXPECT_EQ(catcher.boxes[0].text, Expected(106));
    EXPECT_EQ(catcher.boxes[1].text, Expected(107));
    EXPECT_EQ(catcher.boxes[2].text, Expected(107));
}

TEST_F(CommandTest, ASuccessfulMappingOpensTheFileManagerUnlessShiftIsHeld) {
    TestExtension extension;
    ASSERT_EQ(extension.Select({"C:\\windows"}), S_OK);
    {
        test::ProcessWatch explorer("explorer.exe");
        EXPECT_EQ(extension.Run(16), S_OK);
        EXPECT_EQ(explorer.FindNew(1000).id, 0u) << "Shift keeps the window closed";
    }
    // An explorer.exe planted in the current directory is never the one started.
    test::ScratchFolder planted("planted explorer");
    ASSERT_TRUE(CopyFileW(test::InRunFolder("planted_program.exe").c_str(),
                          (planted.Path() + L"\\explorer.exe").c_str(), FALSE));
    ASSERT_TRUE(SetCurrentDirectoryW(planted.Path().c_str()));
    test::ProcessWatch explorer("explorer.exe");
    EXPECT_EQ(extension.Run(16, nullptr, true), S_OK);
    const test::StartedProcess started = explorer.FindNew();
    SetCurrentDirectoryW(test::RunFolder().c_str());
    ASSERT_NE(started.id, 0u);
    wchar_t windows[MAX_PATH];
    GetWindowsDirectoryW(windows, MAX_PATH);
    // Wine reports its own explorer with the system folder's path.
    EXPECT_EQ(started.image.find(windows), 0u) << started.image;
    EXPECT_EQ(started.image.find(planted.Path()), std::wstring::npos) << started.image;

    const auto calls = m_recorder.Calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1].drive, 17);
    EXPECT_STREQ(calls[1].path, "C:\\windows");
    EXPECT_TRUE(m_catcher.boxes.empty());
    if (test::Emulated())
        GTEST_SKIP() << "the started program's command line cannot be read under emulation";
    EXPECT_EQ(started.commandLine, L"explorer.exe \"Q:\\\"");
}

TEST(ErrorBox, ShowsNothingWhenATextIsMissing) {
    test::MessageBoxCatcher catcher;
    TestExtension extension;
    const DriveCommands& commands = extension.Commands();
    EXPECT_EQ(commands.ShowErrorMessage(nullptr, 97, 101, MB_OK), 0);
    EXPECT_EQ(commands.ShowErrorMessage(nullptr, 106, 200, MB_OK), 0);
    EXPECT_TRUE(catcher.boxes.empty());
    EXPECT_EQ(commands.ShowErrorMessage(nullptr, 106, 101, MB_OK), IDOK);
    EXPECT_EQ(catcher.boxes.size(), 1u);
}

// ---------------------------------------------------------------------------------------
// Help texts

TEST(HelpText, EveryLetterAndTheDeleteItemInAnsiAndUtf16) {
    TestExtension extension;
    for (UINT offset = 0; offset < kCommandCount; ++offset) {
        if (offset == kPopupOffset)
            continue;
        const unsigned id = offset == kDeleteOffset ? 105 : 104;
        const char letter = char('A' + offset);
        char ansi[256];
        ASSERT_EQ(extension.GetCommandString(offset, GCS_HELPTEXTA, nullptr, ansi, 256), S_OK);
        EXPECT_EQ(std::string(ansi), expected::ShownAnsi(id, letter));
        // The UTF-16 text is the stored one, whatever the thread's code page.
        wchar_t wide[256];
        ASSERT_EQ(extension.GetCommandString(offset, GCS_HELPTEXTW, nullptr,
                                             reinterpret_cast<CHAR*>(wide), 256),
                  S_OK);
        EXPECT_EQ(std::u16string(reinterpret_cast<char16_t*>(wide)),
                  expected::ShownUtf16(id, letter));
    }
}

TEST(HelpText, OffsetsWithoutTextGiveTheEmptyText) {
    TestExtension extension;
    for (UINT_PTR offset : {26u, 28u, 30u, 0xFFFFu}) {
        char ansi[8] = "xxxxxxx";
        EXPECT_EQ(extension.GetCommandString(offset, GCS_HELPTEXTA, nullptr, ansi, 8), S_OK);
        EXPECT_STREQ(ansi, "");
        wchar_t wide[8] = L"xxxxxxx";
        EXPECT_EQ(extension.GetCommandString(offset, GCS_HELPTEXTW, nullptr,
                                             reinterpret_cast<CHAR*>(wide), 8),
                  S_OK);
        EXPECT_EQ(wide[0], L'\0');
    }
}

TEST(HelpText, VerbsAndValidationAreRefusedWithoutTouchingTheBuffer) {
    TestExtension extension;
    for (UINT type : {GCS_VERBA, GCS_VALIDATEA, GCS_VERBW, GCS_VALIDATEW}) {
        char buffer[8] = "xxxxxxx";
        EXPECT_EQ(extension.GetCommandString(0, type, nullptr, buffer, 8), E_INVALIDARG);
        EXPECT_STREQ(buffer, "xxxxxxx");
    }
    EXPECT_EQ(extension.GetCommandString(0, GCS_HELPTEXTA, nullptr, nullptr, 8), E_INVALIDARG);
    EXPECT_EQ(extension.GetCommandString(0, GCS_HELPTEXTW, nullptr, nullptr, 8), E_INVALIDARG);
}

TEST(HelpText, CchMaxCountsBytesForAnsiAndCodeUnitsForUtf16) {
    TestExtension extension;
    char ansi[8];
    FillMemory(ansi, sizeof(ansi), 'x');
    ASSERT_EQ(extension.GetCommandString(0, GCS_HELPTEXTA, nullptr, ansi, 5), S_OK);
    EXPECT_EQ(std::string(ansi), expected::ShownAnsi(104).substr(0, 4));
    EXPECT_EQ(ansi[5], 'x');

    wchar_t wide[8];
    for (wchar_t& unit : wide)
        unit = L'x';
    ASSERT_EQ(
        extension.GetCommandString(0, GCS_HELPTEXTW, nullptr, reinterpret_cast<CHAR*>(wide), 5),
        S_OK);
    EXPECT_EQ(std::u16string(reinterpret_cast<char16_t*>(wide)),
              expected::ShownUtf16(104).substr(0, 4));
    EXPECT_EQ(wide[5], L'x');
}

} // namespace
