#include "server/TypeInfoHolder.h"
#include "server/ServerModule.h"
#include "support/Handles.h"
#include "support/ModuleHeap.h"

namespace {

// The holder is written under the module lock and read without it: a published pointer
// must carry everything written before it.
template <typename T> T* ReadPublished(T* const& slot) {
    return __atomic_load_n(&slot, __ATOMIC_ACQUIRE);
}
template <typename T> void Publish(T*& slot, T* value) {
    __atomic_store_n(&slot, value, __ATOMIC_RELEASE);
}

void DestroyNameCache(NameCacheEntry* cache, LONG count) {
    for (LONG i = count - 1; i >= 0; --i)
        SysFreeString(cache[i].name);
    ModuleHeap::Free(cache);
}

} // namespace

TypeInfoHolder::TypeInfoHolder(const IID& iid, const GUID& libid, WORD major, WORD minor) noexcept
    : interfaceId(iid), libraryId(libid), majorVersion(major), minorVersion(minor),
      typeInfo(nullptr), nameCache(nullptr), nameCount(0) {}

bool TypeInfoHolder::Ready() const noexcept {
    return ReadPublished(typeInfo) && ReadPublished(nameCache);
}

ITypeInfo* TypeInfoHolder::LoadedTypeInfo() const noexcept {
    return ReadPublished(typeInfo);
}

HRESULT TypeInfoHolder::EnsureTypeInfo(LCID lcid) noexcept {
    if (Ready())
        return S_OK;
    if (!activeModule || !activeModule->started)
        return E_UNEXPECTED;
    CriticalSectionLock lock(activeModule->moduleLock);

    HRESULT result = S_OK;
    if (!typeInfo) {
        ComPtr<ITypeLib> library;
        result = LoadRegTypeLib(libraryId, majorVersion, minorVersion, lcid, library.Receive());
        if (SUCCEEDED(result)) {
            ComPtr<ITypeInfo> found;
            result = library->GetTypeInfoOfGuid(interfaceId, found.Receive());
            if (SUCCEEDED(result)) {
                // Keep the ITypeInfo that ITypeInfo2 gives, when the library offers one.
                ComPtr<ITypeInfo2> info2;
                ComPtr<ITypeInfo> kept;
                if (SUCCEEDED(found->QueryInterface(__uuidof(ITypeInfo2), info2.ReceiveVoid())) &&
                    SUCCEEDED(info2->QueryInterface(__uuidof(ITypeInfo), kept.ReceiveVoid()))) {
                    Publish(typeInfo, kept.Detach());
                } else {
                    found->AddRef();
                    Publish(typeInfo, found.Get());
                }
                activeModule->AddTerminationCallback(ReleaseTypeInfo, this);
            }
        }
    }
    if (typeInfo && !nameCache)
        BuildNameCache(typeInfo);
    return result;
}

HRESULT TypeInfoHolder::BuildNameCache(ITypeInfo* info) noexcept {
    TYPEATTR* attributes = nullptr;
    if (FAILED(info->GetTypeAttr(&attributes)))
        return S_OK;
    const LONG count = attributes->cFuncs;
    nameCache = nullptr;
    nameCount = count;
    NameCacheEntry* cache = nullptr;
    if (count > 0) {
        cache = static_cast<NameCacheEntry*>(
            ModuleHeap::Allocate(sizeof(NameCacheEntry) * static_cast<SIZE_T>(count)));
        if (!cache) {
            info->ReleaseTypeAttr(attributes);
            return E_OUTOFMEMORY;
        }
        for (LONG i = 0; i < count; ++i)
            cache[i] = {nullptr, 0, DISPID_UNKNOWN};
        for (LONG i = 0; i < count; ++i) {
            FUNCDESC* function = nullptr;
            if (FAILED(info->GetFuncDesc(static_cast<UINT>(i), &function)))
                continue;
            BSTR name = nullptr;
            if (SUCCEEDED(
                    info->GetDocumentation(function->memid, &name, nullptr, nullptr, nullptr))) {
                cache[i] = {name, static_cast<LONG>(SysStringLen(name)), function->memid};
            }
            info->ReleaseFuncDesc(function);
        }
    }
    Publish(nameCache, cache);
    info->ReleaseTypeAttr(attributes);
    return S_OK;
}

void TypeInfoHolder::ReleaseTypeInfo(void* argument) noexcept {
    TypeInfoHolder* holder = static_cast<TypeInfoHolder*>(argument);
    if (!holder)
        return;
    if (ITypeInfo* info = holder->typeInfo) {
        Publish(holder->typeInfo, static_cast<ITypeInfo*>(nullptr));
        info->Release();
    }
    if (NameCacheEntry* cache = holder->nameCache) {
        Publish(holder->nameCache, static_cast<NameCacheEntry*>(nullptr));
        DestroyNameCache(cache, holder->nameCount);
    }
}

ITypeInfo* TypeInfoHolder::Loaded(LCID lcid, bool retryCache, HRESULT& result) noexcept {
    result = S_OK;
    if (retryCache ? !Ready() : !LoadedTypeInfo())
        result = EnsureTypeInfo(lcid);
    return LoadedTypeInfo();
}

HRESULT TypeInfoHolder::GetTypeInfo(UINT, LCID lcid, ITypeInfo** ppTInfo) noexcept {
    if (!ppTInfo)
        return E_POINTER;
    // Only a missing type information is loaded here; a missing cache is not retried.
    HRESULT result;
    ITypeInfo* info = Loaded(lcid, false, result);
    *ppTInfo = info;
    if (!info)
        return result;
    info->AddRef();
    return S_OK;
}

HRESULT TypeInfoHolder::GetIDsOfNames(REFIID, LPOLESTR* rgszNames, UINT cNames, LCID lcid,
                                      DISPID* rgDispId) noexcept {
    // Checked before anything is touched: the cache would write through a null rgDispId, and
    // the platform faults on a null rgszNames even for no names.
    if (!rgszNames || !rgDispId)
        return E_POINTER;
    for (UINT i = 0; i < cNames; ++i)
        if (!rgszNames[i])
            return E_POINTER;
    HRESULT result;
    ITypeInfo* info = Loaded(lcid, true, result);
    if (!info)
        return result;
    if (NameCacheEntry* cache = ReadPublished(nameCache); cache && cNames == 1) {
        const LONG length = lstrlenW(rgszNames[0]);
        for (LONG i = nameCount - 1; i >= 0; --i) {
            if (cache[i].length == length &&
                (length == 0 ||
                 memcmp(cache[i].name, rgszNames[0], 2 * static_cast<size_t>(length)) == 0)) {
                rgDispId[0] = cache[i].dispid;
                return S_OK;
            }
        }
    }
    return info->GetIDsOfNames(rgszNames, cNames, rgDispId);
}

HRESULT TypeInfoHolder::Invoke(IDispatch* instance, DISPID dispIdMember, REFIID, LCID lcid,
                               WORD wFlags, DISPPARAMS* pDispParams, VARIANT* pVarResult,
                               EXCEPINFO* pExcepInfo, UINT* puArgErr) noexcept {
    // The parameters must be there, with an array for each count; the result, the exception
    // and the argument error stay optional.
    if (!pDispParams || (pDispParams->cArgs && !pDispParams->rgvarg) ||
        (pDispParams->cNamedArgs && !pDispParams->rgdispidNamedArgs))
        return E_POINTER;
    HRESULT result;
    ITypeInfo* info = Loaded(lcid, true, result);
    if (!info)
        return result;
    return info->Invoke(instance, dispIdMember, wFlags, pDispParams, pVarResult, pExcepInfo,
                        puArgErr);
}
