#include "extension/ExplorerCommandEnum.h"
#include "extension/ExplorerCommand.h"
#include "support/InterfaceMap.h"
#include "support/ModuleHeap.h"

namespace {

const InterfaceMapEntry kEnumMap[] = {
    {&__uuidof(IEnumExplorerCommand), InterfaceOffset<ExplorerCommandEnum, IEnumExplorerCommand>()},
    {nullptr, 0},
};

} // namespace

HRESULT ExplorerCommandEnum::Create(const ExtensionModule& module, DWORD letters, UINT position,
                                    IUnknown* site, IEnumExplorerCommand** ppEnum) noexcept {
    if (!ppEnum)
        return E_POINTER;
    *ppEnum = nullptr;
    ExplorerCommandEnum* made = HeapNew<ExplorerCommandEnum>(module, letters, position, site);
    if (!made)
        return E_OUTOFMEMORY;
    made->AddRef();
    *ppEnum = made;
    return S_OK;
}

ExplorerCommandEnum::ExplorerCommandEnum(const ExtensionModule& module, DWORD letters,
                                         UINT position, IUnknown* site) noexcept
    : m_lock(module.locks), m_refCount(0), m_module(module), m_letters(letters),
      m_position(position) {
    m_site.Assign(site);
}

ExplorerCommandEnum::~ExplorerCommandEnum() = default;

STDMETHODIMP ExplorerCommandEnum::QueryInterface(REFIID riid, void** ppv) {
    return QueryFromInterfaceMap(this, kEnumMap, riid, ppv);
}

STDMETHODIMP_(ULONG) ExplorerCommandEnum::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&m_refCount));
}

STDMETHODIMP_(ULONG) ExplorerCommandEnum::Release() {
    const LONG count = InterlockedDecrement(&m_refCount);
    if (count == 0)
        HeapDelete(this);
    return static_cast<ULONG>(count);
}

UINT ExplorerCommandEnum::NextLetter() const noexcept {
    UINT letter = m_position;
    while (letter < kLetterCount && !(m_letters & (1u << letter)))
        ++letter;
    return letter;
}

STDMETHODIMP ExplorerCommandEnum::Next(ULONG celt, IExplorerCommand** pUICommand,
                                       ULONG* pceltFetched) {
    if (pceltFetched)
        *pceltFetched = 0;
    if (!pUICommand)
        return E_POINTER;
    // Without a count to report, only one command at a time can be asked for.
    if (celt > 1 && !pceltFetched)
        return E_INVALIDARG;
    const UINT start = m_position;
    ULONG fetched = 0;
    for (; fetched < celt; ++fetched) {
        const UINT letter = NextLetter();
        if (letter >= kLetterCount)
            break;
        const HRESULT made =
            ExplorerCommand::Create(m_module, letter, m_site.Get(), __uuidof(IExplorerCommand),
                                    reinterpret_cast<void**>(&pUICommand[fetched]));
        if (FAILED(made)) {
            // Nothing half-handed: what was made goes back, and the position stays.
            while (fetched > 0)
                pUICommand[--fetched]->Release();
            m_position = start;
            return made;
        }
        m_position = letter + 1;
    }
    if (pceltFetched)
        *pceltFetched = fetched;
    return fetched == celt ? S_OK : S_FALSE;
}

STDMETHODIMP ExplorerCommandEnum::Skip(ULONG celt) {
    for (; celt > 0; --celt) {
        const UINT letter = NextLetter();
        if (letter >= kLetterCount)
            return S_FALSE;
        m_position = letter + 1;
    }
    return S_OK;
}

STDMETHODIMP ExplorerCommandEnum::Reset() {
    m_position = 0;
    return S_OK;
}

STDMETHODIMP ExplorerCommandEnum::Clone(IEnumExplorerCommand** ppenum) {
    return Create(m_module, m_letters, m_position, m_site.Get(), ppenum);
}
