// SUBST.DLL: maps folders to drive letters as substituted drives, the way the SUBST
// command does, through the platform's DOS device names.
#include <windows.h>

namespace {

const char kSubstPrefix[] = "\\??\\";
const int kSubstPrefixLength = sizeof(kSubstPrefix) - 1;

bool DriveName(int drive, char (&name)[3]) {
    if (drive < 1 || drive > 26)
        return false;
    name[0] = static_cast<char>('A' + drive - 1);
    name[1] = ':';
    name[2] = 0;
    return true;
}

// The raw target of a substituted drive ("\??\C:\folder"); false for any other drive.
bool SubstTarget(const char* name, char (&target)[MAX_PATH + 8]) {
    const DWORD length = QueryDosDeviceA(name, target, sizeof(target));
    if (length == 0)
        return false;
    return CompareStringA(LOCALE_INVARIANT, 0, target, kSubstPrefixLength, kSubstPrefix,
                          kSubstPrefixLength) == CSTR_EQUAL;
}

int LastErrorOr(int fallback) {
    const DWORD error = GetLastError();
    return error ? static_cast<int>(error) : fallback;
}

} // namespace

extern "C" {

__declspec(dllexport) int WINAPI CreateSubst(int drive, const char* path) {
    char name[3];
    if (!DriveName(drive, name))
        return ERROR_INVALID_DRIVE;
    if (GetLogicalDrives() & (1u << (drive - 1)))
        return ERROR_ALREADY_ASSIGNED;
    if (!path || !*path)
        return ERROR_PATH_NOT_FOUND;
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return ERROR_PATH_NOT_FOUND;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return ERROR_DIRECTORY;
    char full[MAX_PATH];
    const DWORD length = GetFullPathNameA(path, MAX_PATH, full, nullptr);
    if (length == 0 || length >= MAX_PATH)
        return ERROR_FILENAME_EXCED_RANGE;
    // The platform drops a trailing backslash from a folder but needs it on a drive root.
    if (length > 3 && full[length - 1] == '\\')
        full[length - 1] = 0;
    if (!DefineDosDeviceA(0, name, full))
        return LastErrorOr(ERROR_INVALID_FUNCTION);
    return 0;
}

__declspec(dllexport) int WINAPI QuerySubst(int drive, char* buffer, int size) {
    char name[3];
    char target[MAX_PATH + 8];
    if (!DriveName(drive, name))
        return ERROR_INVALID_DRIVE;
    if (!SubstTarget(name, target))
        return ERROR_FILE_NOT_FOUND;
    if (buffer && size > 0)
        lstrcpynA(buffer, target + kSubstPrefixLength, size);
    return 0;
}

__declspec(dllexport) int WINAPI DeleteSubst(int drive) {
    char name[3];
    char target[MAX_PATH + 8];
    if (!DriveName(drive, name))
        return ERROR_INVALID_DRIVE;
    // Only a substitution is removed, never a real drive.
    if (!SubstTarget(name, target))
        return ERROR_FILE_NOT_FOUND;
    if (!DefineDosDeviceA(DDD_REMOVE_DEFINITION | DDD_RAW_TARGET_PATH | DDD_EXACT_MATCH_ON_REMOVE,
                          name, target))
        return LastErrorOr(ERROR_INVALID_FUNCTION);
    return 0;
}
}
