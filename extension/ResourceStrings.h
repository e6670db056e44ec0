#pragma once
#include <windows.h>
#include <stdarg.h>
#include "extension/ExtensionModule.h"
#include "support/AnsiString.h"

// Where texts are looked up: the resource modules, in order, and the one language whose
// string table is read. The language is chosen, never left to the loader's fallback.
// The entries found are kept: one menu asks for the same few texts dozens of times, and each
// lookup walks a module's resource directory.
struct TextSource {
    struct Found {
        UINT id;
        const WORD* entry;
    };
    static const UINT kKept = 8;

    ResourceModules* modules;
    LANGID language;
    mutable Found found[kKept] = {};
    mutable UINT foundCount = 0;
};

// A text in UTF-16, as wvsprintfW makes it: at most 1024 units and a terminator.
struct WideUiText {
    static const int kCapacity = 1024;
    wchar_t text[kCapacity + 1] = {};
    int length = 0;
};

// Loads one string-table entry, as ANSI text in the conversion code page or as UTF-16;
// false leaves the text as it was.
bool LoadResourceString(const TextSource& source, AnsiString& text, UINT id) noexcept;
bool LoadResourceString(const TextSource& source, WideUiText& text, UINT id) noexcept;

// printf-style formatting with wvsprintfA (at most 1024 chars). A null format or no memory
// leaves the string as it was.
void FormatTextV(AnsiString& text, const char* format, va_list arguments) noexcept;
void FormatText(AnsiString& text, const char* format, ...) noexcept;
// Formats with the text of a string-table entry (wvsprintfA or wvsprintfW); a missing entry
// formats the empty text.
void FormatResourceText(const TextSource& source, AnsiString& text, UINT id, ...) noexcept;
void FormatResourceText(const TextSource& source, WideUiText& text, UINT id, ...) noexcept;
