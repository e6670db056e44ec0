#include "drives/window/Elevated.h"
#include "drives/DriveActions.h"
#include "drives/window/DrivesIds.h"
#include "drives/window/ShellCalls.h"
#include "drives/window/Texts.h"
#include "support/DriveLetters.h"
#include "support/Handles.h"
#include <strsafe.h>

namespace {

// lwsubst's arguments: "X: "folder" /machine", or "X: /d /machine"; a root's quoted backslash
// ("C:\") is read back whole by lwsubst.
const size_t kArgumentUnits = MAX_PATH + 32;

} // namespace

namespace Elevated {

int RunLwsubst(HWND owner, const wchar_t* arguments, DWORD& exitCode) noexcept {
    exitCode = 0;
    wchar_t program[MAX_PATH];
    if (const int error = DriveActions::LwsubstBeside(program))
        return error;
    SHELLEXECUTEINFOW execute = {};
    execute.cbSize = sizeof(execute);
    // The window says what went wrong, in its own words; lwsubst shows no console of its own.
    execute.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    execute.hwnd = owner;
    execute.lpVerb = L"runas";
    execute.lpFile = program;
    execute.lpParameters = arguments;
    execute.nShow = SW_HIDE;
    if (!ShellCalls::Execute(execute)) {
        const DWORD error = GetLastError();
        return error ? static_cast<int>(error) : ERROR_GEN_FAILURE;
    }
    const UniqueKernelObject process(execute.hProcess);
    if (!process)
        return ERROR_GEN_FAILURE;
    // lwsubst writes one value and ends: the window waits for the answer it shows.
    if (WaitForSingleObject(process.Get(), INFINITE) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(process.Get(), &exitCode))
        return static_cast<int>(GetLastError());
    return 0;
}

bool ChangeMachineDrive(HWND owner, int drive, const wchar_t* folder, UINT done) noexcept {
    const DriveLetters::Name name = DriveLetters::DeviceName(drive);
    wchar_t arguments[kArgumentUnits];
    const HRESULT built =
        folder
            ? StringCchPrintfW(arguments, kArgumentUnits, L"%s \"%s\" /machine", name.text, folder)
            : StringCchPrintfW(arguments, kArgumentUnits, L"%s /d /machine", name.text);
    if (FAILED(built)) {
        Texts::Show(owner, IDS_NAME_TOO_LONG, MB_ICONEXCLAMATION, drive, folder);
        return false;
    }
    DWORD exitCode = 0;
    const int error = RunLwsubst(owner, arguments, exitCode);
    if (error == ERROR_CANCELLED)
        return false;
    if (error || exitCode) {
        Texts::Show(owner, error ? IDS_ELEVATION_FAILED : IDS_MACHINE_FAILED, MB_ICONEXCLAMATION,
                    drive, folder ? folder : L"", error ? static_cast<DWORD>(error) : exitCode);
        return false;
    }
    Texts::Show(owner, done, MB_ICONINFORMATION, drive, folder ? folder : L"");
    return true;
}

} // namespace Elevated
