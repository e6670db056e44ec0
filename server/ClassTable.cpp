#include "server/ClassTable.h"
#include "extension/ExplorerCommand.h"
#include "registrar/ScriptRunner.h"
#include "resources/ResourceIds.h"
#include "server/ClassFactory.h"
#include "server/Identifiers.h"
#include "server/ModuleInstance.h"
#include "server/ModuleRecords.h"
#include "server/ServerModule.h"
#include "server/ShellExtensionForms.h"

namespace {

HRESULT UpdateShellExtensionRegistration(bool registering) {
    return RunRegistryScript(activeModule, moduleInstance.instance, IDR_CLASS_SCRIPT, registering,
                             nullptr);
}

CategoryList ShellExtensionCategories() {
    return nullptr;
}

void ShellExtensionObjectMain(bool) {}

ClassEntry shellExtensionEntry = {
    &CLSID_ShellExtension,
    UpdateShellExtensionRegistration,
    CreateClassObject,
    CreateShellExtension,
    nullptr,
    ShellExtensionCategories,
    ShellExtensionObjectMain,
};

// The Explorer command is declared by the package that carries it, never by registration.
HRESULT UpdateExplorerCommandRegistration(bool) {
    return S_OK;
}

template <UINT offset> HRESULT CreateExplorerCommand(IUnknown* outer, REFIID riid, void** ppv) {
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    return ExplorerCommand::Create(ModuleForExtension(), offset, nullptr, riid, ppv);
}

ClassEntry explorerCommandEntry = {
    &CLSID_ExplorerCommand,
    UpdateExplorerCommandRegistration,
    CreateClassObject,
    CreateExplorerCommand<kPopupOffset>,
    nullptr,
    ShellExtensionCategories,
    nullptr,
};

ClassEntry explorerDeleteCommandEntry = {
    &CLSID_ExplorerDeleteCommand,
    UpdateExplorerCommandRegistration,
    CreateClassObject,
    CreateExplorerCommand<kDeleteOffset>,
    nullptr,
    ShellExtensionCategories,
    nullptr,
};

} // namespace

ClassEntry* const kClassTable[] = {&shellExtensionEntry, &explorerCommandEntry,
                                   &explorerDeleteCommandEntry};
const int kClassCount = sizeof(kClassTable) / sizeof(kClassTable[0]);
