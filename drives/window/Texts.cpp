#include "drives/window/Texts.h"
#include "drives/ToolTexts.h"
#include "support/DriveLetters.h"
#include "support/UiLanguage.h"

namespace Texts {

const DLGTEMPLATE* Dialog(UINT id) noexcept {
    const HRSRC found = FindResourceExW(nullptr, reinterpret_cast<LPCWSTR>(RT_DIALOG),
                                        MAKEINTRESOURCEW(id), ChooseUiLanguage());
    const HGLOBAL loaded = found ? LoadResource(nullptr, found) : nullptr;
    return loaded ? static_cast<const DLGTEMPLATE*>(LockResource(loaded)) : nullptr;
}

void Show(HWND owner, UINT id, UINT icon, int drive, const wchar_t* folder, DWORD error) noexcept {
    // The window's own title, or before there is a window, its name.
    wchar_t title[64] = L"Lanterwell";
    if (owner)
        GetWindowTextW(GetAncestor(owner, GA_ROOT), title, 64);
    const wchar_t letter[] = {DriveLetters::IsDrive(drive) ? DriveLetters::Letter(drive) : L'?', 0};
    const ToolTexts::Number code = ToolTexts::NumberText(error);
    const wchar_t* inserts[] = {letter, folder, code.text};
    const ToolTexts::Message message(id, inserts, 3);
    if (message.Text())
        MessageBoxW(owner, message.Text(), title, MB_OK | icon);
}

} // namespace Texts
