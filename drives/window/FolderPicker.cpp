#include "drives/window/FolderPicker.h"
#include <shlobj.h>
#include <shobjidl.h>
#include "support/Handles.h"
#include <strsafe.h>

namespace {

// Windows Vista and later; S_FALSE where the dialog does not exist, to ask the older one.
HRESULT PickWithFolderDialog(HWND owner, const wchar_t* title, wchar_t (&folder)[MAX_PATH]) {
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
    return StringCchCopyW(folder, MAX_PATH, path.Get());
}

bool PickWithBrowseDialog(HWND owner, const wchar_t* title, wchar_t (&folder)[MAX_PATH]) {
    BROWSEINFOW browse = {};
    browse.hwndOwner = owner;
    browse.lpszTitle = title;
    browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    LPITEMIDLIST chosen = SHBrowseForFolderW(&browse);
    const bool picked = chosen && SHGetPathFromIDListW(chosen, folder);
    CoTaskMemFree(chosen);
    return picked;
}

} // namespace

bool PickFolder(HWND owner, const wchar_t* title, wchar_t (&folder)[MAX_PATH]) noexcept {
    const HRESULT result = PickWithFolderDialog(owner, title, folder);
    return result == S_FALSE ? PickWithBrowseDialog(owner, title, folder) : result == S_OK;
}
