#include "server/ServerModule.h"
#include "registrar/IRegistrar.h"
#include "server/ClassRegistry.h"
#include "server/Identifiers.h"
#include "server/ModuleLock.h"
#include "support/Handles.h"
#include "support/ModuleHeap.h"

ServerModule* activeModule = nullptr;

namespace {

// The platform's class IDs, defined here rather than linked with every other GUID.
const CLSID kStdGlobalInterfaceTable = {
    0x00000323, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

} // namespace

ServerModule::ServerModule() noexcept
    : started(0), lockCount(0), termList(nullptr), moduleLock(), globalInterfaceTable(nullptr),
      m_lockReady(false) {}

ServerModule::~ServerModule() {
    Stop();
}

bool ServerModule::Start() noexcept {
    lockCount = 0;
    termList = nullptr;
    started = 1;
    activeModule = this;
    m_lockReady = InitializeModuleLock(moduleLock);
    globalInterfaceTable = nullptr;
    classRegistry.CallObjectMain(true);
    return m_lockReady;
}

void ServerModule::Stop() noexcept {
    classRegistry.CallObjectMain(false);
    if (!started)
        return;
    // Most recently added first; each entry goes right after its callback.
    while (TermEntry* entry = termList) {
        termList = entry->next;
        entry->callback(entry->argument);
        HeapDelete(entry);
    }
    if (globalInterfaceTable) {
        globalInterfaceTable->Release();
        globalInterfaceTable = nullptr;
    }
    if (m_lockReady)
        DeleteCriticalSection(&moduleLock);
    m_lockReady = false;
    started = 0;
}

LONG ServerModule::AddLock() noexcept {
    return InterlockedIncrement(&lockCount);
}

LONG ServerModule::ReleaseLock() noexcept {
    return InterlockedDecrement(&lockCount);
}

LONG ServerModule::LockCount() noexcept {
    return lockCount;
}

HRESULT ServerModule::GetGlobalInterfaceTable(IGlobalInterfaceTable** ppGIT) noexcept {
    if (!ppGIT)
        return E_POINTER;
    HRESULT result = S_OK;
    if (!globalInterfaceTable) {
        IGlobalInterfaceTable* created = nullptr;
        result =
            CoCreateInstance(kStdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER,
                             __uuidof(IGlobalInterfaceTable), reinterpret_cast<void**>(&created));
        if (FAILED(result))
            return result;
        // Two threads may create one each: the first to publish wins.
        if (InterlockedCompareExchangePointer(
                reinterpret_cast<PVOID volatile*>(&globalInterfaceTable), created, nullptr))
            created->Release();
    }
    *ppGIT = globalInterfaceTable;
    (*ppGIT)->AddRef();
    return result;
}

HRESULT ServerModule::AddCommonReplacements(IRegistrar* registrar) noexcept {
    if (!registrar)
        return E_INVALIDARG;
    return registrar->AddVariable(L"APPID", kAppIdText);
}

HRESULT ServerModule::AddTerminationCallback(TermCallback callback, void* argument) noexcept {
    if (!started || !m_lockReady)
        return E_INVALIDARG;
    TermEntry* entry = HeapNew<TermEntry>();
    if (!entry)
        return E_OUTOFMEMORY;
    entry->callback = callback;
    entry->argument = argument;
    CriticalSectionLock lock(moduleLock);
    entry->next = termList;
    termList = entry;
    return S_OK;
}
