#pragma once
#include <windows.h>
#include <shlobj.h>
#include "extension/IShellExtension.h"
#include "extension/SubstLibrary.h"
#include "support/AnsiString.h"

// The context-menu handler: one object per context menu that the shell builds for a folder
// or a drive root. IUnknown and IDispatch belong to the object forms that wrap this class.
class ShellExtension : public IShellExtension, public IShellExtInit, public IContextMenu {
public:
    // Command offsets from idCmdFirst: 0 to 25 are the letters A: to Z:.
    static const UINT kPopupOffset = 26;
    static const UINT kDeleteOffset = 27;
    static const UINT kCommandCount = 28;

    ShellExtension() noexcept;
    virtual ~ShellExtension() = default;
    ShellExtension(const ShellExtension&) = delete;
    ShellExtension& operator=(const ShellExtension&) = delete;

    // IShellExtInit
    STDMETHODIMP Initialize(PCIDLIST_ABSOLUTE pidlFolder, IDataObject* pdtobj,
                            HKEY hkeyProgID) override;
    // IContextMenu
    STDMETHODIMP QueryContextMenu(HMENU hmenu, UINT indexMenu, UINT idCmdFirst, UINT idCmdLast,
                                  UINT uFlags) override;
    STDMETHODIMP InvokeCommand(CMINVOKECOMMANDINFO* pici) override;
    STDMETHODIMP GetCommandString(UINT_PTR idCmd, UINT uType, UINT* pReserved, CHAR* pszName,
                                  UINT cchMax) override;

    void CreateVirtualDrive(UINT drive, const CMINVOKECOMMANDINFO* pici) noexcept;
    void DeleteVirtualDrive(UINT drive, const CMINVOKECOMMANDINFO* pici) noexcept;
    INT GetDriveNumber() const noexcept;
    static bool IsValidDriveNumber(UINT drive) noexcept;
    static void GetHelpText(UINT_PTR offset, AnsiString& text) noexcept;
    static int ShowErrorMessage(HWND owner, UINT textId, UINT captionId, UINT style) noexcept;
    static int OpenDriveWindow(const char* root) noexcept;
    static int LaunchProcess(const char* application, const char* commandLine) noexcept;
    static bool IsNtPlatform() noexcept;

private:
    HRESULT CaptureSelection(HDROP drop) noexcept;
    static bool NamesTheSelectedItem(HDROP drop, const char* path) noexcept;

    DWORD m_dwDrives;
    char m_szPath[MAX_PATH + 1];
    SubstLibrary m_subst;
};
