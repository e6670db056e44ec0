// Stands in for a program that someone planted where the server must not look.
#include <windows.h>

int main() {
    Sleep(10000);
    return 0;
}
