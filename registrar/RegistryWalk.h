#pragma once
#include <windows.h>
#include "registrar/ScriptTree.h"

// Writes what a block describes below the parent key. Stops at the first failure and reports
// it; what was written stays, for the caller to roll back with Unregister.
HRESULT Register(const ScriptTree& tree, HKEY parent) noexcept;

// Removes what a block describes from below the parent key, deepest first: keys that are not
// NoRemove go with their values; the values of a key that stays are deleted one by one. A
// symbolic link named as a key goes as a link, and nothing below it is touched; a link the
// platform made for the 32-bit view is treated as the key it reaches. Stops at the first
// failure and reports it.
HRESULT Unregister(const ScriptTree& tree, HKEY parent) noexcept;
