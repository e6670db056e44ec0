#include "server/ClassTable.h"
#include "registrar/ScriptRunner.h"
#include "resources/ResourceIds.h"
#include "server/ClassFactory.h"
#include "server/Identifiers.h"
#include "server/ModuleInstance.h"
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

} // namespace

ClassEntry* const kClassTable[] = {&shellExtensionEntry};
const int kClassCount = sizeof(kClassTable) / sizeof(kClassTable[0]);
