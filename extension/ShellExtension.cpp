#include "extension/ShellExtension.h"
#include <cstddef>
#include <shellapi.h>
#include <shlwapi.h>
#include "extension/ResourceStrings.h"
#include "resources/ResourceIds.h"
#include "support/Conversion.h"
#include "support/FilePath.h"
#include "support/Handles.h"

namespace {

const UINT kLetterCount = 26;
const DWORD kLetterMask = 0x3FFFFFF;
const UINT kErrorBoxStyle = MB_OK | MB_ICONERROR;

HRESULT ItemCount(UINT count) {
    return MAKE_HRESULT(SEVERITY_SUCCESS, FACILITY_NULL, count);
}

// Unlocks a locked global memory handle when it goes away.
class GlobalLockGuard {
public:
    explicit GlobalLockGuard(HGLOBAL handle) : m_handle(handle), m_data(GlobalLock(handle)) {}
    ~GlobalLockGuard() {
        if (m_data)
            GlobalUnlock(m_handle);
    }
    GlobalLockGuard(const GlobalLockGuard&) = delete;
    GlobalLockGuard& operator=(const GlobalLockGuard&) = delete;
    void* Data() const { return m_data; }

private:
    HGLOBAL m_handle;
    void* m_data;
};

// Releases a storage medium that GetData filled.
class MediumGuard {
public:
    explicit MediumGuard(STGMEDIUM& medium) : m_medium(medium) {}
    ~MediumGuard() { ReleaseStgMedium(&m_medium); }
    MediumGuard(const MediumGuard&) = delete;
    MediumGuard& operator=(const MediumGuard&) = delete;

private:
    STGMEDIUM& m_medium;
};

} // namespace

ShellExtension::ShellExtension() noexcept : m_dwDrives(0), m_szPath(), m_subst(true) {}

STDMETHODIMP ShellExtension::Initialize(PCIDLIST_ABSOLUTE, IDataObject* pdtobj, HKEY) {
    if (!pdtobj)
        return E_INVALIDARG;
    FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium = {};
    medium.tymed = TYMED_HGLOBAL;
    if (FAILED(pdtobj->GetData(&format, &medium)))
        return E_INVALIDARG;
    MediumGuard release(medium);
    GlobalLockGuard lock(medium.hGlobal);
    if (!lock.Data())
        return E_INVALIDARG;
    return CaptureSelection(static_cast<HDROP>(lock.Data()));
}

HRESULT ShellExtension::CaptureSelection(HDROP drop) noexcept {
    const UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
    if (count == 0)
        return E_INVALIDARG;
    if (count > 1) {
        // A multiple selection is accepted, and nothing is offered for it.
        ZeroMemory(m_szPath, sizeof(m_szPath));
        return S_OK;
    }
    // Read into more room than a path may take and judge the length that came back: some
    // platforms report the UTF-16 length, which a double-byte path exceeds in bytes.
    char path[2 * MAX_PATH];
    if (!DragQueryFileA(drop, 0, path, sizeof(path)))
        return E_INVALIDARG;
    if (lstrlenA(path) >= MAX_PATH || !NamesTheSelectedItem(drop, path)) {
        // A cut or best-fitted path names another folder, never to be mapped.
        ZeroMemory(m_szPath, sizeof(m_szPath));
        return E_INVALIDARG;
    }
    lstrcpyA(m_szPath, path);
    return S_OK;
}

bool ShellExtension::NamesTheSelectedItem(HDROP drop, const char* path) noexcept {
    // Before NT there is no UTF-16 name: the ANSI one is all there is.
    if (!IsNtPlatform())
        return true;
    wchar_t selected[2 * MAX_PATH];
    const UINT length = DragQueryFileW(drop, 0, selected, 2 * MAX_PATH);
    if (length == 0 || length >= 2 * MAX_PATH - 1)
        return false;
    // The path goes to the platform's ANSI functions: it must name exactly the selected item.
    return IsPlatformAnsiOf(path, selected);
}

STDMETHODIMP ShellExtension::QueryContextMenu(HMENU hmenu, UINT indexMenu, UINT idCmdFirst,
                                              UINT idCmdLast, UINT uFlags) {
    if (uFlags & CMF_DEFAULTONLY)
        return ItemCount(0);
    // Identifiers the shell did not give are never used.
    if (idCmdLast < idCmdFirst || idCmdLast - idCmdFirst < kCommandCount - 1)
        return ItemCount(0);
    if (!m_subst.IsLoaded())
        return ItemCount(0);
    if (lstrlenA(m_szPath) == 0)
        return ItemCount(0);
    // A drive without a medium is no directory, but its root is still offered.
    if (!PathIsDirectoryA(m_szPath) && !PathIsRootA(m_szPath))
        return ItemCount(0);
    if (PathIsUNCA(m_szPath))
        return ItemCount(0);

    m_dwDrives = GetLogicalDrives();
    UniqueMenu popup(CreatePopupMenu());
    if (!popup)
        return ItemCount(0);
    UINT position = 0;
    for (UINT i = 0; i < kLetterCount; ++i) {
        if (m_dwDrives & (1u << i))
            continue;
        AnsiString item;
        FormatResourceText(item, IDS_DRIVE_ITEM, 'A' + i);
        InsertMenuA(popup.Get(), position++, MF_BYPOSITION | MF_STRING, idCmdFirst + i,
                    item.Text());
    }

    AnsiString caption;
    LoadResourceString(caption, IDS_CREATE_DRIVE);
    if (~m_dwDrives & kLetterMask) {
        MENUITEMINFOA item = {};
        static_assert(sizeof(item) == offsetof(MENUITEMINFOA, hbmpItem) + sizeof(HBITMAP),
                      "the full MENUITEMINFOA, hbmpItem included");
        item.cbSize = sizeof(item);
        item.fMask = MIIM_ID | MIIM_SUBMENU | MIIM_STRING;
        item.wID = idCmdFirst + kPopupOffset;
        item.hSubMenu = popup.Get();
        item.dwTypeData = const_cast<LPSTR>(caption.Text());
        // Once inserted, the popup belongs to the shell's menu.
        if (InsertMenuItemA(hmenu, indexMenu, TRUE, &item))
            popup.Detach();
    }

    bool deleteInserted = false;
    if (PathIsRootA(m_szPath)) {
        char target[MAX_PATH + 1] = {};
        if (m_subst.Query(GetDriveNumber(), target, MAX_PATH) == 0) {
            AnsiString text;
            LoadResourceString(text, IDS_DELETE_DRIVE);
            deleteInserted = InsertMenuA(hmenu, indexMenu + 1, MF_BYPOSITION | MF_STRING,
                                         idCmdFirst + kDeleteOffset, text.Text()) != FALSE;
        }
    }
    return ItemCount(deleteInserted ? kCommandCount : kCommandCount - 1);
}

STDMETHODIMP ShellExtension::InvokeCommand(CMINVOKECOMMANDINFO* pici) {
    if (!pici)
        return E_INVALIDARG;
    if (HIWORD(reinterpret_cast<UINT_PTR>(pici->lpVerb)))
        return E_INVALIDARG;
    const UINT offset = LOWORD(reinterpret_cast<UINT_PTR>(pici->lpVerb));
    if (offset < kLetterCount) {
        CreateVirtualDrive(offset + 1, pici);
        return S_OK;
    }
    if (offset == kDeleteOffset) {
        DeleteVirtualDrive(static_cast<UINT>(GetDriveNumber()), pici);
        return S_OK;
    }
    return E_INVALIDARG;
}

STDMETHODIMP ShellExtension::GetCommandString(UINT_PTR idCmd, UINT uType, UINT*, CHAR* pszName,
                                              UINT cchMax) {
    if (!pszName)
        return E_INVALIDARG;
    if (!(uType & GCS_HELPTEXTA))
        return E_INVALIDARG;
    AnsiString text;
    GetHelpText(idCmd, text);
    if (uType & GCS_UNICODE) {
        const WideText wide(text.Text());
        if (!wide.Text())
            return E_OUTOFMEMORY;
        lstrcpynW(reinterpret_cast<LPWSTR>(pszName), wide.Text(), cchMax);
        return S_OK;
    }
    lstrcpynA(pszName, text.Text(), cchMax);
    return S_OK;
}

void ShellExtension::CreateVirtualDrive(UINT drive, const CMINVOKECOMMANDINFO* pici) noexcept {
    if (!IsValidDriveNumber(drive))
        return;
    if (m_subst.Create(static_cast<INT>(drive), m_szPath) != 0) {
        ShowErrorMessage(pici->hwnd, IDS_CREATE_FAILED, IDS_CREATE_DRIVE, kErrorBoxStyle);
        return;
    }
    if (GetKeyState(VK_SHIFT) < 0)
        return;
    AnsiString root;
    FormatText(root, "%c:\\", 64 + drive);
    OpenDriveWindow(root.Text());
}

void ShellExtension::DeleteVirtualDrive(UINT drive, const CMINVOKECOMMANDINFO* pici) noexcept {
    if (!IsValidDriveNumber(drive))
        return;
    if (m_subst.Delete(static_cast<INT>(drive)) != 0)
        ShowErrorMessage(pici->hwnd, IDS_DELETE_FAILED, IDS_DELETE_DRIVE, kErrorBoxStyle);
}

INT ShellExtension::GetDriveNumber() const noexcept {
    AnsiString path;
    path.Assign(m_szPath);
    if (path.IsEmpty() || !path.MakeUpper())
        return 0;
    return static_cast<signed char>(path.Text()[0]) - 64;
}

bool ShellExtension::IsValidDriveNumber(UINT drive) noexcept {
    return drive >= 1 && drive <= kLetterCount;
}

void ShellExtension::GetHelpText(UINT_PTR offset, AnsiString& text) noexcept {
    if (offset < kLetterCount)
        FormatResourceText(text, IDS_HELP_CREATE, 'A' + static_cast<UINT>(offset));
    else if (offset == kDeleteOffset)
        LoadResourceString(text, IDS_HELP_DELETE);
}

int ShellExtension::ShowErrorMessage(HWND owner, UINT textId, UINT captionId, UINT style) noexcept {
    AnsiString text;
    AnsiString caption;
    if (!LoadResourceString(text, textId) || !LoadResourceString(caption, captionId))
        return 0;
    return MessageBoxA(owner, text.Text(), caption.Text(), style);
}

int ShellExtension::OpenDriveWindow(const char* root) noexcept {
    if (!IsNtPlatform())
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

int ShellExtension::LaunchProcess(const char* application, const char* commandLine) noexcept {
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

bool ShellExtension::IsNtPlatform() noexcept {
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    GetVersionExA(&version);
    return version.dwPlatformId == VER_PLATFORM_WIN32_NT;
}
