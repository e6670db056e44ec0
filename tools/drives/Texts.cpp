#include "tools/drives/Texts.h"
#include "extension/UiLanguage.h"

namespace {

const void* Resource(LPCWSTR type, LPCWSTR name) {
    const HRSRC found = FindResourceExW(nullptr, type, name, ChooseUiLanguage());
    const HGLOBAL loaded = found ? LoadResource(nullptr, found) : nullptr;
    return loaded ? LockResource(loaded) : nullptr;
}

} // namespace

namespace Texts {

// From its block of sixteen counted strings, in the chosen language whatever the thread's.
const wchar_t* Load(UINT id, wchar_t* buffer, int units) noexcept {
    buffer[0] = 0;
    const auto* p = static_cast<const wchar_t*>(
        Resource(reinterpret_cast<LPCWSTR>(RT_STRING), MAKEINTRESOURCEW(id / 16 + 1)));
    if (!p)
        return buffer;
    for (UINT i = 0; i < id % 16; ++i)
        p += 1 + *p;
    lstrcpynW(buffer, p + 1, *p + 1 < units ? *p + 1 : units);
    return buffer;
}

const DLGTEMPLATE* Dialog(UINT id) noexcept {
    return static_cast<const DLGTEMPLATE*>(
        Resource(reinterpret_cast<LPCWSTR>(RT_DIALOG), MAKEINTRESOURCEW(id)));
}

void Show(HWND owner, UINT id, UINT icon, int drive, const wchar_t* folder, DWORD error) noexcept {
    wchar_t pattern[512];
    wchar_t title[64];
    GetWindowTextW(GetAncestor(owner, GA_ROOT), title, 64);
    const wchar_t letter[] = {static_cast<wchar_t>(L'A' + drive - 1), 0};
    wchar_t code[16];
    wsprintfW(code, L"%lu", error);
    DWORD_PTR inserts[] = {reinterpret_cast<DWORD_PTR>(letter),
                           reinterpret_cast<DWORD_PTR>(folder ? folder : L""),
                           reinterpret_cast<DWORD_PTR>(code)};
    wchar_t* message = nullptr;
    if (FormatMessageW(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ALLOCATE_BUFFER |
                           FORMAT_MESSAGE_ARGUMENT_ARRAY,
                       Load(id, pattern, 512), 0, 0, reinterpret_cast<LPWSTR>(&message), 0,
                       reinterpret_cast<va_list*>(inserts)))
        MessageBoxW(owner, message, title, MB_OK | icon);
    LocalFree(message);
}

} // namespace Texts
