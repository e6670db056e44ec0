#pragma once
#include <windows.h>
#include <oaidl.h>

namespace test {

// Stands between a holder and the real type information, counting the calls the holder
// makes; everything is passed on.
class CountingTypeInfo : public ITypeInfo {
public:
    explicit CountingTypeInfo(ITypeInfo* real) : m_real(real) { m_real->AddRef(); }
    virtual ~CountingTypeInfo() { m_real->Release(); }

    int nameLookups = 0;
    int releases = 0;
    LONG refs = 1;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_ITypeInfo)) {
            *ppv = this;
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override {
        ++releases;
        return --refs;
    }
    STDMETHODIMP GetTypeAttr(TYPEATTR** attributes) override {
        return m_real->GetTypeAttr(attributes);
    }
    STDMETHODIMP GetTypeComp(ITypeComp** comp) override { return m_real->GetTypeComp(comp); }
    STDMETHODIMP GetFuncDesc(UINT index, FUNCDESC** desc) override {
        return m_real->GetFuncDesc(index, desc);
    }
    STDMETHODIMP GetVarDesc(UINT index, VARDESC** desc) override {
        return m_real->GetVarDesc(index, desc);
    }
    STDMETHODIMP GetNames(MEMBERID id, BSTR* names, UINT max, UINT* count) override {
        return m_real->GetNames(id, names, max, count);
    }
    STDMETHODIMP GetRefTypeOfImplType(UINT index, HREFTYPE* type) override {
        return m_real->GetRefTypeOfImplType(index, type);
    }
    STDMETHODIMP GetImplTypeFlags(UINT index, INT* flags) override {
        return m_real->GetImplTypeFlags(index, flags);
    }
    STDMETHODIMP GetIDsOfNames(LPOLESTR* names, UINT count, MEMBERID* ids) override {
        ++nameLookups;
        return m_real->GetIDsOfNames(names, count, ids);
    }
    STDMETHODIMP Invoke(PVOID instance, MEMBERID id, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* exception, UINT* argument) override {
        return m_real->Invoke(instance, id, flags, params, result, exception, argument);
    }
    STDMETHODIMP GetDocumentation(MEMBERID id, BSTR* name, BSTR* doc, DWORD* context,
                                  BSTR* file) override {
        return m_real->GetDocumentation(id, name, doc, context, file);
    }
    STDMETHODIMP GetDllEntry(MEMBERID id, INVOKEKIND kind, BSTR* dll, BSTR* name,
                             WORD* ordinal) override {
        return m_real->GetDllEntry(id, kind, dll, name, ordinal);
    }
    STDMETHODIMP GetRefTypeInfo(HREFTYPE type, ITypeInfo** info) override {
        return m_real->GetRefTypeInfo(type, info);
    }
    STDMETHODIMP AddressOfMember(MEMBERID id, INVOKEKIND kind, PVOID* address) override {
        return m_real->AddressOfMember(id, kind, address);
    }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, PVOID* object) override {
        return m_real->CreateInstance(outer, riid, object);
    }
    STDMETHODIMP GetMops(MEMBERID id, BSTR* mops) override { return m_real->GetMops(id, mops); }
    STDMETHODIMP GetContainingTypeLib(ITypeLib** library, UINT* index) override {
        return m_real->GetContainingTypeLib(library, index);
    }
    STDMETHODIMP_(void) ReleaseTypeAttr(TYPEATTR* attributes) override {
        m_real->ReleaseTypeAttr(attributes);
    }
    STDMETHODIMP_(void) ReleaseFuncDesc(FUNCDESC* desc) override { m_real->ReleaseFuncDesc(desc); }
    STDMETHODIMP_(void) ReleaseVarDesc(VARDESC* desc) override { m_real->ReleaseVarDesc(desc); }

private:
    ITypeInfo* m_real;
};

} // namespace test
