#include "drives/window/AddDialog.h"
#include "drives/DriveStore.h"
#include "drives/ToolTexts.h"
#include "drives/window/DrivesIds.h"
#include "drives/window/FolderPicker.h"
#include "drives/window/Texts.h"
#include "support/DriveLetters.h"

namespace {

// Only the letters free now, each item's data its drive number.
void ListFreeLetters(HWND letters) {
    const DWORD free = DriveLetters::FreeOf(GetLogicalDrives());
    for (int drive = 1; drive <= DriveLetters::kCount; ++drive) {
        if (!(free & (1u << (drive - 1))))
            continue;
        const DriveLetters::Name name = DriveLetters::DeviceName(drive);
        const LRESULT item =
            SendMessageW(letters, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.text));
        SendMessageW(letters, CB_SETITEMDATA, item, drive);
    }
    SendMessageW(letters, CB_SETCURSEL, 0, 0);
}

void Browse(HWND dialog) {
    wchar_t title[128];
    wchar_t folder[MAX_PATH];
    if (PickFolder(dialog, ToolTexts::Load(IDS_PICK_FOLDER, title, 128), folder))
        SetDlgItemTextW(dialog, IDC_FOLDER, folder);
}

// False, with the dialog left open, while no letter or no folder is chosen.
bool Accept(HWND dialog, AddChoice& choice) {
    const HWND letters = GetDlgItem(dialog, IDC_LETTER);
    const LRESULT item = SendMessageW(letters, CB_GETCURSEL, 0, 0);
    if (item == CB_ERR)
        return false;
    choice.drive = static_cast<int>(SendMessageW(letters, CB_GETITEMDATA, item, 0));
    GetDlgItemTextW(dialog, IDC_FOLDER, choice.folder, MAX_PATH);
    choice.save = IsDlgButtonChecked(dialog, IDC_SAVE) == BST_CHECKED;
    if (choice.folder[0])
        return true;
    Texts::Show(dialog, IDS_NO_FOLDER, MB_ICONEXCLAMATION, choice.drive, nullptr);
    SetFocus(GetDlgItem(dialog, IDC_FOLDER));
    return false;
}

INT_PTR CALLBACK AddProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        ListFreeLetters(GetDlgItem(dialog, IDC_LETTER));
        CheckDlgButton(dialog, IDC_SAVE,
                       DriveStore::RestoreAtSignIn() ? BST_CHECKED : BST_UNCHECKED);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_BROWSE:
            Browse(dialog);
            return TRUE;
        case IDOK:
            if (Accept(dialog, *reinterpret_cast<AddChoice*>(GetWindowLongPtrW(dialog, DWLP_USER))))
                EndDialog(dialog, IDOK);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

} // namespace

bool AskForDrive(HWND owner, AddChoice& choice) noexcept {
    const DLGTEMPLATE* dialog = Texts::Dialog(IDD_ADD);
    return dialog && DialogBoxIndirectParamW(GetModuleHandleW(nullptr), dialog, owner, AddProc,
                                             reinterpret_cast<LPARAM>(&choice)) == IDOK;
}
