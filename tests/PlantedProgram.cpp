// Stands in for a program that someone planted where the server must not look.
#include <windows.h>

// It lives until the test has read it and ended it, however slow the machine.
int main() {
    Sleep(600000);
    return 0;
}
