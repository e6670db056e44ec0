#pragma once
#include <windows.h>
#include "registrar/ScriptLexer.h"

// Blocks nest at most this deep; a deeper script is refused before the stack could run out.
const int kMaxBlockDepth = 64;

enum class EntryKind : BYTE {
    Key,       // created at registration, removed at unregistration
    Value,     // "val name = type 'text'": a value of the key whose block holds it
    DeleteKey, // "Delete name": removed at registration; an ordinary key at unregistration
};

// One entry of a block, as registration and unregistration both read it.
struct ScriptEntry {
    EntryKind kind;
    bool noRemove;
    bool hasBlock;           // a key's own block follows (a value's block is read and dropped)
    const char* forceRemove; // the name that ForceRemove deletes before the entry, or null
    const char* name;
    const char* type; // the value clause's type letter, checked when written; or null
    const char* text; // the value clause's text
    int end;          // the index just past the entries of this entry's block
};

// One block of a script read whole, before anything is written: its entries in the order they
// stand, each key's block right after the key. Whatever the walks could not take (a malformed
// entry, a block nested too deep, a missing "}") is refused here, so a walk never stops half
// way on the script's form, and a roll-back takes exactly what registration took.
class ScriptTree {
public:
    ScriptTree() = default;
    ~ScriptTree();
    ScriptTree(const ScriptTree&) = delete;
    ScriptTree& operator=(const ScriptTree&) = delete;

    // Reads one block from the token after its "{" through its "}": S_OK, DISP_E_EXCEPTION for a
    // block the walks cannot take, or E_OUTOFMEMORY. The lexer is left after the "}".
    HRESULT Parse(ScriptLexer& lexer) noexcept;

    int Count() const noexcept { return m_count; }
    const ScriptEntry& operator[](int index) const noexcept { return m_entries[index]; }

private:
    HRESULT ParseBlock(int depth) noexcept;
    HRESULT ParseEntry(int depth) noexcept;
    HRESULT ParseKeyRest(int index, int depth) noexcept;
    HRESULT ParseValue(int index, int depth) noexcept;
    HRESULT ParseValueClause(int index) noexcept;
    HRESULT Read() noexcept;
    const char* Keep() noexcept;
    bool Reserve(int length) noexcept;
    int Add() noexcept;

    ScriptLexer* m_lexer = nullptr;
    ScriptEntry* m_entries = nullptr;
    int m_count = 0;
    int m_capacity = 0;
    // The token texts the entries point into; the current token is read at its top.
    char* m_texts = nullptr;
    int m_used = 0;
    int m_size = 0;
    const char* m_token = nullptr;
};

// A name one level of the registry can take: not empty, no backslash, shorter than MAX_PATH
// bytes, no lead byte without its trail byte.
bool IsKeyName(const char* token) noexcept;
