// Stands in for a program that a test cannot run here (PowerShell under Wine): appends its
// command line, as UTF-8, to a file named after itself with ".log" added, and exits with 0;
// or, while a file named after itself with ".fail" added exists, fails as the program would:
// writes that file's text to its output and exits with 1.
#include <windows.h>

int main() {
    wchar_t path[MAX_PATH + 4];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return 1;
    lstrcpyW(path + length, L".log");
    const HANDLE log = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log == INVALID_HANDLE_VALUE)
        return 1;
    char line[8192];
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, GetCommandLineW(), -1, line, sizeof(line) - 2,
                                          nullptr, nullptr);
    DWORD written = 0;
    if (bytes > 0) {
        line[bytes - 1] = '\n';
        WriteFile(log, line, static_cast<DWORD>(bytes), &written, nullptr);
    }
    CloseHandle(log);

    lstrcpyW(path + length, L".fail");
    const HANDLE failure = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr);
    if (failure == INVALID_HANDLE_VALUE)
        return 0;
    DWORD read = 0;
    if (ReadFile(failure, line, sizeof(line), &read, nullptr) && read > 0)
        WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line, read, &written, nullptr);
    CloseHandle(failure);
    return 1;
}
