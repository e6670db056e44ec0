#include "extension/ExplorerCommand.h"
#include "extension/CommandTexts.h"
#include "extension/DriveCommands.h"
#include "extension/ExplorerCommandEnum.h"
#include "resources/ResourceIds.h"
#include "support/InterfaceMap.h"
#include "support/ModuleHeap.h"

const CLSID CLSID_ExplorerCommand = {
    0x35D1BE52, 0xE400, 0x4ACF, {0xB6, 0x50, 0x7B, 0xE3, 0xF6, 0xE8, 0xB0, 0x1E}};

namespace {

const InterfaceMapEntry kExplorerCommandMap[] = {
    {&__uuidof(IExplorerCommand), InterfaceOffset<ExplorerCommand, IExplorerCommand>()},
    {&__uuidof(IObjectWithSite), InterfaceOffset<ExplorerCommand, IObjectWithSite>()},
    {nullptr, 0},
};

// A text for the shell, in memory the shell frees.
HRESULT CopyForCaller(const wchar_t* text, LPWSTR* copy) {
    const int bytes = (lstrlenW(text) + 1) * static_cast<int>(sizeof(wchar_t));
    *copy = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
    if (!*copy)
        return E_OUTOFMEMORY;
    CopyMemory(*copy, text, bytes);
    return S_OK;
}

// The menu shows no access keys: "&&" stands for an ampersand, a single one marks the key.
void RemoveAccessKeys(WideUiText& text) {
    int kept = 0;
    for (int i = 0; i < text.length; ++i) {
        if (text.text[i] == L'&' && ++i >= text.length)
            break;
        text.text[kept++] = text.text[i];
    }
    text.text[kept] = 0;
    text.length = kept;
}

// The selection as the classic menu would take it: one file-system item, whose path the
// model judges; several items are a selection that nothing is offered for.
HRESULT SelectItems(DriveCommands& commands, IShellItemArray* items) {
    if (!items)
        return E_INVALIDARG;
    DWORD count = 0;
    if (FAILED(items->GetCount(&count)))
        return E_INVALIDARG;
    if (count != 1) {
        commands.ClearSelection();
        return S_OK;
    }
    ComPtr<IShellItem> item;
    if (FAILED(items->GetItemAt(0, item.Receive())) || !item)
        return E_INVALIDARG;
    LPWSTR path = nullptr;
    // An item without a file-system path (a library, a phone) is no folder to map.
    if (FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, &path)))
        return E_INVALIDARG;
    const UniqueTaskString owned(path);
    return commands.SelectPath(owned.Get());
}

} // namespace

HRESULT ExplorerCommand::Create(const ExtensionModule& module, UINT offset, IUnknown* site,
                                REFIID riid, void** ppv) noexcept {
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    ExplorerCommand* command = HeapNew<ExplorerCommand>(module, offset);
    if (!command)
        return E_OUTOFMEMORY;
    command->m_site.Assign(site);
    command->AddRef();
    const HRESULT result = command->QueryInterface(riid, ppv);
    command->Release();
    return result;
}

ExplorerCommand::ExplorerCommand(const ExtensionModule& module, UINT offset) noexcept
    : m_lock(module.locks), m_refCount(0), m_module(module), m_offset(offset) {}

ExplorerCommand::~ExplorerCommand() = default;

STDMETHODIMP ExplorerCommand::QueryInterface(REFIID riid, void** ppv) {
    return QueryFromInterfaceMap(this, kExplorerCommandMap, riid, ppv);
}

STDMETHODIMP_(ULONG) ExplorerCommand::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&m_refCount));
}

STDMETHODIMP_(ULONG) ExplorerCommand::Release() {
    const LONG count = InterlockedDecrement(&m_refCount);
    if (count == 0)
        HeapDelete(this);
    return static_cast<ULONG>(count);
}

STDMETHODIMP ExplorerCommand::GetTitle(IShellItemArray*, LPWSTR* ppszName) {
    if (!ppszName)
        return E_POINTER;
    *ppszName = nullptr;
    WideUiText title;
    GetCommandTitle(UserTexts(m_module.resources), m_offset, title);
    RemoveAccessKeys(title);
    return CopyForCaller(title.text, ppszName);
}

STDMETHODIMP ExplorerCommand::GetIcon(IShellItemArray*, LPWSTR* ppszIcon) {
    if (!ppszIcon)
        return E_POINTER;
    *ppszIcon = nullptr;
    if (!IsGroup())
        return E_NOTIMPL;
    // The icon in the module's own resources, as "path,-ID".
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(m_module.instance, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return E_FAIL;
    wchar_t location[MAX_PATH + 16];
    wsprintfW(location, L"%s,-%d", path, IDI_LANTERWELL);
    return CopyForCaller(location, ppszIcon);
}

STDMETHODIMP ExplorerCommand::GetToolTip(IShellItemArray*, LPWSTR* ppszInfotip) {
    if (!ppszInfotip)
        return E_POINTER;
    *ppszInfotip = nullptr;
    WideUiText help;
    GetCommandHelpText(UserTexts(m_module.resources), m_offset, help);
    if (help.length == 0)
        return E_NOTIMPL;
    return CopyForCaller(help.text, ppszInfotip);
}

STDMETHODIMP ExplorerCommand::GetCanonicalName(GUID* pguidCommandName) {
    if (!pguidCommandName)
        return E_POINTER;
    *pguidCommandName = IsGroup() ? CLSID_ExplorerCommand : GUID_NULL;
    return IsGroup() ? S_OK : E_NOTIMPL;
}

STDMETHODIMP ExplorerCommand::GetState(IShellItemArray* psiItemArray, BOOL,
                                       EXPCMDSTATE* pCmdState) {
    if (!pCmdState)
        return E_POINTER;
    *pCmdState = ECS_HIDDEN;
    if (!psiItemArray)
        return E_INVALIDARG;
    if (!IsGroup()) {
        *pCmdState = ECS_ENABLED;
        return S_OK;
    }
    // Shown exactly where the classic menu would show its popup.
    DriveCommands commands(m_module);
    if (SUCCEEDED(SelectItems(commands, psiItemArray)) && commands.OffersCommands() &&
        commands.ReadFreeLetters())
        *pCmdState = ECS_ENABLED;
    return S_OK;
}

STDMETHODIMP ExplorerCommand::Invoke(IShellItemArray* psiItemArray, IBindCtx*) {
    if (IsGroup())
        return E_NOTIMPL;
    DriveCommands commands(m_module);
    const HRESULT selected = SelectItems(commands, psiItemArray);
    if (FAILED(selected))
        return selected;
    if (!commands.OffersCommands())
        return E_INVALIDARG;
    commands.Invoke(m_offset, OwnerWindow());
    return S_OK;
}

STDMETHODIMP ExplorerCommand::GetFlags(EXPCMDFLAGS* pFlags) {
    if (!pFlags)
        return E_POINTER;
    *pFlags = IsGroup() ? ECF_HASSUBCOMMANDS : ECF_DEFAULT;
    return S_OK;
}

STDMETHODIMP ExplorerCommand::EnumSubCommands(IEnumExplorerCommand** ppEnum) {
    if (!ppEnum)
        return E_POINTER;
    *ppEnum = nullptr;
    if (!IsGroup())
        return E_NOTIMPL;
    return ExplorerCommandEnum::Create(m_module, DriveCommands::FreeLettersOf(GetLogicalDrives()),
                                       0, m_site.Get(), ppEnum);
}

STDMETHODIMP ExplorerCommand::SetSite(IUnknown* pUnkSite) {
    m_site.Assign(pUnkSite);
    return S_OK;
}

STDMETHODIMP ExplorerCommand::GetSite(REFIID riid, void** ppvSite) {
    if (!ppvSite)
        return E_POINTER;
    *ppvSite = nullptr;
    if (!m_site)
        return E_FAIL;
    return m_site->QueryInterface(riid, ppvSite);
}

HWND ExplorerCommand::OwnerWindow() const noexcept {
    if (!m_site)
        return nullptr;
    ComPtr<IOleWindow> window;
    HWND owner = nullptr;
    if (FAILED(m_site->QueryInterface(__uuidof(IOleWindow), window.ReceiveVoid())) ||
        FAILED(window->GetWindow(&owner)))
        return nullptr;
    return owner;
}
