#pragma once
#include <windows.h>
#include <unknwn.h>
#include "tests/Registry.h"
#include "tests/TestSupport.h"

namespace test {

// The built Lanterwell.dll, loaded afresh for each test and reached only through its
// exports.
class ServerDll {
public:
    ServerDll() : m_module(LoadLibraryW(InRunFolder("Lanterwell.dll").c_str())) {
        getClassObject = reinterpret_cast<GetClassObjectProc>(Export("DllGetClassObject"));
        canUnloadNow = reinterpret_cast<CanUnloadNowProc>(Export("DllCanUnloadNow"));
    }
    ~ServerDll() {
        if (m_module)
            FreeLibrary(m_module);
    }
    ServerDll(const ServerDll&) = delete;
    ServerDll& operator=(const ServerDll&) = delete;

    bool Loaded() const { return m_module && getClassObject && canUnloadNow; }
    HMODULE Module() const { return m_module; }
    void* Export(const char* name) const {
        return reinterpret_cast<void*>(GetProcAddress(m_module, name));
    }

    HRESULT ClassObject(IClassFactory** factory) const {
        return getClassObject(kShellExtensionClass, IID_IClassFactory,
                              reinterpret_cast<void**>(factory));
    }

    using GetClassObjectProc = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    using CanUnloadNowProc = HRESULT(WINAPI*)();
    GetClassObjectProc getClassObject = nullptr;
    CanUnloadNowProc canUnloadNow = nullptr;

private:
    HMODULE m_module;
};

} // namespace test
