#pragma once
#include <windows.h>
#include <unknwn.h>
#include "server/ClassRegistry.h"

// Stored in the reference count of an object being destroyed, so that an AddRef and
// Release made meanwhile cannot bring it to zero a second time.
const LONG DESTROYED_REF_COUNT = -1073741823; // 0xC0000001

// The class object. Its first reference (the one the class registry caches) does not keep
// the DLL loaded; every further one does.
class ClassFactory final : public IClassFactory {
public:
    ClassFactory() noexcept;
    ~ClassFactory();
    ClassFactory(const ClassFactory&) = delete;
    ClassFactory& operator=(const ClassFactory&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) override;
    STDMETHODIMP LockServer(BOOL fLock) override;

    volatile LONG refCount;
    InstanceCreator createInstance;
    CRITICAL_SECTION countLock;

private:
    friend HRESULT CreateClassObject(InstanceCreator, REFIID, void**);
    bool m_lockReady;
};

// The ClassEntry member that makes a class object for an instance creator.
HRESULT CreateClassObject(InstanceCreator creator, REFIID riid, void** ppv);
