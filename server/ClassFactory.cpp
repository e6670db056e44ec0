#include "server/ClassFactory.h"
#include "support/InterfaceMap.h"
#include "server/ServerModule.h"
#include "support/Handles.h"
#include "support/ModuleHeap.h"

namespace {

const InterfaceMapEntry kClassFactoryMap[] = {
    {&__uuidof(IClassFactory), 0},
    {nullptr, 0},
};

} // namespace

ClassFactory::ClassFactory() noexcept
    : refCount(0), createInstance(nullptr), countLock(),
      m_lockReady(InitializeCriticalSectionAndSpinCount(&countLock, 0) != FALSE) {}

ClassFactory::~ClassFactory() {
    refCount = DESTROYED_REF_COUNT;
    if (m_lockReady)
        DeleteCriticalSection(&countLock);
}

STDMETHODIMP ClassFactory::QueryInterface(REFIID riid, void** ppv) {
    return QueryFromInterfaceMap(static_cast<IClassFactory*>(this), kClassFactoryMap, riid, ppv);
}

STDMETHODIMP_(ULONG) ClassFactory::AddRef() {
    CriticalSectionLock lock(countLock);
    const LONG count = InterlockedIncrement(&refCount);
    if (count == 2)
        activeModule->AddLock();
    return count;
}

STDMETHODIMP_(ULONG) ClassFactory::Release() {
    LONG count;
    {
        CriticalSectionLock lock(countLock);
        count = InterlockedDecrement(&refCount);
    }
    if (count == 0)
        HeapDelete(this);
    else if (count == 1)
        activeModule->ReleaseLock();
    return count;
}

STDMETHODIMP ClassFactory::CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) {
    if (!ppvObject)
        return E_POINTER;
    *ppvObject = nullptr;
    if (pUnkOuter && !IsEqualIID(riid, __uuidof(IUnknown)))
        return CLASS_E_NOAGGREGATION;
    return createInstance(pUnkOuter, riid, ppvObject);
}

STDMETHODIMP ClassFactory::LockServer(BOOL fLock) {
    if (fLock)
        activeModule->AddLock();
    else
        activeModule->ReleaseLock();
    return S_OK;
}

HRESULT CreateClassObject(InstanceCreator creator, REFIID riid, void** ppv) {
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    ClassFactory* factory = HeapNew<ClassFactory>();
    if (!factory)
        return E_OUTOFMEMORY;
    // A class object without its count lock must never be used.
    if (!factory->m_lockReady) {
        HeapDelete(factory);
        return E_OUTOFMEMORY;
    }
    factory->createInstance = creator;
    const HRESULT result = factory->QueryInterface(riid, ppv);
    if (result != S_OK)
        HeapDelete(factory);
    return result;
}
