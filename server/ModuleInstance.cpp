#include "server/ModuleInstance.h"
#include "server/ModuleLock.h"
#include "support/Handles.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

ModuleInstance::ModuleInstance() noexcept
    : instance(nullptr), resourceInstance(nullptr), resourceLock(), m_lockReady(false) {}

ModuleInstance::~ModuleInstance() {
    Stop();
}

bool ModuleInstance::Start() noexcept {
    instance = reinterpret_cast<HINSTANCE>(&__ImageBase);
    resourceInstance = instance;
    m_lockReady = InitializeModuleLock(resourceLock);
    return m_lockReady;
}

void ModuleInstance::Stop() noexcept {
    if (m_lockReady)
        DeleteCriticalSection(&resourceLock);
    m_lockReady = false;
}

HINSTANCE ModuleInstance::GetResourceInstanceAt(int position) noexcept {
    if (!m_lockReady)
        return nullptr;
    CriticalSectionLock lock(resourceLock);
    return position == 0 ? resourceInstance : nullptr;
}
