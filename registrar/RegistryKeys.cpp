#include "registrar/RegistryKeys.h"
#include <oleauto.h>
#include "registrar/ScriptLexer.h"
#include "registrar/ScriptTables.h"
#include "support/Conversion.h"
#include "support/Platform.h"

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
    bool operator==(const KeyFullName& other) const {
        return m_bytes == other.m_bytes &&
               CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, m_name,
                              static_cast<int>(m_bytes / sizeof(wchar_t)), other.m_name,
                              static_cast<int>(other.m_bytes / sizeof(wchar_t))) == CSTR_EQUAL;
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

bool SameKey(HKEY one, HKEY other) {
    KeyFullName oneName;
    KeyFullName otherName;
    return oneName.Read(one) && otherName.Read(other) && oneName == otherName;
}

// A key that opening its name the ordinary way leaves for another (or for none, when its
// target is gone), holding the link value that says so.
template <typename Char> bool LeadsElsewhere(HKEY parent, const Char* name, HKEY asItself) {
    if (!HoldsLinkValue(asItself))
        return false;
    KeyHandle followed;
    return followed.Open(parent, name, KEY_QUERY_VALUE) != ERROR_SUCCESS ||
           !SameKey(asItself, followed.Get());
}

// In the 32-bit view the platform reaches the keys both views share through links of its own:
// the 64-bit view names the shared key itself there, and the ordinary open reaches it. Asked
// of WOW64 processes only.
bool IsViewLink(HKEY parent, const char* name) {
    KeyHandle shared;
    KeyHandle followed;
    return shared.OpenLink(parent, name, KEY_QUERY_VALUE | KEY_WOW64_64KEY) == ERROR_SUCCESS &&
           followed.Open(parent, name, KEY_QUERY_VALUE) == ERROR_SUCCESS &&
           !HoldsLinkValue(shared.Get()) && SameKey(shared.Get(), followed.Get());
}

// In UTF-16, so that every subkey is found and deleted whatever its name; a symbolic link is
// deleted as a link and never followed, so nothing outside the named key goes.
LONG DeleteKeyTreeAt(HKEY parent, const wchar_t* name, int depth) {
    if (depth > kMaxTreeDepth)
        return ERROR_BADKEY;
    KeyHandle key;
    LONG error = key.OpenLink(parent, name, KEY_READ | DELETE);
    if (error)
        return error;
    if (LeadsElsewhere(parent, name, key.Get()))
        return DeleteOpenKey(key.Get());
    for (;;) {
        wchar_t subkey[256];
        DWORD length = 256;
        // An empty name would open this key again, not the subkey.
        if (RegEnumKeyExW(key.Get(), 0, subkey, &length, nullptr, nullptr, nullptr, nullptr) ||
            !subkey[0])
            break;
        error = DeleteKeyTreeAt(key.Get(), subkey, depth + 1);
        if (error)
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

LONG OpenAsItself(KeyHandle& key, HKEY parent, const char* name, REGSAM access) noexcept {
    const LONG error = key.OpenLink(parent, name, access);
    if (error || !Platform::IsWow64() || !HoldsLinkValue(key.Get()) || !IsViewLink(parent, name))
        return error;
    return key.Open(parent, name, access);
}

bool IsSymbolicLink(HKEY parent, const char* name, HKEY asItself) noexcept {
    return LeadsElsewhere(parent, name, asItself);
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
