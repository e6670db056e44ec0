#pragma once
#include <windows.h>
#include <oaidl.h>

struct NameCacheEntry {
    BSTR name;
    LONG length;
    DISPID dispid;
};

// The type information of one dual interface, loaded from the registered type library on
// first use and kept until the module stops, with a cache of its member names.
class TypeInfoHolder {
public:
    TypeInfoHolder(const IID& iid, const GUID& libid, WORD major, WORD minor) noexcept;
    TypeInfoHolder(const TypeInfoHolder&) = delete;
    TypeInfoHolder& operator=(const TypeInfoHolder&) = delete;

    HRESULT GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) noexcept;
    HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid,
                          DISPID* rgDispId) noexcept;
    HRESULT Invoke(IDispatch* instance, DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                   DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo,
                   UINT* puArgErr) noexcept;

    HRESULT EnsureTypeInfo(LCID lcid) noexcept;
    HRESULT BuildNameCache(ITypeInfo* info) noexcept;
    static void ReleaseTypeInfo(void* holder) noexcept;

    const IID& interfaceId;
    const GUID& libraryId;
    const WORD majorVersion;
    const WORD minorVersion;
    ITypeInfo* typeInfo;
    NameCacheEntry* nameCache;
    LONG nameCount;

private:
    // The loaded type information, loading it (and retrying the cache) when the holder is
    // not ready; null with the load's failure in result.
    ITypeInfo* Loaded(LCID lcid, bool retryCache, HRESULT& result) noexcept;
    bool Ready() const noexcept;
    ITypeInfo* LoadedTypeInfo() const noexcept;
};
