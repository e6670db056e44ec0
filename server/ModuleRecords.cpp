#include "server/ModuleRecords.h"
#include "server/ClassRegistry.h"
#include "server/ModuleInstance.h"
#include "server/ServerModule.h"

// The module records live in this one file so that they start in the order they are
// defined here, before the DLL entry function runs, and stop in reverse order after it
// has seen DLL_PROCESS_DETACH. The heap and the string manager are the process heap's and
// need no start of their own.
bool initFailed = false;

namespace {

// Starts a record when the process attaches the module.
template <typename Record> struct Started {
    explicit Started(Record& record) noexcept {
        if (!record.Start())
            initFailed = true;
    }
};

} // namespace

ModuleInstance moduleInstance;
static Started<ModuleInstance> moduleInstanceStart(moduleInstance);
ClassRegistry classRegistry;
static Started<ClassRegistry> classRegistryStart(classRegistry);
ServerModule serverModule;
static Started<ServerModule> serverModuleStart(serverModule);

ExtensionModule ModuleForExtension() noexcept {
    return ExtensionModule{moduleInstance.instance, &moduleInstance, activeModule};
}
