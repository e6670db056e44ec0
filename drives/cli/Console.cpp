#include "drives/cli/Console.h"
#include "drives/ToolTexts.h"

namespace {

// A folder the output's code page cannot hold is written with '?' where it lacks a character,
// never best-fitted into the name of another folder ("ａ" as "a"); code pages that take no
// flags (UTF-8, among others) have no best fit to give.
int Convert(UINT codePage, const wchar_t* text, int units, char* buffer, int bytes) {
    const int converted = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, text, units, buffer,
                                              bytes, nullptr, nullptr);
    if (converted || GetLastError() != ERROR_INVALID_FLAGS)
        return converted;
    return WideCharToMultiByte(codePage, 0, text, units, buffer, bytes, nullptr, nullptr);
}

void Write(const wchar_t* text, DWORD length) {
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    DWORD written = 0;
    if (GetConsoleMode(out, &mode)) {
        WriteConsoleW(out, text, length, &written, nullptr);
        return;
    }
    UINT codePage = GetConsoleOutputCP();
    if (!codePage)
        codePage = GetOEMCP();
    const int units = static_cast<int>(length);
    const int bytes = Convert(codePage, text, units, nullptr, 0);
    if (bytes <= 0)
        return;
    HANDLE heap = GetProcessHeap();
    char* buffer = static_cast<char*>(HeapAlloc(heap, 0, bytes));
    if (!buffer)
        return;
    Convert(codePage, text, units, buffer, bytes);
    WriteFile(out, buffer, static_cast<DWORD>(bytes), &written, nullptr);
    HeapFree(heap, 0, buffer);
}

} // namespace

namespace Console {

void Print(UINT id, wchar_t letter, const wchar_t* text) noexcept {
    const wchar_t letterText[] = {letter, 0};
    const wchar_t* inserts[] = {letterText, text};
    const ToolTexts::Message message(id, inserts, 2);
    if (message.Text())
        Write(message.Text(), message.Length());
}

void PrintError(UINT id, wchar_t letter, DWORD error) noexcept {
    Print(id, letter, ToolTexts::NumberText(error).text);
}

} // namespace Console
