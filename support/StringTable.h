#pragma once
#include <windows.h>

// A module's string table read directly, in one chosen language, never beyond its block: the
// one reader that the handler's texts and the drive programs' texts share.

// Address of the entry's count word in the block of the given language, or null when the
// block or a non-empty entry is missing.
const WORD* FindStringEntry(HMODULE module, UINT id, LANGID language) noexcept;

// The entry as a terminated UTF-16 text in `buffer` of `units` (cut to fit); an empty text,
// and false, when there is none.
bool CopyStringEntry(HMODULE module, UINT id, LANGID language, wchar_t* buffer,
                     size_t units) noexcept;
