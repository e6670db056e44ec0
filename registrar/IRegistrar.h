#pragma once
#include <windows.h>

// The replacement-variable holder of one registry script run, as the server module sees
// it. The slots are in this order: QueryInterface, AddRef, Release, AddVariable,
// ClearVariables, destructor.
class IRegistrar {
public:
    virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) = 0;
    virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE Release() = 0;
    virtual HRESULT STDMETHODCALLTYPE AddVariable(LPCWSTR name, LPCWSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE ClearVariables() = 0;
    virtual ~IRegistrar() = default;
};
