#pragma once
#include <windows.h>
#include "support/Handles.h"

// Binding to the drive-mapping library SUBST.DLL, loaded at run time. Its exports take
// 32-bit arguments, use the WINAPI convention and answer 0 for success.
class SubstLibrary {
public:
    using CreateSubstProc = INT(WINAPI*)(INT drive, LPCSTR path);
    using QuerySubstProc = INT(WINAPI*)(INT drive, LPSTR buffer, INT size);
    using DeleteSubstProc = INT(WINAPI*)(INT drive);

    // SUBST.DLL is looked for beside the server module first.
    SubstLibrary(HMODULE server, bool load) noexcept;
    virtual ~SubstLibrary();
    SubstLibrary(const SubstLibrary&) = delete;
    SubstLibrary& operator=(const SubstLibrary&) = delete;

    bool Load() noexcept;
    bool ResolveExports() noexcept;
    bool IsLoaded() const noexcept { return static_cast<bool>(m_hModule); }
    bool Free() noexcept;

    INT Create(INT drive, LPCSTR path) const noexcept;
    INT Query(INT drive, LPSTR buffer, INT size) const noexcept;
    INT Delete(INT drive) const noexcept;

private:
    HMODULE m_server;
    UniqueLibrary m_hModule;
    CreateSubstProc m_pfnCreateSubst;
    QuerySubstProc m_pfnQuerySubst;
    DeleteSubstProc m_pfnDeleteSubst;
};
