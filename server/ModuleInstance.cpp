#include "server/ModuleInstance.h"
#include "server/ModuleRecords.h"
#include "support/Handles.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

ModuleInstance::ModuleInstance() noexcept
    : instance(reinterpret_cast<HINSTANCE>(&__ImageBase)), resourceInstance(instance),
      m_lockReady(InitializeCriticalSectionAndSpinCount(&resourceLock, 0) != FALSE) {
    if (!m_lockReady)
        initFailed = true;
}

ModuleInstance::~ModuleInstance() {
    if (m_lockReady)
        DeleteCriticalSection(&resourceLock);
    m_lockReady = false;
}

HINSTANCE ModuleInstance::GetResourceInstanceAt(int position) noexcept {
    CriticalSectionLock lock(resourceLock);
    return position == 0 ? resourceInstance : nullptr;
}
