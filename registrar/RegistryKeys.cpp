#include "registrar/RegistryKeys.h"
#include <oleauto.h>
#include "registrar/ScriptLexer.h"
#include "registrar/ScriptTables.h"
#include "registrar/ViewLinks.h"
#include "support/Conversion.h"

namespace {

HRESULT WriteResult(LONG error) {
    return HRESULT_FROM_WIN32(error);
}

HRESULT WriteString(HKEY key, const char* name, const char* text) {
    return WriteResult(RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                                      static_cast<DWORD>(lstrlenA(text) + 1)));
}

HRESULT WriteNumber(HKEY key, const char* name, const char* text) {
    const WidePath wide(text);
    if (!wide.Text())
        return E_OUTOFMEMORY;
    ULONG number = 0;
    // Storing a number the text does not give would report a wrong value as written.
    if (FAILED(VarUI4FromStr(const_cast<LPOLESTR>(wide.Text()), 0, 0, &number)))
        return DISP_E_EXCEPTION;
    return WriteResult(RegSetValueExA(key, name, 0, REG_DWORD,
                                      reinterpret_cast<const BYTE*>(&number), sizeof(number)));
}

HRESULT WriteBinary(HKEY key, const char* name, const char* text) {
    const int digits = lstrlenA(text);
    if (digits % 2)
        return E_FAIL;
    ScratchBuffer<BYTE, 256> bytes(digits / 2);
    if (!bytes.Get())
        return E_OUTOFMEMORY;
    ZeroMemory(bytes.Get(), digits / 2);
    for (int i = 0; i < digits; ++i)
        bytes.Get()[i / 2] |= HexDigitValue(static_cast<BYTE>(text[i])) << (i % 2 ? 0 : 4);
    return WriteResult(RegSetValueExA(key, name, 0, REG_BINARY, bytes.Get(), digits / 2));
}

HRESULT WriteMultiString(HKEY key, const char* name, const char* text) {
    const int length = lstrlenA(text);
    ScratchBuffer<char, 256> list(length + 2);
    if (!list.Get())
        return E_OUTOFMEMORY;
    char* out = list.Get();
    for (const char* p = text; *p;) {
        if (p[0] == '\\' && p[1] == '0') {
            *out++ = 0;
            p += 2;
            continue;
        }
        // A trail byte is never taken for a backslash.
        const char* next = CharNextA(p);
        while (p < next)
            *out++ = *p++;
    }
    *out++ = 0;
    *out++ = 0;
    // Up to and including the first empty string.
    DWORD size = 0;
    for (const char* string = list.Get();; string += lstrlenA(string) + 1) {
        const DWORD stringLength = static_cast<DWORD>(lstrlenA(string));
        size += stringLength + 1;
        if (stringLength == 0)
            break;
    }
    return WriteResult(RegSetValueExA(key, name, 0, REG_MULTI_SZ,
                                      reinterpret_cast<const BYTE*>(list.Get()), size));
}

// The registry nests at most 512 levels; a deeper tree is not one a script made.
const int kMaxTreeDepth = 512;

bool HoldsLinkValue(HKEY key) {
    DWORD type = REG_NONE;
    return RegQueryValueExW(key, L"SymbolicLinkValue", nullptr, &type, nullptr, nullptr) ==
               ERROR_SUCCESS &&
           type == REG_LINK;
}

template <typename Proc> Proc NtdllProc(const char* name) {
    return reinterpret_cast<Proc>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), name)));
}

// A key's full name in the registry's own namespace ("\\REGISTRY\\USER\\..."), as the
// platform's KEY_NAME_INFORMATION gives it, in a buffer as large as the platform asks for.
class KeyFullName {
public:
    KeyFullName() = default;
    ~KeyFullName() { ModuleHeap::Free(m_heap); }
    KeyFullName(const KeyFullName&) = delete;
    KeyFullName& operator=(const KeyFullName&) = delete;

    // False when the platform does not tell.
    bool Read(HKEY key) {
        ULONG length = 0;
        LONG status = Query(key, m_inline, sizeof(m_inline), &length);
        if ((status == kBufferOverflow || status == kBufferTooSmall) && length > sizeof(m_inline)) {
            m_heap = static_cast<ULONG*>(ModuleHeap::Allocate(length));
            if (!m_heap)
                return false;
            status = Query(key, m_heap, length, &length);
        }
        const ULONG* info = m_heap ? m_heap : m_inline;
        m_bytes = info[0];
        m_name = reinterpret_cast<const wchar_t*>(info + 1);
        return status == 0 && length >= sizeof(ULONG) && m_bytes <= length - sizeof(ULONG);
    }
    const wchar_t* Text() const { return m_name; }
    int Units() const { return static_cast<int>(m_bytes / sizeof(wchar_t)); }
    bool operator==(const KeyFullName& other) const {
        return SameKeyName({m_name, Units()}, {other.m_name, other.Units()});
    }

private:
    static const LONG kBufferOverflow = static_cast<LONG>(0x80000005);
    static const LONG kBufferTooSmall = static_cast<LONG>(0xC0000023);

    static LONG Query(HKEY key, void* buffer, ULONG size, ULONG* length) {
        using NtQueryKeyProc = LONG(NTAPI*)(HANDLE, int, void*, ULONG, ULONG*);
        const auto queryKey = NtdllProc<NtQueryKeyProc>("NtQueryKey");
        const int kKeyNameInformation = 3;
        return queryKey ? queryKey(key, kKeyNameInformation, buffer, size, length)
                        : static_cast<LONG>(0xC0000002); // not implemented
    }

    ULONG m_inline[256] = {};
    ULONG* m_heap = nullptr;
    ULONG m_bytes = 0;
    const wchar_t* m_name = nullptr;
};

// The nature of a key opened as itself, judged by the key its link reaches at this moment,
// which `reached` keeps: what is done to a view link is done to that very key, whatever the
// link names a moment later.
// `view` is the registry view asked for (KEY_WOW64_32KEY, KEY_WOW64_64KEY or neither).
template <typename Char>
KeyNature NatureAt(HKEY parent, const Char* name, HKEY asItself, REGSAM view, KeyHandle& reached) {
    if (!HoldsLinkValue(asItself))
        return KeyNature::Key;
    // A link whose target is gone leads nowhere: it is removed as a link.
    if (reached.Open(parent, name, KEY_QUERY_VALUE | view) != ERROR_SUCCESS)
        return KeyNature::Link;
    KeyFullName link;
    KeyFullName target;
    if (!link.Read(asItself) || !target.Read(reached.Get()))
        return KeyNature::Link;
    // Any key may hold a value of that name and type: that makes no link of it.
    if (link == target)
        return KeyNature::Key;
    return IsPlatformViewLink({link.Text(), link.Units()}, {target.Text(), target.Units()})
               ? KeyNature::ViewLink
               : KeyNature::Link;
}

template <typename Char>
LONG OpenInViewAt(KeyHandle& key, HKEY parent, const Char* name, REGSAM access, KeyNature& nature) {
    nature = KeyNature::Key;
    const LONG error = key.OpenLink(parent, name, access);
    if (error)
        return error;
    KeyHandle reached;
    nature =
        NatureAt(parent, name, key.Get(), access & (KEY_WOW64_32KEY | KEY_WOW64_64KEY), reached);
    // The key judged, opened again through its own handle: never by the link's name again.
    return nature == KeyNature::ViewLink
               ? key.Open(reached.Get(), static_cast<const wchar_t*>(nullptr), access)
               : ERROR_SUCCESS;
}

LONG DeleteKeyTreeAt(HKEY parent, const wchar_t* name, int depth);

// Deletes the subkeys of an open key tree by tree, each name read into a buffer as long as the
// longest the key holds: the registry keeps names beyond the documented 255 units, and none
// may stop a deletion. A subkey that cannot be read stays, and the key's own deletion says so.
LONG DeleteSubkeyTrees(HKEY key, int depth) {
    for (;;) {
        DWORD longest = 0;
        if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, &longest, nullptr, nullptr,
                             nullptr, nullptr, nullptr, nullptr))
            return ERROR_SUCCESS;
        ScratchBuffer<wchar_t, 256> subkey(static_cast<int>(longest) + 1);
        if (!subkey.Get())
            return ERROR_OUTOFMEMORY;
        DWORD length = longest + 1;
        // An empty name would open this key again, not the subkey.
        if (RegEnumKeyExW(key, 0, subkey.Get(), &length, nullptr, nullptr, nullptr, nullptr) ||
            !subkey.Get()[0])
            return ERROR_SUCCESS;
        if (const LONG error = DeleteKeyTreeAt(key, subkey.Get(), depth + 1))
            return error;
    }
}

// In UTF-16, so that every subkey is found and deleted whatever its name.
LONG DeleteKeyTreeAt(HKEY parent, const wchar_t* name, int depth) {
    if (depth > kMaxTreeDepth)
        return ERROR_BADKEY;
    KeyHandle key;
    KeyNature nature = KeyNature::Key;
    if (const LONG error = OpenInViewAt(key, parent, name, KEY_READ | DELETE, nature))
        return error;
    if (nature != KeyNature::Link) {
        if (const LONG error = DeleteSubkeyTrees(key.Get(), depth))
            return error;
    }
    return DeleteOpenKey(key.Get());
}

} // namespace

HRESULT WriteScriptValue(HKEY key, const char* name, const char* type, const char* text) noexcept {
    VARTYPE kind = VT_EMPTY;
    if (!ValueTypeFromLetter(type, kind))
        return DISP_E_EXCEPTION;
    switch (kind) {
    case VT_BSTR:
        return WriteString(key, name, text);
    case VT_UI4:
        return WriteNumber(key, name, text);
    case VT_UI1:
        return WriteBinary(key, name, text);
    default:
        return WriteMultiString(key, name, text);
    }
}

HRESULT DeleteNamedValue(HKEY key, bool keyWritable, const char* name) noexcept {
    KeyHandle writable;
    if (!keyWritable) {
        if (const LONG error = writable.Open(key, static_cast<const char*>(nullptr), KEY_WRITE))
            return WriteResult(error);
    }
    const LONG error = RegDeleteValueA(keyWritable ? key : writable.Get(), name);
    if (error && error != ERROR_FILE_NOT_FOUND)
        return WriteResult(error);
    return S_OK;
}

KeyNature NatureOf(HKEY parent, const char* name, HKEY asItself) noexcept {
    KeyHandle reached;
    return NatureAt(parent, name, asItself, 0, reached);
}

LONG OpenInView(KeyHandle& key, HKEY parent, const char* name, REGSAM access,
                KeyNature& nature) noexcept {
    return OpenInViewAt(key, parent, name, access, nature);
}

LONG DeleteOpenKey(HKEY key) noexcept {
    using NtDeleteKeyProc = LONG(NTAPI*)(HANDLE);
    using StatusToErrorProc = ULONG(NTAPI*)(LONG);
    const auto deleteKey = NtdllProc<NtDeleteKeyProc>("NtDeleteKey");
    const auto toError = NtdllProc<StatusToErrorProc>("RtlNtStatusToDosError");
    if (!deleteKey || !toError)
        return ERROR_CALL_NOT_IMPLEMENTED;
    const LONG status = deleteKey(key);
    return status ? static_cast<LONG>(toError(status)) : ERROR_SUCCESS;
}

LONG DeleteKeyTree(HKEY parent, const char* name) noexcept {
    // The name as the ANSI functions that created the key read it.
    wchar_t wide[MAX_PATH];
    if (!name || !MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, name, -1, wide, MAX_PATH))
        return ERROR_INVALID_NAME;
    return DeleteKeyTreeAt(parent, wide, 0);
}
