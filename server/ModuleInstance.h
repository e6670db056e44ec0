#pragma once
#include <windows.h>
#include "extension/ExtensionModule.h"

// The server's own module and the module in which its resources are looked up. Started
// first of all module records and stopped last.
class ModuleInstance final : public ResourceModules {
public:
    ModuleInstance() noexcept;
    ~ModuleInstance();
    ModuleInstance(const ModuleInstance&) = delete;
    ModuleInstance& operator=(const ModuleInstance&) = delete;

    // False when the resource lock could not be initialised.
    bool Start() noexcept;
    void Stop() noexcept;

    // Position 0 is resourceInstance; the list of further resource modules is empty.
    HINSTANCE GetResourceInstanceAt(int position) noexcept override;

    HINSTANCE instance;
    HINSTANCE resourceInstance;
    CRITICAL_SECTION resourceLock;

private:
    bool m_lockReady;
};

extern ModuleInstance moduleInstance;
