#pragma once
#include <windows.h>
#include <oaidl.h>
#include "LanterwellIds.h"

// The class's own dual interface. It adds nothing to IDispatch: it gives the class a type
// description in the module's type library.
MIDL_INTERFACE(LANTERWELL_IID_ISHELL_EXTENSION_BARE)
IShellExtension : public IDispatch{};
LANTERWELL_UUID_DECL(IShellExtension, LANTERWELL_IID_ISHELL_EXTENSION_ARGS)
