#include "registrar/ScriptRunner.h"
#include "resources/ResourceIds.h"
#include "server/ClassRegistry.h"
#include "server/Identifiers.h"
#include "server/ModuleInstance.h"
#include "server/ServerModule.h"
#include "server/TypeLibrary.h"
#include "registrar/KeyHandle.h"
#include "support/Conversion.h"
#include "support/Handles.h"
#include "support/ModulePath.h"
#include <cstring>

namespace {

const CLSID kStdComponentCategoriesMgr = {
    0x0002E005, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

const char kApprovedKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";
const char kApprovedData[] = "Lanterwell";

// The shell's approved list exists on the NT family only.
bool HasApprovedList() {
    return (GetVersion() & 0x80000000) == 0;
}

// Registration writes the module's path through the registry's ANSI functions, after the
// script has carried it in the conversion code page; the type library goes by the UTF-16 path.
// A path that does not survive that trip exactly would register another file, so it is
// refused before anything is written.
HRESULT CheckModulePath(HINSTANCE module) {
    wchar_t path[MAX_PATH];
    if (const HRESULT located = GetModulePathW(module, path); FAILED(located))
        return located;
    const AnsiPath carried(path);
    if (!carried.Text())
        return E_OUTOFMEMORY;
    wchar_t written[MAX_PATH];
    const int units =
        MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, carried.Text(), -1, written, MAX_PATH);
    if (units != lstrlenW(path) + 1 || memcmp(written, path, units * sizeof(wchar_t)) != 0)
        return HRESULT_FROM_WIN32(ERROR_NO_UNICODE_TRANSLATION);
    return S_OK;
}

HRESULT UpdateAppIdRegistration(bool registering) {
    const ReplacementVariable appId[] = {{L"APPID", kAppIdText}, {nullptr, nullptr}};
    return RunRegistryScript(activeModule, IDR_APPID_SCRIPT, registering, appId);
}

} // namespace

HRESULT UpdateClassCategories(REFCLSID classId, CategoryList categories, bool registering) {
    if (!categories || IsEqualCLSID(classId, CLSID_NULL))
        return S_OK;
    ULONG count = 0;
    CATID ids[64];
    for (; categories[count] && count < 64; ++count)
        ids[count] = *categories[count];
    ComPtr<ICatRegister> registry;
    HRESULT result = CoCreateInstance(kStdComponentCategoriesMgr, nullptr, CLSCTX_INPROC_SERVER,
                                      __uuidof(ICatRegister), registry.ReceiveVoid());
    if (FAILED(result))
        return result;
    return registering ? registry->RegisterClassImplCategories(classId, count, ids)
                       : registry->UnRegisterClassImplCategories(classId, count, ids);
}

HRESULT ClassRegistry::RegisterAllClasses() noexcept {
    for (int i = 0; i < classCount; ++i) {
        const ClassEntry* entry = classTable[i];
        if (!entry)
            continue;
        HRESULT result = entry->UpdateRegistration(true);
        if (FAILED(result))
            return result;
        result = UpdateClassCategories(*entry->classId, entry->GetCategoryList(), true);
        if (FAILED(result))
            return result;
    }
    return RegisterModuleTypeLibrary(typeLibraryInstance);
}

HRESULT ClassRegistry::UnregisterAllClasses() noexcept {
    for (int i = 0; i < classCount; ++i) {
        const ClassEntry* entry = classTable[i];
        if (!entry)
            continue;
        HRESULT result = UpdateClassCategories(*entry->classId, entry->GetCategoryList(), false);
        if (FAILED(result))
            return result;
        result = entry->UpdateRegistration(false);
        if (FAILED(result))
            return result;
    }
    return UnregisterModuleTypeLibrary(typeLibraryInstance);
}

HRESULT ServerModule::RegisterModule() noexcept {
    HRESULT result = CheckModulePath(moduleInstance.instance);
    if (FAILED(result))
        return result;
    if (classRegistry.typeLibraryInstance != moduleInstance.instance &&
        FAILED(result = CheckModulePath(classRegistry.typeLibraryInstance)))
        return result;
    if (HasApprovedList()) {
        // Opened, never created: without the shell's list there is nothing to approve in.
        KeyHandle approved;
        if (approved.Open(HKEY_LOCAL_MACHINE, kApprovedKey, KEY_SET_VALUE) != ERROR_SUCCESS)
            return E_ACCESSDENIED;
        if (RegSetValueExA(approved.Get(), kShellExtensionClassIdText, 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(kApprovedData),
                           sizeof(kApprovedData)) != ERROR_SUCCESS)
            return E_ACCESSDENIED;
    }
    result = UpdateAppIdRegistration(true);
    if (FAILED(result))
        return result;
    return classRegistry.RegisterAllClasses();
}

HRESULT ServerModule::UnregisterModule() noexcept {
    if (HasApprovedList()) {
        // Whatever fails here fails quietly: the rest must still go.
        KeyHandle approved;
        if (approved.Open(HKEY_LOCAL_MACHINE, kApprovedKey, KEY_SET_VALUE) == ERROR_SUCCESS)
            RegDeleteValueA(approved.Get(), kShellExtensionClassIdText);
    }
    const HRESULT result = classRegistry.UnregisterAllClasses();
    if (FAILED(result))
        return result;
    return UpdateAppIdRegistration(false);
}
