#include <windows.h>
#include "server/ModuleInstance.h"
#include "server/ModuleRecords.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    if (initFailed)
        return FALSE;
    DisableThreadLibraryCalls(moduleInstance.instance);
    return TRUE;
}
