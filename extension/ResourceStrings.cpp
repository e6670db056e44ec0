#include "extension/ResourceStrings.h"
#include "server/ModuleInstance.h"
#include "support/CodePage.h"

const WORD* FindStringEntry(HMODULE module, UINT id, StringBlockLookup lookup) noexcept {
    const LPCSTR block = MAKEINTRESOURCEA(static_cast<WORD>(id / 16 + 1));
    const HRSRC resource =
        lookup == StringBlockLookup::NeutralLanguage
            ? FindResourceExA(module, RT_STRING, block, MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL))
            : FindResourceA(module, block, RT_STRING);
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

bool LoadResourceString(AnsiString& text, UINT id) noexcept {
    HMODULE module = nullptr;
    for (int position = 0;; ++position) {
        module = moduleInstance.GetResourceInstanceAt(position);
        if (!module)
            return false;
        if (FindStringEntry(module, id, StringBlockLookup::NeutralLanguage))
            break;
    }
    const WORD* entry = FindStringEntry(module, id, StringBlockLookup::DefaultLanguage);
    if (!entry)
        return false;

    const UINT codePage = GetConversionCodePage();
    const LPCWSTR units = reinterpret_cast<LPCWSTR>(entry + 1);
    const int count = *entry;
    const int bytes = WideCharToMultiByte(codePage, 0, units, count, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return false;
    AnsiString loaded(text);
    char* buffer = loaded.PrepareBuffer(bytes);
    if (!buffer)
        return false;
    if (WideCharToMultiByte(codePage, 0, units, count, buffer, bytes, nullptr, nullptr) != bytes)
        return false;
    loaded.CommitLength(bytes);
    text = loaded;
    return true;
}

void FormatTextV(AnsiString& text, const char* format, va_list arguments) noexcept {
    if (!format)
        return;
    // wvsprintfA stops at 1024 chars, so this buffer always holds the whole result.
    char scratch[1028];
    int length = wvsprintfA(scratch, format, arguments);
    if (length < 0)
        return;
    // At the limit some formatters count the terminator they wrote in the last byte.
    if (length >= 1024)
        length = lstrlenA(scratch);
    text.Assign(scratch, length);
}

void FormatText(AnsiString& text, const char* format, ...) noexcept {
    va_list arguments;
    va_start(arguments, format);
    FormatTextV(text, format, arguments);
    va_end(arguments);
}

void FormatResourceText(AnsiString& text, UINT id, ...) noexcept {
    AnsiString format;
    LoadResourceString(format, id);
    va_list arguments;
    va_start(arguments, id);
    FormatTextV(text, format.Text(), arguments);
    va_end(arguments);
}
