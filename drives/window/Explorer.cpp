#include "drives/window/Explorer.h"
#include "drives/DosDevices.h"
#include "drives/window/ShellCalls.h"
#include "support/DriveLetters.h"

namespace {

int Open(HWND owner, const wchar_t* path) {
    SHELLEXECUTEINFOW execute = {};
    execute.cbSize = sizeof(execute);
    // The caller says what went wrong, in its own words.
    execute.fMask = SEE_MASK_FLAG_NO_UI;
    execute.hwnd = owner;
    execute.lpVerb = L"open";
    execute.lpFile = path;
    execute.nShow = SW_SHOWNORMAL;
    if (ShellCalls::Execute(execute))
        return 0;
    const DWORD error = GetLastError();
    return error ? static_cast<int>(error) : ERROR_GEN_FAILURE;
}

} // namespace

namespace Explorer {

int OpenDrive(HWND owner, int drive) noexcept {
    wchar_t folder[MAX_PATH];
    if (DosDevices::Query(drive, folder))
        return ERROR_INVALID_DRIVE;
    // A drive whose folder is gone opens nothing: said as that, not as the shell's failure.
    if (GetFileAttributesW(folder) == INVALID_FILE_ATTRIBUTES)
        return ERROR_PATH_NOT_FOUND;
    return Open(owner, DriveLetters::RootName(drive).text);
}

int OpenFolder(HWND owner, const wchar_t* folder) noexcept {
    return Open(owner, folder);
}

} // namespace Explorer
