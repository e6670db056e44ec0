#pragma once
#include <windows.h>

// ANSI paths as the platform's ANSI functions give them, read as characters of the ANSI code
// page: the trail byte of a double-byte character (0x5C in 表 or ソ) is never a separator.

// The folder part of a path, final separator included; 0 when there is none.
int FolderLength(const char* path) noexcept;

// Whether the first `length` bytes of a path end in a backslash or slash character.
bool EndsWithSeparator(const char* path, int length) noexcept;

// Writes the first `folderLength` bytes of `folder`, a backslash unless the folder already ends
// in one, and `name` into `path`. False, with `path` empty, when there is no folder or the
// whole would not fit.
bool AppendFileName(char (&path)[MAX_PATH], const char* folder, int folderLength,
                    const char* name) noexcept;

// A UTF-16 path in the ANSI code page that the platform's ANSI functions read it in. False
// when that code page cannot hold it exactly (nothing is best-fitted into another name).
bool ToPlatformAnsi(const wchar_t* path, char (&ansi)[MAX_PATH]) noexcept;

// Whether ANSI text, read in the ANSI code page as the platform's ANSI functions read it, is
// exactly the UTF-16 text: a best-fitted character (é read as e) or a '?' for one the code
// page lacks makes it another name.
bool IsPlatformAnsiOf(const char* ansi, const wchar_t* text) noexcept;
