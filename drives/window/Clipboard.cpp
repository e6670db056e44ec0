#include "drives/window/Clipboard.h"
#include "support/Handles.h"
#include <strsafe.h>

namespace {

// Holds the clipboard open while it lives.
class OpenClipboardScope {
public:
    explicit OpenClipboardScope(HWND owner) : m_open(OpenClipboard(owner) != FALSE) {}
    ~OpenClipboardScope() {
        if (m_open)
            CloseClipboard();
    }
    OpenClipboardScope(const OpenClipboardScope&) = delete;
    OpenClipboardScope& operator=(const OpenClipboardScope&) = delete;
    bool Open() const { return m_open; }

private:
    bool m_open;
};

// Global memory, freed unless the clipboard took it.
struct GlobalTraits {
    static HGLOBAL Invalid() { return nullptr; }
    static bool Release(HGLOBAL memory) { return GlobalFree(memory) == nullptr; }
};

} // namespace

namespace Clipboard {

bool PutText(HWND owner, const wchar_t* text) noexcept {
    size_t length = 0;
    if (FAILED(StringCchLengthW(text, STRSAFE_MAX_CCH, &length)))
        return false;
    UniqueHandle<HGLOBAL, GlobalTraits> memory(
        GlobalAlloc(GMEM_MOVEABLE, (length + 1) * sizeof(wchar_t)));
    if (!memory)
        return false;
    auto* copy = static_cast<wchar_t*>(GlobalLock(memory.Get()));
    if (!copy)
        return false;
    StringCchCopyW(copy, length + 1, text);
    GlobalUnlock(memory.Get());
    const OpenClipboardScope clipboard(owner);
    if (!clipboard.Open() || !EmptyClipboard() || !SetClipboardData(CF_UNICODETEXT, memory.Get()))
        return false;
    // The clipboard owns it now.
    memory.Detach();
    return true;
}

} // namespace Clipboard
