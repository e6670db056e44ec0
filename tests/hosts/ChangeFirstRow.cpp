// Opens the drives window's Change dialog on its first row, as a user would with Home and the
// Change button: for the pictures of the dialog (tools/pictures/menu-pictures.sh).
#include <windows.h>
#include "drives/window/DrivesIds.h"

int main() {
    const HWND window = FindWindowW(L"LanterwellDrives", nullptr);
    const HWND list = window ? GetDlgItem(window, IDC_LIST) : nullptr;
    if (!list)
        return 1;
    PostMessageW(list, WM_KEYDOWN, VK_HOME, 0);
    PostMessageW(GetDlgItem(window, IDC_CHANGE), BM_CLICK, 0, 0);
    return 0;
}
