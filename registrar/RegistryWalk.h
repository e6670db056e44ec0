#pragma once
#include <windows.h>
#include "registrar/ScriptParser.h"

// Blocks nest at most this deep; a deeper script fails before the stack could run out.
const int kMaxBlockDepth = 64;

// What an unregistering walk does with the values a block names for its parent key.
enum class BlockValues {
    Delete,     // each by its own call, as the walk meets it
    GoWithKey,  // none: the parent is to be deleted, and its values with it
    DeleteOnly, // only these, up to the parser's valuesUntil: the parent stayed after all
};

// Applies one block of a script to the registry (registering) or removes what it describes
// (unregistering). Reads from the token after the block's "{" and returns at the token that
// begins with "}", which stays in the buffer. Recovering reads a block and touches nothing.
// A parent opened with write access has its values deleted through its own handle.
// Whether the parent, opened as itself, is a symbolic link: asked only once a subkey is to be
// walked below it, since its own values and its deletion need no answer.
struct ParentLink;

HRESULT WalkKeys(ScriptParser& parser, char* token, HKEY parent, bool registering, bool recovering,
                 int depth = 1, bool parentWritable = false,
                 BlockValues values = BlockValues::Delete,
                 ParentLink* parentLink = nullptr) noexcept;

// Called with "=" in the token buffer: reads the type letter and the value text, writes the
// value, and leaves the next token in the buffer. A null name writes the default value.
HRESULT WriteValue(ScriptParser& parser, HKEY key, const char* name, char* token) noexcept;

// Deletes a subkey and everything below it; answers a Win32 error code.
LONG DeleteKeyTree(HKEY parent, const char* name) noexcept;
