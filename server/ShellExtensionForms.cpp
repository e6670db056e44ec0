#include "server/ShellExtensionForms.h"
#include "server/ClassFactory.h"
#include "server/Identifiers.h"
#include "support/InterfaceMap.h"
#include "server/ModuleInstance.h"
#include "server/ModuleRecords.h"
#include "server/ServerModule.h"
#include "support/ModuleHeap.h"

TypeInfoHolder shellExtensionTypeInfo(__uuidof(IShellExtension), LIBID_LanterwellLib, 1, 0);

namespace {

// Offsets count from the ShellExtension part, which both forms share.
const InterfaceMapEntry kShellExtensionMap[] = {
    {&__uuidof(IShellExtension), InterfaceOffset<ShellExtension, IShellExtension>()},
    {&__uuidof(IDispatch), InterfaceOffset<ShellExtension, IShellExtension>()},
    {&__uuidof(IShellExtInit), InterfaceOffset<ShellExtension, IShellExtInit>()},
    {&__uuidof(IContextMenu), InterfaceOffset<ShellExtension, IContextMenu>()},
    {nullptr, 0},
};

HRESULT QueryShellExtension(ShellExtension* object, REFIID riid, void** ppv) {
    return QueryFromInterfaceMap(object, kShellExtensionMap, riid, ppv);
}

// Hands out the asked-for interface of a new object, or destroys the object again.
template <typename Form> HRESULT Deliver(Form* object, REFIID riid, void** ppv) {
    if (!object)
        return E_OUTOFMEMORY;
    const HRESULT result = object->QueryInterface(riid, ppv);
    if (result != S_OK)
        HeapDelete(object);
    return result;
}

} // namespace

DualShellExtension::DualShellExtension() noexcept : ShellExtension(ModuleForExtension()) {}

STDMETHODIMP DualShellExtension::GetTypeInfoCount(UINT* pctinfo) {
    if (!pctinfo)
        return E_POINTER;
    *pctinfo = 1;
    return S_OK;
}

STDMETHODIMP DualShellExtension::GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) {
    return shellExtensionTypeInfo.GetTypeInfo(iTInfo, lcid, ppTInfo);
}

STDMETHODIMP DualShellExtension::GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames,
                                               LCID lcid, DISPID* rgDispId) {
    return shellExtensionTypeInfo.GetIDsOfNames(riid, rgszNames, cNames, lcid, rgDispId);
}

STDMETHODIMP DualShellExtension::Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                                        DISPPARAMS* pDispParams, VARIANT* pVarResult,
                                        EXCEPINFO* pExcepInfo, UINT* puArgErr) {
    return shellExtensionTypeInfo.Invoke(static_cast<IShellExtension*>(this), dispIdMember, riid,
                                         lcid, wFlags, pDispParams, pVarResult, pExcepInfo,
                                         puArgErr);
}

StandaloneShellExtension::StandaloneShellExtension() noexcept
    : moduleLock(activeModule), refCount(0) {}

StandaloneShellExtension::~StandaloneShellExtension() {
    refCount = DESTROYED_REF_COUNT;
}

STDMETHODIMP StandaloneShellExtension::QueryInterface(REFIID riid, void** ppv) {
    return QueryShellExtension(this, riid, ppv);
}

// Apartment-threaded: one thread at a time, so plain counts suffice.
STDMETHODIMP_(ULONG) StandaloneShellExtension::AddRef() {
    return static_cast<ULONG>(++refCount);
}

STDMETHODIMP_(ULONG) StandaloneShellExtension::Release() {
    const LONG count = --refCount;
    if (count == 0)
        HeapDelete(this);
    return static_cast<ULONG>(count);
}

STDMETHODIMP ContainedShellExtension::QueryInterface(REFIID riid, void** ppv) {
    return outerUnknown->QueryInterface(riid, ppv);
}

STDMETHODIMP_(ULONG) ContainedShellExtension::AddRef() {
    return outerUnknown->AddRef();
}

STDMETHODIMP_(ULONG) ContainedShellExtension::Release() {
    return outerUnknown->Release();
}

AggregatedShellExtension::AggregatedShellExtension(IUnknown* outer) noexcept
    : moduleLock(activeModule), refCount(0), contained(outer) {}

AggregatedShellExtension::~AggregatedShellExtension() {
    refCount = DESTROYED_REF_COUNT;
}

STDMETHODIMP AggregatedShellExtension::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (IsEqualIID(riid, __uuidof(IUnknown))) {
        *ppv = static_cast<IUnknown*>(this);
        AddRef();
        return S_OK;
    }
    return QueryShellExtension(&contained, riid, ppv);
}

STDMETHODIMP_(ULONG) AggregatedShellExtension::AddRef() {
    return static_cast<ULONG>(++refCount);
}

STDMETHODIMP_(ULONG) AggregatedShellExtension::Release() {
    const LONG count = --refCount;
    if (count == 0)
        HeapDelete(this);
    return static_cast<ULONG>(count);
}

HRESULT CreateShellExtension(IUnknown* outer, REFIID riid, void** ppv) {
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (!outer)
        return Deliver(HeapNew<StandaloneShellExtension>(), riid, ppv);
    return Deliver(HeapNew<AggregatedShellExtension>(outer), riid, ppv);
}
