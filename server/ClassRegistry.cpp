#include "server/ClassRegistry.h"
#include "server/ClassTable.h"
#include "server/ModuleInstance.h"
#include "server/ModuleLock.h"
#include "support/Handles.h"

namespace {

IUnknown* ReadPublished(IUnknown* volatile const& slot) {
    return __atomic_load_n(&slot, __ATOMIC_ACQUIRE);
}

} // namespace

ClassRegistry::ClassRegistry() noexcept
    : started(0), typeLibraryInstance(nullptr), classTable(nullptr), classCount(0), registryLock(),
      m_lockReady(false) {}

ClassRegistry::~ClassRegistry() {
    Stop();
}

bool ClassRegistry::Start() noexcept {
    typeLibraryInstance = moduleInstance.instance;
    classTable = kClassTable;
    classCount = kClassCount;
    started = 1;
    m_lockReady = InitializeModuleLock(registryLock);
    return m_lockReady;
}

void ClassRegistry::Stop() noexcept {
    if (!started)
        return;
    for (int i = 0; i < classCount; ++i) {
        ClassEntry* entry = classTable[i];
        if (!entry)
            continue;
        if (IUnknown* object = entry->classObject) {
            entry->classObject = nullptr;
            object->Release();
        }
    }
    if (m_lockReady)
        DeleteCriticalSection(&registryLock);
    m_lockReady = false;
    started = 0;
}

void ClassRegistry::CallObjectMain(bool starting) noexcept {
    for (int i = 0; i < kClassCount; ++i)
        if (kClassTable[i] && kClassTable[i]->ObjectMain)
            kClassTable[i]->ObjectMain(starting);
}

HRESULT ClassRegistry::GetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) noexcept {
    if (!started)
        return E_UNEXPECTED;
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;

    ClassEntry* entry = nullptr;
    for (int i = 0; i < classCount && !entry; ++i) {
        ClassEntry* candidate = classTable[i];
        if (candidate && candidate->CreateClassObject && IsEqualCLSID(*candidate->classId, rclsid))
            entry = candidate;
    }
    if (!entry)
        return CLASS_E_CLASSNOTAVAILABLE;

    HRESULT result = S_OK;
    // Made once under the lock, then read without it.
    if (!ReadPublished(entry->classObject)) {
        CriticalSectionLock lock(registryLock);
        if (!entry->classObject) {
            IUnknown* made = nullptr;
            result = entry->CreateClassObject(entry->CreateInstance, __uuidof(IUnknown),
                                              reinterpret_cast<void**>(&made));
            __atomic_store_n(&entry->classObject, made, __ATOMIC_RELEASE);
        }
    }
    if (IUnknown* object = ReadPublished(entry->classObject))
        result = object->QueryInterface(riid, ppv);
    if (!*ppv && result == S_OK)
        return CLASS_E_CLASSNOTAVAILABLE;
    return result;
}
