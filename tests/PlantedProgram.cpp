// Stands in for a program that someone planted where the server must not look.
#include <windows.h>

// It lives until the test that finds it ends it (or the test's Wine server goes), however slow
// the machine: it waits for nothing else.
int main() {
    Sleep(INFINITE);
    return 0;
}
