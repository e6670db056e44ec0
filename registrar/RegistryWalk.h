#pragma once
#include <windows.h>
#include "registrar/ScriptParser.h"

// Blocks nest at most this deep; a deeper script fails before the stack could run out.
const int kMaxBlockDepth = 64;

// Applies one block of a script to the registry (registering) or removes what it describes
// (unregistering). Reads from the token after the block's "{" and returns at the token that
// begins with "}", which stays in the buffer. Recovering reads a block and touches nothing.
// A parent opened with write access has its values deleted through its own handle.
HRESULT WalkKeys(ScriptParser& parser, char* token, HKEY parent, bool registering, bool recovering,
                 int depth = 1, bool parentWritable = false) noexcept;

// Called with "=" in the token buffer: reads the type letter and the value text, writes the
// value, and leaves the next token in the buffer. A null name writes the default value.
HRESULT WriteValue(ScriptParser& parser, HKEY key, const char* name, char* token) noexcept;

// Deletes a subkey and everything below it; answers a Win32 error code.
LONG DeleteKeyTree(HKEY parent, const char* name) noexcept;
