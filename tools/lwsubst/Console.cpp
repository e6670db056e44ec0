#include "tools/lwsubst/Console.h"

namespace {

WORD MessageLanguage() {
    // Japanese for a Japanese UI, English for every other.
    return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_JAPANESE
               ? MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT)
               : MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
}

// A string of the table in the chosen language, read from its block of sixteen counted
// strings; the length in units, 0 when there is none.
int LoadMessage(UINT id, const wchar_t*& text) {
    const HRSRC block = FindResourceExW(nullptr, reinterpret_cast<LPCWSTR>(RT_STRING),
                                        MAKEINTRESOURCEW(id / 16 + 1), MessageLanguage());
    const HGLOBAL loaded = block ? LoadResource(nullptr, block) : nullptr;
    const wchar_t* p = loaded ? static_cast<const wchar_t*>(LockResource(loaded)) : nullptr;
    if (!p)
        return 0;
    for (UINT i = 0; i < id % 16; ++i)
        p += 1 + *p;
    text = p + 1;
    return *p;
}

void Write(const wchar_t* text, int length) {
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    DWORD written = 0;
    if (GetConsoleMode(out, &mode)) {
        WriteConsoleW(out, text, static_cast<DWORD>(length), &written, nullptr);
        return;
    }
    UINT codePage = GetConsoleOutputCP();
    if (!codePage)
        codePage = GetOEMCP();
    const int bytes = WideCharToMultiByte(codePage, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return;
    HANDLE heap = GetProcessHeap();
    char* buffer = static_cast<char*>(HeapAlloc(heap, 0, bytes));
    if (!buffer)
        return;
    WideCharToMultiByte(codePage, 0, text, length, buffer, bytes, nullptr, nullptr);
    WriteFile(out, buffer, static_cast<DWORD>(bytes), &written, nullptr);
    HeapFree(heap, 0, buffer);
}

} // namespace

namespace Console {

void Print(UINT id, wchar_t letter, const wchar_t* text) noexcept {
    const wchar_t* pattern = nullptr;
    const int length = LoadMessage(id, pattern);
    if (!length)
        return;
    // The pattern is not NUL-terminated in the table.
    wchar_t format[1024];
    lstrcpynW(format, pattern, length + 1 < 1024 ? length + 1 : 1024);
    const wchar_t letterText[] = {letter, 0};
    DWORD_PTR inserts[] = {reinterpret_cast<DWORD_PTR>(letterText),
                           reinterpret_cast<DWORD_PTR>(text ? text : L"")};
    wchar_t* message = nullptr;
    const DWORD units = FormatMessageW(
        FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_ARGUMENT_ARRAY,
        format, 0, 0, reinterpret_cast<LPWSTR>(&message), 0, reinterpret_cast<va_list*>(inserts));
    if (units && message)
        Write(message, static_cast<int>(units));
    LocalFree(message);
}

void PrintError(UINT id, wchar_t letter, DWORD error) noexcept {
    wchar_t code[16];
    wsprintfW(code, L"%lu", error);
    Print(id, letter, code);
}

} // namespace Console
