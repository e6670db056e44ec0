#pragma once
#include <windows.h>
#include <shlobj.h>
#include "extension/DriveCommands.h"
#include "extension/IShellExtension.h"

// The context-menu handler: one object per context menu that the shell builds for a folder
// or a drive root. It turns the drive commands into menu items; what is offered and what a
// command does is DriveCommands'. IUnknown and IDispatch belong to the object forms that
// wrap this class.
class ShellExtension : public IShellExtension, public IShellExtInit, public IContextMenu {
public:
    explicit ShellExtension(const ExtensionModule& module) noexcept;
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

    DriveCommands& Commands() noexcept { return m_commands; }

private:
    HRESULT CaptureSelection(HDROP drop) noexcept;
    // Inserts the items with the menu calls of one text kind: UTF-16 on the NT family, ANSI
    // before it.
    template <typename Text>
    HRESULT InsertItems(HMENU hmenu, UINT indexMenu, UINT idCmdFirst, DWORD freeLetters);

    DriveCommands m_commands;
};
