#include "drives/window/AddDialog.h"
#include "drives/DriveStore.h"
#include "drives/ToolTexts.h"
#include "drives/window/DrivesIds.h"
#include "drives/window/FolderName.h"
#include "drives/window/FolderPicker.h"
#include "drives/window/Texts.h"
#include "support/DriveLetters.h"

namespace {

using DriveActions::Problem;

// Only the letters free now, each item's data its drive number; the platform's guidance for a
// session's drives is to take letters from Z: downward, so the last free one is offered.
void ListFreeLetters(HWND letters) {
    SendMessageW(letters, CB_RESETCONTENT, 0, 0);
    const DWORD free = DriveLetters::FreeOf(GetLogicalDrives());
    for (int drive = 1; drive <= DriveLetters::kCount; ++drive) {
        if (!(free & (1u << (drive - 1))))
            continue;
        const DriveLetters::Name name = DriveLetters::DeviceName(drive);
        const LRESULT item =
            SendMessageW(letters, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.text));
        SendMessageW(letters, CB_SETITEMDATA, item, drive);
    }
    const LRESULT count = SendMessageW(letters, CB_GETCOUNT, 0, 0);
    SendMessageW(letters, CB_SETCURSEL, count > 0 ? count - 1 : 0, 0);
}

void Browse(HWND dialog) {
    wchar_t title[128];
    FolderName::Typed folder = {};
    switch (PickFolder(dialog, ToolTexts::Load(IDS_PICK_FOLDER, title, 128), folder.text)) {
    case Picked::Folder:
        SetDlgItemTextW(dialog, IDC_FOLDER, folder.text);
        break;
    case Picked::TooLong:
        Texts::Show(dialog, IDS_NAME_TOO_LONG, MB_ICONEXCLAMATION, 0, nullptr);
        break;
    default:
        break;
    }
}

// Why a drive could not be made, in the window's words; any other problem with its code.
const struct {
    Problem problem;
    UINT text;
} kCreateFailures[] = {{Problem::LetterInUse, IDS_LETTER_IN_USE},
                       {Problem::FolderMissing, IDS_MISSING_FOLDER},
                       {Problem::NotAFolder, IDS_NOT_FOLDER},
                       {Problem::NameTooLong, IDS_PATH_TOO_LONG}};

UINT CreateFailureText(Problem problem) {
    for (const auto& failure : kCreateFailures)
        if (failure.problem == problem)
            return failure.text;
    return IDS_CREATE_FAILED;
}

// Focus on the control the user has to change, its text selected.
void Refocus(HWND dialog, int control) {
    SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, control)),
                 TRUE);
}

// Makes the drive the dialog describes; false, with the dialog left open and the reason said,
// when it cannot be.
bool Accept(HWND dialog, AddResult& result) {
    const HWND letters = GetDlgItem(dialog, IDC_LETTER);
    const LRESULT item = SendMessageW(letters, CB_GETCURSEL, 0, 0);
    if (item == CB_ERR)
        return false;
    result.drive = static_cast<int>(SendMessageW(letters, CB_GETITEMDATA, item, 0));
    // A name as long as the box holds may have been cut when it was pasted: never guessed at.
    const HWND box = GetDlgItem(dialog, IDC_FOLDER);
    FolderName::Typed typed = {};
    FolderName::Read read = FolderName::Read::TooLong;
    if (GetWindowTextLengthW(box) < FolderName::kTypedUnits - 1) {
        GetWindowTextW(box, typed.text, FolderName::kTypedUnits);
        read = FolderName::FromTyped(typed, result.folder);
    }
    switch (read) {
    case FolderName::Read::Empty:
        Texts::Show(dialog, IDS_NO_FOLDER, MB_ICONEXCLAMATION, result.drive, nullptr);
        Refocus(dialog, IDC_FOLDER);
        return false;
    case FolderName::Read::TooLong:
        Texts::Show(dialog, IDS_NAME_TOO_LONG, MB_ICONEXCLAMATION, result.drive, nullptr);
        Refocus(dialog, IDC_FOLDER);
        return false;
    default:
        break;
    }
    const bool keep = IsDlgButtonChecked(dialog, IDC_SAVE) == BST_CHECKED;
    result.made = DriveActions::Make(result.drive, result.folder,
                                     keep ? DriveActions::Keep::Always : DriveActions::Keep::Never);
    if (!result.made.created)
        return true;
    const Problem problem = DriveActions::ProblemOf(result.made.created);
    Texts::Show(dialog, CreateFailureText(problem), MB_ICONEXCLAMATION, result.drive, result.folder,
                static_cast<DWORD>(result.made.created));
    // A letter taken meanwhile: the letters offered are the free ones again.
    if (problem == Problem::LetterInUse)
        ListFreeLetters(letters);
    Refocus(dialog, problem == Problem::LetterInUse ? IDC_LETTER : IDC_FOLDER);
    return false;
}

INT_PTR CALLBACK AddProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        SendDlgItemMessageW(dialog, IDC_FOLDER, EM_LIMITTEXT, FolderName::kTypedUnits - 1, 0);
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
            if (Accept(dialog, *reinterpret_cast<AddResult*>(GetWindowLongPtrW(dialog, DWLP_USER))))
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

bool AddDrive(HWND owner, AddResult& result) noexcept {
    const DLGTEMPLATE* dialog = Texts::Dialog(IDD_ADD);
    return dialog && DialogBoxIndirectParamW(GetModuleHandleW(nullptr), dialog, owner, AddProc,
                                             reinterpret_cast<LPARAM>(&result)) == IDOK;
}
