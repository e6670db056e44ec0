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

// What a key that a walk meets is, in the registry view of this process: the one rule for
// links, which both walks and the tree deletion follow.
enum class KeyNature {
    Key,      // an ordinary key, whatever values it holds
    Link,     // a symbolic link that anyone may have planted: removed as a link, never followed
    ViewLink, // a link the platform made for the 32-bit view: it stands for the key it reaches
};

// The nature of the subkey `name` of `parent`, opened as itself.
KeyNature NatureOf(HKEY parent, const char* name, HKEY asItself) noexcept;

// Opens a subkey as the walks treat it and says what it is: a view link as the key it
// reaches, anything else as itself.
LONG OpenInView(KeyHandle& key, HKEY parent, const char* name, REGSAM access,
                KeyNature& nature) noexcept;

// Deletes an open key through its own handle: a link deleted by name would take its target.
LONG DeleteOpenKey(HKEY key) noexcept;

// Deletes a subkey and everything below it, whatever the length of its subkeys' names: a
// symbolic link as a link, a view link as the key it reaches.
LONG DeleteKeyTree(HKEY parent, const char* name) noexcept;
