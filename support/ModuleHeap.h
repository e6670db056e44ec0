#pragma once
#include <windows.h>
#include <new>
#include <utility>

// All of the server's heap blocks come from here, so that running out of memory is an
// ordinary null result (never an exception inside a host process) and tests can see
// whether anything is still allocated.
namespace ModuleHeap {

void* Allocate(SIZE_T size) noexcept;
void* Reallocate(void* block, SIZE_T size) noexcept; // null: failed, block unchanged
void Free(void* block) noexcept;                     // accepts null
LONG LiveBlocks() noexcept;

} // namespace ModuleHeap

// Makes an object in a block of the module heap; null when there is no memory.
template <typename T, typename... Args> T* HeapNew(Args&&... args) noexcept {
    void* block = ModuleHeap::Allocate(sizeof(T));
    return block ? new (block) T(std::forward<Args>(args)...) : nullptr;
}

// Destroys an object made by HeapNew and gives its block back.
template <typename T> void HeapDelete(T* object) noexcept {
    if (!object)
        return;
    object->~T();
    ModuleHeap::Free(object);
}
