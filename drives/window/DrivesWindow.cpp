#include "drives/window/DrivesWindow.h"
#include <commctrl.h>
#include <dbt.h>
#include "drives/DriveActions.h"
#include "drives/DriveStore.h"
#include "drives/ToolTexts.h"
#include "drives/window/AddDialog.h"
#include "drives/window/DrivesIds.h"
#include "drives/window/Texts.h"
#include "support/DriveLetters.h"

const wchar_t kDrivesWindowClass[] = L"LanterwellDrives";

namespace {

using DriveActions::Problem;
using DriveActions::SignIn;

enum Column { kDriveColumn, kFolderColumn, kSignInColumn };
// The sign-in column's least width, in dialog units.
const int kSignInWidth = 118;
// Drives made or removed where no message tells (another session's tools, a platform that
// broadcasts no change) show within this time.
const UINT kPollTimer = 1;
const UINT kPollMilliseconds = 2000;

// What the list says of a drive at sign-in, in the words lwsubst's list uses; a state not
// listed has no row.
const struct {
    SignIn state;
    UINT text;
} kSignInTexts[] = {
    {SignIn::NotSaved, IDS_NOT_SAVED},          {SignIn::Restored, IDS_RESTORED},
    {SignIn::SavedOffByUser, IDS_SAVED_OFF},    {SignIn::SavedOffMachine, IDS_SAVED_OFF_MACHINE},
    {SignIn::SavedNotMapped, IDS_SAVED_ABSENT}, {SignIn::Unreadable, IDS_UNREADABLE}};

UINT SignInText(SignIn state) {
    for (const auto& text : kSignInTexts)
        if (text.state == state)
            return text.text;
    return 0;
}

void SetCell(HWND list, int row, int column, const wchar_t* text) {
    LVITEMW cell = {};
    cell.iSubItem = column;
    cell.pszText = const_cast<wchar_t*>(text);
    SendMessageW(list, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&cell));
}

void AddRow(HWND list, int drive, const DriveActions::Listing& entry, UINT signIn) {
    DriveLetters::Name name = DriveLetters::DeviceName(drive);
    LVITEMW item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = INT_MAX;
    item.pszText = name.text;
    item.lParam = drive;
    const int row =
        static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    // A saved entry that names no folder has none to show, unless the drive is mapped.
    SetCell(list, row, kFolderColumn,
            entry.mapped  ? entry.mappedFolder
            : entry.saved ? entry.savedFolder
                          : L"");
    wchar_t text[256];
    SetCell(list, row, kSignInColumn, ToolTexts::Load(signIn, text, 256));
}

// The selected row's drive, 0 for none.
int SelectedDrive(HWND window) {
    const HWND list = GetDlgItem(window, IDC_LIST);
    const int row = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, -1, LVNI_SELECTED));
    LVITEMW item = {};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    return row >= 0 && SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))
               ? static_cast<int>(item.lParam)
               : 0;
}

void Select(HWND list, int drive) {
    LVFINDINFOW find = {};
    find.flags = LVFI_PARAM;
    find.lParam = drive;
    const int row =
        static_cast<int>(SendMessageW(list, LVM_FINDITEMW, -1, reinterpret_cast<LPARAM>(&find)));
    if (row < 0)
        return;
    LVITEMW state = {};
    state.stateMask = state.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state));
}

void UpdateButtons(HWND window) {
    const int drive = SelectedDrive(window);
    EnableWindow(GetDlgItem(window, IDC_REMOVE), drive != 0);
    EnableWindow(GetDlgItem(window, IDC_OPEN), drive && DriveActions::Read(drive).mapped);
}

void ShowRestoreSetting(HWND window, DriveStore::Restoring setting) {
    CheckDlgButton(window, IDC_PERSIST, DriveStore::IsOn(setting) ? BST_CHECKED : BST_UNCHECKED);
    const bool byMachine = setting == DriveStore::Restoring::ByMachine ||
                           setting == DriveStore::Restoring::OffOnMachine;
    wchar_t note[256];
    SetDlgItemTextW(window, IDC_PERSIST_NOTE,
                    byMachine ? ToolTexts::Load(IDS_MACHINE_DEFAULT, note, 256) : L"");
}

// The sign-in column as wide as its longest text, and never narrower than the dialog made it.
void FitSignInColumn(HWND list) {
    RECT least = {0, 0, kSignInWidth, 0};
    MapDialogRect(GetParent(list), &least);
    SendMessageW(list, LVM_SETCOLUMNWIDTH, kSignInColumn, LVSCW_AUTOSIZE);
    if (SendMessageW(list, LVM_GETCOLUMNWIDTH, kSignInColumn, 0) < least.right)
        SendMessageW(list, LVM_SETCOLUMNWIDTH, kSignInColumn, least.right);
}

// The virtual drives of this session and the saved ones not present now, the selection kept;
// the setting read once for every row.
void Refresh(HWND window) {
    const HWND list = GetDlgItem(window, IDC_LIST);
    const int selected = SelectedDrive(window);
    const DriveStore::Restoring setting = DriveStore::RestoreSetting();
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    for (int drive = 1; drive <= DriveLetters::kCount; ++drive) {
        const DriveActions::Listing entry = DriveActions::Read(drive);
        if (const UINT signIn = SignInText(DriveActions::SignInOf(entry, setting)))
            AddRow(list, drive, entry, signIn);
    }
    Select(list, selected);
    FitSignInColumn(list);
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    ShowRestoreSetting(window, setting);
    UpdateButtons(window);
    SetWindowLongPtrW(window, DWLP_USER, static_cast<LONG_PTR>(GetLogicalDrives()));
}

void Add(HWND window) {
    AddResult result;
    if (!AddDrive(window, result))
        return;
    Refresh(window);
    Select(GetDlgItem(window, IDC_LIST), result.drive);
    if (result.made.restoreTurnedOn)
        Texts::Show(window, IDS_RESTORE_TURNED_ON, MB_ICONINFORMATION, result.drive, nullptr);
    if (result.made.saved)
        Texts::Show(window, IDS_SAVE_FAILED, MB_ICONEXCLAMATION, result.drive, result.folder,
                    static_cast<DWORD>(result.made.saved));
}

void Remove(HWND window) {
    const int drive = SelectedDrive(window);
    if (!drive)
        return;
    const DriveActions::Listing entry = DriveActions::Read(drive);
    int error = 0;
    const Problem problem = DriveActions::Delete(drive, error);
    Refresh(window);
    // The button that was pressed may now be disabled: the keyboard stays with the list.
    SendMessageW(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(window, IDC_LIST)),
                 TRUE);
    if (problem == Problem::Other)
        Texts::Show(window, IDS_DELETE_FAILED, MB_ICONEXCLAMATION, drive,
                    entry.mapped ? entry.mappedFolder : entry.savedFolder, error);
}

void Open(HWND window) {
    const int drive = SelectedDrive(window);
    const DriveActions::Listing entry = DriveActions::Read(drive);
    if (!drive || !entry.mapped)
        return;
    const int error = DriveActions::Open(window, drive);
    if (!error)
        return;
    const bool gone = DriveActions::ProblemOf(error) == Problem::FolderMissing;
    Texts::Show(window, gone ? IDS_OPEN_MISSING : IDS_OPEN_FAILED, MB_ICONEXCLAMATION, drive,
                entry.mappedFolder, static_cast<DWORD>(error));
}

void Persist(HWND window) {
    const bool on = IsDlgButtonChecked(window, IDC_PERSIST) == BST_CHECKED;
    if (const int error = DriveActions::Persist(on))
        Texts::Show(window, IDS_SETTING_FAILED, MB_ICONEXCLAMATION, 0, nullptr, error);
    Refresh(window);
}

void AddColumns(HWND list) {
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT);
    const struct {
        UINT text;
        int width; // dialog units: the column keeps its share whatever the DPI
    } columns[] = {
        {IDS_COLUMN_DRIVE, 44}, {IDS_COLUMN_FOLDER, 160}, {IDS_COLUMN_SIGNIN, kSignInWidth}};
    for (int i = 0; i < 3; ++i) {
        RECT width = {0, 0, columns[i].width, 0};
        MapDialogRect(GetParent(list), &width);
        wchar_t text[64];
        LVCOLUMNW column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.cx = width.right;
        column.pszText = const_cast<wchar_t*>(ToolTexts::Load(columns[i].text, text, 64));
        SendMessageW(list, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
    }
}

bool OnCommand(HWND window, WORD id, WORD code) {
    switch (id) {
    case IDC_ADD:
        Add(window);
        return true;
    case IDC_REMOVE:
        Remove(window);
        return true;
    case IDOK: // Enter
    case IDC_OPEN:
        Open(window);
        return true;
    case IDC_PERSIST:
        if (code == BN_CLICKED)
            Persist(window);
        return true;
    case IDCANCEL: // Escape, or the close box
        DestroyWindow(window);
        return true;
    }
    return false;
}

bool OnNotify(HWND window, const NMHDR& header) {
    if (header.idFrom != IDC_LIST)
        return false;
    if (header.code == LVN_KEYDOWN &&
        reinterpret_cast<const NMLVKEYDOWN&>(header).wVKey == VK_DELETE)
        Remove(window);
    else if (header.code == NM_DBLCLK)
        Open(window);
    else if (header.code == LVN_ITEMCHANGED)
        UpdateButtons(window);
    return true;
}

bool IsVolumeChange(WPARAM event, LPARAM data) {
    const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(data);
    return (event == DBT_DEVICEARRIVAL || event == DBT_DEVICEREMOVECOMPLETE) && header &&
           header->dbch_devicetype == DBT_DEVTYP_VOLUME;
}

INT_PTR CALLBACK DrivesProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        SendMessageW(window, WM_SETICON, ICON_BIG,
                     reinterpret_cast<LPARAM>(
                         LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_DRIVES))));
        AddColumns(GetDlgItem(window, IDC_LIST));
        Refresh(window);
        SetTimer(window, kPollTimer, kPollMilliseconds, nullptr);
        return TRUE;
    case WM_COMMAND:
        return OnCommand(window, LOWORD(wParam), HIWORD(wParam));
    case WM_NOTIFY:
        return OnNotify(window, *reinterpret_cast<const NMHDR*>(lParam));
    case WM_DEVICECHANGE:
        if (IsVolumeChange(wParam, lParam))
            Refresh(window);
        return TRUE;
    case kDrivesChangedMessage:
        Refresh(window);
        return TRUE;
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE)
            Refresh(window);
        return FALSE;
    case WM_TIMER:
        if (static_cast<DWORD>(GetWindowLongPtrW(window, DWLP_USER)) != GetLogicalDrives())
            Refresh(window);
        return TRUE;
    case WM_DESTROY:
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
