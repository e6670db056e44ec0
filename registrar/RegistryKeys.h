#pragma once
#include <windows.h>
#include "support/KeyHandle.h"

// The registry operations of the walks, one each. Those answering HRESULT report a Win32 error
// as HRESULT_FROM_WIN32; those answering LONG give the Win32 error code itself.

// Writes a value from a script's type letter and text; a null name writes the default value.
// A type letter or a text that gives no value of its type is DISP_E_EXCEPTION or E_FAIL, and
// nothing is written.
HRESULT WriteScriptValue(HKEY key, const char* name, const char* type, const char* text) noexcept;

// Deletes one value; a missing value is already gone. A key not opened for writing is opened
// again for the deletion.
HRESULT DeleteNamedValue(HKEY key, bool keyWritable, const char* name) noexcept;

// Opens a subkey as itself, never the key a symbolic link at that name points to; a link that
// the 32-bit registry view makes to a key both views share is opened as the shared key.
LONG OpenAsItself(KeyHandle& key, HKEY parent, const char* name, REGSAM access) noexcept;

// Whether a key opened as itself is a symbolic link, and so not the script's to walk below.
bool IsSymbolicLink(HKEY parent, const char* name, HKEY asItself) noexcept;

// Deletes an open key through its own handle: a link deleted by name would take its target.
LONG DeleteOpenKey(HKEY key) noexcept;

// Deletes a subkey and everything below it, a symbolic link as a link.
LONG DeleteKeyTree(HKEY parent, const char* name) noexcept;
