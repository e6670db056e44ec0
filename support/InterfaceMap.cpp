#include "support/InterfaceMap.h"

HRESULT QueryFromInterfaceMap(void* object, const InterfaceMapEntry* map, REFIID riid,
                              void** ppv) noexcept {
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    const InterfaceMapEntry* row = map;
    if (!IsEqualIID(riid, __uuidof(IUnknown))) {
        while (row->iid && !IsEqualIID(*row->iid, riid))
            ++row;
        if (!row->iid)
            return E_NOINTERFACE;
    }
    IUnknown* answer = reinterpret_cast<IUnknown*>(static_cast<char*>(object) + row->offset);
    answer->AddRef();
    *ppv = answer;
    return S_OK;
}
