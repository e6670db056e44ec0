#include "registrar/RegistryWalk.h"
#include "registrar/RegistryKeys.h"
#include "registrar/ScriptTables.h"
#include "registrar/ViewLinks.h"
#include "support/KeyHandle.h"

namespace {

const REGSAM kReadWrite = KEY_READ | KEY_WRITE;

HRESULT FromWin32(LONG error) {
    return HRESULT_FROM_WIN32(error);
}

// ---- Registration

// ForceRemove's and Delete's key; a missing key is already gone, and a protected one stays.
HRESULT DeleteFirst(HKEY parent, const char* name) {
    if (IsProtectedKeyName(name))
        return S_OK;
    const LONG error = DeleteKeyTree(parent, name);
    return error == ERROR_FILE_NOT_FOUND ? S_OK : FromWin32(error);
}

HRESULT RegisterBlock(const ScriptTree& tree, int first, int end, HKEY parent);

HRESULT RegisterKey(const ScriptTree& tree, int index, HKEY parent) {
    const ScriptEntry& entry = tree[index];
    KeyHandle key;
    // Creating opens an existing key, which keeps its other contents; a key that may only be
    // read is opened for reading and walked all the same.
    LONG error = key.Create(parent, entry.name, kReadWrite);
    if (error && key.Open(parent, entry.name, KEY_READ) == ERROR_SUCCESS)
        error = ERROR_SUCCESS;
    if (error)
        return FromWin32(error);
    if (entry.type) {
        const HRESULT result = WriteScriptValue(key.Get(), nullptr, entry.type, entry.text);
        if (FAILED(result))
            return result;
    }
    return entry.hasBlock ? RegisterBlock(tree, index + 1, entry.end, key.Get()) : S_OK;
}

HRESULT RegisterBlock(const ScriptTree& tree, int first, int end, HKEY parent) {
    for (int index = first; index < end; index = tree[index].end) {
        const ScriptEntry& entry = tree[index];
        const char* doomed = entry.kind == EntryKind::DeleteKey ? entry.name : entry.forceRemove;
        HRESULT result = doomed ? DeleteFirst(parent, doomed) : S_OK;
        if (SUCCEEDED(result) && entry.kind == EntryKind::Value)
            result = WriteScriptValue(parent, entry.name, entry.type, entry.text);
        else if (SUCCEEDED(result) && entry.kind == EntryKind::Key)
            result = RegisterKey(tree, index, parent);
        if (FAILED(result))
            return result;
    }
    return S_OK;
}

// ---- Unregistration

// What an unregistering walk does with the values a block names for its key.
enum class BlockValues {
    Delete,    // each as the walk meets it
    GoWithKey, // none: the key is to be deleted, and its values with it
};

// A key the unregistering walk opened, and whether it is a link the walk must not go below.
// Where the platform may have made view links, that is asked at once, and a view link is
// opened as the key it reaches; elsewhere only once the walk is to go below the key, since its
// own values and its deletion need no answer.
class WalkedKey {
public:
    WalkedKey(HKEY parent, const char* name, bool viewLinks)
        : m_parent(parent), m_name(name), m_asked(viewLinks) {}

    LONG Open(REGSAM access) {
        if (m_asked)
            return OpenInView(m_key, m_parent, m_name, access, m_nature);
        return m_key.OpenLink(m_parent, m_name, access);
    }
    bool IsLink() {
        if (!m_asked)
            m_nature = NatureOf(m_parent, m_name, m_key.Get());
        m_asked = true;
        return m_nature == KeyNature::Link;
    }
    HKEY Get() const { return m_key.Get(); }
    LONG Close() { return m_key.Close(); }

private:
    HKEY m_parent;
    const char* m_name;
    bool m_asked;
    KeyNature m_nature = KeyNature::Key;
    KeyHandle m_key;
};

// The key whose block an unregistering walk reads.
struct BlockKey {
    HKEY key; // as the walk treats it
    bool writable;
    BlockValues values;
    WalkedKey* walked; // null for a root key
    bool viewLinks;    // whether its subkeys may be the platform's view links
};

// The named values among the block's entries [first, until), deleted one by one because
// their key stays after all.
HRESULT DeleteValues(const ScriptTree& tree, int first, int until, HKEY key) {
    for (int index = first; index < until; index = tree[index].end) {
        const ScriptEntry& entry = tree[index];
        if (entry.kind != EntryKind::Value || entry.noRemove)
            continue;
        const HRESULT result = DeleteNamedValue(key, true, entry.name);
        if (FAILED(result))
            return result;
    }
    return S_OK;
}

HRESULT UnregisterBlock(const ScriptTree& tree, int first, int end, const BlockKey& block,
                        int& reached);

// The key itself, once its block is done: through the handle the walk holds where it was
// opened for deleting, else opened again, as the walk treats it, for nothing but that.
HRESULT RemoveKey(const ScriptTree& tree, int index, WalkedKey& key, bool writable) {
    const ScriptEntry& entry = tree[index];
    if (!writable) {
        if (const LONG closed = key.Close())
            return FromWin32(closed);
        if (const LONG opened = key.Open(DELETE))
            return FromWin32(opened);
    }
    const LONG deleted = DeleteOpenKey(key.Get());
    if (deleted && writable && entry.hasBlock) {
        // Subkeys that stay keep the key: its named values go after all, through the same
        // handle, which no link planted meanwhile can turn elsewhere.
        const HRESULT result = DeleteValues(tree, index + 1, entry.end, key.Get());
        if (FAILED(result))
            return result;
    }
    const LONG closed = key.Close();
    return FromWin32(deleted ? deleted : closed);
}

HRESULT UnregisterKey(const ScriptTree& tree, int index, const BlockKey& parent) {
    // Below a link lies its target, which is not the script's.
    if (parent.walked && parent.walked->IsLink())
        return S_OK;
    const ScriptEntry& entry = tree[index];
    WalkedKey key(parent.key, entry.name, parent.viewLinks);
    LONG opened = key.Open(kReadWrite | DELETE);
    const bool writable = opened == ERROR_SUCCESS;
    if (opened != ERROR_SUCCESS && opened != ERROR_FILE_NOT_FOUND)
        opened = key.Open(KEY_READ);
    if (opened == ERROR_FILE_NOT_FOUND)
        return S_OK;
    if (opened)
        return FromWin32(opened);
    const bool goes = writable && !entry.noRemove;
    if (entry.hasBlock) {
        const BlockKey block = {key.Get(), writable,
                                goes ? BlockValues::GoWithKey : BlockValues::Delete, &key,
                                ViewLinksBelow(parent.viewLinks, entry.name)};
        int reached = index;
        const HRESULT result = UnregisterBlock(tree, index + 1, entry.end, block, reached);
        if (FAILED(result)) {
            // The key stays: the values of the entries the walk reached go all the same.
            if (goes)
                DeleteValues(tree, index + 1, reached + 1, key.Get());
            return result;
        }
    }
    if (entry.noRemove)
        return FromWin32(key.Close());
    return RemoveKey(tree, index, key, writable);
}

// Stops at the first failure, with `reached` at the entry that failed.
HRESULT UnregisterBlock(const ScriptTree& tree, int first, int end, const BlockKey& block,
                        int& reached) {
    for (int index = first; index < end; index = tree[index].end) {
        reached = index;
        const ScriptEntry& entry = tree[index];
        HRESULT result = S_OK;
        if (entry.kind != EntryKind::Value)
            result = UnregisterKey(tree, index, block);
        else if (!entry.noRemove && block.values == BlockValues::Delete)
            result = DeleteNamedValue(block.key, block.writable, entry.name);
        if (FAILED(result))
            return result;
    }
    return S_OK;
}

} // namespace

HRESULT Register(const ScriptTree& tree, HKEY parent) noexcept {
    return RegisterBlock(tree, 0, tree.Count(), parent);
}

HRESULT Unregister(const ScriptTree& tree, HKEY parent) noexcept {
    const BlockKey root = {parent, false, BlockValues::Delete, nullptr,
                           ViewLinksBelow(false, nullptr)};
    int reached = 0;
    return UnregisterBlock(tree, 0, tree.Count(), root, reached);
}
