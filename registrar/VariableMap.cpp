#include "registrar/VariableMap.h"
#include "support/ModuleHeap.h"

namespace {

template <typename Char> Char* HeapCopy(const Char* text, int length) {
    const SIZE_T size = sizeof(Char) * (static_cast<SIZE_T>(length) + 1);
    Char* copy = static_cast<Char*>(ModuleHeap::Allocate(size));
    if (copy)
        CopyMemory(copy, text, size);
    return copy;
}

template <typename T> bool GrowByOne(T**& slots, int count) {
    T** grown = static_cast<T**>(
        ModuleHeap::Reallocate(slots, sizeof(T*) * (static_cast<SIZE_T>(count) + 1)));
    if (!grown)
        return false;
    slots = grown;
    return true;
}

} // namespace

HRESULT VariableMap::Add(const char* name, const wchar_t* value) noexcept {
    char* nameCopy = HeapCopy(name, lstrlenA(name));
    wchar_t* valueCopy = HeapCopy(value, lstrlenW(value));
    if (!nameCopy || !valueCopy || !GrowByOne(m_names, m_count) || !GrowByOne(m_values, m_count)) {
        ModuleHeap::Free(nameCopy);
        ModuleHeap::Free(valueCopy);
        return E_OUTOFMEMORY;
    }
    m_names[m_count] = nameCopy;
    m_values[m_count] = valueCopy;
    ++m_count;
    return S_OK;
}

const wchar_t* VariableMap::Find(const char* name) const noexcept {
    for (int i = 0; i < m_count; ++i)
        if (lstrcmpiA(m_names[i], name) == 0)
            return m_values[i];
    return nullptr;
}

void VariableMap::Clear() noexcept {
    for (int i = 0; i < m_count; ++i) {
        ModuleHeap::Free(m_names[i]);
        ModuleHeap::Free(m_values[i]);
    }
    ModuleHeap::Free(m_names);
    ModuleHeap::Free(m_values);
    m_names = nullptr;
    m_values = nullptr;
    m_count = 0;
}
