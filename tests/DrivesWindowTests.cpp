// The Lanterwell window driven as a user drives it: Lanterwell.exe started as a process of its
// own, its controls worked through their own messages, its list read back from the window,
// and what it did read from the platform and the drive store.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <oleacc.h>
#include <memory>
#include <string>
#include <vector>
#include "tests/PolicyKeys.h"
#include "tests/ProcessWatch.h"
#include "tests/ScratchKey.h"
#include "tests/TestSupport.h"
#include "drives/window/DrivesIds.h"

namespace {
#ifndef DEADLINE
#define DEADLINE test::kHangDeadline
#endif

const wchar_t kSettingsKey[] = L"Software\\Lanterwell";
const wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// Polls until the condition holds; false only when the deadline that a hang reaches passes.
template <typename Condition> bool WaitFor(Condition condition) {
    for (DWORD waited = 0; waited < DEADLINE; waited += 20) {
        if (condition())
            return true;
        Sleep(20);
    }
    return false;
}

using test::Said;
const std::wstring kRestored = Said(L"restored at sign-in", L"サインイン時に復元");
const std::wstring kNotSaved = Said(L"not saved", L"保存なし");
const std::wstring kSavedAbsent = Said(L"saved, not present now", L"保存済み、現在は未割り当て");
const std::wstring kSavedOff = Said(L"saved; restoring at sign-in is turned off",
                                    L"保存済み、サインイン時の復元はオフに設定されています");
const std::wstring kUnreadable =
    Said(L"the saved entry is not a folder name", L"保存された内容はフォルダ名ではありません");

std::wstring Mapped(wchar_t letter) {
    const wchar_t name[] = {letter, L':', 0};
    wchar_t target[MAX_PATH] = {};
    return QueryDosDeviceW(name, target, MAX_PATH) ? target : L"";
}

// A value of a key below HKEY_CURRENT_USER, as raw bytes; false when there is none.
bool ReadValue(const wchar_t* path, const wchar_t* name, void* data, DWORD size) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_QUERY_VALUE, &key))
        return false;
    const LONG read =
        RegQueryValueExW(key, name, nullptr, nullptr, static_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    return read == ERROR_SUCCESS;
}

std::wstring Saved(wchar_t letter) {
    const wchar_t name[] = {letter, 0};
    wchar_t folder[MAX_PATH] = {};
    ReadValue(L"Software\\Lanterwell\\Drives", name, folder, sizeof(folder) - sizeof(wchar_t));
    return folder;
}

// The user's own restore setting; 0xFFFFFFFF for none.
DWORD RestoreSetting() {
    DWORD value = 0xFFFFFFFF;
    ReadValue(kSettingsKey, L"RestoreAtSignIn", &value, sizeof(value));
    return value;
}

struct DialogSearch {
    HWND owner;
    DWORD process; // 0: any
    HWND found;
};

BOOL CALLBACK FindOwnedDialog(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<DialogSearch*>(data);
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (GetWindow(window, GW_OWNER) == search->owner && IsWindowVisible(window) &&
        lstrcmpW(name, L"#32770") == 0 && (!search->process || search->process == process))
        search->found = window;
    return search->found == nullptr;
}

// The top-level dialog a window owns (the add dialog, a message box), or, for no owner, the one
// of that process; none: null.
HWND OwnedDialog(HWND owner, DWORD process = 0) {
    DialogSearch search = {owner, process, nullptr};
    EnumWindows(FindOwnedDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Starts a program with a command line; false when it cannot start.
bool Launch(std::wstring line, PROCESS_INFORMATION& process) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    return CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process) != FALSE;
}

// A list view cell read from the window's process, through memory of that process.
class RemoteList {
public:
    RemoteList(HWND list, HANDLE process) : m_list(list), m_process(process) {
        m_remote = static_cast<Block*>(
            VirtualAllocEx(process, nullptr, sizeof(Block), MEM_COMMIT, PAGE_READWRITE));
    }
    ~RemoteList() { VirtualFreeEx(m_process, m_remote, 0, MEM_RELEASE); }
    RemoteList(const RemoteList&) = delete;
    RemoteList& operator=(const RemoteList&) = delete;

    std::vector<std::wstring> Rows() {
        std::vector<std::wstring> rows;
        const int count = static_cast<int>(SendMessageW(m_list, LVM_GETITEMCOUNT, 0, 0));
        for (int row = 0; row < count; ++row)
            rows.push_back(Cell(row, 0) + L"|" + Cell(row, 1) + L"|" + Cell(row, 2));
        return rows;
    }
    void Select(int row) {
        Block block = {};
        block.item.stateMask = block.item.state = LVIS_SELECTED | LVIS_FOCUSED;
        WriteProcessMemory(m_process, m_remote, &block, sizeof(block), nullptr);
        SendMessageW(m_list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(m_remote));
    }

    // The width the list needs for a text in its own font.
    int TextWidth(const std::wstring& text) {
        Block block = {};
        text.copy(block.text, MAX_PATH - 1);
        WriteProcessMemory(m_process, m_remote, &block, sizeof(block), nullptr);
        return static_cast<int>(
            SendMessageW(m_list, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(m_remote->text)));
    }
    // Sends a message whose lParam points to a rectangle, placed in the window's process.
    LRESULT SendRect(HWND to, UINT message, WPARAM wParam, const RECT& rect) {
        Block block = {};
        static_assert(sizeof(block.text) >= sizeof(RECT), "a rectangle fits");
        memcpy(block.text, &rect, sizeof(rect));
        WriteProcessMemory(m_process, m_remote, &block, sizeof(block), nullptr);
        return SendMessageW(to, message, wParam, reinterpret_cast<LPARAM>(m_remote->text));
    }
    int ColumnWidth(int column) {
        return static_cast<int>(SendMessageW(m_list, LVM_GETCOLUMNWIDTH, column, 0));
    }

    // Ticks or unticks a row's box, as a click on it does.
    void Tick(int row, bool ticked) {
        Block block = {};
        block.item.stateMask = LVIS_STATEIMAGEMASK;
        block.item.state = INDEXTOSTATEIMAGEMASK(ticked ? 2 : 1);
        WriteProcessMemory(m_process, m_remote, &block, sizeof(block), nullptr);
        SendMessageW(m_list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(m_remote));
    }

private:
    struct Block {
        LVITEMW item;
        wchar_t text[MAX_PATH];
    };

    std::wstring Cell(int row, int column) {
        Block block = {};
        block.item.iSubItem = column;
        block.item.pszText = m_remote->text;
        block.item.cchTextMax = MAX_PATH;
        WriteProcessMemory(m_process, m_remote, &block, sizeof(block), nullptr);
        SendMessageW(m_list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(m_remote));
        ReadProcessMemory(m_process, m_remote, &block, sizeof(block), nullptr);
        block.text[MAX_PATH - 1] = 0;
        return block.text;
    }

    HWND m_list;
    HANDLE m_process;
    Block* m_remote = nullptr;
};

class DrivesWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (test::Emulated())
            GTEST_SKIP() << "under emulation one process cannot read another's memory";
        ForgetEverything();
        for (const char* name : {"picked", "typed"}) {
            m_folders.push_back(test::InRunFolder(std::string("window ") + name));
            CreateDirectoryW(m_folders.back().c_str(), nullptr);
        }
        Start();
    }
    void TearDown() override {
        Stop();
        ForgetEverything();
    }

    // The window closed as its close box closes it, and its process gone.
    void Stop() {
        // The list's block goes while its process, and the handle naming it, still exist: a
        // handle closed first is soon the next window's, and the block freed would be its.
        m_list.reset();
        if (m_process.hProcess) {
            // A dialog a failed test left open goes first, or the window could not close.
            for (HWND open; (open = OwnedDialog(m_window)) != nullptr;)
                if (!SendMessageTimeoutW(open, WM_COMMAND, IDCANCEL, 0, SMTO_ABORTIFHUNG,
                                         test::kHangDeadline, nullptr))
                    break;
            PostMessageW(m_window, WM_CLOSE, 0, 0);
            if (WaitForSingleObject(m_process.hProcess, test::kHangDeadline) != WAIT_OBJECT_0)
                TerminateProcess(m_process.hProcess, 1);
            CloseHandle(m_process.hProcess);
            CloseHandle(m_process.hThread);
            m_process = {};
        }
    }

    // The window, started with the folder picker answered by its test hook.
    void Start() {
        SetEnvironmentVariableW(L"LANTERWELL_PICKED_FOLDER", m_folders[0].c_str());
        SetEnvironmentVariableW(L"LW_WINDOW_FOLDER", m_folders[1].c_str());
        ASSERT_TRUE(Launch(L"\"" + m_program + L"\"", m_process));
        ASSERT_TRUE(WaitFor([&] {
            m_window = FindWindowW(L"LanterwellDrives", nullptr);
            DWORD owner = 0;
            GetWindowThreadProcessId(m_window, &owner);
            return owner == m_process.dwProcessId && IsWindowVisible(m_window);
        }));
        m_list = std::make_unique<RemoteList>(GetDlgItem(m_window, IDC_LIST), m_process.hProcess);
    }

    static void ForgetEverything() {
        for (wchar_t letter : {L'R', L'S', L'T', L'U', L'V'}) {
            const wchar_t name[] = {letter, L':', 0};
            DefineDosDeviceW(DDD_REMOVE_DEFINITION, name, nullptr);
        }
        test::DeleteTree(HKEY_CURRENT_USER, kSettingsKey);
        HKEY run = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_SET_VALUE, &run) == 0) {
            RegDeleteValueW(run, L"Lanterwell");
            RegCloseKey(run);
        }
    }

    // Makes a drive through the add dialog: the folder typed, or picked where none is given;
    // for the session, or for every user.
    HWND AddDrive(const wchar_t* letter, const std::wstring& typed, bool save,
                  bool machine = false) {
        PostMessageW(GetDlgItem(m_window, IDC_ADD), BM_CLICK, 0, 0);
        HWND dialog = nullptr;
        if (!WaitFor([&] { return (dialog = OwnedDialog(m_window)) != nullptr; }))
            return nullptr;
        const HWND folder = GetDlgItem(dialog, IDC_FOLDER);
        if (typed.empty())
            PostMessageW(GetDlgItem(dialog, IDC_BROWSE), BM_CLICK, 0, 0);
        else
            SendMessageW(folder, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(typed.c_str()));
        // Asked of the control itself: the window text of another process's edit box is not
        // what it holds.
        WaitFor([&] { return SendMessageW(folder, WM_GETTEXTLENGTH, 0, 0) > 0; });
        SendMessageW(GetDlgItem(dialog, IDC_LETTER), CB_SELECTSTRING, static_cast<WPARAM>(-1),
                     reinterpret_cast<LPARAM>(letter));
        SendMessageW(GetDlgItem(dialog, IDC_SAVE), BM_SETCHECK, save ? BST_CHECKED : BST_UNCHECKED,
                     0);
        if (machine)
            SendMessageW(GetDlgItem(dialog, IDC_MACHINE), BM_CLICK, 0, 0);
        PostMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
        return dialog;
    }

    // The message box the window (or its dialog) shows, read and closed; empty when none comes.
    std::wstring TakeMessage(HWND owner = nullptr, int button = IDOK) {
        HWND box = nullptr;
        if (!WaitFor([&] { return (box = OwnedDialog(owner ? owner : m_window)) != nullptr; }))
            return L"";
        wchar_t text[512] = {};
        GetDlgItemTextW(box, 0xFFFF, text, 512);
        PostMessageW(box, WM_COMMAND, button, 0);
        WaitFor([&] { return !IsWindow(box); });
        return text;
    }

    // Whether the list comes to show the row; what it shows instead when it does not.
    ::testing::AssertionResult ListShows(const std::wstring& row) {
        const bool shown = WaitFor([&] {
            for (const std::wstring& shown : m_list->Rows())
                if (shown == row)
                    return true;
            return false;
        });
        if (shown)
            return ::testing::AssertionSuccess();
        std::string rows;
        for (const std::wstring& shown : m_list->Rows())
            rows += "\n  " + std::string(shown.begin(), shown.end());
        return ::testing::AssertionFailure() << "the list shows:" << rows;
    }

    // What the add dialog's folder box holds, asked of the control itself.
    static std::wstring FolderTyped(HWND dialog) {
        wchar_t text[1100] = {};
        SendDlgItemMessageW(dialog, IDC_FOLDER, WM_GETTEXT, 1100, reinterpret_cast<LPARAM>(text));
        return text;
    }

    // lwsubst with the arguments, to its end; its exit code.
    static DWORD RunLwsubst(const std::wstring& arguments) {
        PROCESS_INFORMATION run = {};
        DWORD code = 0xFFFFFFFF;
        if (!Launch(L"\"" + test::InRunFolder("lwsubst.exe") + L"\" " + arguments, run))
            return code;
        WaitForSingleObject(run.hProcess, test::kHangDeadline);
        GetExitCodeProcess(run.hProcess, &code);
        CloseHandle(run.hProcess);
        CloseHandle(run.hThread);
        return code;
    }

    std::vector<std::wstring> m_folders;
    std::wstring m_program = test::InRunFolder("Lanterwell.exe");
    PROCESS_INFORMATION m_process = {};
    HWND m_window = nullptr;
    std::unique_ptr<RemoteList> m_list;
};

TEST_F(DrivesWindowTest, AddsDrivesWithAndWithoutRestoreAndRemovesThem) {
    ASSERT_NE(AddDrive(L"R:", L"", true), nullptr) << "picked, restored at sign-in";
    EXPECT_TRUE(ListShows(L"R:|" + m_folders[0] + L"|" + kRestored));
    EXPECT_EQ(Mapped(L'R'), L"\\??\\" + m_folders[0]);
    EXPECT_EQ(Saved(L'R'), m_folders[0]);
    EXPECT_EQ(RestoreSetting(), 1u) << "made the user's own, as lwsubst /save does";
    EXPECT_NE(TakeMessage().find(L"R:"), std::wstring::npos) << "restoring turned on, said";

    ASSERT_NE(AddDrive(L"S:", m_folders[1], false), nullptr) << "typed, not kept";
    // Unticked means not this drive, though the user's restore is on.
    EXPECT_TRUE(ListShows(L"S:|" + m_folders[1] + L"|" + kNotSaved));
    EXPECT_EQ(Saved(L'S'), L"");

    HKEY drives = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Lanterwell\\Drives", 0, nullptr, 0,
                              KEY_SET_VALUE, nullptr, &drives, nullptr),
              ERROR_SUCCESS);
    const wchar_t kept[] = L"C:\\kept";
    RegSetValueExW(drives, L"S", 0, REG_SZ, reinterpret_cast<const BYTE*>(kept), sizeof(kept));
    RegCloseKey(drives);
    m_list->Select(0);
    PostMessageW(GetDlgItem(m_window, IDC_REMOVE), BM_CLICK, 0, 0);
    EXPECT_NE(TakeMessage(nullptr, IDNO).find(L"R:"), std::wstring::npos) << "asked first";
    EXPECT_EQ(Saved(L'R'), m_folders[0]) << "and kept when the user says no";
    PostMessageW(GetDlgItem(m_window, IDC_REMOVE), BM_CLICK, 0, 0);
    TakeMessage(nullptr, IDYES);
    EXPECT_TRUE(WaitFor([&] { return m_list->Rows().size() == 1; }));
    EXPECT_EQ(Mapped(L'R'), L"") << "deleted";
    EXPECT_EQ(Saved(L'R'), L"") << "and forgotten";
    EXPECT_EQ(Saved(L'S'), L"C:\\kept") << "the other entry kept";
    GUITHREADINFO focus = {};
    focus.cbSize = sizeof(focus);
    EXPECT_TRUE(WaitFor([&] {
        return GetGUIThreadInfo(m_process.dwThreadId, &focus) &&
               focus.hwndFocus == GetDlgItem(m_window, IDC_LIST);
    })) << "the keyboard stays with the list";
}

TEST_F(DrivesWindowTest, TheRestoreCheckboxIsTheUsersOwnSetting) {
    const HWND persist = GetDlgItem(m_window, IDC_PERSIST);
    ASSERT_EQ(RestoreSetting(), 0xFFFFFFFFu) << "no setting of the user's own yet";
    const LRESULT before = SendMessageW(persist, BM_GETCHECK, 0, 0);
    PostMessageW(persist, BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitFor([&] { return RestoreSetting() != 0xFFFFFFFFu; }));
    EXPECT_EQ(RestoreSetting(), before == BST_CHECKED ? 0u : 1u);
    PostMessageW(persist, BM_CLICK, 0, 0);
    EXPECT_TRUE(WaitFor([&] { return RestoreSetting() == (before == BST_CHECKED ? 1u : 0u); }));

    // Off: a drive made is not saved.
    if (RestoreSetting() == 1u)
        PostMessageW(persist, BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitFor([&] { return RestoreSetting() == 0u; }));
    ASSERT_NE(AddDrive(L"S:", m_folders[1], false), nullptr);
    EXPECT_TRUE(ListShows(L"S:|" + m_folders[1] + L"|" + kNotSaved));
    EXPECT_EQ(Saved(L'S'), L"");
}

// The administrator's policy, set before the window starts: restoring off, and greyed with a
// note; no "For every user"; a letter kept for the organisation not offered.
class PolicyWindowTest : public DrivesWindowTest {
protected:
    void SetUp() override {
        test::PolicyKeys::Set(HKEY_CURRENT_USER, Policy::kRestoreValue, 0);
        test::PolicyKeys::Set(HKEY_CURRENT_USER, Policy::kMachineDrivesValue, 0);
        test::PolicyKeys::Reserve(HKEY_CURRENT_USER, {L"S:"});
        DrivesWindowTest::SetUp();
    }

    const test::PolicyKeys m_keys;
};

TEST_F(PolicyWindowTest, DecidesRestoringTheScopeAndTheLetters) {
    const HWND persist = GetDlgItem(m_window, IDC_PERSIST);
    EXPECT_FALSE(IsWindowEnabled(persist));
    EXPECT_EQ(SendMessageW(persist, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    wchar_t note[256] = {};
    GetDlgItemTextW(m_window, IDC_PERSIST_NOTE, note, 256);
    EXPECT_EQ(std::wstring(note),
              test::Said(L"Your administrator's policy decides restoring at sign-in.",
                         L"サインイン時の復元は管理者がポリシーで決めています。"));
    PostMessageW(GetDlgItem(m_window, IDC_ADD), BM_CLICK, 0, 0);
    HWND dialog = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (dialog = OwnedDialog(m_window)) != nullptr; }));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, IDC_MACHINE)));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_SAVE)));
    EXPECT_EQ(SendDlgItemMessageW(dialog, IDC_LETTER, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                  reinterpret_cast<LPARAM>(L"S:")),
              CB_ERR);
    EXPECT_NE(SendDlgItemMessageW(dialog, IDC_LETTER, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                  reinterpret_cast<LPARAM>(L"T:")),
              CB_ERR);
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(dialog); }));
}

TEST_F(DrivesWindowTest, FollowsDrivesMadeElsewhereAndSaysWhenALetterWasTakenMeanwhile) {
    const std::wstring lwsubst =
        L"\"" + test::InRunFolder("lwsubst.exe") + L"\" R: \"" + m_folders[1] + L"\"";
    PROCESS_INFORMATION made = {};
    ASSERT_TRUE(Launch(lwsubst, made));
    WaitForSingleObject(made.hProcess, test::kHangDeadline);
    CloseHandle(made.hProcess);
    CloseHandle(made.hThread);
    EXPECT_TRUE(ListShows(L"R:|" + m_folders[1] + L"|" + kNotSaved)) << "made by lwsubst";

    // Deleted and made again on another folder, and restoring turned off: the list follows
    // without being activated.
    ASSERT_EQ(RunLwsubst(L"R: /d"), 0u);
    ASSERT_EQ(RunLwsubst(L"R: \"" + m_folders[0] + L"\" /save"), 0u);
    EXPECT_TRUE(ListShows(L"R:|" + m_folders[0] + L"|" + kRestored));
    ASSERT_EQ(RunLwsubst(L"/persist off"), 0u);
    EXPECT_TRUE(ListShows(L"R:|" + m_folders[0] + L"|" + kSavedOff));

    // Chosen while free, taken before OK: the message names both, nothing changes, and the
    // dialog stays open with what the user gave.
    PostMessageW(GetDlgItem(m_window, IDC_ADD), BM_CLICK, 0, 0);
    HWND dialog = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (dialog = OwnedDialog(m_window)) != nullptr; }));
    SendMessageW(GetDlgItem(dialog, IDC_LETTER), CB_SELECTSTRING, static_cast<WPARAM>(-1),
                 reinterpret_cast<LPARAM>(L"S:"));
    SendMessageW(GetDlgItem(dialog, IDC_FOLDER), WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>(m_folders[1].c_str()));
    ASSERT_TRUE(DefineDosDeviceW(0, L"S:", m_folders[0].c_str()));
    PostMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    const std::wstring message = TakeMessage(dialog);
    EXPECT_NE(message.find(L"S:"), std::wstring::npos) << "names the letter";
    EXPECT_NE(message.find(m_folders[1]), std::wstring::npos) << "and the folder";
    EXPECT_EQ(Mapped(L'S'), L"\\??\\" + m_folders[0]) << "the other program's drive stays";
    EXPECT_EQ(Saved(L'S'), L"");
    EXPECT_TRUE(IsWindow(dialog)) << "the dialog stays open";
    EXPECT_EQ(FolderTyped(dialog), m_folders[1]) << "with the folder given";
}

// What the folder box takes: the quoted form Explorer's "Copy as path" gives and environment
// variables are the folder; a name the platform cannot map, or a missing folder, is refused
// with a message, the dialog staying open with the name, and nothing is mapped (a long name
// was once cut into its parent folder's).
TEST_F(DrivesWindowTest, TheFolderBoxTakesWhatUsersPasteAndRefusesWhatCannotBeMapped) {
    const std::wstring longName(255, L'n');
    const std::wstring parent = L"C:\\" + longName; // 258 units, the cut fell behind its "\\"
    ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + parent).c_str(), nullptr) ||
                GetLastError() == ERROR_ALREADY_EXISTS);
    // Each case on a letter of its own.
    const struct {
        const wchar_t* letter;
        std::wstring typed;
        const wchar_t* mapped; // null: refused, with a message that holds `said`
        std::wstring said;
    } cases[] = {{L"S:", L" \"" + m_folders[1] + L"\" ", m_folders[1].c_str(), L""},
                 {L"T:", L"%LW_WINDOW_FOLDER%", m_folders[1].c_str(), L""},
                 {L"U:", parent + L"\\child", nullptr, L"259"},
                 {L"V:", m_folders[1] + L"\\missing", nullptr, L"missing"}};
    for (const auto& c : cases) {
        const HWND dialog = AddDrive(c.letter, c.typed, false);
        ASSERT_NE(dialog, nullptr);
        if (c.mapped) {
            EXPECT_TRUE(WaitFor([&] { return !IsWindow(dialog); })) << c.typed;
            EXPECT_EQ(Mapped(c.letter[0]), std::wstring(L"\\??\\") + c.mapped) << c.typed;
            continue;
        }
        EXPECT_NE(TakeMessage(dialog).find(c.said), std::wstring::npos) << c.typed;
        EXPECT_TRUE(IsWindow(dialog)) << c.typed;
        EXPECT_EQ(FolderTyped(dialog), c.typed);
        EXPECT_EQ(Mapped(c.letter[0]), L"") << c.typed;
        SendMessageTimeoutW(dialog, WM_COMMAND, IDCANCEL, 0, SMTO_ABORTIFHUNG, test::kHangDeadline,
                            nullptr);
        // Gone before the next Add, which would otherwise take it for its own dialog.
        EXPECT_TRUE(WaitFor([&] { return !IsWindow(dialog); }));
    }
    RemoveDirectoryW((L"\\\\?\\" + parent).c_str());
}

// Open on a drive whose folder has gone names the folder and says it is gone.
TEST_F(DrivesWindowTest, OpeningADriveWhoseFolderIsGoneSaysSo) {
    const std::wstring gone = m_folders[1] + L"\\gone";
    ASSERT_TRUE(CreateDirectoryW(gone.c_str(), nullptr));
    ASSERT_TRUE(DefineDosDeviceW(0, L"R:", gone.c_str()));
    ASSERT_TRUE(RemoveDirectoryW(gone.c_str()));
    // Marked in the list; Enter, pressed in the list, says why.
    ASSERT_TRUE(
        ListShows(L"R:|" + gone + Said(L" (not found)", L" (見つかりません)") + L"|" + kNotSaved));
    m_list->Select(0);
    PostMessageW(GetDlgItem(m_window, IDC_LIST), WM_KEYDOWN, VK_RETURN, 0);
    const std::wstring message = TakeMessage();
    EXPECT_NE(message.find(gone), std::wstring::npos) << message;
    EXPECT_EQ(message.find(L"(error"), std::wstring::npos) << "says why, in words: " << message;
}

// "For every user" leaves the restore box unticked while it applies, and the Change dialog,
// which has no such box, no gap where it would be.
TEST_F(DrivesWindowTest, TheScopeBoxAndTheChangeDialogsLayout) {
    const auto below = [](HWND dialog, int upper) {
        RECT box = {};
        RECT ok = {};
        GetWindowRect(GetDlgItem(dialog, upper), &box);
        GetWindowRect(GetDlgItem(dialog, IDOK), &ok);
        return ok.top - box.bottom;
    };
    PostMessageW(GetDlgItem(m_window, IDC_ADD), BM_CLICK, 0, 0);
    HWND dialog = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (dialog = OwnedDialog(m_window)) != nullptr; }));
    SendDlgItemMessageW(dialog, IDC_SAVE, BM_SETCHECK, BST_CHECKED, 0);
    for (const bool machine : {true, false}) {
        SendDlgItemMessageW(dialog, IDC_MACHINE, BM_CLICK, 0, 0);
        EXPECT_EQ(SendDlgItemMessageW(dialog, IDC_SAVE, BM_GETCHECK, 0, 0),
                  machine ? BST_UNCHECKED : BST_CHECKED);
        EXPECT_EQ(IsWindowEnabled(GetDlgItem(dialog, IDC_SAVE)) != FALSE, !machine);
    }
    const int addGap = below(dialog, IDC_MACHINE);
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(dialog); }));

    ASSERT_EQ(RunLwsubst(L"R: \"" + m_folders[1] + L"\""), 0u);
    ASSERT_TRUE(ListShows(L"R:|" + m_folders[1] + L"|" + kNotSaved));
    m_list->Select(0);
    PostMessageW(GetDlgItem(m_window, IDC_CHANGE), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitFor([&] { return (dialog = OwnedDialog(m_window)) != nullptr; }));
    EXPECT_EQ(below(dialog, IDC_SAVE), addGap);
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(dialog); }));
}

// The name a screen reader reads for a control, through the platform's accessibility layer.
std::wstring AccessibleName(HWND control) {
    IAccessible* accessible = nullptr;
    // oleacc.dll's IID_IAccessible is exported data, which an import library links as a
    // function: the compiler's own copy of the identifier is the one to pass.
    if (FAILED(AccessibleObjectFromWindow(control, OBJID_CLIENT, __uuidof(IAccessible),
                                          reinterpret_cast<void**>(&accessible))))
        return L"(no accessible object)";
    VARIANT self = {};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    std::wstring result;
    if (SUCCEEDED(accessible->get_accName(self, &name)) && name)
        result = name;
    SysFreeString(name);
    accessible->Release();
    return result;
}

// Every control but the labels that name others, each with the name a screen reader reads.
std::vector<std::wstring> UnnamedControls(HWND dialog) {
    std::vector<std::wstring> unnamed;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t type[64] = {};
        GetClassNameW(child, type, 64);
        if (!IsWindowVisible(child) || lstrcmpiW(type, L"Static") == 0)
            continue;
        if (AccessibleName(child).empty())
            unnamed.push_back(std::wstring(type) + L" " + std::to_wstring(GetDlgCtrlID(child)));
    }
    return unnamed;
}

// A screen reader names every control of the window and of its dialogs.
TEST_F(DrivesWindowTest, EveryControlHasAnAccessibleName) {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    EXPECT_EQ(UnnamedControls(m_window), std::vector<std::wstring>()) << "the window";
    EXPECT_EQ(AccessibleName(GetDlgItem(m_window, IDC_LIST)),
              Said(L"Virtual drives:", L"仮想ドライブ:"));
    ASSERT_EQ(RunLwsubst(L"R: \"" + m_folders[1] + L"\""), 0u);
    ASSERT_TRUE(ListShows(L"R:|" + m_folders[1] + L"|" + kNotSaved));
    m_list->Select(0);
    for (const int opens : {IDC_ADD, IDC_CHANGE}) {
        PostMessageW(GetDlgItem(m_window, opens), BM_CLICK, 0, 0);
        HWND dialog = nullptr;
        ASSERT_TRUE(WaitFor([&] { return (dialog = OwnedDialog(m_window)) != nullptr; }));
        EXPECT_EQ(UnnamedControls(dialog), std::vector<std::wstring>()) << opens;
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        ASSERT_TRUE(WaitFor([&] { return !IsWindow(dialog); }));
    }
    CoUninitialize();
}

// Moved to a screen of 144 DPI and back, as the platform tells it: the window takes the
// rectangle given, and its controls, font and columns scale with it.
TEST_F(DrivesWindowTest, FollowsTheScreensDpi) {
    const auto height = [&](int id) {
        RECT at = {};
        GetWindowRect(GetDlgItem(m_window, id), &at);
        return at.bottom - at.top;
    };
    RECT opened = {};
    GetWindowRect(m_window, &opened);
    const int button = height(IDC_ADD);
    const int column = m_list->ColumnWidth(0);
    const int text = m_list->TextWidth(L"Virtual drives");
    const struct {
        UINT dpi;
        int percent;
    } moves[] = {{144, 150}, {96, 100}};
    for (const auto& move : moves) {
        const auto scaled = [&](int value) { return MulDiv(value, move.percent, 100); };
        const RECT suggested = {opened.left, opened.top,
                                opened.left + scaled(opened.right - opened.left),
                                opened.top + scaled(opened.bottom - opened.top)};
        m_list->SendRect(m_window, 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(move.dpi, move.dpi),
                         suggested);
        RECT now = {};
        GetWindowRect(m_window, &now);
        EXPECT_EQ(now.right - now.left, suggested.right - suggested.left) << move.dpi;
        EXPECT_EQ(now.bottom - now.top, suggested.bottom - suggested.top) << move.dpi;
        EXPECT_NEAR(height(IDC_ADD), scaled(button), 2) << move.dpi;
        EXPECT_NEAR(m_list->ColumnWidth(0), scaled(column), 3) << move.dpi;
        EXPECT_NEAR(m_list->TextWidth(L"Virtual drives"), scaled(text), text / 8) << move.dpi;
        RECT add = {};
        RECT client = {};
        GetWindowRect(GetDlgItem(m_window, IDC_PERSIST_NOTE), &add);
        GetClientRect(m_window, &client);
        MapWindowPoints(nullptr, m_window, reinterpret_cast<POINT*>(&add), 2);
        EXPECT_LE(add.bottom, client.bottom) << "the setting's note stays inside, " << move.dpi;
    }
}

// The window reopens where it was and as large, with the columns as the user left them
// (through a refresh too); never where no screen shows it.
TEST_F(DrivesWindowTest, ReopensWhereItWasOnAScreen) {
    RECT opened = {};
    GetWindowRect(m_window, &opened);
    const SIZE larger = {opened.right - opened.left + 40, opened.bottom - opened.top + 30};
    SetWindowPos(m_window, nullptr, 50, 60, larger.cx, larger.cy, SWP_NOZORDER);
    const HWND list = GetDlgItem(m_window, IDC_LIST);
    const int widths[] = {m_list->ColumnWidth(0) + 25, m_list->ColumnWidth(2) - 30};
    SendMessageW(list, LVM_SETCOLUMNWIDTH, 0, widths[0]);
    SendMessageW(list, LVM_SETCOLUMNWIDTH, 2, widths[1]);
    ASSERT_EQ(RunLwsubst(L"S: \"" + m_folders[0] + L"\""), 0u);
    ASSERT_TRUE(ListShows(L"S:|" + m_folders[0] + L"|" + kNotSaved));
    EXPECT_EQ(m_list->ColumnWidth(0), widths[0]) << "kept through a refresh";
    Stop();
    Start();
    RECT now = {};
    GetWindowRect(m_window, &now);
    EXPECT_EQ(now.left, 50);
    EXPECT_EQ(now.top, 60);
    EXPECT_EQ(now.right - now.left, larger.cx);
    EXPECT_EQ(now.bottom - now.top, larger.cy);
    EXPECT_NEAR(m_list->ColumnWidth(0), widths[0], 1);
    EXPECT_NEAR(m_list->ColumnWidth(2), widths[1], 1);

    SetWindowPos(m_window, nullptr, -30000, -30000, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    Stop();
    Start();
    EXPECT_NE(MonitorFromWindow(m_window, MONITOR_DEFAULTTONULL), nullptr);
}

// Escape closes a dialog, never the window (which the close box closes).
TEST_F(DrivesWindowTest, EscapeClosesDialogsOnly) {
    PostMessageW(GetDlgItem(m_window, IDC_LIST), WM_KEYDOWN, VK_ESCAPE, 0);
    // Handled after the key: the window is still there to open its dialog.
    PostMessageW(GetDlgItem(m_window, IDC_ADD), BM_CLICK, 0, 0);
    HWND dialog = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (dialog = OwnedDialog(m_window)) != nullptr; }));
    PostMessageW(GetDlgItem(dialog, IDC_FOLDER), WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(dialog); }));
    EXPECT_TRUE(IsWindowVisible(m_window));
    PostMessageW(m_window, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitForSingleObject(m_process.hProcess, test::kHangDeadline), WAIT_OBJECT_0);
}

// Change gives a drive another folder or letter, its saved entry following; where the new
// folder cannot be mapped, the drive comes back as it was; a saved drive not mapped now (F2)
// is mapped as changed. A row's box keeps that drive for sign-in or not, the user's setting
// untouched; a saved drive not mapped comes back at once with Restore now.
TEST_F(DrivesWindowTest, ChangesKeepsAndRestoresDrivesFromTheList) {
    ASSERT_EQ(RunLwsubst(L"R: \"" + m_folders[1] + L"\" /save"), 0u);
    ASSERT_TRUE(ListShows(L"R:|" + m_folders[1] + L"|" + kRestored));
    const struct {
        const wchar_t* letter;   // the letter chosen in the Change dialog
        std::wstring folder;     // the folder given there
        const wchar_t* expected; // the drive after the change
        std::wstring mapped;     // and its folder
        const wchar_t* unmapped; // a drive unmapped first, its entry kept
    } changes[] = {{L"R:", m_folders[0], L"R", m_folders[0], nullptr},
                   {L"S:", m_folders[0], L"S", m_folders[0], nullptr},
                   {L"S:", m_folders[0] + L"\\missing", L"S", m_folders[0], nullptr},
                   {L"T:", m_folders[1], L"T", m_folders[1], L"S:"},
                   {L"S:", m_folders[0], L"S", m_folders[0], nullptr}};
    std::wstring before = m_folders[1];
    for (const auto& change : changes) {
        if (change.unmapped) {
            ASSERT_TRUE(DefineDosDeviceW(DDD_REMOVE_DEFINITION, change.unmapped, nullptr));
            ASSERT_TRUE(
                ListShows(std::wstring(change.unmapped) + L"|" + before + L"|" + kSavedAbsent));
        }
        m_list->Select(0);
        if (change.unmapped)
            PostMessageW(GetDlgItem(m_window, IDC_LIST), WM_KEYDOWN, VK_F2, 0);
        else
            PostMessageW(GetDlgItem(m_window, IDC_CHANGE), BM_CLICK, 0, 0);
        HWND dialog = nullptr;
        ASSERT_TRUE(WaitFor([&] { return (dialog = OwnedDialog(m_window)) != nullptr; }));
        SendMessageW(GetDlgItem(dialog, IDC_LETTER), CB_SELECTSTRING, static_cast<WPARAM>(-1),
                     reinterpret_cast<LPARAM>(change.letter));
        SendMessageW(GetDlgItem(dialog, IDC_FOLDER), WM_SETTEXT, 0,
                     reinterpret_cast<LPARAM>(change.folder.c_str()));
        PostMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
        if (change.folder != change.mapped) {
            EXPECT_FALSE(TakeMessage(dialog).empty()) << "the failure is said";
            SendMessageTimeoutW(dialog, WM_COMMAND, IDCANCEL, 0, SMTO_ABORTIFHUNG,
                                test::kHangDeadline, nullptr);
        }
        EXPECT_TRUE(WaitFor([&] { return !IsWindow(dialog); }));
        const wchar_t letter = change.expected[0];
        EXPECT_TRUE(
            ListShows(std::wstring(change.expected) + L":|" + change.mapped + L"|" + kRestored))
            << change.folder;
        EXPECT_EQ(Mapped(letter), L"\\??\\" + change.mapped) << change.folder;
        EXPECT_EQ(Saved(letter), change.mapped) << change.folder;
        EXPECT_EQ(m_list->Rows().size(), 1u) << "the old letter gone: " << change.folder;
        if (change.unmapped)
            EXPECT_EQ(Saved(change.unmapped[0]), L"") << "its old entry gone";
        before = change.mapped;
    }
    m_list->Tick(0, false);
    EXPECT_TRUE(ListShows(L"S:|" + m_folders[0] + L"|" + kNotSaved));
    EXPECT_EQ(Saved(L'S'), L"");
    m_list->Tick(0, true);
    EXPECT_TRUE(ListShows(L"S:|" + m_folders[0] + L"|" + kRestored));
    EXPECT_EQ(RestoreSetting(), 1u) << "the master switch untouched";

    ASSERT_TRUE(DefineDosDeviceW(DDD_REMOVE_DEFINITION, L"S:", nullptr));
    ASSERT_TRUE(ListShows(L"S:|" + m_folders[0] + L"|" + kSavedAbsent));
    m_list->Select(0);
    PostMessageW(GetDlgItem(m_window, IDC_RESTORE_NOW), BM_CLICK, 0, 0);
    EXPECT_TRUE(ListShows(L"S:|" + m_folders[0] + L"|" + kRestored));
}

// "Open folder" opens a drive's folder itself, which opens where the letter does not: a saved
// drive not mapped now.
TEST_F(DrivesWindowTest, OpenFolderOpensTheFolderOfASavedDriveNotMappedNow) {
    ASSERT_EQ(RunLwsubst(L"S: \"" + m_folders[0] + L"\" /save"), 0u);
    ASSERT_TRUE(DefineDosDeviceW(DDD_REMOVE_DEFINITION, L"S:", nullptr));
    const std::wstring row = L"S:|" + m_folders[0] + L"|";
    ASSERT_TRUE(WaitFor([&] {
        const std::vector<std::wstring> rows = m_list->Rows();
        return rows.size() == 1 && rows[0].compare(0, row.size(), row) == 0 && Mapped(L'S').empty();
    }));
    m_list->Select(0);
    test::ProcessWatch explorer("explorer.exe");
    PostMessageW(m_window, WM_COMMAND, IDC_OPEN_FOLDER, 0);
    const test::StartedProcess started = explorer.FindNew();
    EXPECT_NE(started.commandLine.find(m_folders[0]), std::wstring::npos) << started.commandLine;
}

// Every label and box of the add dialog shows its text whole, mnemonic included: the width
// each needs in the dialog's font, measured here with the same face, size and DPI (a box's
// text stands beside its box).
BOOL CALLBACK CollectTexts(HWND control, LPARAM data) {
    reinterpret_cast<std::vector<HWND>*>(data)->push_back(control);
    return TRUE;
}

TEST_F(DrivesWindowTest, TheAddDialogsLabelsHoldTheirTexts) {
    const bool japanese = PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_JAPANESE;
    PostMessageW(GetDlgItem(m_window, IDC_ADD), BM_CLICK, 0, 0);
    HWND dialog = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (dialog = OwnedDialog(m_window)) != nullptr; }));
    std::vector<HWND> controls;
    EnumChildWindows(dialog, CollectTexts, reinterpret_cast<LPARAM>(&controls));
    const HDC screen = GetDC(nullptr);
    const int height = -MulDiv(japanese ? 9 : 8, GetDeviceCaps(screen, LOGPIXELSY), 72);
    const HFONT font = CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                   0, 0, 0, 0, japanese ? L"MS UI Gothic" : L"MS Shell Dlg 2");
    const HGDIOBJ was = SelectObject(screen, font);
    int measured = 0;
    for (const HWND control : controls) {
        wchar_t name[32] = {};
        wchar_t text[128] = {};
        GetClassNameW(control, name, 32);
        GetWindowTextW(control, text, 128);
        const LONG type = GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK;
        const bool box = lstrcmpiW(name, L"Button") == 0 && type == BS_AUTOCHECKBOX;
        if (!*text || (lstrcmpiW(name, L"Static") != 0 && !box))
            continue;
        RECT needed = {};
        DrawTextW(screen, text, -1, &needed, DT_CALCRECT | DT_SINGLELINE);
        const int beside = box ? GetSystemMetrics(SM_CXMENUCHECK) + 4 : 0;
        RECT shown = {};
        GetClientRect(control, &shown);
        EXPECT_GE(shown.right, needed.right + beside) << "cut: " << text;
        ++measured;
    }
    SelectObject(screen, was);
    DeleteObject(font);
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(measured, 4) << "two labels and two boxes";
}

// The sign-in column shows its longest text whole, in either language.
TEST_F(DrivesWindowTest, TheSignInColumnHoldsItsTexts) {
    ASSERT_EQ(RunLwsubst(L"R: \"" + m_folders[1] + L"\" /save"), 0u);
    ASSERT_EQ(RunLwsubst(L"/persist off"), 0u);
    ASSERT_TRUE(ListShows(L"R:|" + m_folders[1] + L"|" + kSavedOff));
    EXPECT_GE(m_list->ColumnWidth(2), m_list->TextWidth(kSavedOff)) << "cut";
    // Seen at the size the window opens at: the folder column gives up its room first.
    RECT shown = {};
    GetClientRect(GetDlgItem(m_window, IDC_LIST), &shown);
    EXPECT_LE(m_list->ColumnWidth(0) + m_list->ColumnWidth(1) + m_list->ColumnWidth(2), shown.right)
        << "the list scrolls sideways";
}

// A mapped drive whose saved entry names no folder: its sign-in state is that entry's, as
// lwsubst lists it, with the folder it maps.
TEST_F(DrivesWindowTest, AMappedDriveWithAnUnreadableEntrySaysSo) {
    HKEY drives = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Lanterwell\\Drives", 0, nullptr, 0,
                              KEY_SET_VALUE, nullptr, &drives, nullptr),
              ERROR_SUCCESS);
    const DWORD number = 7;
    RegSetValueExW(drives, L"R", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                   sizeof(number));
    RegCloseKey(drives);
    ASSERT_TRUE(DefineDosDeviceW(0, L"R:", m_folders[1].c_str()));
    EXPECT_TRUE(ListShows(L"R:|" + m_folders[1] + L"|" + kUnreadable));
}

TEST_F(DrivesWindowTest, ASecondStartBringsTheFirstWindowForward) {
    PROCESS_INFORMATION second = {};
    ASSERT_TRUE(Launch(L"\"" + test::InRunFolder("Lanterwell.exe") + L"\"", second));
    EXPECT_EQ(WaitForSingleObject(second.hProcess, test::kHangDeadline), WAIT_OBJECT_0);
    DWORD code = 1;
    GetExitCodeProcess(second.hProcess, &code);
    EXPECT_EQ(code, 0u);
    CloseHandle(second.hProcess);
    CloseHandle(second.hThread);
    EXPECT_EQ(FindWindowExW(nullptr, m_window, L"LanterwellDrives", nullptr), nullptr)
        << "one window";
}

// Another program's object under the window's instance mutex's name: without the mutex a second
// start could not find the window, and the window says so instead of vanishing.
TEST(DrivesWindowStart, SaysWhyWhenItCannotHoldItsPlaceInTheSession) {
    const HANDLE squatter = CreateEventW(nullptr, FALSE, FALSE, L"Local\\Lanterwell.Window");
    ASSERT_NE(squatter, nullptr);
    PROCESS_INFORMATION window = {};
    ASSERT_TRUE(Launch(L"\"" + test::InRunFolder("Lanterwell.exe") + L"\"", window));
    HWND box = nullptr;
    EXPECT_TRUE(
        WaitFor([&] { return (box = OwnedDialog(nullptr, window.dwProcessId)) != nullptr; }));
    if (box)
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    if (WaitForSingleObject(window.hProcess, test::kHangDeadline) != WAIT_OBJECT_0)
        TerminateProcess(window.hProcess, 0);
    DWORD code = 0;
    GetExitCodeProcess(window.hProcess, &code);
    EXPECT_EQ(code, 1u);
    CloseHandle(window.hProcess);
    CloseHandle(window.hThread);
    CloseHandle(squatter);
}

// A start while the session's first window is closing (its place still held, its window gone)
// opens the window once the first lets the place go, instead of ending with none.
TEST(DrivesWindowStart, TakesThePlaceOfAWindowThatIsClosing) {
    const HANDLE closing = CreateMutexW(nullptr, TRUE, L"Local\\Lanterwell.Window");
    ASSERT_NE(closing, nullptr);
    PROCESS_INFORMATION window = {};
    ASSERT_TRUE(Launch(L"\"" + test::InRunFolder("Lanterwell.exe") + L"\"", window));
    ReleaseMutex(closing);
    HWND shown = nullptr;
    WaitFor([&] {
        shown = FindWindowW(L"LanterwellDrives", nullptr);
        return shown || WaitForSingleObject(window.hProcess, 0) == WAIT_OBJECT_0;
    });
    EXPECT_NE(shown, nullptr) << "ended without a window";
    PostMessageW(shown, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(window.hProcess, test::kHangDeadline) != WAIT_OBJECT_0)
        TerminateProcess(window.hProcess, 1);
    CloseHandle(window.hProcess);
    CloseHandle(window.hThread);
    CloseHandle(closing);
}

} // namespace

namespace {

const wchar_t kDevices[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\DOS Devices";
const wchar_t kMade[] = L"Software\\Lanterwell\\MachineDrives";

void SetMachineValue(const wchar_t* path, REGSAM view, const wchar_t* name, const wchar_t* data) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_SET_VALUE | view, nullptr,
                        &key, nullptr))
        return;
    if (data)
        RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data),
                       static_cast<DWORD>((wcslen(data) + 1) * sizeof(wchar_t)));
    else
        RegDeleteValueW(key, name);
    RegCloseKey(key);
}

// The window in a folder of its own beside a stand-in for lwsubst that records its command
// line: what the window asks of the elevated part, the machine unchanged.
class MachineDrivesWindowTest : public DrivesWindowTest {
protected:
    void SetUp() override {
        const std::wstring folder = test::InRunFolder("elevated\\");
        CreateDirectoryW(folder.c_str(), nullptr);
        CopyFileW(test::InRunFolder("Lanterwell.exe").c_str(), (folder + L"Lanterwell.exe").c_str(),
                  FALSE);
        CopyFileW(test::InRunFolder("recording_program.exe").c_str(),
                  (folder + L"lwsubst.exe").c_str(), FALSE);
        m_log = folder + L"lwsubst.exe.log";
        DeleteFileW(m_log.c_str());
        m_program = folder + L"Lanterwell.exe";
        DrivesWindowTest::SetUp();
    }
    void TearDown() override {
        DrivesWindowTest::TearDown();
        for (const wchar_t* name : {L"S:", L"T:", L"U:"}) {
            SetMachineValue(kDevices, 0, name, nullptr);
            SetMachineValue(kMade, KEY_WOW64_64KEY, name, nullptr);
        }
    }
    // The command lines the stand-in was started with, as it writes them: in UTF-8.
    static std::string Utf8(const std::wstring& text) {
        std::string bytes(text.size() * 3 + 1, '\0');
        bytes.resize(static_cast<size_t>(
            WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &bytes[0],
                                static_cast<int>(bytes.size()), nullptr, nullptr)));
        return bytes;
    }
    std::string Asked() {
        std::string lines;
        const HANDLE log = CreateFileW(m_log.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, 0, nullptr);
        char buffer[4096];
        DWORD got = 0;
        while (log != INVALID_HANDLE_VALUE &&
               ReadFile(log, buffer, sizeof(buffer), &got, nullptr) && got)
            lines.append(buffer, got);
        if (log != INVALID_HANDLE_VALUE)
            CloseHandle(log);
        return lines;
    }
    int RowOf(const std::wstring& start) {
        const std::vector<std::wstring> rows = m_list->Rows();
        for (size_t row = 0; row < rows.size(); ++row)
            if (rows[row].compare(0, start.size(), start) == 0)
                return static_cast<int>(row);
        return -1;
    }

    std::wstring m_log;
};

// Drives for every user are read from the machine's key, with their scope and, for another
// program's, a mark; Add and Remove ask the elevated part through "runas" and nothing else,
// after the window's own checks and the administrator's yes.
TEST_F(MachineDrivesWindowTest, ListsDrivesForEveryUserAndChangesThemOnlyElevated) {
    const std::wstring folder = m_folders[1];
    SetMachineValue(kDevices, 0, L"S:", (L"\\??\\" + folder).c_str());
    SetMachineValue(kMade, KEY_WOW64_64KEY, L"S:", folder.c_str());
    SetMachineValue(kDevices, 0, L"T:", L"\\??\\C:\\windows");
    SetMachineValue(kDevices, 0, L"U:", (L"\\??\\" + folder).c_str());
    SetMachineValue(kMade, KEY_WOW64_64KEY, L"U:", folder.c_str());
    // As Windows defines it at start-up; the window sees the new letter within its poll.
    ASSERT_TRUE(DefineDosDeviceW(0, L"U:", folder.c_str()));
    EXPECT_TRUE(
        ListShows(L"S:|" + folder + L"|" +
                  Said(L"every user, from the next start", L"すべてのユーザー、次回の起動から")));
    EXPECT_TRUE(ListShows(L"T:|C:\\windows|" +
                          Said(L"every user, from the next start (not made by Lanterwell)",
                               L"すべてのユーザー、次回の起動から (Lanterwell 以外で作成)")));
    EXPECT_TRUE(ListShows(L"U:|" + folder + L"|" + Said(L"every user", L"すべてのユーザー")));
    EXPECT_EQ(RowOf(L"U:"), RowOf(L"U:|" + folder)) << "one row: not also the session's";

    m_list->Select(RowOf(L"T:"));
    PostMessageW(GetDlgItem(m_window, IDC_REMOVE), BM_CLICK, 0, 0);
    EXPECT_NE(TakeMessage(nullptr, IDNO).find(L"Lanterwell"), std::wstring::npos)
        << "another program's drive, said so";
    m_list->Select(RowOf(L"S:"));
    PostMessageW(GetDlgItem(m_window, IDC_REMOVE), BM_CLICK, 0, 0);
    EXPECT_NE(TakeMessage(nullptr, IDYES).find(L"S:"), std::wstring::npos) << "asked first";
    // S: was to be made at the next start: nothing stays until a restart.
    const std::wstring removed = TakeMessage();
    EXPECT_NE(removed.find(L"S:"), std::wstring::npos) << "said";
    EXPECT_NE(removed.find(Said(L"will not be", L"なりません")), std::wstring::npos) << removed;

    // Refused here, where the user's own drives are seen: R: is saved for the user's sign-in.
    HKEY drives = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Lanterwell\\Drives", 0, nullptr, 0,
                              KEY_SET_VALUE, nullptr, &drives, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(drives, L"R", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                   static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(drives);
    HWND dialog = AddDrive(L"R:", folder, false, true);
    ASSERT_NE(dialog, nullptr);
    EXPECT_NE(TakeMessage(dialog).find(L"R:"), std::wstring::npos);
    SendMessageTimeoutW(dialog, WM_COMMAND, IDCANCEL, 0, SMTO_ABORTIFHUNG, test::kHangDeadline,
                        nullptr);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(dialog); }));

    dialog = AddDrive(L"V:", folder, false, true);
    ASSERT_NE(dialog, nullptr);
    EXPECT_NE(TakeMessage(dialog).find(L"V:"), std::wstring::npos) << "a restart, said";
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(dialog); }));
    const std::string asked = Asked();
    const std::string made = "V: \"" + Utf8(folder) + "\" /machine\n";
    EXPECT_NE(asked.find("lwsubst.exe\" S: /d /machine\n"), std::string::npos) << asked;
    EXPECT_NE(asked.find(made), std::string::npos) << asked;
    EXPECT_EQ(asked.find("T:"), std::string::npos) << asked;
    EXPECT_EQ(asked.find("R:"), std::string::npos) << asked;
    DefineDosDeviceW(DDD_REMOVE_DEFINITION, L"U:", nullptr);
}

} // namespace
