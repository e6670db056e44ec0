#include "support/StringTable.h"
#include <strsafe.h>

const WORD* FindStringEntry(HMODULE module, UINT id, LANGID language) noexcept {
    const LPCSTR block = MAKEINTRESOURCEA(static_cast<WORD>(id / 16 + 1));
    const HRSRC resource = FindResourceExA(module, RT_STRING, block, language);
    if (!resource)
        return nullptr;
    const HGLOBAL loaded = LoadResource(module, resource);
    if (!loaded)
        return nullptr;
    const WORD* entry = static_cast<const WORD*>(LockResource(loaded));
    if (!entry)
        return nullptr;
    const WORD* const end = entry + SizeofResource(module, resource) / sizeof(WORD);

    for (UINT skip = id % 16; skip > 0; --skip) {
        if (entry >= end)
            return nullptr;
        entry += 1 + *entry;
    }
    if (entry >= end || *entry == 0)
        return nullptr;
    // An entry whose count runs past the block is damaged: never read beyond the block.
    if (*entry > end - entry - 1)
        return nullptr;
    return entry;
}

bool CopyStringEntry(HMODULE module, UINT id, LANGID language, wchar_t* buffer,
                     size_t units) noexcept {
    if (!buffer || units == 0)
        return false;
    buffer[0] = 0;
    const WORD* entry = FindStringEntry(module, id, language);
    if (!entry)
        return false;
    // The table's texts are counted, not terminated.
    StringCchCopyNW(buffer, units, reinterpret_cast<const wchar_t*>(entry + 1), *entry);
    return true;
}
