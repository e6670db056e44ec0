#include "drives/DosDevices.h"
#include "support/DriveLetters.h"
#include "support/Handles.h"
#include <strsafe.h>

namespace {

const wchar_t kSubstPrefix[] = L"\\??\\";
const int kSubstPrefixLength = sizeof(kSubstPrefix) / sizeof(wchar_t) - 1;
// The prefix, a folder of up to MAX_PATH units and the list's two terminators.
const int kTargetUnits = MAX_PATH + 8;

bool DriveName(int drive, wchar_t (&name)[3]) {
    if (!DriveLetters::IsDrive(drive))
        return false;
    name[0] = DriveLetters::Letter(drive);
    name[1] = L':';
    name[2] = 0;
    return true;
}

// The raw target of a substituted drive ("\??\C:\folder"); false for any other drive.
bool SubstTarget(const wchar_t* name, wchar_t (&target)[kTargetUnits]) {
    if (QueryDosDeviceW(name, target, kTargetUnits) == 0)
        return false;
    for (int i = 0; i < kSubstPrefixLength; ++i)
        if (target[i] != kSubstPrefix[i])
            return false;
    return true;
}

// A drive's name and raw target when it is a substitution; a real drive is never one.
int FindSubst(int drive, wchar_t (&name)[3], wchar_t (&target)[kTargetUnits]) {
    if (!DriveName(drive, name))
        return ERROR_INVALID_DRIVE;
    return SubstTarget(name, target) ? 0 : ERROR_FILE_NOT_FOUND;
}

// Whoever watches (the drives window) learns that a drive came or went.
void TellWatchers() {
    const UniqueKernelObject changed(
        OpenEventW(EVENT_MODIFY_STATE, FALSE, DosDevices::kChangedEvent));
    if (changed)
        SetEvent(changed.Get());
}

int LastErrorOr(int fallback) {
    const DWORD error = GetLastError();
    return error ? static_cast<int>(error) : fallback;
}

// The folder a drive maps: absolute, without a final backslash unless it is a drive root.
// `full` holds MAX_PATH units.
int PrepareFolder(const wchar_t* path, wchar_t* full) {
    if (!path || !*path)
        return ERROR_PATH_NOT_FOUND;
    const DWORD attributes = GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return ERROR_PATH_NOT_FOUND;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return ERROR_DIRECTORY;
    const DWORD length = GetFullPathNameW(path, MAX_PATH, full, nullptr);
    if (length == 0 || length >= MAX_PATH)
        return ERROR_FILENAME_EXCED_RANGE;
    // The platform drops a trailing backslash from a folder but needs it on a drive root.
    // In UTF-16 the last unit is a whole character: 表 never ends in a backslash here.
    if (length > 3 && full[length - 1] == L'\\')
        full[length - 1] = 0;
    return 0;
}

} // namespace

namespace DosDevices {

const wchar_t kChangedEvent[] = L"Local\\Lanterwell.DrivesChanged";

int Create(int drive, const wchar_t* path) noexcept {
    wchar_t name[3];
    if (!DriveName(drive, name))
        return ERROR_INVALID_DRIVE;
    if (GetLogicalDrives() & (1u << (drive - 1)))
        return ERROR_ALREADY_ASSIGNED;
    wchar_t full[MAX_PATH];
    if (const int error = PrepareFolder(path, full))
        return error;
    if (!DefineDosDeviceW(0, name, full))
        return LastErrorOr(ERROR_INVALID_FUNCTION);
    TellWatchers();
    return 0;
}

int Define(int drive, const wchar_t* folder) noexcept {
    wchar_t name[3];
    if (!DriveName(drive, name) || !folder)
        return ERROR_INVALID_PARAMETER;
    if (!DefineDosDeviceW(0, name, folder))
        return LastErrorOr(ERROR_INVALID_FUNCTION);
    TellWatchers();
    return 0;
}

int Query(int drive, wchar_t* folder) noexcept {
    wchar_t name[3];
    wchar_t target[kTargetUnits];
    if (const int error = FindSubst(drive, name, target))
        return error;
    if (!folder)
        return 0;
    // A share reads back as "UNC\server\share": the folder is "\\server\share".
    const wchar_t* mapped = target + kSubstPrefixLength;
    if (CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, mapped, 4, L"UNC\\", 4) == CSTR_EQUAL) {
        folder[0] = L'\\';
        return SUCCEEDED(StringCchCopyW(folder + 1, MAX_PATH - 1, mapped + 3))
                   ? 0
                   : ERROR_FILENAME_EXCED_RANGE;
    }
    return SUCCEEDED(StringCchCopyW(folder, MAX_PATH, mapped)) ? 0 : ERROR_FILENAME_EXCED_RANGE;
}

int Delete(int drive) noexcept {
    wchar_t name[3];
    wchar_t target[kTargetUnits];
    if (const int error = FindSubst(drive, name, target))
        return error;
    if (!DefineDosDeviceW(DDD_REMOVE_DEFINITION | DDD_RAW_TARGET_PATH | DDD_EXACT_MATCH_ON_REMOVE,
                          name, target))
        return LastErrorOr(ERROR_INVALID_FUNCTION);
    TellWatchers();
    return 0;
}

} // namespace DosDevices
