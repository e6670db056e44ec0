#include "drives/FolderNames.h"
#include "support/Handles.h"
#include "support/OrdinalNames.h"
#include <strsafe.h>

namespace {

// The longest name the platform's counted strings hold.
const size_t kMostUnits = 32767;
const wchar_t kLongPrefix[] = L"\\\\?\\";
const wchar_t kLongSharePrefix[] = L"\\\\?\\UNC\\";
const wchar_t kTargetPrefix[] = L"\\??\\";
const int kPrefixUnits = 4;

bool IsSeparator(wchar_t unit) {
    return unit == L'\\' || unit == L'/';
}

bool IsDriveLetter(wchar_t unit) {
    return (unit >= L'A' && unit <= L'Z') || (unit >= L'a' && unit <= L'z');
}

bool StartsWith(const wchar_t* name, const wchar_t* prefix) {
    const int units = lstrlenW(prefix);
    return lstrlenW(name) >= units && SameNameIgnoringCase(name, units, prefix, units);
}

// "\\?\" exactly: the long form, whose name the platform takes as it stands.
bool IsLongForm(const wchar_t* name) {
    return name[0] == L'\\' && name[1] == L'\\' && name[2] == L'?' && name[3] == L'\\';
}

// A name in the platform's device or object namespaces ("\\.\", "//?/", "\??\"): no folder.
bool IsDeviceName(const wchar_t* name) {
    if (IsSeparator(name[0]) && IsSeparator(name[1]) && (name[2] == L'.' || name[2] == L'?') &&
        IsSeparator(name[3]))
        return !IsLongForm(name);
    return name[0] == L'\\' && name[1] == L'?' && name[2] == L'?' && name[3] == L'\\';
}

bool IsDrivePath(const wchar_t* name) {
    return IsDriveLetter(name[0]) && name[1] == L':' && IsSeparator(name[2]);
}

// "\\server\share...": a server and a share, each named.
bool IsSharePath(const wchar_t* name) {
    if (!IsSeparator(name[0]) || !IsSeparator(name[1]) || !name[2] || IsSeparator(name[2]) ||
        IsDeviceName(name))
        return false;
    const wchar_t* rest = name + 2;
    while (*rest && !IsSeparator(*rest))
        ++rest;
    return *rest && rest[1] && !IsSeparator(rest[1]);
}

// The short name a long form stands for ("C:\folder", "\\server\share"), into `shortName`;
// ERROR_INVALID_NAME for a long form of anything else.
int ShortOfLong(const wchar_t* given, wchar_t* shortName, size_t units) {
    const wchar_t* rest = given + kPrefixUnits;
    HRESULT copied = E_FAIL;
    if (IsDriveLetter(rest[0]) && rest[1] == L':' && rest[2] == L'\\')
        copied = StringCchCopyW(shortName, units, rest);
    else if (StartsWith(given, kLongSharePrefix))
        copied = StringCchPrintfW(shortName, units, L"\\%s", rest + 3);
    else
        return ERROR_INVALID_NAME;
    return SUCCEEDED(copied) ? 0 : ERROR_FILENAME_EXCED_RANGE;
}

// Whether a component of a full path ends in a dot or a blank: the platform drops those from
// the last component of a name it opens, but keeps them in a target it defines (and elsewhere
// in a path), so such a name would be checked as one folder and mapped as another.
bool HasTrimmedComponent(const wchar_t* full) {
    for (const wchar_t* unit = full; *unit; ++unit)
        if ((*unit == L'.' || *unit == L' ') && (unit[1] == L'\\' || unit[1] == 0))
            return true;
    return false;
}

// The platform's full path of `name`: its separators, dots and trailing blanks resolved.
int Resolve(const wchar_t* name, wchar_t* full, size_t units, DWORD& length) {
    length = GetFullPathNameW(name, static_cast<DWORD>(units), full, nullptr);
    if (length == 0)
        return ERROR_INVALID_NAME;
    return length < units ? 0 : ERROR_FILENAME_EXCED_RANGE;
}

DWORD Attributes(const wchar_t* full) {
    const int length = lstrlenW(full);
    if (length < MAX_PATH)
        return GetFileAttributesW(full);
    // Past MAX_PATH the file system sees a folder through its long form only.
    const size_t units = kMostUnits + 8;
    UniqueLocalText prefixed(
        static_cast<wchar_t*>(LocalAlloc(LMEM_FIXED, units * sizeof(wchar_t))));
    const HRESULT made =
        !prefixed ? E_OUTOFMEMORY
        : IsDrivePath(full)
            ? StringCchPrintfW(prefixed.Get(), units, L"%s%s", kLongPrefix, full)
            : StringCchPrintfW(prefixed.Get(), units, L"%s%s", kLongSharePrefix, full + 2);
    return SUCCEEDED(made) ? GetFileAttributesW(prefixed.Get()) : INVALID_FILE_ATTRIBUTES;
}

} // namespace

namespace FolderNames {

bool IsFullPath(const wchar_t* name) noexcept {
    if (!name)
        return false;
    if (IsLongForm(name))
        return IsDrivePath(name + kPrefixUnits) || StartsWith(name, kLongSharePrefix);
    return IsDrivePath(name) || IsSharePath(name);
}

int FullName(const wchar_t* given, Names names, wchar_t* full, size_t units) noexcept {
    if (!given || !*given)
        return ERROR_PATH_NOT_FOUND;
    if (IsDeviceName(given))
        return ERROR_INVALID_NAME;
    if (names == Names::FullOnly && !IsFullPath(given))
        return ERROR_BAD_PATHNAME;
    DWORD length = 0;
    if (IsLongForm(given)) {
        // Read as a short name, the long form must stand for itself: "\\?\C:\x." names a folder
        // "x.", which "C:\x." does not.
        if (const int error = ShortOfLong(given, full, units))
            return error;
        UniqueLocalText resolved(
            static_cast<wchar_t*>(LocalAlloc(LMEM_FIXED, units * sizeof(wchar_t))));
        if (!resolved)
            return ERROR_OUTOFMEMORY;
        if (const int error = Resolve(full, resolved.Get(), units, length))
            return error;
        if (lstrcmpW(resolved.Get(), full) != 0)
            return ERROR_INVALID_NAME;
    } else if (const int error = Resolve(given, full, units, length)) {
        return error;
    }
    // "NUL", "C:\x\COM1": a device the platform names, no folder.
    if (IsDeviceName(full))
        return ERROR_INVALID_NAME;
    if (!IsFullPath(full))
        return ERROR_BAD_PATHNAME;
    // The platform drops a final separator from a folder but needs it on a drive's root. In
    // UTF-16 the last unit is a whole character: 表 never ends in a backslash here.
    if (length > 3 && full[length - 1] == L'\\')
        full[length - 1] = 0;
    return HasTrimmedComponent(full) ? ERROR_INVALID_NAME : 0;
}

int ExistingFolder(const wchar_t* given, Names names, wchar_t* full, size_t units) noexcept {
    if (const int error = FullName(given, names, full, units))
        return error;
    const DWORD attributes = Attributes(full);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return ERROR_PATH_NOT_FOUND;
    return attributes & FILE_ATTRIBUTE_DIRECTORY ? 0 : ERROR_DIRECTORY;
}

bool IsFolder(const wchar_t* full) noexcept {
    const DWORD attributes = Attributes(full);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool SameFolder(const wchar_t* one, const wchar_t* other) noexcept {
    wchar_t oneFull[MAX_PATH];
    wchar_t otherFull[MAX_PATH];
    return FullName(one, Names::FullOnly, oneFull, MAX_PATH) == 0 &&
           FullName(other, Names::FullOnly, otherFull, MAX_PATH) == 0 &&
           SameNameIgnoringCase(oneFull, -1, otherFull, -1);
}

bool FromTarget(const wchar_t* target, wchar_t* folder, size_t units) noexcept {
    if (!StartsWith(target, kTargetPrefix))
        return false;
    const wchar_t* mapped = target + kPrefixUnits;
    // A share reads back as "UNC\server\share".
    const HRESULT copied = StartsWith(mapped, L"UNC\\")
                               ? StringCchPrintfW(folder, units, L"\\%s", mapped + 3)
                               : StringCchCopyW(folder, units, mapped);
    return SUCCEEDED(copied);
}

} // namespace FolderNames
