// Every folder name reaches exactly the folder the user chose, all the way from the shell's
// selection through the handler and the companion SUBST.DLL to the DOS device; and
// registration from such folders either writes every row exactly or writes nothing.
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "tests/ExtensionHarness.h"
#include "tests/SubstDoubles.h"
#include "tests/TestSupport.h"

namespace {

const wchar_t kBase[] = L"C:\\lwnames";

struct FolderCase {
    const char* label;
    std::wstring name; // below kBase; empty for the drive root C:
    bool offeredUnder932;
    bool offeredUnder1252;
    std::wstring sibling; // a folder that a best-fitted name would reach instead
};

std::wstring Repeat(const wchar_t* unit, int count) {
    std::wstring text;
    while (count-- > 0)
        text += unit;
    return text;
}

std::vector<FolderCase> Cases() {
    // "C:\lwnames\" is 11 bytes: 124 double-byte characters in two levels make 259 bytes.
    const std::wstring longest = Repeat(L"\u3042", 62) + L"\\" + Repeat(L"\u3042", 61) + L"a";
    return {
        {"plain ASCII", L"Plain", true, true, L""},
        {"blanks, quote, percent, braces", L"a b 'c' 100% {x}", true, true, L""},
        {"ends in a 0x5C trail byte (\u8868)", L"\u4E00\u89A7\u8868", true, false, L""},
        {"ends in a 0x5C trail byte (\u30BD)", L"\u30E1\u30E2\u30BD", true, false, L""},
        {"0x5C 0x7C 0x7B 0x7D trail bytes", L"\u8868\u30DD\u30DC\u30DE\u80FD", true, false, L""},
        {"outside both code pages (Korean)", L"\uD55C\uAD6D\uC5B4", false, false, L""},
        {"accented, best-fit sibling exists", L"\u00E9t\u00E9", false, true, L"ete"},
        {"umlaut, best-fit sibling exists", L"\u00FC", false, true, L"u"},
        {"259 bytes of double-byte text", longest, true, false, L""},
        {"260 bytes of double-byte text", longest + L"b", false, false, L""},
        {"259 characters of double-byte text",
         Repeat(L"\u8868", 80) + L"\\" + Repeat(L"\u30BD", 80) + L"\\" + Repeat(L"\u3042", 80) +
             L"\\" + Repeat(L"\u3044", 5),
         false, false, L""},
        {"drive root", L"", true, true, L""},
    };
}

// Makes every level of a folder below kBase, and removes them again.
class FolderTree {
public:
    explicit FolderTree(const std::wstring& name) {
        std::wstring path = kBase;
        m_levels.push_back(path);
        CreateDirectoryW(path.c_str(), nullptr);
        size_t start = 0;
        while (start < name.size()) {
            const size_t end = name.find(L'\\', start);
            path += L"\\" + name.substr(start, end - start);
            CreateDirectoryW(path.c_str(), nullptr);
            m_levels.push_back(path);
            if (end == std::wstring::npos)
                break;
            start = end + 1;
        }
    }
    ~FolderTree() {
        for (auto level = m_levels.rbegin(); level != m_levels.rend(); ++level)
            RemoveDirectoryW(level->c_str());
    }
    const std::wstring& Path() const { return m_levels.back(); }
    bool Exists() const { return GetFileAttributesW(Path().c_str()) != INVALID_FILE_ATTRIBUTES; }

private:
    std::vector<std::wstring> m_levels;
};

class FolderNameTest : public ::testing::TestWithParam<FolderCase> {
protected:
    void SetUp() override {
        SKIP_WITHOUT_ANSI_RUN_FOLDER(); // what is offered depends on the folder's ANSI form
        ASSERT_TRUE(m_subst.Placed());
    }
    test::PlacedSubst m_subst{"subst_companion.dll"};
};

TEST_P(FolderNameTest, TheMenuMapsExactlyTheChosenFolderOrIsNotOffered) {
    const FolderCase& c = GetParam();
    SCOPED_TRACE(c.label);
    const bool offered = test::IsJapaneseCodePage() ? c.offeredUnder932 : c.offeredUnder1252;
    const bool root = c.name.empty();
    FolderTree tree(root ? L"" : c.name);
    std::unique_ptr<FolderTree> sibling(c.sibling.empty() ? nullptr : new FolderTree(c.sibling));
    const std::wstring folder = root ? L"C:\\" : tree.Path();
    ASSERT_TRUE(root || tree.Exists()) << "the platform made no such folder";

    test::TestExtension extension;
    EXPECT_EQ(extension.Select(std::vector<std::wstring>{folder}), offered ? S_OK : E_INVALIDARG);
    test::ShellMenu menu;
    const HRESULT items = test::Query(extension, menu.Get());
    EXPECT_EQ(items, offered ? test::kFolderItems : S_OK);
    EXPECT_EQ(GetMenuItemCount(menu.Get()), offered ? 4 : 3);
    if (!offered)
        return;

    const int drive = test::FreeDrive();
    ASSERT_NE(drive, 0);
    EXPECT_EQ(extension.Run(static_cast<UINT>(drive - 1)), S_OK);
    EXPECT_EQ(test::DeviceTarget(drive), L"\\??\\" + folder);

    const std::string driveRoot = std::string(1, static_cast<char>('A' + drive - 1)) + ":\\";
    test::TestExtension onDrive;
    ASSERT_EQ(onDrive.Select({driveRoot}), S_OK);
    test::ShellMenu driveMenu;
    EXPECT_EQ(test::Query(onDrive, driveMenu.Get()), test::kRootItems) << "the delete item";
    EXPECT_EQ(onDrive.Run(kDeleteOffset), S_OK);
    EXPECT_EQ(test::DeviceTarget(drive), L"<none>");
}

INSTANTIATE_TEST_SUITE_P(Names, FolderNameTest, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<FolderCase>& info) {
                             return "case" + std::to_string(info.index);
                         });

// The library held for the length of a test.
class LoadedCompanion {
public:
    LoadedCompanion() : m_module(LoadLibraryW(test::InRunFolder("SUBST.DLL").c_str())) {}
    ~LoadedCompanion() {
        if (m_module)
            FreeLibrary(m_module);
    }
    template <typename Proc> Proc Export(const char* name) const {
        return reinterpret_cast<Proc>(reinterpret_cast<void*>(GetProcAddress(m_module, name)));
    }

private:
    HMODULE m_module;
};

TEST(CompanionText, MapsAFolderEndingInATrailByteBackslashNotItsParent) {
    FolderTree tree(L"\u8868");
    char ansi[MAX_PATH] = {};
    BOOL lossy = FALSE;
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, tree.Path().c_str(), -1, ansi, MAX_PATH,
                        nullptr, &lossy);
    if (lossy)
        GTEST_SKIP() << "this code page has no \u8868";

    test::PlacedSubst placed("subst_companion.dll");
    const LoadedCompanion companion;
    const auto create = companion.Export<int(WINAPI*)(int, const char*)>("CreateSubst");
    const auto query = companion.Export<int(WINAPI*)(int, char*, int)>("QuerySubst");
    const auto remove = companion.Export<int(WINAPI*)(int)>("DeleteSubst");
    ASSERT_TRUE(create && query && remove);
    const int drive = test::FreeDrive();
    // With and without the final backslash, whose byte follows the trail byte 0x5C.
    for (const std::string& path : {std::string(ansi), std::string(ansi) + "\\"}) {
        ASSERT_EQ(create(drive, path.c_str()), 0) << path;
        EXPECT_EQ(test::DeviceTarget(drive), L"\\??\\" + tree.Path());
        char back[MAX_PATH] = {};
        EXPECT_EQ(query(drive, back, MAX_PATH), 0);
        EXPECT_STREQ(back, ansi);
        EXPECT_EQ(remove(drive), 0);
    }
}

} // namespace
