#pragma once
#include <windows.h>

// lwsubst's output: messages from its string table in the user's UI language (Japanese or
// English), written as UTF-16 to a console and in the console's code page anywhere else.
namespace Console {

// Prints the message with its inserts: %1 the drive letter, %2 the text (or empty).
void Print(UINT id, wchar_t letter = L'?', const wchar_t* text = L"") noexcept;
// The same with an error code as %2.
void PrintError(UINT id, wchar_t letter, DWORD error) noexcept;

} // namespace Console
