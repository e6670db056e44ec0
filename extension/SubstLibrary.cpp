#include "extension/SubstLibrary.h"
#include "support/FilePath.h"
#include "support/ModulePath.h"

namespace {

const char kLibraryName[] = "SUBST.DLL";

HMODULE LoadFromFolder(const char* folder, int folderLength) {
    char path[MAX_PATH];
    return AppendFileName(path, folder, folderLength, kLibraryName) ? LoadLibraryA(path) : nullptr;
}

// Looks in the server's own folder, then the system folder, then the Windows folder, each
// by full path: a bare name would let the platform search the host's current directory
// and PATH, where anyone may have planted a SUBST.DLL.
HMODULE LoadTrustedLibrary(HMODULE server) {
    char folder[MAX_PATH];
    if (SUCCEEDED(GetModulePath(server, folder))) {
        if (HMODULE module = LoadFromFolder(folder, FolderLength(folder)))
            return module;
    }
    DWORD length = GetSystemDirectoryA(folder, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
        if (HMODULE module = LoadFromFolder(folder, static_cast<int>(length)))
            return module;
    }
    length = GetWindowsDirectoryA(folder, MAX_PATH);
    if (length > 0 && length < MAX_PATH)
        return LoadFromFolder(folder, static_cast<int>(length));
    return nullptr;
}

template <typename Proc> bool Resolve(HMODULE module, const char* name, Proc& proc) {
    proc = reinterpret_cast<Proc>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    return proc != nullptr;
}

} // namespace

SubstLibrary::SubstLibrary(HMODULE server, bool load) noexcept
    : m_server(server), m_pfnCreateSubst(nullptr), m_pfnQuerySubst(nullptr),
      m_pfnDeleteSubst(nullptr) {
    if (load)
        Load();
}

SubstLibrary::~SubstLibrary() {
    Free();
}

bool SubstLibrary::Load() noexcept {
    if (m_hModule)
        return true;
    m_hModule.Reset(LoadTrustedLibrary(m_server));
    if (!m_hModule)
        return false;
    return ResolveExports();
}

bool SubstLibrary::ResolveExports() noexcept {
    return Resolve(m_hModule.Get(), "CreateSubst", m_pfnCreateSubst) &&
           Resolve(m_hModule.Get(), "QuerySubst", m_pfnQuerySubst) &&
           Resolve(m_hModule.Get(), "DeleteSubst", m_pfnDeleteSubst);
}

bool SubstLibrary::Free() noexcept {
    // The exports go with the library: a call after this must fail, never jump into it.
    m_pfnCreateSubst = nullptr;
    m_pfnQuerySubst = nullptr;
    m_pfnDeleteSubst = nullptr;
    return m_hModule.Reset();
}

INT SubstLibrary::Create(INT drive, LPCSTR path) const noexcept {
    return m_pfnCreateSubst ? m_pfnCreateSubst(drive, path) : -1;
}

// A missing QuerySubst answers "not mapped": answering 0 would offer the delete item on
// every drive root.
INT SubstLibrary::Query(INT drive, LPSTR buffer, INT size) const noexcept {
    return m_pfnQuerySubst ? m_pfnQuerySubst(drive, buffer, size) : -1;
}

INT SubstLibrary::Delete(INT drive) const noexcept {
    return m_pfnDeleteSubst ? m_pfnDeleteSubst(drive) : -1;
}
