#include "server/ModuleRecords.h"
#include "server/ModuleInstance.h"

// The module records live in this one file so that they start in the order they are
// defined here, before the DLL entry function runs, and stop in reverse order after it
// has seen DLL_PROCESS_DETACH.
bool initFailed = false;

ModuleInstance moduleInstance;
