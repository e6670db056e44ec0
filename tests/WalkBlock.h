#pragma once
#include <windows.h>
#include "registrar/RegistryWalk.h"
#include "registrar/ScriptTree.h"

// The tests' and benchmarks' way into the walk: reads the block at the lexer (the token after
// its "{" through its "}") and registers or unregisters it below the parent key, as the
// runner does with a script's root; a block that cannot be read changes nothing.
inline HRESULT WalkBlock(ScriptLexer& lexer, HKEY parent, bool registering) noexcept {
    ScriptTree tree;
    const HRESULT result = tree.Parse(lexer);
    if (FAILED(result))
        return result;
    return registering ? Register(tree, parent) : Unregister(tree, parent);
}
