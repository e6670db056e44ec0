#pragma once
#include <windows.h>
#include <oaidl.h>

// The class's own dual interface. It adds nothing to IDispatch: it gives the class a type
// description in the module's type library.
MIDL_INTERFACE("C62B8D47-91E5-4F0C-B3A6-58E4D7019F2B")
IShellExtension : public IDispatch{};
__CRT_UUID_DECL(IShellExtension, 0xC62B8D47, 0x91E5, 0x4F0C, 0xB3, 0xA6, 0x58, 0xE4, 0xD7, 0x01,
                0x9F, 0x2B)
