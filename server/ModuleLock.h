#pragma once
#include <windows.h>

// Initialises a critical section of a module record; false when the platform could not.
bool InitializeModuleLock(CRITICAL_SECTION& lock) noexcept;
