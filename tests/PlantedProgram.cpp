// Stands in for a program that someone planted where the server must not look, or for any
// program that keeps its own file in use while a test works around it.
#include <windows.h>

// planted_program [READY-FILE]: creates READY-FILE once running, for a test to wait on.
// It lives until the test that finds it ends it (or the test's Wine server goes), however slow
// the machine: it waits for nothing else.
int wmain(int argc, wchar_t** argv) {
    if (argc > 1)
        CloseHandle(CreateFileW(argv[1], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    Sleep(INFINITE);
    return 0;
}
