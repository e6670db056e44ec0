// SUBST.DLL: maps folders to drive letters as substituted drives, the way the SUBST
// command does, through the platform's DOS device names. The exports take ANSI text in the
// ANSI code page, as every caller of this library passes it; the work is done in UTF-16.
//
// What is kept for sign-in follows the drive store's one rule: a drive made here is saved while
// the user's restore is on, and a drive deleted here is forgotten. Saving is a side effect: its
// failure never fails the mapping (lwsubst reports such drives).
#include <windows.h>
#include "drives/DosDevices.h"
#include "drives/DriveActions.h"
#include "support/DriveLetters.h"
#include <strsafe.h>

extern "C" {

__declspec(dllexport) int WINAPI CreateSubst(int drive, const char* path) {
    if (!DriveLetters::IsDrive(drive))
        return ERROR_INVALID_DRIVE;
    if (!path || !*path)
        return ERROR_PATH_NOT_FOUND;
    wchar_t wide[MAX_PATH];
    if (!MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, path, -1, wide, MAX_PATH))
        return GetLastError() == ERROR_INSUFFICIENT_BUFFER ? ERROR_FILENAME_EXCED_RANGE
                                                           : ERROR_NO_UNICODE_TRANSLATION;
    // By the drive programs' one rule: the same letters refused, the same folder checked and
    // mapped, as lwsubst and the window; a name is read against the current folder, as SUBST
    // reads it. Saving is a side effect whose failure never fails the mapping.
    return DriveActions::Make(drive, wide, DriveActions::Keep::BySetting,
                              FolderNames::Names::Relative)
        .created;
}

// A folder that the ANSI code page cannot hold comes back with '?' in place of what it lacks,
// never best-fitted into the name of another folder. A folder that cannot be converted at all
// is a failure, never an empty success.
__declspec(dllexport) int WINAPI QuerySubst(int drive, char* buffer, int size) {
    wchar_t folder[MAX_PATH];
    if (const int error = DosDevices::Query(drive, folder))
        return error;
    if (!buffer || size <= 0)
        return 0;
    // Room for the widest code page (four bytes per character in UTF-8), which takes no
    // best-fit flag: it has no best fit to give.
    char ansi[4 * MAX_PATH];
    const DWORD flags = GetACP() == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    if (!WideCharToMultiByte(CP_ACP, flags, folder, -1, ansi, sizeof(ansi), nullptr, nullptr)) {
        buffer[0] = 0;
        return ERROR_NO_UNICODE_TRANSLATION;
    }
    // As the library always has: the folder cut to the caller's buffer, terminated.
    StringCchCopyA(buffer, static_cast<size_t>(size), ansi);
    return 0;
}

__declspec(dllexport) int WINAPI DeleteSubst(int drive) {
    // Only a substituted drive is this library's to delete; forgetting its saved entry is a
    // side effect, as saving is: the answer is whether the drive went.
    if (const int error = DosDevices::Query(drive, nullptr))
        return error;
    int error = 0;
    DriveActions::Delete(drive, error);
    if (DosDevices::Query(drive, nullptr) != 0)
        return 0;
    return error ? error : ERROR_GEN_FAILURE;
}
}
