#include "drives/window/ShellCalls.h"
#include "support/SystemLibrary.h"

namespace {

const wchar_t kShell[] = L"shell32.dll";
const wchar_t kCom[] = L"ole32.dll";

// Whether the apartment was entered: one window, one thread.
bool tried = false;
HRESULT entered = E_FAIL;

} // namespace

namespace ShellCalls {

bool EnterApartment() noexcept {
    if (!tried) {
        tried = true;
        const auto initialize =
            SystemLibrary::Get<HRESULT WINAPI(void*, DWORD)>(kCom, "CoInitializeEx");
        entered = initialize ? initialize(nullptr, COINIT_APARTMENTTHREADED) : E_FAIL;
    }
    return SUCCEEDED(entered);
}

void LeaveApartment() noexcept {
    if (!SUCCEEDED(entered))
        return;
    if (const auto uninitialize = SystemLibrary::Get<void WINAPI()>(kCom, "CoUninitialize"))
        uninitialize();
    entered = E_FAIL;
}

bool Execute(SHELLEXECUTEINFOW& execute) noexcept {
    EnterApartment();
    const auto shellExecute =
        SystemLibrary::Get<BOOL WINAPI(SHELLEXECUTEINFOW*)>(kShell, "ShellExecuteExW");
    return shellExecute && shellExecute(&execute);
}

UINT FirstDropped(HDROP drop, wchar_t* name, UINT units) noexcept {
    const auto query =
        SystemLibrary::Get<UINT WINAPI(HDROP, UINT, wchar_t*, UINT)>(kShell, "DragQueryFileW");
    return query ? query(drop, 0, name, units) : 0;
}

void FinishDrop(HDROP drop) noexcept {
    if (const auto finish = SystemLibrary::Get<void WINAPI(HDROP)>(kShell, "DragFinish"))
        finish(drop);
}

HRESULT CreateInProcess(REFCLSID id, REFIID interfaceId, void** object) noexcept {
    *object = nullptr;
    if (!EnterApartment())
        return CO_E_NOTINITIALIZED;
    const auto create =
        SystemLibrary::Get<HRESULT WINAPI(REFCLSID, IUnknown*, DWORD, REFIID, void**)>(
            kCom, "CoCreateInstance");
    return create ? create(id, nullptr, CLSCTX_INPROC_SERVER, interfaceId, object)
                  : HRESULT_FROM_WIN32(GetLastError());
}

void FreeTaskMemory(void* memory) noexcept {
    if (!memory)
        return;
    if (const auto free = SystemLibrary::Get<void WINAPI(void*)>(kCom, "CoTaskMemFree"))
        free(memory);
}

PIDLIST_ABSOLUTE BrowseForFolder(BROWSEINFOW& browse) noexcept {
    EnterApartment();
    const auto browseFor =
        SystemLibrary::Get<PIDLIST_ABSOLUTE WINAPI(BROWSEINFOW*)>(kShell, "SHBrowseForFolderW");
    return browseFor ? browseFor(&browse) : nullptr;
}

bool PathOf(PCIDLIST_ABSOLUTE list, wchar_t* path) noexcept {
    const auto pathOf = SystemLibrary::Get<BOOL WINAPI(PCIDLIST_ABSOLUTE, wchar_t*)>(
        kShell, "SHGetPathFromIDListW");
    return pathOf && pathOf(list, path);
}

} // namespace ShellCalls
