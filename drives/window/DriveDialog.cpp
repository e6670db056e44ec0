#include "drives/window/DriveDialog.h"
#include "drives/DosDevices.h"
#include "drives/DriveStore.h"
#include "drives/ToolTexts.h"
#include "drives/MachineDrives.h"
#include "drives/window/DrivesIds.h"
#include "drives/window/Elevated.h"
#include "drives/window/FolderName.h"
#include "drives/window/FolderPicker.h"
#include "drives/window/Texts.h"
#include "support/DriveLetters.h"
#include "support/Policy.h"

namespace {

using DriveActions::Problem;

// The dialog's own state: what it edits and what it did.
struct Editing {
    const DriveEdit* edit;
    DriveEdited* edited;
};

// The letters free now and the drive changed, each item's data its drive number; the
// platform's guidance for a session's drives is to take letters from Z: downward, so the last
// free one is offered for a new drive.
void ListLetters(HWND letters, int changed) {
    SendMessageW(letters, CB_RESETCONTENT, 0, 0);
    DWORD free = DosDevices::FreeLetters();
    if (changed)
        free |= 1u << (changed - 1);
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
    if (changed) {
        const DriveLetters::Name name = DriveLetters::DeviceName(changed);
        SendMessageW(letters, CB_SELECTSTRING, static_cast<WPARAM>(-1),
                     reinterpret_cast<LPARAM>(name.text));
    }
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

// Focus on the control the user has to change, its text selected.
void Refocus(HWND dialog, int control) {
    SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, control)),
                 TRUE);
}

// The folder the box names, or false with the reason said. A name as long as the box holds may
// have been cut when it was pasted: it is never guessed at.
bool ReadFolder(HWND dialog, DriveEdited& result) {
    const HWND box = GetDlgItem(dialog, IDC_FOLDER);
    FolderName::Typed typed = {};
    FolderName::Read read = FolderName::Read::TooLong;
    if (GetWindowTextLengthW(box) < FolderName::kTypedUnits - 1) {
        GetWindowTextW(box, typed.text, FolderName::kTypedUnits);
        read = FolderName::FromTyped(typed, result.folder);
    }
    if (read == FolderName::Read::Folder)
        return true;
    Texts::Show(dialog, read == FolderName::Read::Empty ? IDS_NO_FOLDER : IDS_NAME_TOO_LONG,
                MB_ICONEXCLAMATION, result.drive, nullptr);
    Refocus(dialog, IDC_FOLDER);
    return false;
}

// A drive for every user: checked here, where the user's own drives are seen, and made by the
// elevated part, which says how it went.
bool AcceptMachine(HWND dialog, DriveEdited& result) {
    UniqueLocalText full = MachineDrives::NewFolder();
    int error = ERROR_OUTOFMEMORY;
    const Problem problem =
        full ? DriveActions::CheckMachine(result.drive, result.folder, FolderNames::Names::FullOnly,
                                          full.Get(), error)
             : Problem::Other;
    if (problem != Problem::None) {
        Texts::Show(dialog, Texts::CreateFailure(problem), MB_ICONEXCLAMATION, result.drive,
                    result.folder, static_cast<DWORD>(error));
        const bool letter = problem == Problem::LetterInUse || problem == Problem::SessionDrive;
        Refocus(dialog, letter ? IDC_LETTER : IDC_FOLDER);
        return false;
    }
    if (DriveActions::UnderAProfile(full.Get()) &&
        Texts::Ask(dialog, IDS_MACHINE_PROFILE, MB_OKCANCEL | MB_ICONWARNING, result.drive,
                   full.Get()) != IDOK)
        return false;
    result.machine =
        Elevated::ChangeMachineDrive(dialog, result.drive, full.Get(), IDS_MACHINE_MADE);
    return result.machine;
}

// The restore box is the session's: for a drive for every user, which Windows itself makes at
// each start, it is unticked and greyed, and comes back as the user left it. A drive for every
// user is made behind the shield.
void ShowScope(HWND dialog) {
    const bool machine = IsDlgButtonChecked(dialog, IDC_MACHINE) == BST_CHECKED;
    const HWND save = GetDlgItem(dialog, IDC_SAVE);
    if (machine)
        SetWindowLongPtrW(save, GWLP_USERDATA, IsDlgButtonChecked(dialog, IDC_SAVE));
    CheckDlgButton(dialog, IDC_SAVE,
                   machine ? BST_UNCHECKED
                           : static_cast<UINT>(GetWindowLongPtrW(save, GWLP_USERDATA)));
    EnableWindow(save,
                 !machine && DriveStore::RestoreSetting() != DriveStore::Restoring::OffByPolicy);
    SendDlgItemMessageW(dialog, IDOK, Elevated::kSetShield, 0, machine);
}

// The Change dialog has no scope box: the buttons below it move up into its place.
void CloseScopeGap(HWND dialog) {
    RECT scope = {};
    RECT save = {};
    GetWindowRect(GetDlgItem(dialog, IDC_MACHINE), &scope);
    GetWindowRect(GetDlgItem(dialog, IDC_SAVE), &save);
    const int gap = scope.bottom - save.bottom;
    const int buttons[] = {IDOK, IDCANCEL};
    for (int id : buttons) {
        const HWND button = GetDlgItem(dialog, id);
        RECT at = {};
        GetWindowRect(button, &at);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&at), 2);
        SetWindowPos(button, nullptr, at.left, at.top - gap, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    }
    RECT frame = {};
    GetWindowRect(dialog, &frame);
    SetWindowPos(dialog, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top - gap,
                 SWP_NOMOVE | SWP_NOZORDER);
}

// Makes or changes the drive the dialog describes; false, with the dialog left open and the
// reason said, when it cannot be.
bool Accept(HWND dialog, const Editing& editing) {
    DriveEdited& result = *editing.edited;
    const int changed = editing.edit->drive;
    const HWND letters = GetDlgItem(dialog, IDC_LETTER);
    const LRESULT item = SendMessageW(letters, CB_GETCURSEL, 0, 0);
    if (item == CB_ERR)
        return false;
    result.drive = static_cast<int>(SendMessageW(letters, CB_GETITEMDATA, item, 0));
    if (!ReadFolder(dialog, result))
        return false;
    if (!changed && IsDlgButtonChecked(dialog, IDC_MACHINE) == BST_CHECKED)
        return AcceptMachine(dialog, result);
    // A new drive ticked is what /save means; a changed drive keeps its own entry, and the
    // user's setting stays the master switch.
    const bool ticked = IsDlgButtonChecked(dialog, IDC_SAVE) == BST_CHECKED;
    const DriveActions::Keep kept =
        changed ? DriveActions::Keep::Entry : DriveActions::Keep::Always;
    const DriveActions::Keep keep = ticked ? kept : DriveActions::Keep::Never;
    result.made = changed ? DriveActions::Change(changed, result.drive, result.folder, keep)
                          : DriveActions::Make(result.drive, result.folder, keep,
                                               FolderNames::Names::FullOnly);
    // A new drive that was made stays, kept or not (the window says which); a change is all
    // or nothing.
    if (!result.made.created && (!changed || !result.made.saved))
        return true;
    if (!result.made.created) {
        Texts::Show(dialog, IDS_CHANGE_FAILED, MB_ICONEXCLAMATION, changed, result.folder,
                    static_cast<DWORD>(result.made.saved));
        return false;
    }
    const Problem problem = DriveActions::ProblemOf(result.made.created);
    Texts::Show(dialog, Texts::CreateFailure(problem), MB_ICONEXCLAMATION, result.drive,
                result.folder, static_cast<DWORD>(result.made.created));
    // A letter taken meanwhile: the letters offered are the free ones again.
    const bool letter = problem == Problem::LetterInUse || problem == Problem::MachineDrive;
    if (letter)
        ListLetters(letters, changed);
    Refocus(dialog, letter ? IDC_LETTER : IDC_FOLDER);
    return false;
}

// The dialog as it opens: a changed drive's letter, folder and restore box, or for a new one
// the last free letter, a folder offered and the user's restore.
void Start(HWND dialog, const DriveEdit& edit) {
    if (edit.drive) {
        wchar_t title[128];
        SetWindowTextW(dialog, ToolTexts::Load(IDS_CHANGE_TITLE, title, ARRAYSIZE(title)));
    }
    // A drive changes within its scope: the session's drives are the ones changed here. The
    // administrator's policy may keep drives for every user out of the window.
    if (edit.drive || Policy::OfferDrivesForEveryUser() == Policy::Switch::Off) {
        ShowWindow(GetDlgItem(dialog, IDC_MACHINE), SW_HIDE);
        CloseScopeGap(dialog);
    }
    SendDlgItemMessageW(dialog, IDC_FOLDER, EM_LIMITTEXT, FolderName::kTypedUnits - 1, 0);
    if (edit.folder)
        SetDlgItemTextW(dialog, IDC_FOLDER, edit.folder);
    ListLetters(GetDlgItem(dialog, IDC_LETTER), edit.drive);
    // Where the policy turns restoring off, nothing is saved for sign-in.
    const DriveStore::Restoring setting = DriveStore::RestoreSetting();
    const bool offByPolicy = setting == DriveStore::Restoring::OffByPolicy;
    const bool keep = !offByPolicy && (edit.drive ? edit.keep : DriveStore::IsOn(setting));
    CheckDlgButton(dialog, IDC_SAVE, keep ? BST_CHECKED : BST_UNCHECKED);
    EnableWindow(GetDlgItem(dialog, IDC_SAVE), !offByPolicy);
}

INT_PTR CALLBACK DriveProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        Start(dialog, *reinterpret_cast<const Editing*>(lParam)->edit);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_BROWSE:
            Browse(dialog);
            return TRUE;
        case IDC_MACHINE:
            ShowScope(dialog);
            return TRUE;
        case IDOK:
            if (Accept(dialog,
                       *reinterpret_cast<const Editing*>(GetWindowLongPtrW(dialog, DWLP_USER))))
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

bool EditDrive(HWND owner, const DriveEdit& edit, DriveEdited& edited) noexcept {
    const DLGTEMPLATE* dialog = Texts::Dialog(IDD_ADD);
    Editing editing = {&edit, &edited};
    return dialog && DialogBoxIndirectParamW(GetModuleHandleW(nullptr), dialog, owner, DriveProc,
                                             reinterpret_cast<LPARAM>(&editing)) == IDOK;
}
