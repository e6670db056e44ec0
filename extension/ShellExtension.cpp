#include "extension/ShellExtension.h"
#include <cstddef>
#include <shellapi.h>
#include "support/Conversion.h"
#include "support/Handles.h"
#include "support/Platform.h"
#include <strsafe.h>

namespace {

HRESULT ItemCount(UINT count) {
    return MAKE_HRESULT(SEVERITY_SUCCESS, FACILITY_NULL, count);
}

// The caller's buffer holds cchMax units: at most cchMax - 1 of the text and a terminator are
// written (nothing for 0). A count beyond what the bounded copy takes is the text's own room.
size_t CallerUnits(UINT cchMax) {
    return cchMax < STRSAFE_MAX_CCH ? cchMax : STRSAFE_MAX_CCH;
}

// Unlocks a locked global memory handle when it goes away.
class GlobalLockGuard {
public:
    explicit GlobalLockGuard(HGLOBAL handle) : m_handle(handle), m_data(GlobalLock(handle)) {}
    ~GlobalLockGuard() {
        if (m_data)
            GlobalUnlock(m_handle);
    }
    GlobalLockGuard(const GlobalLockGuard&) = delete;
    GlobalLockGuard& operator=(const GlobalLockGuard&) = delete;
    void* Data() const { return m_data; }

private:
    HGLOBAL m_handle;
    void* m_data;
};

// Releases a storage medium that GetData filled.
class MediumGuard {
public:
    explicit MediumGuard(STGMEDIUM& medium) : m_medium(medium) {}
    ~MediumGuard() { ReleaseStgMedium(&m_medium); }
    MediumGuard(const MediumGuard&) = delete;
    MediumGuard& operator=(const MediumGuard&) = delete;

private:
    STGMEDIUM& m_medium;
};

// The menu calls for each kind of text.
BOOL InsertItem(HMENU menu, UINT position, UINT id, const AnsiString& text) {
    return InsertMenuA(menu, position, MF_BYPOSITION | MF_STRING, id, text.Text());
}

BOOL InsertItem(HMENU menu, UINT position, UINT id, const WideUiText& text) {
    return InsertMenuW(menu, position, MF_BYPOSITION | MF_STRING, id, text.text);
}

template <typename Item, typename Char>
BOOL InsertPopupItem(HMENU menu, UINT position, UINT id, HMENU popup, const Char* caption,
                     BOOL(WINAPI* insert)(HMENU, UINT, BOOL, const Item*)) {
    Item item = {};
    static_assert(sizeof(item) == offsetof(Item, hbmpItem) + sizeof(HBITMAP),
                  "the full MENUITEMINFO, hbmpItem included");
    item.cbSize = sizeof(item);
    item.fMask = MIIM_ID | MIIM_SUBMENU | MIIM_STRING;
    item.wID = id;
    item.hSubMenu = popup;
    item.dwTypeData = const_cast<Char*>(caption);
    return insert(menu, position, TRUE, &item);
}

BOOL InsertPopup(HMENU menu, UINT position, UINT id, HMENU popup, const AnsiString& caption) {
    return InsertPopupItem<MENUITEMINFOA>(menu, position, id, popup, caption.Text(),
                                          InsertMenuItemA);
}

BOOL InsertPopup(HMENU menu, UINT position, UINT id, HMENU popup, const WideUiText& caption) {
    return InsertPopupItem<MENUITEMINFOW>(menu, position, id, popup, caption.text, InsertMenuItemW);
}

} // namespace

ShellExtension::ShellExtension(const ExtensionModule& module) noexcept : m_commands(module) {}

STDMETHODIMP ShellExtension::Initialize(PCIDLIST_ABSOLUTE, IDataObject* pdtobj, HKEY) {
    if (!pdtobj)
        return E_INVALIDARG;
    FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium = {};
    medium.tymed = TYMED_HGLOBAL;
    if (FAILED(pdtobj->GetData(&format, &medium)))
        return E_INVALIDARG;
    MediumGuard release(medium);
    GlobalLockGuard lock(medium.hGlobal);
    if (!lock.Data())
        return E_INVALIDARG;
    return CaptureSelection(static_cast<HDROP>(lock.Data()));
}

HRESULT ShellExtension::CaptureSelection(HDROP drop) noexcept {
    const UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
    if (count == 0)
        return E_INVALIDARG;
    if (count > 1) {
        // A multiple selection is accepted, and nothing is offered for it.
        m_commands.ClearSelection();
        return S_OK;
    }
    // Read into more room than a path may take and let the model judge the length that came
    // back: some platforms report the UTF-16 length, which a double-byte path exceeds in bytes.
    char path[2 * MAX_PATH];
    if (!DragQueryFileA(drop, 0, path, sizeof(path)))
        return E_INVALIDARG;
    // Before NT there is no UTF-16 name: the ANSI one is all there is. A UTF-16 name that
    // cannot be read whole names nothing the ANSI path could match.
    if (!Platform::IsNt())
        return m_commands.Select(path, nullptr);
    wchar_t selected[2 * MAX_PATH];
    const UINT length = DragQueryFileW(drop, 0, selected, 2 * MAX_PATH);
    if (length == 0 || length >= 2 * MAX_PATH - 1)
        selected[0] = 0;
    return m_commands.Select(path, selected);
}

STDMETHODIMP ShellExtension::QueryContextMenu(HMENU hmenu, UINT indexMenu, UINT idCmdFirst,
                                              UINT idCmdLast, UINT uFlags) {
    if (uFlags & CMF_DEFAULTONLY)
        return ItemCount(0);
    // Identifiers the shell did not give are never used.
    if (idCmdLast < idCmdFirst || idCmdLast - idCmdFirst < kCommandCount - 1)
        return ItemCount(0);
    // The administrator's policy, read once for the menu, may hide the commands.
    const Policy::Menu policy = Policy::ForMenu();
    if (policy.hidden || !m_commands.OffersCommands())
        return ItemCount(0);
    const DWORD freeLetters = DriveCommands::ReadFreeLetters(policy);
    if (Platform::IsNt())
        return InsertItems<WideUiText>(hmenu, indexMenu, idCmdFirst, freeLetters);
    return InsertItems<AnsiString>(hmenu, indexMenu, idCmdFirst, freeLetters);
}

template <typename Text>
HRESULT ShellExtension::InsertItems(HMENU hmenu, UINT indexMenu, UINT idCmdFirst,
                                    DWORD freeLetters) {
    UniqueMenu popup(CreatePopupMenu());
    if (!popup)
        return ItemCount(0);
    UINT position = 0;
    for (UINT i = 0; i < kLetterCount; ++i) {
        if (!(freeLetters & (1u << i)))
            continue;
        Text item;
        m_commands.GetTitle(i, item);
        InsertItem(popup.Get(), position++, idCmdFirst + i, item);
    }

    Text caption;
    m_commands.GetTitle(kPopupOffset, caption);
    // Once inserted, the popup belongs to the shell's menu.
    if (freeLetters &&
        InsertPopup(hmenu, indexMenu, idCmdFirst + kPopupOffset, popup.Get(), caption))
        popup.Detach();

    bool deleteInserted = false;
    if (m_commands.OffersDelete()) {
        Text text;
        m_commands.GetTitle(kDeleteOffset, text);
        deleteInserted =
            InsertItem(hmenu, indexMenu + 1, idCmdFirst + kDeleteOffset, text) != FALSE;
    }
    return ItemCount(deleteInserted ? kCommandCount : kCommandCount - 1);
}

STDMETHODIMP ShellExtension::InvokeCommand(CMINVOKECOMMANDINFO* pici) {
    if (!pici)
        return E_INVALIDARG;
    if (HIWORD(reinterpret_cast<UINT_PTR>(pici->lpVerb)))
        return E_INVALIDARG;
    const UINT offset = LOWORD(reinterpret_cast<UINT_PTR>(pici->lpVerb));
    return m_commands.Invoke(offset, pici->hwnd) ? S_OK : E_INVALIDARG;
}

STDMETHODIMP ShellExtension::GetCommandString(UINT_PTR idCmd, UINT uType, UINT*, CHAR* pszName,
                                              UINT cchMax) {
    if (!pszName)
        return E_INVALIDARG;
    if (!(uType & GCS_HELPTEXTA))
        return E_INVALIDARG;
    // Offsets beyond a UINT are no command; the model numbers its commands in a UINT.
    const UINT offset = idCmd > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<UINT>(idCmd);
    if (!(uType & GCS_UNICODE)) {
        AnsiString text;
        m_commands.GetHelpText(offset, text);
        StringCchCopyA(pszName, CallerUnits(cchMax), text.Text());
        return S_OK;
    }
    LPWSTR wideName = reinterpret_cast<LPWSTR>(pszName);
    if (Platform::IsNt()) {
        WideUiText text;
        m_commands.GetHelpText(offset, text);
        StringCchCopyW(wideName, CallerUnits(cchMax), text.text);
        return S_OK;
    }
    // Before NT the texts are ANSI throughout: the UTF-16 one is converted from it.
    AnsiString text;
    m_commands.GetHelpText(offset, text);
    const WideText wide(text.Text());
    if (!wide.Text())
        return E_OUTOFMEMORY;
    StringCchCopyW(wideName, CallerUnits(cchMax), wide.Text());
    return S_OK;
}
