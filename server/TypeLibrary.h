#pragma once
#include <windows.h>
#include <oaidl.h>

// Loads the type library that a module's file carries (resource TYPELIB 1), or the ".tlb"
// file beside it. The path that loaded and the library are the caller's.
HRESULT LoadModuleTypeLibrary(HINSTANCE module, BSTR* path, ITypeLib** library) noexcept;
// Registers the module's type library, with the module's folder as its help directory.
HRESULT RegisterModuleTypeLibrary(HINSTANCE module) noexcept;
// Removes the registration that the module's type library names for itself.
HRESULT UnregisterModuleTypeLibrary(HINSTANCE module) noexcept;
// The length of a path's folder part, final separator included.
int DirectoryPrefixLength(const wchar_t* path) noexcept;
