#pragma once
#include "extension/ExtensionModule.h"

// Set by a module record whose start failed; the DLL entry function then refuses the load.
extern bool initFailed;

// What the handler objects are given of the module: its instance, its resource modules and
// its lock count.
ExtensionModule ModuleForExtension() noexcept;
