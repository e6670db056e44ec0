// Linked in place of the module's own lock initialisation, to build a server whose module
// locks cannot be initialised, as on a system out of memory.
#include "server/ModuleLock.h"

bool InitializeModuleLock(CRITICAL_SECTION&) noexcept {
    return false;
}
