#include "support/FilePath.h"
#include <cstring>

namespace {

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

// The byte after the character that starts at `i`, within `length` bytes.
int NextCharacter(const char* path, int i, int length) {
    return IsDBCSLeadByte(static_cast<BYTE>(path[i])) && i + 1 < length && path[i + 1] ? i + 2
                                                                                       : i + 1;
}

} // namespace

int FolderLength(const char* path) noexcept {
    const int length = lstrlenA(path);
    int folder = 0;
    for (int i = 0; i < length; i = NextCharacter(path, i, length))
        if (IsSeparator(path[i]) || path[i] == ':')
            folder = i + 1;
    return folder;
}

bool EndsWithSeparator(const char* path, int length) noexcept {
    bool separator = false;
    for (int i = 0; i < length; i = NextCharacter(path, i, length))
        separator = IsSeparator(path[i]);
    return separator;
}

bool AppendFileName(char (&path)[MAX_PATH], const char* folder, int folderLength,
                    const char* name) noexcept {
    path[0] = 0;
    if (!folder || folderLength <= 0 || !name)
        return false;
    const int nameStart = EndsWithSeparator(folder, folderLength) ? folderLength : folderLength + 1;
    const int nameLength = lstrlenA(name);
    if (nameStart + nameLength >= MAX_PATH)
        return false;
    CopyMemory(path, folder, folderLength);
    path[folderLength] = '\\';
    CopyMemory(path + nameStart, name, nameLength + 1);
    return true;
}

bool ToPlatformAnsi(const wchar_t* path, char (&ansi)[MAX_PATH]) noexcept {
    // UTF-8 as the ANSI code page holds every character and takes neither the best-fit flag
    // nor the question whether a default character was used.
    const bool utf8 = GetACP() == CP_UTF8;
    BOOL lossy = FALSE;
    if (!path ||
        !WideCharToMultiByte(CP_ACP, utf8 ? 0 : WC_NO_BEST_FIT_CHARS, path, -1, ansi, MAX_PATH,
                             nullptr, utf8 ? nullptr : &lossy) ||
        lossy) {
        ansi[0] = 0;
        return false;
    }
    return true;
}

bool IsPlatformAnsiOf(const char* ansi, const wchar_t* text) noexcept {
    if (!ansi || !text)
        return false;
    wchar_t decoded[2 * MAX_PATH];
    const int units =
        MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, ansi, -1, decoded, 2 * MAX_PATH);
    return units == lstrlenW(text) + 1 &&
           memcmp(decoded, text, static_cast<size_t>(units) * sizeof(wchar_t)) == 0;
}
