#pragma once
#include "registrar/IRegistrar.h"
#include "registrar/VariableMap.h"

// The replacement-variable holder of one script run. It lives on the stack of the run, so
// it counts no references.
class Registrar final : public IRegistrar {
public:
    Registrar() = default;
    ~Registrar() override = default;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return 1; }
    STDMETHODIMP_(ULONG) Release() override { return 0; }
    STDMETHODIMP AddVariable(LPCWSTR name, LPCWSTR value) override;
    STDMETHODIMP ClearVariables() override;

    const VariableMap& Variables() const noexcept { return m_variables; }

private:
    VariableMap m_variables;
};
