#include "extension/ResourceStrings.h"
#include "support/CodePage.h"
#include "support/StringTable.h"

namespace {

// The first resource module whose table of the source's language holds the entry.
const WORD* LookUpEntry(const TextSource& source, UINT id) {
    for (int position = 0;; ++position) {
        const HMODULE module = source.modules->GetResourceInstanceAt(position);
        if (!module)
            return nullptr;
        if (const WORD* entry = FindStringEntry(module, id, source.language))
            return entry;
    }
}

const WORD* FindEntry(const TextSource& source, UINT id) {
    for (UINT i = 0; i < source.foundCount; ++i)
        if (source.found[i].id == id)
            return source.found[i].entry;
    const WORD* entry = LookUpEntry(source, id);
    if (entry && source.foundCount < TextSource::kKept)
        source.found[source.foundCount++] = {id, entry};
    return entry;
}

} // namespace

bool LoadResourceString(const TextSource& source, AnsiString& text, UINT id) noexcept {
    const WORD* entry = FindEntry(source, id);
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

bool LoadResourceString(const TextSource& source, WideUiText& text, UINT id) noexcept {
    const WORD* entry = FindEntry(source, id);
    if (!entry)
        return false;
    // A format longer than the formatter takes would be cut by it anyway.
    const int count = *entry < WideUiText::kCapacity ? *entry : WideUiText::kCapacity;
    CopyMemory(text.text, entry + 1, count * sizeof(wchar_t));
    text.text[count] = 0;
    text.length = count;
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

void FormatResourceText(const TextSource& source, AnsiString& text, UINT id, ...) noexcept {
    AnsiString format;
    LoadResourceString(source, format, id);
    va_list arguments;
    va_start(arguments, id);
    FormatTextV(text, format.Text(), arguments);
    va_end(arguments);
}

void FormatResourceText(const TextSource& source, WideUiText& text, UINT id, ...) noexcept {
    WideUiText format;
    LoadResourceString(source, format, id);
    va_list arguments;
    va_start(arguments, id);
    // The formatter stops at 1024 units; room for one more keeps its terminator in bounds.
    wchar_t scratch[WideUiText::kCapacity + 4];
    const int length = wvsprintfW(scratch, format.text, arguments);
    va_end(arguments);
    if (length < 0)
        return;
    text.length = lstrlenW(scratch);
    if (text.length > WideUiText::kCapacity)
        text.length = WideUiText::kCapacity;
    CopyMemory(text.text, scratch, text.length * sizeof(wchar_t));
    text.text[text.length] = 0;
}
