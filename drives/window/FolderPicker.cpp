#include "drives/window/FolderPicker.h"
#include <shlobj.h>
#include <shobjidl.h>
#include "support/Handles.h"
#include <strsafe.h>

namespace {

using PickedName = wchar_t[FolderName::kTypedUnits];

// Windows Vista and later; S_FALSE where the dialog does not exist, to ask the older one.
HRESULT PickWithFolderDialog(HWND owner, const wchar_t* title, PickedName& folder) {
    ComPtr<IFileOpenDialog> dialog;
    if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(dialog.Receive()))))
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
    UniqueTaskString path;
    result = item->GetDisplayName(SIGDN_FILESYSPATH, path.Receive());
    if (FAILED(result))
        return result;
    return StringCchCopyW(folder, FolderName::kTypedUnits, path.Get());
}

// Its path comes back in MAX_PATH units at most.
Picked PickWithBrowseDialog(HWND owner, const wchar_t* title, PickedName& folder) {
    BROWSEINFOW browse = {};
    browse.hwndOwner = owner;
    browse.lpszTitle = title;
    browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    LPITEMIDLIST chosen = SHBrowseForFolderW(&browse);
    const bool picked = chosen && SHGetPathFromIDListW(chosen, folder);
    CoTaskMemFree(chosen);
    return picked ? Picked::Folder : Picked::Cancelled;
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
