#include "server/TypeLibrary.h"
#include <shlwapi.h>
#include "support/Conversion.h"
#include "support/Handles.h"
#include "support/ModulePath.h"

namespace {

const wchar_t kTypeLibraryExtension[] = L".tlb";

// Owns a BSTR.
class BstrHolder {
public:
    ~BstrHolder() { SysFreeString(m_text); }
    BSTR* Receive() { return &m_text; }
    BSTR Get() const { return m_text; }

private:
    BSTR m_text = nullptr;
};

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
        const int extension = static_cast<int>(PathFindExtensionW(file) - file);
        if (extension + static_cast<int>(sizeof(kTypeLibraryExtension) / sizeof(wchar_t)) >
            MAX_PATH)
            return E_FAIL;
        lstrcpyW(file + extension, kTypeLibraryExtension);
        result = LoadTypeLib(file, library);
        if (FAILED(result))
            return result;
    }
    *path = SysAllocString(file);
    // The library stays with the caller even when its path could not be kept.
    return *path ? result : E_OUTOFMEMORY;
}

HRESULT RegisterModuleTypeLibrary(HINSTANCE module) noexcept {
    BstrHolder path;
    ComPtr<ITypeLib> library;
    HRESULT result = LoadModuleTypeLibrary(module, path.Receive(), library.Receive());
    if (FAILED(result))
        return result;
    wchar_t helpDirectory[MAX_PATH];
    lstrcpynW(helpDirectory, path.Get(), MAX_PATH);
    helpDirectory[DirectoryPrefixLength(helpDirectory)] = 0;
    return RegisterTypeLib(library.Get(), path.Get(), helpDirectory);
}

HRESULT UnregisterModuleTypeLibrary(HINSTANCE module) noexcept {
    BstrHolder path;
    ComPtr<ITypeLib> library;
    HRESULT result = LoadModuleTypeLibrary(module, path.Receive(), library.Receive());
    if (FAILED(result))
        return result;
    TLIBATTR* attributes = nullptr;
    if (FAILED(result = library->GetLibAttr(&attributes)))
        return result;
    result = UnRegisterTypeLib(attributes->guid, attributes->wMajorVerNum, attributes->wMinorVerNum,
                               attributes->lcid, attributes->syskind);
    library->ReleaseTLibAttr(attributes);
    return result;
}
