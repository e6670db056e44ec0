#include "server/ModuleLock.h"

bool InitializeModuleLock(CRITICAL_SECTION& lock) noexcept {
    return InitializeCriticalSectionAndSpinCount(&lock, 0) != FALSE;
}
