#pragma once
#include <windows.h>
#include <shobjidl.h>
#include "extension/CommandOffsets.h"
#include "extension/DriveCommands.h"
#include "extension/ExtensionModule.h"
#include "support/Policy.h"
#include "support/Handles.h"

// Windows 11's commands: the group "Create virtual drive", and "Delete virtual drive" on a
// virtual drive's root.
extern const CLSID CLSID_ExplorerCommand;
extern const CLSID CLSID_ExplorerDeleteCommand;

// Lanterwell in Windows 11's compact context menu: "Create virtual drive" on a folder or a drive
// root, whose subcommands are the free drive letters, and "Delete virtual drive" on a virtual
// drive's root. One class serves every command, numbered as the classic menu numbers them: the
// group (kPopupOffset), a letter's command, the delete command (kDeleteOffset). What is offered
// and what a command does is DriveCommands', as in the classic menu; SUBST.DLL is loaded once
// per command object, and only when an answer needs it.
class ExplorerCommand final : public IExplorerCommand, public IObjectWithSite {
public:
    // Makes a command that holds one lock on the module while it lives, sited where the
    // shell sited its group.
    static HRESULT Create(const ExtensionModule& module, UINT offset, IUnknown* site, REFIID riid,
                          void** ppv) noexcept;

    ExplorerCommand(const ExtensionModule& module, UINT offset) noexcept;
    ~ExplorerCommand();
    ExplorerCommand(const ExplorerCommand&) = delete;
    ExplorerCommand& operator=(const ExplorerCommand&) = delete;

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    // IExplorerCommand
    STDMETHODIMP GetTitle(IShellItemArray* psiItemArray, LPWSTR* ppszName) override;
    STDMETHODIMP GetIcon(IShellItemArray* psiItemArray, LPWSTR* ppszIcon) override;
    STDMETHODIMP GetToolTip(IShellItemArray* psiItemArray, LPWSTR* ppszInfotip) override;
    STDMETHODIMP GetCanonicalName(GUID* pguidCommandName) override;
    STDMETHODIMP GetState(IShellItemArray* psiItemArray, BOOL fOkToBeSlow,
                          EXPCMDSTATE* pCmdState) override;
    STDMETHODIMP Invoke(IShellItemArray* psiItemArray, IBindCtx* pbc) override;
    STDMETHODIMP GetFlags(EXPCMDFLAGS* pFlags) override;
    STDMETHODIMP EnumSubCommands(IEnumExplorerCommand** ppEnum) override;
    // IObjectWithSite
    STDMETHODIMP SetSite(IUnknown* pUnkSite) override;
    STDMETHODIMP GetSite(REFIID riid, void** ppvSite) override;

private:
    bool IsGroup() const noexcept { return m_offset == kPopupOffset; }
    bool IsDelete() const noexcept { return m_offset == kDeleteOffset; }
    // The command model, made (and SUBST.DLL loaded) at the first call that needs it; null
    // when there is no memory.
    DriveCommands* Commands() noexcept;
    // The window that owns the error boxes: the site's, where it has one.
    HWND OwnerWindow() const noexcept;

    // Released last: the module stays loaded until the rest is gone.
    ModuleLockHold m_lock;
    LONG m_refCount;
    ExtensionModule m_module;
    UINT m_offset;
    ComPtr<IUnknown> m_site;
    DriveCommands* m_commands = nullptr;
    // The selection and its path between a pending fast pass and the slow one.
    ComPtr<IShellItemArray> m_pendingItems;
    UniqueTaskString m_pendingPath;
    // The administrator's policies as the slow pass read them, for the letters it offers:
    // read once for a menu.
    Policy::Menu m_policy;
    bool m_policyRead = false;
};
