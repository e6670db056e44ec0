#include "support/ModuleHeap.h"

namespace {
volatile LONG liveBlocks = 0;
}

namespace ModuleHeap {

void* Allocate(SIZE_T size) noexcept {
    void* block = HeapAlloc(GetProcessHeap(), 0, size ? size : 1);
    if (block)
        InterlockedIncrement(&liveBlocks);
    return block;
}

void* Reallocate(void* block, SIZE_T size) noexcept {
    if (!block)
        return Allocate(size);
    return HeapReAlloc(GetProcessHeap(), 0, block, size ? size : 1);
}

void Free(void* block) noexcept {
    if (!block)
        return;
    HeapFree(GetProcessHeap(), 0, block);
    InterlockedDecrement(&liveBlocks);
}

LONG LiveBlocks() noexcept {
    return liveBlocks;
}

} // namespace ModuleHeap
