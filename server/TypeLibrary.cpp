#include "server/TypeLibrary.h"
#include <shlwapi.h>
#include "registrar/RegistryKeys.h"
#include "support/Handles.h"
#include "support/KeyHandle.h"
#include "support/ModulePath.h"
#include <strsafe.h>

namespace {

const wchar_t kTypeLibraryExtension[] = L".tlb";

// "{xxxxxxxx-...}" in ASCII; 39 bytes with its NUL.
bool GuidText(REFGUID id, char* text) {
    wchar_t wide[40];
    if (!StringFromGUID2(id, wide, 40))
        return false;
    for (int i = 0; (text[i] = static_cast<char>(wide[i])) != 0; ++i) {
    }
    return true;
}

const wchar_t* PlatformKey(SYSKIND kind) {
    switch (kind) {
    case SYS_WIN16:
        return L"win16";
    case SYS_WIN64:
        return L"win64";
    default:
        return L"win32";
    }
}

// Whether "TypeLib\{library}\major.minor\lcid\platform" names a file.
bool IsRegistered(const TLIBATTR& attributes) {
    wchar_t library[40];
    if (!StringFromGUID2(attributes.guid, library, 40))
        return true;
    wchar_t name[128];
    if (FAILED(StringCchPrintfW(name, ARRAYSIZE(name), L"TypeLib\\%s\\%x.%x\\%lx\\%s", library,
                                attributes.wMajorVerNum, attributes.wMinorVerNum, attributes.lcid,
                                PlatformKey(attributes.syskind))))
        return true;
    KeyHandle key;
    return key.Open(HKEY_CLASSES_ROOT, name, KEY_READ) != ERROR_FILE_NOT_FOUND;
}

// The "Interface\{iid}" keys that still name the library as theirs: left behind by a library
// registration that was removed without them.
HRESULT RemoveInterfaceKeys(ITypeLib* library, REFGUID libraryId) {
    char owner[40];
    if (!GuidText(libraryId, owner))
        return E_UNEXPECTED;
    HRESULT result = S_OK;
    const UINT count = library->GetTypeInfoCount();
    for (UINT i = 0; i < count; ++i) {
        ComPtr<ITypeInfo> info;
        TYPEATTR* attributes = nullptr;
        if (FAILED(library->GetTypeInfo(i, info.Receive())) ||
            FAILED(info->GetTypeAttr(&attributes)))
            continue;
        char key[64] = "Interface\\";
        const bool isInterface =
            attributes->typekind == TKIND_INTERFACE || attributes->typekind == TKIND_DISPATCH;
        const bool named = isInterface && GuidText(attributes->guid, key + 10);
        info->ReleaseTypeAttr(attributes);
        char owned[64];
        StringCchPrintfA(owned, ARRAYSIZE(owned), "%s\\TypeLib", key);
        char typeLibrary[64] = {};
        LONG size = sizeof(typeLibrary);
        if (!named ||
            RegQueryValueA(HKEY_CLASSES_ROOT, owned, typeLibrary, &size) != ERROR_SUCCESS ||
            lstrcmpiA(typeLibrary, owner) != 0)
            continue;
        const LONG error = DeleteKeyTree(HKEY_CLASSES_ROOT, key);
        if (error != ERROR_SUCCESS && error != ERROR_FILE_NOT_FOUND && SUCCEEDED(result))
            result = HRESULT_FROM_WIN32(error);
    }
    return result;
}

} // namespace

int DirectoryPrefixLength(const wchar_t* path) noexcept {
    int length = 0;
    for (int i = 0; path[i]; ++i)
        if (path[i] == L'\\' || path[i] == L'/' || path[i] == L':')
            length = i + 1;
    return length;
}

HRESULT LoadModuleTypeLibrary(HINSTANCE module, BSTR* path, ITypeLib** library) noexcept {
    if (!path || !library)
        return E_POINTER;
    *path = nullptr;
    *library = nullptr;
    wchar_t file[MAX_PATH];
    if (const HRESULT located = GetModulePathW(module, file); FAILED(located))
        return located;
    HRESULT result = LoadTypeLib(file, library);
    if (FAILED(result)) {
        // The library beside the module, under the module's name.
        const size_t extension = static_cast<size_t>(PathFindExtensionW(file) - file);
        if (FAILED(StringCchCopyW(file + extension, MAX_PATH - extension, kTypeLibraryExtension)))
            return E_FAIL;
        result = LoadTypeLib(file, library);
        if (FAILED(result))
            return result;
    }
    *path = SysAllocString(file);
    // The library stays with the caller even when its path could not be kept.
    return *path ? result : E_OUTOFMEMORY;
}

HRESULT RegisterModuleTypeLibrary(HINSTANCE module) noexcept {
    UniqueBstr path;
    ComPtr<ITypeLib> library;
    HRESULT result = LoadModuleTypeLibrary(module, path.Receive(), library.Receive());
    if (FAILED(result))
        return result;
    wchar_t helpDirectory[MAX_PATH];
    StringCchCopyW(helpDirectory, MAX_PATH, path.Get());
    helpDirectory[DirectoryPrefixLength(helpDirectory)] = 0;
    return RegisterTypeLib(library.Get(), path.Get(), helpDirectory);
}

HRESULT UnregisterModuleTypeLibrary(HINSTANCE module) noexcept {
    UniqueBstr path;
    ComPtr<ITypeLib> library;
    HRESULT result = LoadModuleTypeLibrary(module, path.Receive(), library.Receive());
    if (FAILED(result))
        return result;
    TLIBATTR* attributes = nullptr;
    if (FAILED(result = library->GetLibAttr(&attributes)))
        return result;
    result = UnRegisterTypeLib(attributes->guid, attributes->wMajorVerNum, attributes->wMinorVerNum,
                               attributes->lcid, attributes->syskind);
    // A registration that is already gone is no failure; what it left of ours still goes.
    if (FAILED(result) && !IsRegistered(*attributes))
        result = RemoveInterfaceKeys(library.Get(), attributes->guid);
    library->ReleaseTLibAttr(attributes);
    return result;
}
