// The two pieces of the C++ runtime that the product DLLs use, for the ARM64 build, which links
// them without Zig's libc++: that runtime brings libunwind, which would export its functions
// from any DLL it is linked into. Nothing here throws or unwinds.
#include <cstdlib>

// Only the deleting destructors of classes with virtual destructors name it; objects are made
// and freed by their own factories.
void operator delete(void* block) noexcept {
    std::free(block);
}

// A pure virtual function called through a half-built or half-destroyed object: a bug that must
// not go on.
extern "C" void __cxa_pure_virtual() {
    __builtin_trap();
}
