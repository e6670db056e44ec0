#pragma once
#include <unknwn.h>

namespace test {

// An outer object that aggregates the server's object and counts its own references and the
// questions it was asked; everything but IUnknown goes to the inner object.
class Outer : public IUnknown {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        ++queries;
        if (IsEqualIID(riid, IID_IUnknown)) {
            *ppv = this;
            AddRef();
            return S_OK;
        }
        return inner ? inner->QueryInterface(riid, ppv) : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }

    LONG refs = 1;
    int queries = 0;
    IUnknown* inner = nullptr;
};

} // namespace test
