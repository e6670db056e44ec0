// The folder picker of the window's test build: answers with the folder that the test names in
// LANTERWELL_PICKED_FOLDER, without a dialog (empty, or not set: cancelled). The platform's
// folder dialogs cannot be worked from another process's messages.
#include "drives/window/FolderPicker.h"

Picked PickFolder(HWND, const wchar_t*, wchar_t (&folder)[FolderName::kTypedUnits]) noexcept {
    const DWORD length =
        GetEnvironmentVariableW(L"LANTERWELL_PICKED_FOLDER", folder, FolderName::kTypedUnits);
    if (length >= FolderName::kTypedUnits)
        return Picked::TooLong;
    return length > 0 ? Picked::Folder : Picked::Cancelled;
}
