// The shell's item-array functions are Vista's: the test drives the command as Windows 11 does.
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0600
#undef _WIN32_IE
#define _WIN32_IE 0x0700
#include <gtest/gtest.h>
#include <shlwapi.h>
#include <shlobj.h>
#include <string>
#include <vector>
#include "tests/PolicyKeys.h"
#include "tests/ExpectedTexts.h"
#include "tests/ExtensionHarness.h"
#include "tests/MessageBoxCatcher.h"
#include "tests/ServerDll.h"
#include "tests/SubstDoubles.h"
#include "tests/TestSupport.h"

// The Explorer command of the built DLL, driven through COM as Windows 11's Explorer drives it.
namespace {

using test::kExplorerCommandClass;
using test::kExplorerDeleteCommandClass;

std::u16string Taken(LPWSTR text) {
    std::u16string copy = text ? reinterpret_cast<const char16_t*>(text) : u"";
    CoTaskMemFree(text);
    return copy;
}

// The shell's item array for paths, made by the platform.
IShellItemArray* ItemsFor(const std::vector<std::wstring>& paths) {
    std::vector<PIDLIST_ABSOLUTE> lists;
    for (const std::wstring& path : paths) {
        PIDLIST_ABSOLUTE list = nullptr;
        if (SUCCEEDED(SHParseDisplayName(path.c_str(), nullptr, &list, 0, nullptr)))
            lists.push_back(list);
    }
    IShellItemArray* items = nullptr;
    if (lists.size() == paths.size())
        SHCreateShellItemArrayFromIDLists(static_cast<UINT>(lists.size()),
                                          const_cast<PCIDLIST_ABSOLUTE_ARRAY>(lists.data()),
                                          &items);
    for (PIDLIST_ABSOLUTE list : lists)
        CoTaskMemFree(list);
    return items;
}

// An item array for a path that no item of this machine can have (a network share): the
// shell hands such arrays over, but there is no network here to make one from.
class PathItem final : public IShellItemArray, public IShellItem {
public:
    explicit PathItem(const wchar_t* path) : m_path(path) {}
    STDMETHODIMP QueryInterface(REFIID, void** ppv) override {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP BindToHandler(IBindCtx*, REFGUID, REFIID, void**) override { return E_NOTIMPL; }
    STDMETHODIMP GetPropertyStore(GETPROPERTYSTOREFLAGS, REFIID, void**) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP GetPropertyDescriptionList(REFPROPERTYKEY, REFIID, void**) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP GetAttributes(SIATTRIBFLAGS, SFGAOF, SFGAOF*) override { return E_NOTIMPL; }
    STDMETHODIMP GetCount(DWORD* count) override {
        *count = 1;
        return S_OK;
    }
    STDMETHODIMP GetItemAt(DWORD, IShellItem** item) override {
        *item = this;
        return S_OK;
    }
    STDMETHODIMP EnumItems(IEnumShellItems**) override { return E_NOTIMPL; }
    STDMETHODIMP GetParent(IShellItem**) override { return E_NOTIMPL; }
    STDMETHODIMP GetDisplayName(SIGDN, LPWSTR* name) override { return SHStrDupW(m_path, name); }
    STDMETHODIMP GetAttributes(SFGAOF, SFGAOF*) override { return E_NOTIMPL; }
    STDMETHODIMP Compare(IShellItem*, SICHINTF, int*) override { return E_NOTIMPL; }

private:
    const wchar_t* m_path;
};

// The main command's subcommands, one a free letter, given back when the test ends.
class Letters : public std::vector<IExplorerCommand*> {
public:
    explicit Letters(IExplorerCommand* command) {
        ComPtr<IEnumExplorerCommand> letters;
        EXPECT_EQ(command->EnumSubCommands(letters.Receive()), S_OK);
        IExplorerCommand* next[4] = {};
        ULONG fetched = 0;
        while (letters && SUCCEEDED(letters->Next(4, next, &fetched)) && fetched > 0)
            insert(end(), next, next + fetched);
    }
    ~Letters() {
        for (IExplorerCommand* command : *this)
            command->Release();
    }
    Letters(const Letters&) = delete;
    Letters& operator=(const Letters&) = delete;
};

class ExplorerCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        SKIP_WITHOUT_ANSI_RUN_FOLDER(); // the server finds SUBST.DLL beside it by its ANSI path
        ASSERT_TRUE(m_dll.Loaded());
        m_command = Make(kExplorerCommandClass);
        ASSERT_NE(m_command, nullptr);
        IClassFactory* factory = nullptr;
        ASSERT_EQ(m_dll.getClassObject(kExplorerCommandClass, IID_IClassFactory,
                                       reinterpret_cast<void**>(&factory)),
                  S_OK);
        IUnknown* aggregated = nullptr;
        EXPECT_EQ(factory->CreateInstance(reinterpret_cast<IUnknown*>(factory), IID_IUnknown,
                                          reinterpret_cast<void**>(&aggregated)),
                  CLASS_E_NOAGGREGATION);
        factory->Release();
    }
    void TearDown() override {
        if (m_command)
            m_command->Release();
        // Every command and enumerator went back: the module may go.
        EXPECT_EQ(m_dll.canUnloadNow(), S_OK);
    }

    IExplorerCommand* Make(REFCLSID classId) {
        IClassFactory* factory = nullptr;
        IExplorerCommand* command = nullptr;
        if (SUCCEEDED(m_dll.getClassObject(classId, IID_IClassFactory,
                                           reinterpret_cast<void**>(&factory)))) {
            factory->CreateInstance(nullptr, __uuidof(IExplorerCommand),
                                    reinterpret_cast<void**>(&command));
            factory->Release();
        }
        return command;
    }

    test::PlacedSubst m_subst{"subst_recording.dll"};
    test::ServerDll m_dll;
    IExplorerCommand* m_command = nullptr;
};

TEST_F(ExplorerCommandTest, ShownWhereTheClassicMenuOffersItsPopupAndHiddenElsewhere) {
    test::ScratchFolder folder("explorer-command");
    const std::wstring file = folder.Path() + L"\\file.txt";
    CloseHandle(CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    // A character that neither code page 932 nor 1252 holds: its ANSI path names another folder.
    const std::wstring foreign = folder.Path() + L"\\L\u0100W";
    ASSERT_TRUE(CreateDirectoryW(foreign.c_str(), nullptr));
    PathItem network(L"\\\\server\\share\\folder");
    // The fast pass answers from the text alone, or leaves the answer to the slow one.
    const struct {
        const char* name;
        IShellItemArray* items;
        HRESULT fast;
        EXPCMDSTATE state;
    } rows[] = {
        {"folder", ItemsFor({folder.Path()}), E_PENDING, ECS_ENABLED},
        {"drive root", ItemsFor({L"C:\\"}), E_PENDING, ECS_ENABLED},
        {"file", ItemsFor({file}), E_PENDING, ECS_HIDDEN},
        {"two folders", ItemsFor({folder.Path(), L"C:\\"}), S_OK, ECS_HIDDEN},
        {"network path", &network, S_OK, ECS_HIDDEN},
        {"name the code page cannot hold", ItemsFor({foreign}), S_OK, ECS_HIDDEN},
    };
    for (const auto& row : rows) {
        ASSERT_NE(row.items, nullptr) << row.name;
        EXPCMDSTATE state = ECS_DISABLED;
        EXPECT_EQ(m_command->GetState(row.items, FALSE, &state), row.fast) << row.name;
        EXPECT_EQ(state, ECS_HIDDEN) << row.name;
        EXPECT_EQ(test::LoadedSubst(), nullptr) << row.name << ": the fast pass loads nothing";
    }
    for (const auto& row : rows) {
        EXPCMDSTATE state = ECS_DISABLED;
        EXPECT_EQ(m_command->GetState(row.items, TRUE, &state), S_OK) << row.name;
        EXPECT_EQ(state, row.state) << row.name;
        if (row.items != &network)
            row.items->Release();
    }
    RemoveDirectoryW(foreign.c_str());
    DeleteFileW(file.c_str());
}

// Hidden by the administrator's policy, for the machine or the user.
TEST_F(ExplorerCommandTest, ThePolicyHidesTheCommands) {
    for (const HKEY scope : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        const test::PolicyKeys keys;
        test::PolicyKeys::Set(scope, Policy::kHideCommandsValue, 1);
        IShellItemArray* items = ItemsFor({L"C:\\"});
        ASSERT_NE(items, nullptr);
        EXPCMDSTATE state = ECS_ENABLED;
        EXPECT_EQ(m_command->GetState(items, TRUE, &state), S_OK);
        EXPECT_EQ(state, ECS_HIDDEN);
        items->Release();
    }
}

TEST_F(ExplorerCommandTest, TitlesFlagsAndIconAreTheGroupsAndOneSubcommandPerFreeLetter) {
    LPWSTR text = nullptr;
    ASSERT_EQ(m_command->GetTitle(nullptr, &text), S_OK);
    EXPECT_EQ(Taken(text), expected::ShownUtf16(101));
    EXPCMDFLAGS flags = 0;
    ASSERT_EQ(m_command->GetFlags(&flags), S_OK);
    EXPECT_EQ(flags, static_cast<EXPCMDFLAGS>(ECF_HASSUBCOMMANDS));
    ASSERT_EQ(m_command->GetIcon(nullptr, &text), S_OK);
    const std::u16string icon = Taken(text);
    const std::wstring dll = test::InRunFolder("Lanterwell.dll") + L",-1";
    EXPECT_EQ(icon, std::u16string(dll.begin(), dll.end()));
    EXPECT_NE(FindResourceW(m_dll.Module(), MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(14)), nullptr);

    const DWORD drives = GetLogicalDrives();
    Letters letters(m_command);
    size_t index = 0;
    for (UINT letter = 0; letter < kLetterCount; ++letter) {
        if (drives & (1u << letter))
            continue;
        ASSERT_LT(index, letters.size());
        std::u16string title = expected::ShownUtf16(102, char('A' + letter));
        title.erase(title.find(u'&'), 1);
        ASSERT_EQ(letters[index]->GetTitle(nullptr, &text), S_OK);
        EXPECT_EQ(Taken(text), title);
        ASSERT_EQ(letters[index]->GetToolTip(nullptr, &text), S_OK);
        EXPECT_EQ(Taken(text), expected::ShownUtf16(104, char('A' + letter)));
        ASSERT_EQ(letters[index]->GetFlags(&flags), S_OK);
        EXPECT_EQ(flags, static_cast<EXPCMDFLAGS>(ECF_DEFAULT));
        ++index;
    }
    EXPECT_EQ(index, letters.size());
}

TEST_F(ExplorerCommandTest, ALetterMapsExactlyTheChosenFolder) {
    test::PlacedSubst companion("subst_companion.dll");
    test::ScratchFolder folder("explorer-command-map");
    Letters letters(m_command);
    ASSERT_FALSE(letters.empty());
    IExplorerCommand* last = letters.back();
    LPWSTR text = nullptr;
    ASSERT_EQ(last->GetTitle(nullptr, &text), S_OK);
    const std::u16string title = Taken(text);
    const wchar_t letter = wchar_t(title[title.find(u':') - 1]);

    IShellItemArray* items = ItemsFor({folder.Path()});
    ASSERT_NE(items, nullptr);
    {
        test::KeyboardShift shift(true);
        EXPECT_EQ(last->Invoke(items, nullptr), S_OK);
    }
    const wchar_t drive[] = {letter, L':', 0};
    EXPECT_EQ(test::DeviceTarget(letter - L'A' + 1), L"\\??\\" + folder.Path());
    DefineDosDeviceW(DDD_REMOVE_DEFINITION, drive, nullptr);
    items->Release();
}

TEST_F(ExplorerCommandTest, AFailedMappingShowsTheClassicBox) {
    SKIP_WITHOUT_ANSI_RUN_FOLDER(); // the folder as SUBST.DLL is handed it
    test::SubstRecorder recorder;
    recorder.SetResult(SubstCreate, 1);
    Letters letters(m_command);
    ASSERT_FALSE(letters.empty());
    IShellItemArray* items = ItemsFor({test::RunFolder()});
    ASSERT_NE(items, nullptr);
    test::MessageBoxCatcher catcher;
    EXPECT_EQ(letters[0]->Invoke(items, nullptr), S_OK);
    ASSERT_EQ(catcher.boxes.size(), 1u);
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(catcher.boxes[0].wideText.c_str())),
              expected::ShownUtf16(106));
    EXPECT_TRUE(catcher.boxes[0].hasErrorIcon);
    const auto calls = recorder.Calls();
    ASSERT_EQ(calls.size(), 1u);
    const std::string folder = test::AnsiInRunFolder("");
    EXPECT_EQ(calls[0].path, folder.substr(0, folder.size() - 1));
    items->Release();
}

// "Delete virtual drive" stands on the root of a virtual drive only, as in the classic menu,
// and deletes it.
TEST_F(ExplorerCommandTest, TheDeleteCommandStandsOnVirtualDriveRootsOnly) {
    test::PlacedSubst companion("subst_companion.dll");
    test::ScratchFolder folder("explorer-command-delete");
    IExplorerCommand* remove = Make(kExplorerDeleteCommandClass);
    ASSERT_NE(remove, nullptr);
    wchar_t letter = L'Z';
    while (letter > L'D' && (GetLogicalDrives() & (1u << (letter - L'A'))))
        --letter;
    const wchar_t drive[] = {letter, L':', 0};
    const wchar_t root[] = {letter, L':', L'\\', 0};
    ASSERT_TRUE(DefineDosDeviceW(0, drive, folder.Path().c_str()));
    PathItem virtualRoot(root);
    PathItem realRoot(L"C:\\");
    PathItem plainFolder(folder.Path().c_str());
    const struct {
        const char* name;
        IShellItemArray* items;
        HRESULT fast;
        EXPCMDSTATE state;
    } rows[] = {
        {"virtual drive root", &virtualRoot, E_PENDING, ECS_ENABLED},
        {"real drive root", &realRoot, E_PENDING, ECS_HIDDEN},
        {"folder", &plainFolder, S_OK, ECS_HIDDEN},
    };
    for (const auto& row : rows) {
        EXPCMDSTATE state = ECS_DISABLED;
        EXPECT_EQ(remove->GetState(row.items, FALSE, &state), row.fast) << row.name;
        EXPECT_EQ(remove->GetState(row.items, TRUE, &state), S_OK) << row.name;
        EXPECT_EQ(state, row.state) << row.name;
    }
    LPWSTR text = nullptr;
    ASSERT_EQ(remove->GetTitle(nullptr, &text), S_OK);
    EXPECT_EQ(Taken(text), expected::ShownUtf16(103));
    EXPCMDFLAGS flags = ECF_HASSUBCOMMANDS;
    EXPECT_EQ(remove->GetFlags(&flags), S_OK);
    EXPECT_EQ(flags, static_cast<EXPCMDFLAGS>(ECF_DEFAULT));
    EXPECT_EQ(remove->Invoke(&virtualRoot, nullptr), S_OK);
    EXPECT_EQ(test::DeviceTarget(letter - L'A' + 1), L"<none>") << "the drive went";
    remove->Release();
}

// SUBST.DLL gone after the menu was shown: the command says so in the classic box.
TEST_F(ExplorerCommandTest, AVanishedLibraryShowsTheClassicBox) {
    Letters letters(m_command);
    ASSERT_FALSE(letters.empty());
    IShellItemArray* items = ItemsFor({test::RunFolder()});
    ASSERT_NE(items, nullptr);
    ASSERT_TRUE(DeleteFileW(test::InRunFolder("SUBST.DLL").c_str()));
    test::MessageBoxCatcher catcher;
    EXPECT_EQ(letters[0]->Invoke(items, nullptr), S_OK);
    ASSERT_EQ(catcher.boxes.size(), 1u);
    EXPECT_TRUE(catcher.boxes[0].hasErrorIcon);
    items->Release();
}

TEST_F(ExplorerCommandTest, NullAndInvalidArgumentsAreAnsweredNeverFollowed) {
    Letters letters(m_command);
    ASSERT_FALSE(letters.empty());
    for (IExplorerCommand* command : {m_command, letters[0]}) {
        EXPECT_EQ(command->GetTitle(nullptr, nullptr), E_POINTER);
        EXPECT_EQ(command->GetIcon(nullptr, nullptr), E_POINTER);
        EXPECT_EQ(command->GetToolTip(nullptr, nullptr), E_POINTER);
        EXPECT_EQ(command->GetCanonicalName(nullptr), E_POINTER);
        EXPECT_EQ(command->GetState(nullptr, FALSE, nullptr), E_POINTER);
        EXPCMDSTATE state = ECS_ENABLED;
        EXPECT_EQ(command->GetState(nullptr, FALSE, &state), E_INVALIDARG);
        EXPECT_EQ(state, ECS_HIDDEN);
        EXPECT_EQ(command->GetFlags(nullptr), E_POINTER);
        EXPECT_EQ(command->EnumSubCommands(nullptr), E_POINTER);
        EXPECT_TRUE(FAILED(command->Invoke(nullptr, nullptr)));
        IObjectWithSite* sited = nullptr;
        ASSERT_EQ(command->QueryInterface(IID_IObjectWithSite, reinterpret_cast<void**>(&sited)),
                  S_OK);
        void* site = reinterpret_cast<void*>(1);
        EXPECT_EQ(sited->GetSite(IID_IUnknown, &site), E_FAIL);
        EXPECT_EQ(site, nullptr);
        EXPECT_EQ(sited->GetSite(IID_IUnknown, nullptr), E_POINTER);
        sited->Release();
    }
    IEnumExplorerCommand* none = reinterpret_cast<IEnumExplorerCommand*>(1);
    EXPECT_EQ(letters[0]->EnumSubCommands(&none), E_NOTIMPL);
    EXPECT_EQ(none, nullptr);

    IEnumExplorerCommand* enumerator = nullptr;
    ASSERT_EQ(m_command->EnumSubCommands(&enumerator), S_OK);
    IExplorerCommand* out[2] = {};
    EXPECT_EQ(enumerator->Next(1, nullptr, nullptr), E_POINTER);
    EXPECT_EQ(enumerator->Next(2, out, nullptr), E_INVALIDARG);
    EXPECT_EQ(enumerator->Skip(100), S_FALSE);
    ULONG fetched = 7;
    EXPECT_EQ(enumerator->Next(1, out, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 0u);
    EXPECT_EQ(enumerator->Reset(), S_OK);
    IEnumExplorerCommand* clone = nullptr;
    ASSERT_EQ(enumerator->Clone(&clone), S_OK);
    EXPECT_EQ(clone->Next(1, out, nullptr), S_OK);
    out[0]->Release();
    clone->Release();
    enumerator->Release();
}

} // namespace
