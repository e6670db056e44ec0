#pragma once
#include <windows.h>
#include "extension/ShellExtension.h"
#include "server/TypeInfoHolder.h"

// The type information of IShellExtension, shared by every object of every thread.
extern TypeInfoHolder shellExtensionTypeInfo;

// The IDispatch half of IShellExtension, answered from the registered type library; both
// object forms share it.
class DualShellExtension : public ShellExtension {
public:
    DualShellExtension() noexcept;

    STDMETHODIMP GetTypeInfoCount(UINT* pctinfo) override;
    STDMETHODIMP GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid,
                               DISPID* rgDispId) override;
    STDMETHODIMP Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                        DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo,
                        UINT* puArgErr) override;
};

// The object made without an outer IUnknown. It holds one lock on the module while it lives.
class StandaloneShellExtension final : public DualShellExtension {
public:
    StandaloneShellExtension() noexcept;
    ~StandaloneShellExtension();

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    ModuleLockHold moduleLock;
    LONG refCount;
};

// The object inside an aggregate: its IUnknown is the outer object's.
class ContainedShellExtension final : public DualShellExtension {
public:
    explicit ContainedShellExtension(IUnknown* outer) noexcept : outerUnknown(outer) {}

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    IUnknown* outerUnknown; // no reference of its own
};

// The object made for an outer IUnknown: the aggregator holds its non-delegating IUnknown.
class AggregatedShellExtension final : public IUnknown {
public:
    explicit AggregatedShellExtension(IUnknown* outer) noexcept;
    ~AggregatedShellExtension();

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    ModuleLockHold moduleLock;
    LONG refCount;
    ContainedShellExtension contained;
};

// The instance creator of the ShellExtension class entry.
HRESULT CreateShellExtension(IUnknown* outer, REFIID riid, void** ppv);
