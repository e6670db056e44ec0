#include "drives/window/DriveList.h"
#include "drives/DriveActions.h"
#include "drives/MachineDrives.h"
#include "drives/ToolTexts.h"
#include "drives/window/DrivesIds.h"
#include "drives/window/WindowLayout.h"
#include "support/DriveLetters.h"
#include <strsafe.h>

namespace {

using DriveActions::SignIn;

enum Column { kDriveColumn, kFolderColumn, kSignInColumn };
// The columns' widths as the window opens, in dialog units: they keep their share whatever the
// DPI. The sign-in column's is its least too.
const int kDriveWidth = 44;
const int kFolderWidth = 160;
const int kSignInWidth = 118;
// The folder column gives up its room first, down to this: the row's tip shows a folder whole,
// while a sign-in text cut would say nothing.
const int kFolderLeast = 40;
// LVIS_STATEIMAGEMASK's images with check boxes: 1 unticked, 2 ticked.
const UINT kUnticked = INDEXTOSTATEIMAGEMASK(1);
const UINT kTicked = INDEXTOSTATEIMAGEMASK(2);
const UINT kNoBox = INDEXTOSTATEIMAGEMASK(0);

bool filling = false;

// A width the user chose is kept in hundredths of a dialog unit, which the window's font and
// DPI measure anew; one wider than this is none.
const int kChosenScale = 100;
const int kMostChosen = 1000 * kChosenScale;
// The drive and sign-in columns' widths the layout last set, in pixels: a column found at
// another width was given it by the user, whose width it keeps from then on.
int laid[3] = {};
Placement::Columns chosen = {};

// What the list says of a drive at sign-in, in the words lwsubst's list uses; a state not
// listed has no row.
const ToolTexts::CaseText<SignIn> kSignInTexts[] = {
    {SignIn::NotSaved, IDS_NOT_SAVED},          {SignIn::Restored, IDS_RESTORED},
    {SignIn::SavedOffByUser, IDS_SAVED_OFF},    {SignIn::SavedOffMachine, IDS_SAVED_OFF_MACHINE},
    {SignIn::SavedNotMapped, IDS_SAVED_ABSENT}, {SignIn::Unreadable, IDS_UNREADABLE}};

UINT SignInText(SignIn state) {
    return ToolTexts::TextOf(kSignInTexts, state);
}

// Dialog units as the window's font measures them now: the dialog's own measure is fixed at
// the DPI it opened at.
int DialogUnits(HWND list, int units) {
    RECT width = {0, 0, units, 0};
    MapDialogRect(GetParent(list), &width);
    return WindowLayout::Scaled(width.right);
}

int FromChosen(HWND list, int width) {
    return MulDiv(width, DialogUnits(list, kMostChosen / kChosenScale), kMostChosen);
}

int ToChosen(HWND list, int pixels) {
    return MulDiv(pixels, kMostChosen, DialogUnits(list, kMostChosen / kChosenScale));
}

int Width(HWND list, int column) {
    return static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, column, 0));
}

void SetWidth(HWND list, int column, int pixels) {
    SendMessageW(list, LVM_SETCOLUMNWIDTH, column, pixels);
    laid[column] = Width(list, column);
}

// What the user did to the columns since the layout last set them.
void NoticeChosen(HWND list) {
    const struct {
        int column;
        int& width;
    } columns[] = {{kDriveColumn, chosen.drive}, {kSignInColumn, chosen.signIn}};
    for (const auto& column : columns) {
        const int now = Width(list, column.column);
        if (laid[column.column] && now != laid[column.column])
            column.width = ToChosen(list, now);
    }
}

void SetCell(HWND list, int row, int column, const wchar_t* text) {
    LVITEMW cell = {};
    cell.iSubItem = column;
    cell.pszText = const_cast<wchar_t*>(text);
    SendMessageW(list, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&cell));
}

// The folder, marked where it no longer exists.
void SetFolderCell(HWND list, int row, const wchar_t* folder) {
    if (!*folder || GetFileAttributesW(folder) != INVALID_FILE_ATTRIBUTES) {
        SetCell(list, row, kFolderColumn, folder);
        return;
    }
    const wchar_t* inserts[] = {L"", folder};
    const ToolTexts::Message marked(IDS_FOLDER_GONE, inserts, 2);
    SetCell(list, row, kFolderColumn, marked.Text() ? marked.Text() : folder);
}

// A drive for every user's third column: there now or from the next start, and whether
// Lanterwell made it ([ours][present]).
const UINT kScopeTexts[2][2] = {{IDS_SCOPE_OTHER_NEXT, IDS_SCOPE_OTHER},
                                {IDS_SCOPE_NEXT_START, IDS_SCOPE_EVERY_USER}};

// A row with its key, its box as given, its folder and its third column.
void AddRow(HWND list, int key, UINT box, const wchar_t* folder, UINT text) {
    DriveLetters::Name name = DriveLetters::DeviceName(DriveList::DriveOf(key));
    LVITEMW item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = INT_MAX;
    item.pszText = name.text;
    item.lParam = key;
    const int row =
        static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    // Set once the row is there: a list with check boxes gives a new row its own.
    LVITEMW tick = {};
    tick.stateMask = LVIS_STATEIMAGEMASK;
    tick.state = box;
    SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&tick));
    SetFolderCell(list, row, folder);
    wchar_t said[256];
    SetCell(list, row, kSignInColumn, ToolTexts::Load(text, said, 256));
}

void AddSessionRow(HWND list, int drive, const DriveActions::Listing& entry, SignIn state) {
    const bool kept = entry.saved && (!entry.mapped || entry.sameFolder);
    AddRow(list, drive, kept ? kTicked : kUnticked, entry.Folder(), SignInText(state));
}

// No box: a drive for every user is kept by the machine, not for anyone's sign-in.
void AddMachineRow(HWND list, int drive, wchar_t* folder) {
    const DriveActions::MachineListing entry = DriveActions::ReadMachine(drive, folder);
    if (!entry.listed)
        return;
    const UINT text =
        entry.unreadable ? IDS_SCOPE_UNREADABLE : kScopeTexts[entry.ours][entry.present];
    AddRow(list, drive | DriveList::kMachineRow, kNoBox, folder, text);
}

// The sign-in column as the user left it, or as wide as its longest text and never narrower
// than its least width.
void FitSignInColumn(HWND list) {
    if (chosen.signIn) {
        SetWidth(list, kSignInColumn, FromChosen(list, chosen.signIn));
        return;
    }
    SetWidth(list, kSignInColumn, LVSCW_AUTOSIZE);
    const int least = DialogUnits(list, kSignInWidth);
    if (Width(list, kSignInColumn) < least)
        SetWidth(list, kSignInColumn, least);
}

void SetDriveWidth(HWND list) {
    SetWidth(list, kDriveColumn,
             chosen.drive ? FromChosen(list, chosen.drive) : DialogUnits(list, kDriveWidth));
}

// The note that stands in the list while it has no rows, below its header.
void PlaceEmptyNote(HWND list) {
    const HWND note = GetDlgItem(list, IDC_EMPTY);
    RECT client = {};
    RECT header = {};
    GetClientRect(list, &client);
    GetWindowRect(reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0)), &header);
    const int margin = DialogUnits(list, 8);
    const int top = header.bottom - header.top + margin;
    MoveWindow(note, margin, top, client.right - 2 * margin, client.bottom - top - margin, TRUE);
}

// The note is the list's child, and the list view answers a child's colours as a dialog does,
// in grey: the list answers for it in its own (the system's) window colours.
LRESULT CALLBACK NoteColours(HWND list, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                             DWORD_PTR) {
    if (message != WM_CTLCOLORSTATIC)
        return DefSubclassProc(list, message, wParam, lParam);
    const HDC dc = reinterpret_cast<HDC>(wParam);
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    SetBkColor(dc, GetSysColor(COLOR_WINDOW));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
}

// A screen reader names a list view from its own text where the platform does not look at the
// label before it: the label's text, without its mnemonic ("&V" or the Japanese "(&V)").
void NameAfterLabel(HWND list) {
    wchar_t label[128] = {};
    GetDlgItemTextW(GetParent(list), IDC_LIST_LABEL, label, ARRAYSIZE(label));
    wchar_t name[128] = {};
    for (size_t from = 0, to = 0; label[from] && to + 1 < ARRAYSIZE(name); ++from) {
        if (label[from] == L'(' && label[from + 1] == L'&' && label[from + 2] &&
            label[from + 3] == L')')
            from += 3;
        else if (label[from] != L'&' || label[from + 1] == L'&')
            name[to++] = label[from];
    }
    SetWindowTextW(list, name);
}

void AddEmptyNote(HWND list) {
    wchar_t text[512];
    const HWND note = CreateWindowExW(
        0, L"STATIC", ToolTexts::Load(IDS_EMPTY, text, ARRAYSIZE(text)), WS_CHILD | SS_CENTER, 0, 0,
        0, 0, list, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_EMPTY)), nullptr, nullptr);
    SendMessageW(note, WM_SETFONT, SendMessageW(GetParent(list), WM_GETFONT, 0, 0), FALSE);
    SetWindowSubclass(list, NoteColours, 0, 0);
}

} // namespace

namespace DriveList {

void Prepare(HWND list, const Placement::Columns& kept) noexcept {
    const DWORD style = LVS_EX_FULLROWSELECT | LVS_EX_CHECKBOXES | LVS_EX_INFOTIP;
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, style, style);
    const struct {
        UINT text;
        int width;
    } columns[] = {{IDS_COLUMN_DRIVE, kDriveWidth},
                   {IDS_COLUMN_FOLDER, kFolderWidth},
                   {IDS_COLUMN_SIGNIN, kSignInWidth}};
    for (int i = 0; i < 3; ++i) {
        wchar_t text[64];
        LVCOLUMNW column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.cx = DialogUnits(list, columns[i].width);
        column.pszText = const_cast<wchar_t*>(ToolTexts::Load(columns[i].text, text, 64));
        SendMessageW(list, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
    }
    chosen.drive = kept.drive <= kMostChosen ? kept.drive : 0;
    chosen.signIn = kept.signIn <= kMostChosen ? kept.signIn : 0;
    SetDriveWidth(list);
    AddEmptyNote(list);
    NameAfterLabel(list);
}

void Fill(HWND list, DriveStore::Restoring setting) noexcept {
    filling = true;
    const int selected = Selected(list);
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    const UniqueLocalText machineFolder = MachineDrives::NewFolder();
    for (int drive = 1; drive <= DriveLetters::kCount; ++drive) {
        const DriveActions::Listing entry = DriveActions::Read(drive);
        const SignIn state = DriveActions::SignInOf(entry, setting);
        if (SignInText(state))
            AddSessionRow(list, drive, entry, state);
        if (machineFolder)
            AddMachineRow(list, drive, machineFolder.Get());
    }
    Select(list, selected);
    NoticeChosen(list);
    FitSignInColumn(list);
    Fit(list);
    const bool empty = SendMessageW(list, LVM_GETITEMCOUNT, 0, 0) == 0;
    ShowWindow(GetDlgItem(list, IDC_EMPTY), empty ? SW_SHOWNA : SW_HIDE);
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
    filling = false;
}

bool Filling() noexcept {
    return filling;
}

int DriveAt(HWND list, int row) noexcept {
    LVITEMW item = {};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    return row >= 0 && SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))
               ? static_cast<int>(item.lParam)
               : 0;
}

int Selected(HWND list) noexcept {
    return DriveAt(list, static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, -1, LVNI_SELECTED)));
}

void Select(HWND list, int key) noexcept {
    LVFINDINFOW find = {};
    find.flags = LVFI_PARAM;
    find.lParam = key;
    const int row =
        static_cast<int>(SendMessageW(list, LVM_FINDITEMW, -1, reinterpret_cast<LPARAM>(&find)));
    if (row < 0)
        return;
    LVITEMW state = {};
    state.stateMask = state.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state));
}

bool TickChanged(const NMLISTVIEW& change, bool& ticked) noexcept {
    if (filling || !(change.uChanged & LVIF_STATE) || change.iItem < 0)
        return false;
    const UINT before = change.uOldState & LVIS_STATEIMAGEMASK;
    const UINT after = change.uNewState & LVIS_STATEIMAGEMASK;
    if (!before || !after || before == after)
        return false;
    ticked = after == kTicked;
    return true;
}

void Tip(HWND list, NMLVGETINFOTIPW& tip) noexcept {
    if (!tip.pszText || tip.cchTextMax <= 0)
        return;
    LVITEMW cell = {};
    cell.iSubItem = kFolderColumn;
    cell.pszText = tip.pszText;
    cell.cchTextMax = tip.cchTextMax;
    tip.pszText[0] = 0;
    SendMessageW(list, LVM_GETITEMTEXTW, tip.iItem, reinterpret_cast<LPARAM>(&cell));
}

void Fit(HWND list) noexcept {
    NoticeChosen(list);
    RECT client = {};
    GetClientRect(list, &client);
    const int rest = client.right - Width(list, kDriveColumn) - Width(list, kSignInColumn);
    const int least = DialogUnits(list, kFolderLeast);
    SetWidth(list, kFolderColumn, rest > least ? rest : least);
    PlaceEmptyNote(list);
}

void Rescale(HWND list) noexcept {
    NoticeChosen(list);
    SetDriveWidth(list);
    FitSignInColumn(list);
    Fit(list);
}

Placement::Columns Chosen(HWND list) noexcept {
    NoticeChosen(list);
    return chosen;
}

} // namespace DriveList
