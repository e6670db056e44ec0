#pragma once
#include <windows.h>
#include <stdarg.h>
#include "support/AnsiString.h"

// How FindStringEntry looks up the block that holds an entry.
enum class StringBlockLookup {
    NeutralLanguage, // FindResourceExA with LANG_NEUTRAL
    DefaultLanguage, // FindResourceA
};

// Address of the entry's count word, or null when the block or a non-empty entry is missing.
const WORD* FindStringEntry(HMODULE module, UINT id, StringBlockLookup lookup) noexcept;

// Loads one string-table entry as ANSI text; false leaves the string as it was.
bool LoadResourceString(AnsiString& text, UINT id) noexcept;

// printf-style formatting with wvsprintfA (at most 1024 chars). A null format or no memory
// leaves the string as it was.
void FormatTextV(AnsiString& text, const char* format, va_list arguments) noexcept;
void FormatText(AnsiString& text, const char* format, ...) noexcept;
// Formats with the text of a string-table entry; a missing entry formats the empty text.
void FormatResourceText(AnsiString& text, UINT id, ...) noexcept;
