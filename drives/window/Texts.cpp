#include "drives/window/Texts.h"
#include "drives/ToolTexts.h"
#include "drives/window/DrivesIds.h"
#include "support/DriveLetters.h"
#include "support/UiLanguage.h"

namespace {

using DriveActions::Problem;

// Any other problem is said with its code.
const ToolTexts::CaseText<Problem> kCreateFailures[] = {
    {Problem::LetterInUse, IDS_LETTER_IN_USE},  {Problem::FolderMissing, IDS_MISSING_FOLDER},
    {Problem::NotAFolder, IDS_NOT_FOLDER},      {Problem::NameTooLong, IDS_PATH_TOO_LONG},
    {Problem::MachineDrive, IDS_MACHINE_HOLDS}, {Problem::SessionDrive, IDS_MACHINE_SESSION_HOLDS},
    {Problem::NotLocal, IDS_MACHINE_NOT_LOCAL}, {Problem::NotFullPath, IDS_NOT_FULL_PATH},
    {Problem::BadName, IDS_NOT_FOLDER_NAME},    {Problem::ReservedLetter, IDS_RESERVED_LETTER},
    {Problem::SetByPolicy, IDS_SET_BY_POLICY}};

} // namespace

namespace Texts {

UINT CreateFailure(Problem problem) noexcept {
    return ToolTexts::TextOf(kCreateFailures, problem, IDS_CREATE_FAILED);
}

const DLGTEMPLATE* Dialog(UINT id) noexcept {
    const HRSRC found = FindResourceExW(nullptr, reinterpret_cast<LPCWSTR>(RT_DIALOG),
                                        MAKEINTRESOURCEW(id), ChooseUiLanguage());
    const HGLOBAL loaded = found ? LoadResource(nullptr, found) : nullptr;
    return loaded ? static_cast<const DLGTEMPLATE*>(LockResource(loaded)) : nullptr;
}

int Ask(HWND owner, UINT id, UINT style, int drive, const wchar_t* folder, DWORD error) noexcept {
    // The window's own title, or before there is a window, its name.
    wchar_t title[64] = L"Lanterwell";
    if (owner)
        GetWindowTextW(GetAncestor(owner, GA_ROOT), title, 64);
    const wchar_t letter[] = {DriveLetters::IsDrive(drive) ? DriveLetters::Letter(drive) : L'?', 0};
    const ToolTexts::Number code = ToolTexts::NumberText(error);
    // The platform's own words for the error, on one line.
    wchar_t cause[256] = L"";
    if (error)
        FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS |
                           FORMAT_MESSAGE_MAX_WIDTH_MASK,
                       nullptr, error, 0, cause, ARRAYSIZE(cause), nullptr);
    const wchar_t* inserts[] = {letter, folder, code.text, cause};
    const ToolTexts::Message message(id, inserts, 4);
    return message.Text() ? MessageBoxW(owner, message.Text(), title, style) : 0;
}

void Show(HWND owner, UINT id, UINT icon, int drive, const wchar_t* folder, DWORD error) noexcept {
    Ask(owner, id, MB_OK | icon, drive, folder, error);
}

} // namespace Texts
