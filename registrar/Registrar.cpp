#include "registrar/Registrar.h"
#include "support/Conversion.h"

STDMETHODIMP Registrar::QueryInterface(REFIID, void**) {
    return E_NOTIMPL;
}

STDMETHODIMP Registrar::AddVariable(LPCWSTR name, LPCWSTR value) {
    if (!name || !value)
        return E_INVALIDARG;
    const AnsiPath ansiName(name);
    if (!ansiName.Text())
        return E_OUTOFMEMORY;
    return m_variables.Add(ansiName.Text(), value);
}

STDMETHODIMP Registrar::ClearVariables() {
    m_variables.Clear();
    return S_OK;
}
