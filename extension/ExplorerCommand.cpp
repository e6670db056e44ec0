#include "extension/ExplorerCommand.h"
#include "extension/CommandTexts.h"
#include "extension/DriveCommands.h"
#include "extension/ExplorerCommandEnum.h"
#include "LanterwellIds.h"
#include "resources/ResourceIds.h"
#include "support/DriveLetters.h"
#include "support/InterfaceMap.h"
#include "support/ModuleHeap.h"
#include <strsafe.h>

const CLSID CLSID_ExplorerCommand = LANTERWELL_CLSID_EXPLORER_COMMAND_INIT;
const CLSID CLSID_ExplorerDeleteCommand = LANTERWELL_CLSID_EXPLORER_DELETE_COMMAND_INIT;

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

// The one selected item's file-system path: S_FALSE (and no path) for several items, a
// selection that nothing is offered for; E_INVALIDARG for an item without a path (a library, a
// phone), which is no folder to map.
HRESULT SelectedPath(IShellItemArray* items, UniqueTaskString& path) {
    if (!items)
        return E_INVALIDARG;
    DWORD count = 0;
    if (FAILED(items->GetCount(&count)))
        return E_INVALIDARG;
    if (count != 1)
        return S_FALSE;
    ComPtr<IShellItem> item;
    if (FAILED(items->GetItemAt(0, item.Receive())) || !item)
        return E_INVALIDARG;
    return SUCCEEDED(item->GetDisplayName(SIGDN_FILESYSPATH, path.Receive())) ? S_OK : E_INVALIDARG;
}

// The selection as the classic menu would take it.
HRESULT SelectItems(DriveCommands& commands, IShellItemArray* items) {
    UniqueTaskString path;
    const HRESULT found = SelectedPath(items, path);
    if (FAILED(found))
        return found;
    if (found == S_FALSE) {
        commands.ClearSelection();
        return S_OK;
    }
    return commands.SelectPath(path.Get());
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

ExplorerCommand::~ExplorerCommand() {
    HeapDelete(m_commands);
}

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
    if (!IsGroup() && !IsDelete())
        return E_NOTIMPL;
    // The icon in the module's own resources, as "path,-ID".
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(m_module.instance, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return E_FAIL;
    wchar_t location[MAX_PATH + 16];
    if (const HRESULT result =
            StringCchPrintfW(location, ARRAYSIZE(location), L"%s,-%d", path, IDI_LANTERWELL);
        FAILED(result))
        return result;
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
    *pguidCommandName = IsGroup()    ? CLSID_ExplorerCommand
                        : IsDelete() ? CLSID_ExplorerDeleteCommand
                                     : GUID_NULL;
    return IsGroup() || IsDelete() ? S_OK : E_NOTIMPL;
}

// Explorer asks on its UI thread for every right-click, first with fOkToBeSlow FALSE: that
// pass answers from the path's text alone, and leaves anything that needs the disk or SUBST.DLL
// to the second.
STDMETHODIMP ExplorerCommand::GetState(IShellItemArray* psiItemArray, BOOL fOkToBeSlow,
                                       EXPCMDSTATE* pCmdState) {
    if (!pCmdState)
        return E_POINTER;
    *pCmdState = ECS_HIDDEN;
    if (!psiItemArray)
        return E_INVALIDARG;
    if (!IsGroup() && !IsDelete()) {
        *pCmdState = ECS_ENABLED;
        return S_OK;
    }
    // The slow pass after a pending fast one takes the path that pass read: the array is the
    // same object, held since.
    UniqueTaskString path;
    const bool pending = fOkToBeSlow && m_pendingItems && m_pendingItems.Get() == psiItemArray;
    m_pendingItems.Reset();
    if (pending)
        path.Reset(m_pendingPath.Detach());
    else if (SelectedPath(psiItemArray, path) != S_OK ||
             !DriveCommands::NameMayBeOffered(path.Get()) ||
             (IsDelete() && !DriveCommands::NamesDriveRoot(path.Get())))
        return S_OK;
    if (!fOkToBeSlow) {
        m_pendingItems.Assign(psiItemArray);
        m_pendingPath.Reset(path.Detach());
        return E_PENDING;
    }
    // Shown exactly where the classic menu would show the popup or the delete item.
    // The administrator's policy may hide the commands, read once for the menu.
    m_policy = Policy::ForMenu();
    m_policyRead = true;
    DriveCommands* commands = Commands();
    if (m_policy.hidden || !commands || FAILED(commands->SelectPath(path.Get())) ||
        !commands->OffersCommands())
        return S_OK;
    if (IsDelete() ? commands->OffersDelete() : DriveCommands::ReadFreeLetters(m_policy) != 0)
        *pCmdState = ECS_ENABLED;
    return S_OK;
}

// As the classic menu does, a command whose SUBST.DLL went missing after the menu was shown
// says so in its box.
STDMETHODIMP ExplorerCommand::Invoke(IShellItemArray* psiItemArray, IBindCtx*) {
    if (IsGroup())
        return E_NOTIMPL;
    DriveCommands* commands = Commands();
    if (!commands)
        return E_OUTOFMEMORY;
    const HRESULT selected = SelectItems(*commands, psiItemArray);
    if (FAILED(selected))
        return selected;
    return commands->Invoke(m_offset, OwnerWindow()) ? S_OK : E_INVALIDARG;
}

DriveCommands* ExplorerCommand::Commands() noexcept {
    if (!m_commands)
        m_commands = HeapNew<DriveCommands>(m_module);
    return m_commands;
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
    const Policy::Menu policy = m_policyRead ? m_policy : Policy::ForMenu();
    return ExplorerCommandEnum::Create(m_module, DriveCommands::ReadFreeLetters(policy), 0,
                                       m_site.Get(), ppEnum);
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
