#include "drives/window/DrivesWindow.h"
#include <commctrl.h>
#include <dbt.h>
#include <windowsx.h>
#include "drives/DriveActions.h"
#include "drives/DriveStore.h"
#include "drives/ToolTexts.h"
#include "drives/window/Clipboard.h"
#include "drives/window/DriveDialog.h"
#include "drives/window/DriveList.h"
#include "drives/MachineDrives.h"
#include "drives/window/DrivesIds.h"
#include "drives/window/Explorer.h"
#include "drives/window/Elevated.h"
#include "drives/window/FolderName.h"
#include "drives/window/Placement.h"
#include "drives/window/ShellCalls.h"
#include "drives/window/Texts.h"
#include "drives/window/WindowLayout.h"
#include "support/DriveLetters.h"
#include "support/Handles.h"

const wchar_t kDrivesWindowClass[] = L"LanterwellDrives";

namespace {

using DriveActions::Problem;

// Drives made or removed where no message tells (another program that announces nothing)
// show within this time; only the set of letters is compared.
const UINT kPollTimer = 1;
const UINT kPollMilliseconds = 2000;

// Whether the user went to another window since the list was filled: what changed meanwhile
// (a folder gone, a drive made elsewhere) shows when they come back. The activation that
// shows the window finds the list just filled.
bool wentAway = false;

HWND ListOf(HWND window) {
    return GetDlgItem(window, IDC_LIST);
}

// The folder of a drive for every user, read anew for each action: one buffer, as the window
// has one thread.
const UniqueLocalText machineFolder(MachineDrives::NewFolder());

wchar_t* MachineFolder() {
    return machineFolder.Get();
}

// What can be done to the selected drive, for its buttons and its menu.
struct Offered {
    int key = 0; // the row's (DriveList::kMachineRow)
    int drive = 0;
    bool machine = false; // a drive for every user, changed only by the elevated part
    DriveActions::Listing entry;
    DriveActions::MachineListing machineEntry;
    bool open = false;    // mapped (for every user: there now), its folder there
    bool change = false;  // mapped (its folder there or not), or saved
    bool restore = false; // saved, not mapped now
    bool folder = false;  // its folder there
    const wchar_t* Folder() const { return machine ? MachineFolder() : entry.Folder(); }
    // A mapped drive whose folder is gone keeps Open (and Enter) offered: it says why.
    bool OpenOffered() const { return open || entry.mapped; }
};

Offered OfferedFor(int key) {
    Offered offered;
    offered.key = key;
    offered.drive = DriveList::DriveOf(key);
    if (!key)
        return offered;
    if (DriveList::IsMachine(key)) {
        if (!MachineFolder())
            return Offered();
        offered.machine = true;
        offered.machineEntry = DriveActions::ReadMachine(offered.drive, MachineFolder());
        offered.folder = GetFileAttributesW(MachineFolder()) != INVALID_FILE_ATTRIBUTES;
        offered.open = offered.machineEntry.present && offered.folder;
        return offered;
    }
    offered.entry = DriveActions::Read(offered.drive);
    offered.change = offered.entry.mapped || offered.entry.saved;
    // A mapped drive's folder is the one it maps: one look at the disk answers both.
    offered.folder =
        *offered.Folder() && GetFileAttributesW(offered.Folder()) != INVALID_FILE_ATTRIBUTES;
    offered.open = offered.entry.mapped && offered.folder;
    offered.restore = offered.entry.saved && !offered.entry.mapped;
    return offered;
}

void UpdateButtons(HWND window) {
    const Offered offered = OfferedFor(DriveList::Selected(ListOf(window)));
    EnableWindow(GetDlgItem(window, IDC_CHANGE), offered.change);
    EnableWindow(GetDlgItem(window, IDC_REMOVE), offered.drive != 0);
    EnableWindow(GetDlgItem(window, IDC_OPEN), offered.OpenOffered());
    EnableWindow(GetDlgItem(window, IDC_RESTORE_NOW), offered.restore);
    SendDlgItemMessageW(window, IDC_REMOVE, Elevated::kSetShield, 0, offered.machine);
}

// The user's own setting, the master switch: what it means where it is off, and where the
// machine's default stands for it.
void ShowRestoreSetting(HWND window, DriveStore::Restoring setting) {
    CheckDlgButton(window, IDC_PERSIST, DriveStore::IsOn(setting) ? BST_CHECKED : BST_UNCHECKED);
    // The administrator's policy decides: the box shows what it says, and is no one's to change.
    const bool byPolicy = DriveStore::DecidedByPolicy(setting);
    EnableWindow(GetDlgItem(window, IDC_PERSIST), !byPolicy);
    UINT note = 0;
    if (byPolicy)
        note = IDS_RESTORE_BY_POLICY;
    else if (setting == DriveStore::Restoring::OffByUser)
        note = IDS_RESTORE_OFF;
    else if (setting == DriveStore::Restoring::OffOnMachine)
        note = IDS_RESTORE_OFF_MACHINE;
    else if (setting == DriveStore::Restoring::ByMachine)
        note = IDS_MACHINE_DEFAULT;
    wchar_t text[256] = L"";
    SetDlgItemTextW(window, IDC_PERSIST_NOTE, note ? ToolTexts::Load(note, text, 256) : L"");
}

// The list and what goes with it, the setting read once for every row.
void Refresh(HWND window) {
    const DriveStore::Restoring setting = DriveStore::RestoreSetting();
    DriveList::Fill(ListOf(window), setting);
    ShowRestoreSetting(window, setting);
    UpdateButtons(window);
    SetWindowLongPtrW(window, DWLP_USER, static_cast<LONG_PTR>(GetLogicalDrives()));
}

// After an action: the list anew with the drive selected, the keyboard with the list (the
// button pressed may now be disabled).
void Settle(HWND window, int drive) {
    Refresh(window);
    DriveList::Select(ListOf(window), drive);
    SendMessageW(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(ListOf(window)), TRUE);
}

// Makes a drive, or changes the selected one; `folder` offers one (dropped on the window).
void Edit(HWND window, bool change, const wchar_t* folder = nullptr) {
    const Offered offered = OfferedFor(change ? DriveList::Selected(ListOf(window)) : 0);
    if (change && !offered.change)
        return;
    DriveEdit edit;
    edit.drive = offered.drive;
    edit.folder = change ? offered.entry.Folder() : folder;
    // A saved drive not mapped now is kept with the folder shown.
    edit.keep = offered.entry.sameFolder || (offered.entry.saved && !offered.entry.mapped);
    DriveEdited edited;
    if (!EditDrive(window, edit, edited))
        return;
    Settle(window, edited.machine ? edited.drive | DriveList::kMachineRow : edited.drive);
    if (edited.made.restoreTurnedOn)
        Texts::Show(window, IDS_RESTORE_TURNED_ON, MB_ICONINFORMATION, edited.drive, nullptr);
    if (edited.made.saved && !change)
        Texts::Show(window, IDS_SAVE_FAILED, MB_ICONEXCLAMATION, edited.drive, edited.folder,
                    static_cast<DWORD>(edited.made.saved));
}

// A drive for every user is removed by the elevated part once the administrator says so, told
// where another program made it.
void RemoveMachine(HWND window, const Offered& offered) {
    const UINT confirm =
        offered.machineEntry.ours ? IDS_CONFIRM_REMOVE_MACHINE : IDS_CONFIRM_REMOVE_OTHER;
    if (Texts::Ask(window, confirm, MB_YESNO | MB_ICONQUESTION, offered.drive, offered.Folder()) ==
        IDYES)
        // One that never took effect does not stay until a restart.
        Elevated::ChangeMachineDrive(window, offered.drive, nullptr,
                                     offered.machineEntry.present ? IDS_MACHINE_REMOVED
                                                                  : IDS_MACHINE_REMOVED_PENDING);
    Settle(window, offered.key);
}

// A drive kept for sign-in is removed only once the user says so: it would not come back.
void Remove(HWND window) {
    const Offered offered = OfferedFor(DriveList::Selected(ListOf(window)));
    if (!offered.drive)
        return;
    if (offered.machine) {
        RemoveMachine(window, offered);
        return;
    }
    if (offered.entry.saved && Texts::Ask(window, IDS_CONFIRM_REMOVE, MB_YESNO | MB_ICONQUESTION,
                                          offered.drive, offered.entry.Folder()) != IDYES) {
        Settle(window, offered.drive);
        return;
    }
    const HWND list = ListOf(window);
    const int row = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, -1, LVNI_SELECTED));
    int error = 0;
    const Problem problem = DriveActions::Delete(offered.drive, error);
    Settle(window, 0);
    // The row that took the removed one's place is selected, for the next key press.
    const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    if (row >= 0 && count > 0)
        DriveList::Select(list, DriveList::DriveAt(list, row < count ? row : count - 1));
    if (problem == Problem::Other)
        Texts::Show(window, IDS_DELETE_FAILED, MB_ICONEXCLAMATION, offered.drive,
                    offered.entry.Folder(), error);
}

// Whether the folder is there was checked just now: a failure of the shell's own is said as
// the shell's, never as a folder gone.
void Open(HWND window) {
    const Offered offered = OfferedFor(DriveList::Selected(ListOf(window)));
    if (!offered.OpenOffered())
        return;
    if (!offered.open) {
        Texts::Show(window, IDS_OPEN_MISSING, MB_ICONEXCLAMATION, offered.drive, offered.Folder(),
                    0);
        return;
    }
    if (const int error = Explorer::OpenDrive(window, offered.drive))
        Texts::Show(window, IDS_OPEN_FAILED, MB_ICONEXCLAMATION, offered.drive, offered.Folder(),
                    static_cast<DWORD>(error));
}

// A drive's folder itself: it opens where the letter does not (a saved drive not mapped now).
void OpenFolder(HWND window) {
    const Offered offered = OfferedFor(DriveList::Selected(ListOf(window)));
    if (!offered.drive || !*offered.Folder())
        return;
    if (!offered.folder) {
        Texts::Show(window, IDS_OPEN_MISSING, MB_ICONEXCLAMATION, offered.drive, offered.Folder(),
                    0);
        return;
    }
    if (const int error = Explorer::OpenFolder(window, offered.Folder()))
        Texts::Show(window, IDS_OPEN_FAILED, MB_ICONEXCLAMATION, offered.drive, offered.Folder(),
                    static_cast<DWORD>(error));
}

// A saved drive not mapped now, mapped as a restore would.
void RestoreNow(HWND window) {
    const Offered offered = OfferedFor(DriveList::Selected(ListOf(window)));
    if (!offered.restore)
        return;
    const DriveActions::Made made =
        DriveActions::Make(offered.drive, offered.entry.savedFolder, DriveActions::Keep::BySetting,
                           FolderNames::Names::FullOnly);
    Settle(window, offered.drive);
    if (made.created)
        Texts::Show(window, Texts::CreateFailure(DriveActions::ProblemOf(made.created)),
                    MB_ICONEXCLAMATION, offered.drive, offered.entry.savedFolder,
                    static_cast<DWORD>(made.created));
}

// A row's tick: its drive kept for sign-in or not. A saved drive not mapped now that is
// unticked is removed, as Remove does.
void Tick(HWND window, int drive, bool ticked) {
    // A drive for every user has no box to tick: whatever the list did is undone.
    if (DriveList::IsMachine(drive)) {
        Settle(window, drive);
        return;
    }
    const Offered offered = OfferedFor(drive);
    DriveList::Select(ListOf(window), drive);
    if (!offered.entry.mapped) {
        if (!ticked)
            Remove(window);
        else
            Settle(window, drive);
        return;
    }
    const int error = DriveActions::KeepForSignIn(drive, ticked);
    Settle(window, drive);
    if (DriveActions::ProblemOf(error) == DriveActions::Problem::SetByPolicy)
        Texts::Show(window, IDS_SET_BY_POLICY, MB_ICONINFORMATION, drive, nullptr, 0);
    else if (error)
        Texts::Show(window, IDS_SAVE_FAILED, MB_ICONEXCLAMATION, drive, offered.entry.mappedFolder,
                    static_cast<DWORD>(error));
}

void CopyFolder(HWND window) {
    const Offered offered = OfferedFor(DriveList::Selected(ListOf(window)));
    if (offered.drive)
        Clipboard::PutText(window, offered.Folder());
}

void Persist(HWND window) {
    const bool on = IsDlgButtonChecked(window, IDC_PERSIST) == BST_CHECKED;
    if (const int error = DriveActions::Persist(on))
        Texts::Show(window, IDS_SETTING_FAILED, MB_ICONEXCLAMATION, 0, nullptr, error);
    Refresh(window);
}

// The row's menu, at the mouse or, from the keyboard, at the selected row.
void ShowRowMenu(HWND window, LPARAM at) {
    const HWND list = ListOf(window);
    const Offered offered = OfferedFor(DriveList::Selected(list));
    if (!offered.drive)
        return;
    POINT point = {GET_X_LPARAM(at), GET_Y_LPARAM(at)};
    if (at == -1) {
        RECT row = {};
        row.left = LVIR_LABEL;
        SendMessageW(list, LVM_GETITEMRECT, SendMessageW(list, LVM_GETNEXTITEM, -1, LVNI_SELECTED),
                     reinterpret_cast<LPARAM>(&row));
        point = {row.left, row.bottom};
        ClientToScreen(list, &point);
    }
    const struct {
        UINT command;
        UINT text;
        bool offered;
    } items[] = {{IDC_OPEN, IDS_MENU_OPEN, offered.OpenOffered()},
                 {IDC_OPEN_FOLDER, IDS_MENU_OPEN_FOLDER, offered.folder},
                 {IDC_CHANGE, IDS_MENU_CHANGE, offered.change},
                 {IDC_REMOVE, IDS_MENU_REMOVE, true},
                 {IDC_RESTORE_NOW, IDS_MENU_RESTORE_NOW, offered.restore},
                 {IDC_COPY_FOLDER, IDS_MENU_COPY, *offered.Folder() != 0}};
    const UniqueMenu menu(CreatePopupMenu());
    for (const auto& item : items) {
        wchar_t text[64];
        AppendMenuW(menu.Get(), MF_STRING | (item.offered ? 0 : MF_GRAYED), item.command,
                    ToolTexts::Load(item.text, text, 64));
    }
    TrackPopupMenu(menu.Get(), TPM_RIGHTBUTTON, point.x, point.y, 0, window, nullptr);
}

// A folder dropped on the window: the dialog that makes a drive, with that folder.
void TakeDrop(HWND window, HDROP drop) {
    FolderName::Typed folder = {};
    const UINT length = ShellCalls::FirstDropped(drop, folder.text, FolderName::kTypedUnits);
    ShellCalls::FinishDrop(drop);
    const DWORD attributes = length ? GetFileAttributesW(folder.text) : INVALID_FILE_ATTRIBUTES;
    if (length < FolderName::kTypedUnits - 1 && attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & FILE_ATTRIBUTE_DIRECTORY))
        Edit(window, false, folder.text);
}

bool OnCommand(HWND window, WORD id, WORD code) {
    switch (id) {
    case IDC_ADD:
        Edit(window, false);
        return true;
    case IDC_CHANGE:
        Edit(window, true);
        return true;
    case IDC_REMOVE:
        Remove(window);
        return true;
    case IDOK: // Enter
    case IDC_OPEN:
        Open(window);
        return true;
    case IDC_RESTORE_NOW:
        RestoreNow(window);
        return true;
    case IDC_COPY_FOLDER:
        CopyFolder(window);
        return true;
    case IDC_OPEN_FOLDER:
        OpenFolder(window);
        return true;
    case IDC_PERSIST:
        if (code == BN_CLICKED)
            Persist(window);
        return true;
    case IDCANCEL: // Escape: it closes dialogs, never the window (WM_CLOSE does)
        return true;
    }
    return false;
}

void OnListKey(HWND window, WORD key) {
    if (key == VK_DELETE)
        Remove(window);
    else if (key == VK_F2)
        Edit(window, true);
}

bool OnNotify(HWND window, NMHDR& header) {
    if (header.idFrom != IDC_LIST)
        return false;
    bool ticked = false;
    switch (header.code) {
    case LVN_KEYDOWN:
        OnListKey(window, reinterpret_cast<const NMLVKEYDOWN&>(header).wVKey);
        break;
    case NM_DBLCLK:
        Edit(window, true);
        break;
    case LVN_GETINFOTIPW:
        DriveList::Tip(header.hwndFrom, reinterpret_cast<NMLVGETINFOTIPW&>(header));
        break;
    case LVN_ITEMCHANGED: {
        const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
        // Acted on once the list has finished its own change.
        if (DriveList::TickChanged(change, ticked))
            PostMessageW(window, kRowTickedMessage,
                         DriveList::DriveAt(header.hwndFrom, change.iItem), ticked);
        // While the list fills, Refresh sets the buttons once it is done.
        if (!DriveList::Filling())
            UpdateButtons(window);
        break;
    }
    }
    return true;
}

bool IsVolumeChange(WPARAM event, LPARAM data) {
    const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(data);
    return (event == DBT_DEVICEARRIVAL || event == DBT_DEVICEREMOVECOMPLETE) && header &&
           header->dbch_devicetype == DBT_DEVTYP_VOLUME;
}

void OnInit(HWND window) {
    SendMessageW(window, WM_SETICON, ICON_BIG,
                 reinterpret_cast<LPARAM>(
                     LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_DRIVES))));
    WindowLayout::Remember(window);
    Placement::Restore(window);
    DriveList::Prepare(ListOf(window), Placement::KeptColumns());
    Refresh(window);
    SetTimer(window, kPollTimer, kPollMilliseconds, nullptr);
}

// Moved to a screen of another DPI: the rectangle the platform suggests, and everything in it
// measured anew.
void OnDpiChanged(HWND window, UINT dpi, const RECT& suggested) {
    WindowLayout::ChangeDpi(window, dpi);
    SetWindowPos(window, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    DriveList::Rescale(ListOf(window));
}

INT_PTR CALLBACK DrivesProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        OnInit(window);
        return TRUE;
    case WM_COMMAND:
        return OnCommand(window, LOWORD(wParam), HIWORD(wParam));
    case WM_NOTIFY:
        return OnNotify(window, *reinterpret_cast<NMHDR*>(lParam));
    case WM_CONTEXTMENU:
        if (reinterpret_cast<HWND>(wParam) == ListOf(window))
            ShowRowMenu(window, lParam);
        return TRUE;
    case WM_DROPFILES:
        TakeDrop(window, reinterpret_cast<HDROP>(wParam));
        return TRUE;
    case WM_SIZE:
        WindowLayout::Apply(window);
        DriveList::Fit(ListOf(window));
        return TRUE;
    case WM_DPICHANGED:
        OnDpiChanged(window, HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return TRUE;
    case WM_GETMINMAXINFO:
        WindowLayout::Limit(*reinterpret_cast<MINMAXINFO*>(lParam));
        return TRUE;
    case WM_DEVICECHANGE:
        if (IsVolumeChange(wParam, lParam))
            Refresh(window);
        return TRUE;
    case kDrivesChangedMessage:
        Refresh(window);
        return TRUE;
    case kRowTickedMessage:
        Tick(window, static_cast<int>(wParam), lParam != 0);
        return TRUE;
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE)
            wentAway = true;
        else if (wentAway)
            Refresh(window);
        return FALSE;
    case WM_TIMER:
        if (static_cast<DWORD>(GetWindowLongPtrW(window, DWLP_USER)) != GetLogicalDrives())
            Refresh(window);
        return TRUE;
    case WM_CLOSE: // the close box, Alt+F4
        DestroyWindow(window);
        return TRUE;
    case WM_DESTROY:
        Placement::Keep(window);
        Placement::KeepColumns(DriveList::Chosen(ListOf(window)));
        WindowLayout::Forget();
        KillTimer(window, kPollTimer);
        PostQuitMessage(0);
        return TRUE;
    }
    return FALSE;
}

} // namespace

HWND CreateDrivesWindow(HINSTANCE instance) noexcept {
    const DLGTEMPLATE* dialog = Texts::Dialog(IDD_DRIVES);
    return dialog ? CreateDialogIndirectParamW(instance, dialog, nullptr, DrivesProc, 0) : nullptr;
}
