#pragma once
#include <windows.h>
#include <shobjidl.h>
#include "extension/ExtensionModule.h"
#include "support/Handles.h"

// The letters' commands under the Explorer command's group: one for each free letter, in
// order from A: to Z:.
class ExplorerCommandEnum final : public IEnumExplorerCommand {
public:
    // `letters` is the mask of the free letters (bit 0 = A:); `position` the letter index to
    // go on from.
    static HRESULT Create(const ExtensionModule& module, DWORD letters, UINT position,
                          IUnknown* site, IEnumExplorerCommand** ppEnum) noexcept;

    ExplorerCommandEnum(const ExtensionModule& module, DWORD letters, UINT position,
                        IUnknown* site) noexcept;
    ~ExplorerCommandEnum();
    ExplorerCommandEnum(const ExplorerCommandEnum&) = delete;
    ExplorerCommandEnum& operator=(const ExplorerCommandEnum&) = delete;

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    // IEnumExplorerCommand
    STDMETHODIMP Next(ULONG celt, IExplorerCommand** pUICommand, ULONG* pceltFetched) override;
    STDMETHODIMP Skip(ULONG celt) override;
    STDMETHODIMP Reset() override;
    STDMETHODIMP Clone(IEnumExplorerCommand** ppenum) override;

private:
    // The next free letter's index from the position on, or 26 past the last.
    UINT NextLetter() const noexcept;

    ModuleLockHold m_lock; // released last
    LONG m_refCount;
    ExtensionModule m_module;
    DWORD m_letters;
    UINT m_position;
    ComPtr<IUnknown> m_site;
};
