#pragma once
#include <windows.h>
#include <objidl.h>
#include "extension/ExtensionModule.h"
#include "registrar/ReplacementSource.h"

using TermCallback = void (*)(void* argument);

struct TermEntry {
    TermCallback callback;
    void* argument;
    TermEntry* next;
};

// The one module object: the lock count that decides whether the DLL may be unloaded, the
// re-entrant module lock, and the termination list run when the module stops.
class ServerModule : public ReplacementSource, public ModuleLocks {
public:
    ServerModule() noexcept;
    virtual ~ServerModule();
    ServerModule(const ServerModule&) = delete;
    ServerModule& operator=(const ServerModule&) = delete;

    LONG AddLock() noexcept override;
    LONG ReleaseLock() noexcept override;
    virtual LONG LockCount() noexcept;
    virtual HRESULT GetGlobalInterfaceTable(IGlobalInterfaceTable** ppGIT) noexcept;
    HRESULT AddCommonReplacements(IRegistrar* registrar) noexcept override;

    HRESULT AddTerminationCallback(TermCallback callback, void* argument) noexcept;
    // DllRegisterServer and DllUnregisterServer.
    HRESULT RegisterModule() noexcept;
    HRESULT UnregisterModule() noexcept;
    // False when the module lock could not be initialised.
    bool Start() noexcept;
    void Stop() noexcept;

    LONG started;
    volatile LONG lockCount;
    TermEntry* termList;
    CRITICAL_SECTION moduleLock;
    IGlobalInterfaceTable* volatile globalInterfaceTable;

private:
    bool m_lockReady;
};

// The started module; null before its start.
extern ServerModule* activeModule;
