#include "registrar/ScriptRunner.h"
#include "resources/ResourceIds.h"
#include "server/ClassRegistry.h"
#include "server/Identifiers.h"
#include "server/ModuleInstance.h"
#include "server/ServerModule.h"
#include "server/TypeLibrary.h"
#include "support/KeyHandle.h"
#include "support/Conversion.h"
#include "support/FilePath.h"
#include "support/Handles.h"
#include "support/ModulePath.h"
#include "support/Platform.h"

namespace {

const CLSID kStdComponentCategoriesMgr = {
    0x0002E005, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

const char kApprovedKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";
const char kApprovedData[] = "Lanterwell";

// The shell's approved list exists on the NT family only.
bool HasApprovedList() {
    return Platform::IsNt();
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
    return IsPlatformAnsiOf(carried.Text(), path)
               ? S_OK
               : HRESULT_FROM_WIN32(ERROR_NO_UNICODE_TRANSLATION);
}

HRESULT UpdateAppIdRegistration(bool registering) {
    const ReplacementVariable appId[] = {{L"APPID", kAppIdText}, {nullptr, nullptr}};
    return RunRegistryScript(activeModule, moduleInstance.instance, IDR_APPID_SCRIPT, registering,
                             appId);
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

// Unregistration goes on through every step, so that whatever of ours remains is removed even
// when an earlier part is already gone or cannot go; the first failure is the answer.
HRESULT ClassRegistry::UnregisterAllClasses() noexcept {
    HRESULT first = S_OK;
    auto keep = [&first](HRESULT result) {
        if (FAILED(result) && SUCCEEDED(first))
            first = result;
    };
    for (int i = 0; i < classCount; ++i) {
        const ClassEntry* entry = classTable[i];
        if (!entry)
            continue;
        keep(UpdateClassCategories(*entry->classId, entry->GetCategoryList(), false));
        keep(entry->UpdateRegistration(false));
    }
    keep(UnregisterModuleTypeLibrary(typeLibraryInstance));
    return first;
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
    HRESULT approvedResult = S_OK;
    if (HasApprovedList()) {
        KeyHandle approved;
        if (approved.Open(HKEY_LOCAL_MACHINE, kApprovedKey, KEY_SET_VALUE) == ERROR_SUCCESS) {
            const LONG error = RegDeleteValueA(approved.Get(), kShellExtensionClassIdText);
            // A value that is already gone is what unregistration wants; one that stays is not.
            if (error != ERROR_SUCCESS && error != ERROR_FILE_NOT_FOUND)
                approvedResult = HRESULT_FROM_WIN32(error);
        }
    }
    const HRESULT classes = classRegistry.UnregisterAllClasses();
    const HRESULT appId = UpdateAppIdRegistration(false);
    if (FAILED(approvedResult))
        return approvedResult;
    return FAILED(classes) ? classes : appId;
}
