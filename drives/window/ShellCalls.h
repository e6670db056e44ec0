#pragma once
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

// The shell's and COM's functions the window calls only on a user's action (opening a drive,
// asking for administrator rights, picking a folder, taking a dropped one): loaded from the
// system folder as that action first runs, so that the window's start loads neither SHELL32
// nor ole32. Each fails as its platform function does when its DLL cannot be loaded.
namespace ShellCalls {

// The thread's single-threaded COM apartment, entered before the first call that needs one and
// left as the window's program ends.
bool EnterApartment() noexcept;
void LeaveApartment() noexcept;

// ShellExecuteExW in the apartment (a shell extension may be asked to run it).
bool Execute(SHELLEXECUTEINFOW& execute) noexcept;
// DragQueryFileW's answer for the first file dropped, and DragFinish.
UINT FirstDropped(HDROP drop, wchar_t* name, UINT units) noexcept;
void FinishDrop(HDROP drop) noexcept;
// CoCreateInstance of an in-process server, in the apartment.
HRESULT CreateInProcess(REFCLSID id, REFIID interfaceId, void** object) noexcept;
void FreeTaskMemory(void* memory) noexcept;
// SHBrowseForFolderW and SHGetPathFromIDListW, for Windows before Vista.
PIDLIST_ABSOLUTE BrowseForFolder(BROWSEINFOW& browse) noexcept;
// `path` holds MAX_PATH units at least.
bool PathOf(PCIDLIST_ABSOLUTE list, wchar_t* path) noexcept;

} // namespace ShellCalls
