#include "drives/window/FolderPicker.h"
#include <shlobj.h>
#include <shobjidl.h>
#include "drives/window/ShellCalls.h"
#include "support/Handles.h"
#include <strsafe.h>

namespace {

// A text or an item list the shell allocated for its caller.
struct ShellMemoryTraits {
    static void* Invalid() { return nullptr; }
    static bool Release(void* memory) {
        ShellCalls::FreeTaskMemory(memory);
        return true;
    }
};
using UniqueShellMemory = UniqueHandle<void*, ShellMemoryTraits>;

using PickedName = wchar_t[FolderName::kTypedUnits];

// Windows Vista and later; S_FALSE where the dialog does not exist, to ask the older one.
HRESULT PickWithFolderDialog(HWND owner, const wchar_t* title, PickedName& folder) {
    ComPtr<IFileOpenDialog> dialog;
    if (FAILED(ShellCalls::CreateInProcess(CLSID_FileOpenDialog, IID_PPV_ARGS(dialog.Receive()))))
        return S_FALSE;
    FILEOPENDIALOGOPTIONS options = 0;
    HRESULT result = dialog->GetOptions(&options);
    if (SUCCEEDED(result))
        result = dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM);
    if (SUCCEEDED(result))
        result = dialog->SetTitle(title);
    if (SUCCEEDED(result))
        result = dialog->Show(owner);
    if (FAILED(result))
        return result;
    ComPtr<IShellItem> item;
    result = dialog->GetResult(item.Receive());
    if (FAILED(result))
        return result;
    LPWSTR path = nullptr;
    result = item->GetDisplayName(SIGDN_FILESYSPATH, &path);
    const UniqueShellMemory owned(path);
    if (FAILED(result))
        return result;
    return StringCchCopyW(folder, FolderName::kTypedUnits, path);
}

// Its path comes back in MAX_PATH units at most.
Picked PickWithBrowseDialog(HWND owner, const wchar_t* title, PickedName& folder) {
    BROWSEINFOW browse = {};
    browse.hwndOwner = owner;
    browse.lpszTitle = title;
    browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    const PIDLIST_ABSOLUTE chosen = ShellCalls::BrowseForFolder(browse);
    const UniqueShellMemory owned(chosen);
    return chosen && ShellCalls::PathOf(chosen, folder) ? Picked::Folder : Picked::Cancelled;
}

} // namespace

Picked PickFolder(HWND owner, const wchar_t* title, PickedName& folder) noexcept {
    const HRESULT result = PickWithFolderDialog(owner, title, folder);
    if (result == S_FALSE)
        return PickWithBrowseDialog(owner, title, folder);
    if (result == STRSAFE_E_INSUFFICIENT_BUFFER)
        return Picked::TooLong;
    return result == S_OK ? Picked::Folder : Picked::Cancelled;
}
