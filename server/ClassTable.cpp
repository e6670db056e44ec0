#include "server/ClassTable.h"
#include "server/ClassFactory.h"
#include "server/Identifiers.h"
#include "server/ShellExtensionForms.h"

namespace {

void ShellExtensionObjectMain(bool) {}

ClassEntry shellExtensionEntry = {
    &CLSID_ShellExtension,    CreateClassObject, CreateShellExtension, nullptr,
    ShellExtensionObjectMain,
};

} // namespace

ClassEntry* const kClassTable[] = {&shellExtensionEntry};
const int kClassCount = sizeof(kClassTable) / sizeof(kClassTable[0]);
