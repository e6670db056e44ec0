#include <windows.h>
#include "server/ClassRegistry.h"
#include "server/ServerModule.h"

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
    return classRegistry.GetClassObject(rclsid, riid, ppv);
}

STDAPI DllCanUnloadNow() {
    return activeModule && activeModule->LockCount() != 0 ? S_FALSE : S_OK;
}

STDAPI DllRegisterServer() {
    return activeModule ? activeModule->RegisterModule() : E_UNEXPECTED;
}

STDAPI DllUnregisterServer() {
    return activeModule ? activeModule->UnregisterModule() : E_UNEXPECTED;
}
