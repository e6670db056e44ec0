#include "registrar/RegistryWalk.h"
#include <oleauto.h>
#include "support/KeyHandle.h"
#include "registrar/ScriptTables.h"
#include "support/Conversion.h"

namespace {

const REGSAM kReadWrite = KEY_READ | KEY_WRITE;

bool IsKeyword(const char* token, const char* keyword) {
    return lstrcmpiA(token, keyword) == 0;
}

// Every level of the tree is its own entry. An empty name would stand for the parent key
// itself, which ForceRemove, Delete and unregistration would then delete; a lead byte
// without its trail byte names no character, and the platform may store it as one that
// opens the parent again.
//
// A name of MAX_PATH bytes or more is refused too: the platform creates it from double-byte
// text but can never open it again, so unregistration could not find what it registered.
bool IsKeyName(const char* token) {
    if (!token[0] || lstrlenA(token) >= MAX_PATH)
        return false;
    for (const char* p = token; *p;) {
        const char* next = CharNextA(p);
        if (*p == '\\' || (IsDBCSLeadByte(static_cast<BYTE>(*p)) && next - p < 2))
            return false;
        p = next;
    }
    return true;
}

// Where a block may open, only a token that is exactly "{" opens one, at registration and at
// unregistration alike: a key name that begins with "{" (a GUID) is the next entry.
bool IsBlockOpener(const char* token) {
    return token[0] == '{' && token[1] == 0;
}

HRESULT WriteResult(LONG error) {
    return HRESULT_FROM_WIN32(error);
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

HRESULT DeleteNamedValue(HKEY parent, bool parentWritable, const char* name) {
    KeyHandle key;
    if (!parentWritable) {
        if (const LONG error = key.Open(parent, static_cast<const char*>(nullptr), KEY_WRITE))
            return WriteResult(error);
    }
    const LONG error = RegDeleteValueA(parentWritable ? parent : key.Get(), name);
    if (error && error != ERROR_FILE_NOT_FOUND)
        return WriteResult(error);
    return S_OK;
}

// Reads a block that must not change anything.
HRESULT SkipBlock(ScriptParser& parser, char* token, int depth) {
    const HRESULT result = WalkKeys(parser, token, nullptr, false, true, depth);
    if (FAILED(result))
        return result;
    return parser.NextToken(token);
}

// The registry nests at most 512 levels; a deeper tree is not one this walk made.
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
// platform's KEY_NAME_INFORMATION gives it.
struct KeyFullName {
    ULONG bytes;
    wchar_t name[1024];

    // False when the platform does not tell.
    bool Read(HKEY key) {
        using NtQueryKeyProc = LONG(NTAPI*)(HANDLE, int, void*, ULONG, ULONG*);
        const auto queryKey = NtdllProc<NtQueryKeyProc>("NtQueryKey");
        const int kKeyNameInformation = 3;
        ULONG length = 0;
        bytes = 0;
        return queryKey && queryKey(key, kKeyNameInformation, this, sizeof(*this), &length) == 0 &&
               bytes <= sizeof(name);
    }
    bool operator==(const KeyFullName& other) const {
        return bytes == other.bytes &&
               CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, name,
                              static_cast<int>(bytes / sizeof(wchar_t)), other.name,
                              static_cast<int>(other.bytes / sizeof(wchar_t))) == CSTR_EQUAL;
    }
};

// Whether a key opened as itself is a symbolic link. Any key may hold a value named
// SymbolicLinkValue; a link is the key that opening its name the ordinary way leaves for
// another (or for none, when its target is gone).
template <typename Char> bool IsSymbolicLink(HKEY parent, const Char* name, HKEY asItself) {
    if (!HoldsLinkValue(asItself))
        return false;
    KeyHandle followed;
    if (followed.Open(parent, name, KEY_QUERY_VALUE) != ERROR_SUCCESS)
        return true;
    KeyFullName own;
    KeyFullName reached;
    return !own.Read(asItself) || !reached.Read(followed.Get()) || !(own == reached);
}

// Deletes an open key through its own handle: a link deleted by name would take its target.
LONG DeleteOpenKey(HKEY key) {
    using NtDeleteKeyProc = LONG(NTAPI*)(HANDLE);
    using StatusToErrorProc = ULONG(NTAPI*)(LONG);
    const auto deleteKey = NtdllProc<NtDeleteKeyProc>("NtDeleteKey");
    const auto toError = NtdllProc<StatusToErrorProc>("RtlNtStatusToDosError");
    if (!deleteKey || !toError)
        return ERROR_CALL_NOT_IMPLEMENTED;
    const LONG status = deleteKey(key);
    return status ? static_cast<LONG>(toError(status)) : ERROR_SUCCESS;
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
    if (IsSymbolicLink(parent, name, key.Get()))
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

// The values a block names for its own key, deleted after all because the key stays: from the
// block's start up to `until` (null: the whole block), as the walk would have deleted them on
// its way. The parser is left where it was.
HRESULT DeleteDeferredValues(ScriptParser& parser, HKEY key, const char* blockStart,
                             const char* until, int depth) {
    const char* const resume = parser.position;
    const char* const outerUntil = parser.valuesUntil;
    parser.position = blockStart;
    parser.valuesUntil = until;
    char token[kTokenSize];
    const HRESULT result =
        WalkKeys(parser, token, key, false, false, depth, true, BlockValues::DeleteOnly);
    parser.position = resume;
    parser.valuesUntil = outerUntil;
    return result;
}

} // namespace

struct ParentLink {
    HKEY grandparent;
    const char* name;
    HKEY key;
    bool asked;
    bool isLink;

    bool IsLink() {
        if (!asked)
            isLink = IsSymbolicLink(grandparent, name, key);
        asked = true;
        return isLink;
    }
};

HRESULT WriteValue(ScriptParser& parser, HKEY key, const char* name, char* token) noexcept {
    char text[kTokenSize];
    HRESULT result = parser.NextToken(text);
    if (FAILED(result))
        return result;
    VARTYPE type = VT_EMPTY;
    if (!ValueTypeFromLetter(text, type))
        return DISP_E_EXCEPTION;
    parser.SkipSpace();
    result = parser.NextToken(text);
    if (FAILED(result))
        return result;

    switch (type) {
    case VT_BSTR:
        result =
            WriteResult(RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                                       static_cast<DWORD>(lstrlenA(text) + 1)));
        break;
    case VT_UI4:
        result = WriteNumber(key, name, text);
        break;
    case VT_UI1:
        result = WriteBinary(key, name, text);
        break;
    default:
        result = WriteMultiString(key, name, text);
        break;
    }
    if (FAILED(result))
        return result;
    return parser.NextToken(token);
}

LONG DeleteKeyTree(HKEY parent, const char* name) noexcept {
    // The name as the ANSI functions that created the key read it.
    wchar_t wide[MAX_PATH];
    if (!name || !MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, name, -1, wide, MAX_PATH))
        return ERROR_INVALID_NAME;
    return DeleteKeyTreeAt(parent, wide, 0);
}

HRESULT WalkKeys(ScriptParser& parser, char* token, HKEY parent, bool registering, bool recovering,
                 int depth, bool parentWritable, BlockValues values,
                 ParentLink* parentLink) noexcept {
    if (depth > kMaxBlockDepth || parser.tooDeep) {
        parser.tooDeep = true;
        return DISP_E_EXCEPTION;
    }
    KeyHandle current;
    char valueName[MAX_PATH];
    char keptName[MAX_PATH];

    HRESULT result = parser.NextToken(token);
    while (SUCCEEDED(result)) {
        if (token[0] == '}')
            return S_OK;
        // Past the entries the walk reached before it stopped.
        if (values == BlockValues::DeleteOnly && parser.valuesUntil &&
            parser.position >= parser.valuesUntil)
            return S_OK;
        bool deleteAllowed = true;
        // An entry whose following block has no key of its own to walk under.
        bool blockWithoutKey = false;
        // At unregistration the name after "Delete" is a key name, never a keyword: registration
        // read it as one, and whatever followed it as the next entry.
        bool keyNameFollows = false;

        if (IsKeyword(token, "ForceRemove") || IsKeyword(token, "Delete")) {
            const bool deleteOnly = IsKeyword(token, "Delete");
            if (FAILED(result = parser.NextToken(token)))
                return result;
            if (registering) {
                if (!IsKeyName(token))
                    return DISP_E_EXCEPTION;
                // A missing key is already gone; any other failure to delete is reported.
                if (!IsProtectedKeyName(token)) {
                    const LONG error = DeleteKeyTree(parent, token);
                    if (error != ERROR_SUCCESS && error != ERROR_FILE_NOT_FOUND)
                        return WriteResult(error);
                }
                if (deleteOnly) {
                    if (FAILED(result = parser.NextToken(token)) ||
                        FAILED(result = parser.SkipValueClause(token)))
                        return result;
                    blockWithoutKey = true;
                }
            } else {
                keyNameFollows = deleteOnly;
            }
        }
        if (!blockWithoutKey && !keyNameFollows && IsKeyword(token, "NoRemove")) {
            deleteAllowed = false;
            if (FAILED(result = parser.NextToken(token)))
                return result;
        }

        if (blockWithoutKey) {
            // The Delete entry's token is already read.
        } else if (!keyNameFollows && IsKeyword(token, "Val")) {
            if (FAILED(result = parser.NextToken(token)))
                return result;
            if (lstrlenA(token) >= MAX_PATH)
                return DISP_E_EXCEPTION;
            lstrcpyA(valueName, token);
            if (FAILED(result = parser.NextToken(token)))
                return result;
            if (token[0] != '=')
                return DISP_E_EXCEPTION;
            if (!registering) {
                if (!recovering && deleteAllowed && values != BlockValues::GoWithKey &&
                    FAILED(result = DeleteNamedValue(parent, parentWritable, valueName)))
                    return result;
                if (FAILED(result = parser.SkipValueClause(token)))
                    return result;
                // A block after a value entry belongs to no key: never walk it for removal.
                if (IsBlockOpener(token))
                    result = SkipBlock(parser, token, depth + 1);
                continue;
            }
            if (FAILED(result = WriteValue(parser, parent, valueName, token)))
                return result;
            blockWithoutKey = true;
        } else if (registering) {
            if (!IsKeyName(token))
                return DISP_E_EXCEPTION;
            // Creating opens an existing key, which keeps its other contents; a key that may
            // only be read is opened for reading and walked all the same.
            LONG error = current.Create(parent, token, kReadWrite);
            if (error && current.Open(parent, token, KEY_READ) == ERROR_SUCCESS)
                error = ERROR_SUCCESS;
            if (error)
                return WriteResult(error);
            if (FAILED(result = parser.NextToken(token)))
                return result;
            if (token[0] == '=' &&
                FAILED(result = WriteValue(parser, current.Get(), nullptr, token)))
                return result;
        } else {
            if (!IsKeyName(token))
                return DISP_E_EXCEPTION;
            // Opened as itself, for writing and deleting where it may be: its values and the key
            // go through this handle. A link opened so is the link alone, with no subkeys: the
            // walk finds nothing of its target below it, and deleting it removes the link.
            LONG opened = ERROR_FILE_NOT_FOUND;
            bool writable = false;
            // Below a link lies its target, which is not the script's: nothing there is walked.
            const bool belowLink = !recovering && parentLink && parentLink->IsLink();
            if (!recovering && !belowLink && values != BlockValues::DeleteOnly) {
                opened = current.OpenLink(parent, token, kReadWrite | DELETE);
                writable = opened == ERROR_SUCCESS;
                if (opened != ERROR_SUCCESS && opened != ERROR_FILE_NOT_FOUND)
                    opened = current.OpenLink(parent, token, KEY_READ);
            }
            const bool blockRecovering = recovering || belowLink ||
                                         values == BlockValues::DeleteOnly ||
                                         opened != ERROR_SUCCESS;
            // The values of a key that is to go go with it: named ones are deleted only if it
            // stays after all.
            const bool deferValues = !blockRecovering && writable && deleteAllowed;
            lstrcpynA(keptName, token, MAX_PATH);
            if (FAILED(result = parser.NextToken(token)) ||
                FAILED(result = parser.SkipValueClause(token)))
                return result;
            const char* blockStart = nullptr;
            ParentLink link = {parent, keptName, current.Get(), false, false};
            if (IsBlockOpener(token)) {
                blockStart = parser.position;
                result = WalkKeys(
                    parser, token, current.Get(), false, blockRecovering, depth + 1, writable,
                    deferValues ? BlockValues::GoWithKey : BlockValues::Delete, &link);
                // Checking a block before it runs gives up at its first fault, wherever it is.
                if (FAILED(result) && (!blockRecovering || parser.tooDeep || parser.checking)) {
                    if (deferValues)
                        DeleteDeferredValues(parser, current.Get(), blockStart, parser.position,
                                             depth + 1);
                    return result;
                }
                if (FAILED(result = parser.NextToken(token)))
                    return result;
            }
            if (opened == ERROR_FILE_NOT_FOUND)
                continue;
            if (opened != ERROR_SUCCESS)
                return WriteResult(opened);
            LONG deleted = ERROR_SUCCESS;
            if (deleteAllowed && writable)
                deleted = DeleteOpenKey(current.Get());
            if (const LONG closed = current.Close())
                return WriteResult(closed);
            if (!deleteAllowed)
                continue;
            if (!writable) {
                // Read-only to us: deleted as itself all the same, if the platform lets us.
                KeyHandle doomed;
                deleted = doomed.OpenLink(parent, keptName, DELETE);
                if (!deleted)
                    deleted = DeleteOpenKey(doomed.Get());
            }
            if (deleted && deferValues && blockStart) {
                // Subkeys that stay keep the key: its named values go after all, as before.
                KeyHandle kept;
                if (kept.Open(parent, keptName, KEY_SET_VALUE) == ERROR_SUCCESS &&
                    FAILED(result = DeleteDeferredValues(parser, kept.Get(), blockStart, nullptr,
                                                         depth + 1)))
                    return result;
            }
            if (deleted)
                return WriteResult(deleted);
            continue;
        }

        if (registering && IsBlockOpener(token)) {
            if (blockWithoutKey)
                result = SkipBlock(parser, token, depth + 1);
            else if (SUCCEEDED(result =
                                   WalkKeys(parser, token, current.Get(), true, false, depth + 1)))
                result = parser.NextToken(token);
        }
    }
    return result;
}
