#include "tools/drives/FolderPicker.h"
#include <shlobj.h>
#include <shobjidl.h>

namespace {

const wchar_t kTestHook[] = L"LANTERWELL_PICKED_FOLDER";

// Releases a COM interface when it goes away.
template <typename Interface> class ComPointer {
public:
    ComPointer() = default;
    ~ComPointer() {
        if (m_pointer)
            m_pointer->Release();
    }
    ComPointer(const ComPointer&) = delete;
    ComPointer& operator=(const ComPointer&) = delete;
    Interface* operator->() const { return m_pointer; }
    Interface** Receive() { return &m_pointer; }

private:
    Interface* m_pointer = nullptr;
};

// Windows Vista and later; S_FALSE where the dialog does not exist, to ask the older one.
HRESULT PickWithFolderDialog(HWND owner, const wchar_t* title, wchar_t (&folder)[MAX_PATH]) {
    ComPointer<IFileOpenDialog> dialog;
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
    ComPointer<IShellItem> item;
    result = dialog->GetResult(item.Receive());
    wchar_t* path = nullptr;
    if (SUCCEEDED(result))
        result = item->GetDisplayName(SIGDN_FILESYSPATH, &path);
    if (SUCCEEDED(result))
        lstrcpynW(folder, path, MAX_PATH);
    CoTaskMemFree(path);
    return result;
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
    SetLastError(ERROR_SUCCESS);
    const DWORD hooked = GetEnvironmentVariableW(kTestHook, folder, MAX_PATH);
    if (hooked || GetLastError() != ERROR_ENVVAR_NOT_FOUND)
        return hooked > 0 && hooked < MAX_PATH;
    const HRESULT result = PickWithFolderDialog(owner, title, folder);
    return result == S_FALSE ? PickWithBrowseDialog(owner, title, folder) : result == S_OK;
}
