#include "extension/DriveCommands.h"
#include <shlwapi.h>
#include "extension/CommandTexts.h"
#include "resources/ResourceIds.h"
#include "support/DriveLetters.h"
#include "support/FilePath.h"
#include "support/Platform.h"
#include <strsafe.h>

namespace {

const UINT kErrorBoxStyle = MB_OK | MB_ICONERROR;

} // namespace

DriveCommands::DriveCommands(const ExtensionModule& module) noexcept
    : m_text(UserTexts(module.resources)), m_path(), m_subst(module.instance, true) {}

void DriveCommands::ClearSelection() noexcept {
    ZeroMemory(m_path, sizeof(m_path));
}

HRESULT DriveCommands::Select(const char* path, const wchar_t* exactName) noexcept {
    // A cut or best-fitted path names another folder, never to be mapped.
    if (!path || lstrlenA(path) >= MAX_PATH || (exactName && !IsPlatformAnsiOf(path, exactName))) {
        ClearSelection();
        return E_INVALIDARG;
    }
    return StringCchCopyA(m_path, MAX_PATH, path);
}

HRESULT DriveCommands::SelectPath(const wchar_t* path) noexcept {
    // The path goes to SUBST.DLL and the platform's ANSI functions: only a path that the ANSI
    // code page holds exactly names the same folder there.
    char ansi[MAX_PATH];
    if (!path || !ToPlatformAnsi(path, ansi)) {
        ClearSelection();
        return E_INVALIDARG;
    }
    return Select(ansi, path);
}

bool DriveCommands::OffersCommands() const noexcept {
    // The text first: a share is refused before the network is asked about it.
    if (!m_subst.IsLoaded() || lstrlenA(m_path) == 0 || PathIsUNCA(m_path))
        return false;
    // A drive without a medium is no directory, but its root is still offered.
    return PathIsDirectoryA(m_path) || PathIsRootA(m_path);
}

bool DriveCommands::NameMayBeOffered(const wchar_t* path) noexcept {
    char ansi[MAX_PATH];
    return path && *path && !PathIsUNCW(path) && ToPlatformAnsi(path, ansi);
}

bool DriveCommands::NamesDriveRoot(const wchar_t* path) noexcept {
    return path && PathIsRootW(path) && !PathIsUNCW(path);
}

DWORD DriveCommands::ReadFreeLetters(const Policy::Menu& policy) noexcept {
    return DriveLetters::FreeOf(GetLogicalDrives()) & ~policy.reserved;
}

bool DriveCommands::OffersDelete() const noexcept {
    if (!PathIsRootA(m_path))
        return false;
    char target[MAX_PATH + 1] = {};
    return m_subst.Query(GetDriveNumber(), target, MAX_PATH) == 0;
}

void DriveCommands::GetTitle(UINT offset, AnsiString& text) const noexcept {
    GetCommandTitle(m_text, offset, text);
}

void DriveCommands::GetTitle(UINT offset, WideUiText& text) const noexcept {
    GetCommandTitle(m_text, offset, text);
}

void DriveCommands::GetHelpText(UINT offset, AnsiString& text) const noexcept {
    GetCommandHelpText(m_text, offset, text);
}

void DriveCommands::GetHelpText(UINT offset, WideUiText& text) const noexcept {
    GetCommandHelpText(m_text, offset, text);
}

bool DriveCommands::Invoke(UINT offset, HWND owner) noexcept {
    if (offset < kLetterCount) {
        CreateVirtualDrive(offset + 1, owner);
        return true;
    }
    if (offset == kDeleteOffset) {
        DeleteVirtualDrive(static_cast<UINT>(GetDriveNumber()), owner);
        return true;
    }
    return false;
}

void DriveCommands::CreateVirtualDrive(UINT drive, HWND owner) noexcept {
    if (!IsValidDriveNumber(drive))
        return;
    if (m_subst.Create(static_cast<INT>(drive), m_path) != 0) {
        ShowErrorMessage(owner, IDS_CREATE_FAILED, IDS_CREATE_DRIVE, kErrorBoxStyle);
        return;
    }
    if (GetKeyState(VK_SHIFT) < 0)
        return;
    AnsiString root;
    FormatText(root, "%c:\\", 64 + drive);
    OpenDriveWindow(root.Text());
}

void DriveCommands::DeleteVirtualDrive(UINT drive, HWND owner) noexcept {
    if (!IsValidDriveNumber(drive))
        return;
    if (m_subst.Delete(static_cast<INT>(drive)) != 0)
        ShowErrorMessage(owner, IDS_DELETE_FAILED, IDS_DELETE_DRIVE, kErrorBoxStyle);
}

INT DriveCommands::GetDriveNumber() const noexcept {
    AnsiString path;
    path.Assign(m_path);
    if (path.IsEmpty() || !path.MakeUpper())
        return 0;
    return static_cast<signed char>(path.Text()[0]) - 64;
}

bool DriveCommands::IsValidDriveNumber(UINT drive) noexcept {
    return drive >= 1 && drive <= kLetterCount;
}

int DriveCommands::ShowErrorMessage(HWND owner, UINT textId, UINT captionId,
                                    UINT style) const noexcept {
    // Before NT the box shows ANSI text; the NT family takes the texts as they are stored.
    if (!Platform::IsNt()) {
        AnsiString text;
        AnsiString caption;
        if (!LoadResourceString(m_text, text, textId) ||
            !LoadResourceString(m_text, caption, captionId))
            return 0;
        return MessageBoxA(owner, text.Text(), caption.Text(), style);
    }
    WideUiText text;
    WideUiText caption;
    if (!LoadResourceString(m_text, text, textId) ||
        !LoadResourceString(m_text, caption, captionId))
        return 0;
    return MessageBoxW(owner, text.text, caption.text, style);
}

int DriveCommands::OpenDriveWindow(const char* root) noexcept {
    if (!Platform::IsNt())
        return 1;
    // By full path: a bare name would let the platform find an explorer.exe planted in the
    // host's current directory first.
    char folder[MAX_PATH];
    const UINT length = GetWindowsDirectoryA(folder, MAX_PATH);
    char application[MAX_PATH];
    if (length == 0 || length >= MAX_PATH ||
        !AppendFileName(application, folder, static_cast<int>(length), "explorer.exe"))
        return 0;
    AnsiString commandLine;
    FormatText(commandLine, "explorer.exe \"%s\"", root);
    return LaunchProcess(application, commandLine.Text());
}

int DriveCommands::LaunchProcess(const char* application, const char* commandLine) noexcept {
    // CreateProcessA may write into its command line.
    AnsiString writable;
    if (!writable.Assign(commandLine))
        return 0;
    char* buffer = writable.PrepareBuffer(writable.Length());
    if (!buffer)
        return 0;
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(application, buffer, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return 0;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 1;
}
