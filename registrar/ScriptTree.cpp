#include "registrar/ScriptTree.h"
#include "support/ModuleHeap.h"

namespace {

bool IsKeyword(const char* token, const char* keyword) {
    return lstrcmpiA(token, keyword) == 0;
}

// Only a token that is exactly "{" opens a block: a key name that begins with "{" (a GUID) is
// the next entry.
bool IsBlockOpener(const char* token) {
    return token[0] == '{' && token[1] == 0;
}

} // namespace

// Every level of the tree is its own entry. An empty name would stand for the parent key
// itself, which ForceRemove, Delete and unregistration would then delete; a lead byte without
// its trail byte names no character, and the platform may store it as one that opens the
// parent again. A name of MAX_PATH bytes or more is refused too: the platform creates it from
// double-byte text but can never open it again, so unregistration could not find it.
bool IsKeyName(const char* token) noexcept {
    if (!token[0] || lstrlenA(token) >= MAX_PATH)
        return false;
    for (const char* p = token; *p;) {
        const char* next = CharNextA(p);
        if (*p == '\\' || (IsDBCSLeadByte(static_cast<BYTE>(*p)) && next - p < 2))
            return false;
        p = next;
    }
    return true;
}

ScriptTree::~ScriptTree() {
    ModuleHeap::Free(m_entries);
    ModuleHeap::Free(m_texts);
}

HRESULT ScriptTree::Parse(ScriptLexer& lexer) noexcept {
    m_lexer = &lexer;
    m_count = 0;
    m_used = 0;
    // A kept token takes no more than its text in the script and a NUL; the current one, at
    // most a whole token buffer.
    if (!Reserve(lstrlenA(lexer.position)))
        return E_OUTOFMEMORY;
    return ParseBlock(1);
}

bool ScriptTree::Reserve(int length) noexcept {
    const int needed = 2 * length + kTokenSize;
    if (m_size >= needed)
        return true;
    ModuleHeap::Free(m_texts);
    m_texts = static_cast<char*>(ModuleHeap::Allocate(needed));
    m_size = m_texts ? needed : 0;
    return m_texts != nullptr;
}

int ScriptTree::Add() noexcept {
    if (m_count == m_capacity) {
        const int capacity = m_capacity ? 2 * m_capacity : 64;
        void* grown = ModuleHeap::Reallocate(m_entries, sizeof(ScriptEntry) * capacity);
        if (!grown)
            return -1;
        m_entries = static_cast<ScriptEntry*>(grown);
        m_capacity = capacity;
    }
    m_entries[m_count] = ScriptEntry{};
    return m_count++;
}

HRESULT ScriptTree::Read() noexcept {
    char* top = m_texts + m_used;
    m_token = top;
    return m_lexer->NextToken(top);
}

// The current token, kept for the entries; keeping it again keeps nothing more.
const char* ScriptTree::Keep() noexcept {
    if (m_token == m_texts + m_used)
        m_used += lstrlenA(m_token) + 1;
    return m_token;
}

HRESULT ScriptTree::ParseBlock(int depth) noexcept {
    if (depth > kMaxBlockDepth)
        return DISP_E_EXCEPTION;
    HRESULT result = Read();
    while (SUCCEEDED(result)) {
        if (m_token[0] == '}')
            return S_OK;
        result = ParseEntry(depth);
    }
    return result;
}

// From the entry's first token, which is current, to the token after the entry. A prefix is
// read once: the name after ForceRemove or Delete is never taken for another prefix.
HRESULT ScriptTree::ParseEntry(int depth) noexcept {
    const int index = Add();
    if (index < 0)
        return E_OUTOFMEMORY;
    HRESULT result = S_OK;
    const bool deleting = IsKeyword(m_token, "Delete");
    if (deleting || IsKeyword(m_token, "ForceRemove")) {
        if (FAILED(result = Read()))
            return result;
        if (!IsKeyName(m_token))
            return DISP_E_EXCEPTION;
        if (deleting) {
            m_entries[index].kind = EntryKind::DeleteKey;
            m_entries[index].name = Keep();
            return ParseKeyRest(index, depth);
        }
        m_entries[index].forceRemove = Keep();
    }
    if (IsKeyword(m_token, "NoRemove")) {
        m_entries[index].noRemove = true;
        if (FAILED(result = Read()))
            return result;
    }
    if (IsKeyword(m_token, "Val"))
        return ParseValue(index, depth);
    if (!IsKeyName(m_token))
        return DISP_E_EXCEPTION;
    m_entries[index].name = Keep();
    return ParseKeyRest(index, depth);
}

HRESULT ScriptTree::ParseKeyRest(int index, int depth) noexcept {
    HRESULT result = Read();
    if (SUCCEEDED(result))
        result = ParseValueClause(index);
    if (SUCCEEDED(result) && IsBlockOpener(m_token)) {
        m_entries[index].hasBlock = true;
        if (SUCCEEDED(result = ParseBlock(depth + 1)))
            result = Read();
    }
    m_entries[index].end = m_count;
    return result;
}

// A block after a value entry belongs to no key: it must be well formed, and is then dropped.
HRESULT ScriptTree::ParseValue(int index, int depth) noexcept {
    m_entries[index].kind = EntryKind::Value;
    HRESULT result = Read();
    if (FAILED(result))
        return result;
    if (lstrlenA(m_token) >= MAX_PATH)
        return DISP_E_EXCEPTION;
    m_entries[index].name = Keep();
    if (FAILED(result = Read()))
        return result;
    if (m_token[0] != '=')
        return DISP_E_EXCEPTION;
    if (FAILED(result = ParseValueClause(index)))
        return result;
    m_entries[index].end = index + 1;
    if (!IsBlockOpener(m_token))
        return S_OK;
    const int used = m_used;
    if (FAILED(result = ParseBlock(depth + 1)))
        return result;
    m_count = index + 1;
    m_used = used;
    return Read();
}

// With "=" current: the type letter and the text, then the token after them.
HRESULT ScriptTree::ParseValueClause(int index) noexcept {
    if (m_token[0] != '=')
        return S_OK;
    HRESULT result = Read();
    if (FAILED(result))
        return result;
    m_entries[index].type = Keep();
    if (FAILED(result = Read()))
        return result;
    m_entries[index].text = Keep();
    return Read();
}
