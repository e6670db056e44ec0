#pragma once
#include <windows.h>
#include <shobjidl.h>
#include "extension/CommandOffsets.h"
#include "extension/ExtensionModule.h"
#include "support/Handles.h"

// {35D1BE52-E400-4ACF-B650-7BE3F6E8B01E}
extern const CLSID CLSID_ExplorerCommand;

// Lanterwell in Windows 11's compact context menu: "Create virtual drive" on a folder, whose
// subcommands are the free drive letters. One class serves both levels: the group command
// (kPopupOffset) and a letter's command, numbered as the classic menu numbers them. What is
// offered and what a command does is DriveCommands', as in the classic menu.
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
    // The window that owns the error boxes: the site's, where it has one.
    HWND OwnerWindow() const noexcept;

    // Released last: the module stays loaded until the rest is gone.
    ModuleLockHold m_lock;
    LONG m_refCount;
    ExtensionModule m_module;
    UINT m_offset;
    ComPtr<IUnknown> m_site;
};
