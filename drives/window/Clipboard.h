#pragma once
#include <windows.h>

namespace Clipboard {

// Puts the text on the clipboard, as Unicode text; false when the clipboard could not be had.
bool PutText(HWND owner, const wchar_t* text) noexcept;

} // namespace Clipboard
