// The floor of lwsubst: the least a program does for the same work, importing KERNEL32 alone
// for it. Without arguments it says one line and ends (the floor of a start); "X: folder"
// checks the folder and makes the drive; "X: /d" deletes it.
#include <windows.h>
#include "support/WideArguments.h"

int main() {
    // Read as lwsubst reads its own.
    int count = 0;
    wchar_t** arguments = nullptr;
    if (!WideArguments(count, arguments))
        return 2;
    if (count != 3) {
        const char line[] = "usage: SubstFloor X: folder | X: /d\r\n";
        DWORD written = 0;
        WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line, sizeof(line) - 1, &written, nullptr);
        return 0;
    }
    if (lstrcmpiW(arguments[2], L"/d") == 0)
        return DefineDosDeviceW(DDD_REMOVE_DEFINITION, arguments[1], nullptr) ? 0 : 1;
    const DWORD attributes = GetFileAttributesW(arguments[2]);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return 1;
    return DefineDosDeviceW(0, arguments[1], arguments[2]) ? 0 : 1;
}
