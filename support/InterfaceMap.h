#pragma once
#include <windows.h>
#include <unknwn.h>

// One row of an object's interface map: an interface ID and where the object keeps the
// interface pointer that answers it. The first row also answers IUnknown.
struct InterfaceMapEntry {
    const IID* iid; // null closes the map
    ptrdiff_t offset;
};

// Where Class keeps its Interface pointer, counted from the object's start.
template <typename Class, typename Interface> ptrdiff_t InterfaceOffset() {
    Class* const object = reinterpret_cast<Class*>(0x1000);
    return reinterpret_cast<char*>(static_cast<Interface*>(object)) -
           reinterpret_cast<char*>(object);
}

HRESULT QueryFromInterfaceMap(void* object, const InterfaceMapEntry* map, REFIID riid,
                              void** ppv) noexcept;
