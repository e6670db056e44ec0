// Stands in for a program that someone planted where the server must not look, or for any
// program that keeps its own file in use while a test works around it.
#include <windows.h>

#include <shellapi.h>

// planted_program [READY-FILE]: creates READY-FILE once running, for a test to wait on.
// It lives until the test that finds it ends it (or the test's Wine server goes), however slow
// the machine: it waits for nothing else.
int main() {
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments != nullptr && count > 1)
        CloseHandle(CreateFileW(arguments[1], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    LocalFree(arguments);
    Sleep(INFINITE);
    return 0;
}
