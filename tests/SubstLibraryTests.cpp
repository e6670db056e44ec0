#include <gtest/gtest.h>
#include <vector>
#include "extension/SubstLibrary.h"
#include "server/ModuleInstance.h"
#include "tests/SubstDoubles.h"

namespace {

std::wstring SystemFolder() {
    wchar_t folder[MAX_PATH];
    GetSystemDirectoryW(folder, MAX_PATH);
    return std::wstring(folder) + L"\\";
}

std::wstring WindowsFolder() {
    wchar_t folder[MAX_PATH];
    GetWindowsDirectoryW(folder, MAX_PATH);
    return std::wstring(folder) + L"\\";
}

using test::LoadedSubst;

std::wstring LoadedSubstPath() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(LoadedSubst(), path, MAX_PATH);
    return path;
}

// Puts SUBST.DLL doubles where the binding may look, and takes them all away again.
class SubstLibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
        SKIP_WITHOUT_ANSI_RUN_FOLDER(); // the server finds SUBST.DLL beside it by its ANSI path
        RemoveAll();
    }
    void TearDown() override {
        SetCurrentDirectoryW(test::RunFolder().c_str());
        SetEnvironmentVariableW(L"PATH", m_savedPath.c_str());
        RemoveAll();
    }

    void Place(const char* build, const std::wstring& folder) {
        const std::wstring target = folder + L"SUBST.DLL";
        ASSERT_TRUE(CopyFileW(test::InRunFolder(build).c_str(), target.c_str(), FALSE)) << target;
        m_placed.push_back(target);
    }

    void SetResult(SubstExport which, int result) {
        test::SubstRecorder().SetResult(which, result);
    }
    std::vector<SubstCall> Calls() { return test::SubstRecorder().Calls(); }

private:
    void RemoveAll() {
        ASSERT_EQ(LoadedSubst(), nullptr) << "a SUBST.DLL is still loaded";
        for (const std::wstring& folder : {test::RunFolder(), SystemFolder(), WindowsFolder()})
            DeleteFileW((folder + L"SUBST.DLL").c_str());
        for (const std::wstring& path : m_placed)
            DeleteFileW(path.c_str());
        m_placed.clear();
    }

    std::vector<std::wstring> m_placed;
    std::wstring m_savedPath = [] {
        wchar_t path[32768];
        const DWORD length = GetEnvironmentVariableW(L"PATH", path, ARRAYSIZE(path));
        return std::wstring(path, length < ARRAYSIZE(path) ? length : 0);
    }();
};

TEST_F(SubstLibraryTest, WithoutTheLibraryNothingIsLoadedAndEveryCallFails) {
    SubstLibrary binding(moduleInstance.instance, true);
    EXPECT_FALSE(binding.IsLoaded());
    char buffer[261] = {};
    EXPECT_EQ(binding.Create(3, "C:\\folder"), -1);
    EXPECT_EQ(binding.Query(3, buffer, 260), -1);
    EXPECT_EQ(binding.Delete(3), -1);
    EXPECT_TRUE(binding.Free());
}

TEST_F(SubstLibraryTest, ConstructionWithoutLoadingLoadsNothing) {
    Place("subst_recording.dll", test::RunFolder());
    SubstLibrary binding(moduleInstance.instance, false);
    EXPECT_FALSE(binding.IsLoaded());
    EXPECT_EQ(LoadedSubst(), nullptr);
    EXPECT_EQ(binding.Create(1, "C:\\"), -1);
}

TEST_F(SubstLibraryTest, ForwardsEveryCallWithItsArgumentsAndResultUnchanged) {
    Place("subst_recording.dll", test::RunFolder());
    SubstLibrary binding(moduleInstance.instance, true);
    ASSERT_TRUE(binding.IsLoaded());
    EXPECT_EQ(LoadedSubstPath(), test::InRunFolder("SUBST.DLL"));

    const int results[] = {0, 1, -1, -12345, 0x7FFFFFFF, static_cast<int>(0x80000000)};
    for (int result : results) {
        SetResult(SubstCreate, result);
        SetResult(SubstQuery, result);
        SetResult(SubstDelete, result);
        char buffer[261] = {};
        EXPECT_EQ(binding.Create(17, "C:\\some folder\\x"), result);
        EXPECT_EQ(binding.Query(40, buffer, 260), result);
        EXPECT_EQ(binding.Delete(-3), result);
    }
    const std::vector<SubstCall> calls = Calls();
    ASSERT_EQ(calls.size(), 3 * std::size(results));
    for (size_t i = 0; i < calls.size(); i += 3) {
        EXPECT_EQ(calls[i].which, SubstCreate);
        EXPECT_EQ(calls[i].drive, 17);
        EXPECT_STREQ(calls[i].path, "C:\\some folder\\x");
        EXPECT_EQ(calls[i + 1].which, SubstQuery);
        EXPECT_EQ(calls[i + 1].drive, 40); // no range test
        EXPECT_EQ(calls[i + 1].size, 260);
        EXPECT_EQ(calls[i + 2].which, SubstDelete);
        EXPECT_EQ(calls[i + 2].drive, -3);
    }
}

struct MissingExport {
    const char* build;
    bool createForwarded, queryForwarded, deleteForwarded;
};

class SubstLibraryMissingExport : public SubstLibraryTest,
                                  public ::testing::WithParamInterface<MissingExport> {};

// The lookup stops at the first missing export, so everything after it is missing too.
TEST_P(SubstLibraryMissingExport, AnswersMinusOneFromTheFirstGapOn) {
    const MissingExport& row = GetParam();
    Place(row.build, test::RunFolder());
    SubstLibrary binding(moduleInstance.instance, true);
    ASSERT_TRUE(binding.IsLoaded());
    SetResult(SubstCreate, 7);
    SetResult(SubstQuery, 8);
    SetResult(SubstDelete, 9);
    char buffer[261] = {};
    EXPECT_EQ(binding.Create(2, "C:\\x"), row.createForwarded ? 7 : -1);
    EXPECT_EQ(binding.Query(2, buffer, 260), row.queryForwarded ? 8 : -1);
    EXPECT_EQ(binding.Delete(2), row.deleteForwarded ? 9 : -1);
    const size_t forwarded = row.createForwarded + row.queryForwarded + row.deleteForwarded;
    EXPECT_EQ(Calls().size(), forwarded);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SubstLibraryMissingExport,
    ::testing::Values(MissingExport{"subst_no_create.dll", false, false, false},
                      MissingExport{"subst_no_query.dll", true, false, false},
                      MissingExport{"subst_no_delete.dll", true, true, false}));

TEST_F(SubstLibraryTest, LoadingTwiceLoadsOnceAndFreeUnloads) {
    Place("subst_recording.dll", test::RunFolder());
    {
        SubstLibrary binding(moduleInstance.instance, true);
        ASSERT_TRUE(binding.IsLoaded());
        EXPECT_TRUE(binding.Load());
        // One Free must be enough: a second LoadLibrary would keep the module loaded.
        EXPECT_TRUE(binding.Free());
        EXPECT_FALSE(binding.IsLoaded());
        EXPECT_EQ(LoadedSubst(), nullptr);
        EXPECT_TRUE(binding.Free());
        EXPECT_TRUE(binding.Load());
        EXPECT_NE(LoadedSubst(), nullptr);
    }
    EXPECT_EQ(LoadedSubst(), nullptr) << "the destructor frees the library";
}

TEST_F(SubstLibraryTest, EachBindingHoldsItsOwnLoad) {
    Place("subst_recording.dll", test::RunFolder());
    {
        SubstLibrary first(moduleInstance.instance, true);
        {
            SubstLibrary second(moduleInstance.instance, true);
            EXPECT_TRUE(second.IsLoaded());
        }
        EXPECT_NE(LoadedSubst(), nullptr);
        EXPECT_EQ(first.Delete(1), 0);
    }
    EXPECT_EQ(LoadedSubst(), nullptr);
}

TEST_F(SubstLibraryTest, NeverLoadsFromTheCurrentDirectoryOrPath) {
    test::ScratchFolder planted("planted");
    Place("subst_recording.dll", planted.Path() + L"\\");
    ASSERT_TRUE(SetCurrentDirectoryW(planted.Path().c_str()));
    ASSERT_TRUE(SetEnvironmentVariableW(L"PATH", planted.Path().c_str()));
    SubstLibrary binding(moduleInstance.instance, true);
    EXPECT_FALSE(binding.IsLoaded());
    EXPECT_EQ(LoadedSubst(), nullptr);
}

TEST_F(SubstLibraryTest, LooksBesideTheServerThenInTheSystemThenInTheWindowsFolder) {
    Place("subst_no_delete.dll", WindowsFolder());
    {
        SubstLibrary binding(moduleInstance.instance, true);
        ASSERT_TRUE(binding.IsLoaded());
        EXPECT_EQ(LoadedSubstPath(), WindowsFolder() + L"SUBST.DLL");
    }
    Place("subst_no_query.dll", SystemFolder());
    {
        SubstLibrary binding(moduleInstance.instance, true);
        ASSERT_TRUE(binding.IsLoaded());
        EXPECT_EQ(LoadedSubstPath(), SystemFolder() + L"SUBST.DLL");
    }
    Place("subst_recording.dll", test::RunFolder());
    {
        SubstLibrary binding(moduleInstance.instance, true);
        ASSERT_TRUE(binding.IsLoaded());
        EXPECT_EQ(LoadedSubstPath(), test::InRunFolder("SUBST.DLL"));
        EXPECT_EQ(binding.Delete(4), 0) << "the complete double beside the server";
    }
}

} // namespace
