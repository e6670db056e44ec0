#include "registrar/ScriptRunner.h"
#include <objbase.h>
#include "registrar/ExpansionBuffer.h"
#include "registrar/Registrar.h"
#include "registrar/RegistryWalk.h"
#include "registrar/ScriptTables.h"
#include "support/Conversion.h"
#include "support/FilePath.h"
#include "support/Handles.h"
#include "support/LastError.h"
#include "support/ModulePath.h"
#include <strsafe.h>

namespace {

const int kMaxVariableName = 31;
const int kEscapedPathUnits = 520;

} // namespace

void DoubleSingleQuotes(wchar_t* destination, const wchar_t* source) noexcept {
    wchar_t* const last = destination + kEscapedPathUnits - 1;
    for (; *source && destination < last; ++source) {
        *destination++ = *source;
        if (*source == L'\'' && destination < last)
            *destination++ = L'\'';
    }
    *destination = 0;
}

HRESULT ExpandVariables(ScriptLexer& parser, const char* text, char** expanded) noexcept {
    if (!text || !expanded)
        return E_POINTER;
    *expanded = nullptr;
    ExpansionBuffer buffer(lstrlenA(text));
    if (!buffer.Ready())
        return E_OUTOFMEMORY;
    const Registrar* registrar = parser.registrar;

    parser.position = text;
    while (*parser.position) {
        const char* at = parser.position;
        if (*at != '%') {
            parser.position = CharNextA(at);
            if (!buffer.Append(at, static_cast<int>(parser.position - at)))
                return E_OUTOFMEMORY;
            continue;
        }
        if (at[1] == '%') {
            parser.position = at + 2;
            if (!buffer.Append("%", 1))
                return E_OUTOFMEMORY;
            continue;
        }
        const char* close = FindChar(at + 1, '%');
        if (!close)
            return DISP_E_EXCEPTION;
        const int nameLength = static_cast<int>(close - at - 1);
        if (nameLength > kMaxVariableName)
            return E_FAIL;
        char name[kMaxVariableName + 1];
        CopyMemory(name, at + 1, nameLength);
        name[nameLength] = 0;
        const wchar_t* value = registrar ? registrar->Variables().Find(name) : nullptr;
        if (!value)
            return DISP_E_EXCEPTION;
        // A value that cannot be converted would write a wrong path and report success.
        const AnsiPath ansiValue(value);
        if (!ansiValue.Text() || !buffer.Append(ansiValue.Text(), lstrlenA(ansiValue.Text())))
            return E_OUTOFMEMORY;
        parser.position = close + 1;
    }
    *expanded = buffer.Detach();
    return S_OK;
}

HRESULT RunScriptText(ScriptLexer& parser, const char* text, bool registering) noexcept {
    char* expanded = nullptr;
    HRESULT result = ExpandVariables(parser, text, &expanded);
    if (FAILED(result))
        return result;

    char token[kTokenSize];
    ScriptTree tree;
    parser.position = expanded;
    result = S_OK;
    while (*parser.position) {
        if (FAILED(result = parser.NextToken(token)))
            break;
        const HKEY root = RootKeyFromName(token);
        if (!root) {
            result = DISP_E_EXCEPTION;
            break;
        }
        if (FAILED(result = parser.NextToken(token)))
            break;
        if (token[0] != '{') {
            result = DISP_E_EXCEPTION;
            break;
        }
        // The whole block is read before any of it is written.
        if (FAILED(result = tree.Parse(parser)))
            break;
        if (!registering) {
            if (FAILED(result = Unregister(tree, root)))
                break;
        } else if (FAILED(result = Register(tree, root))) {
            Unregister(tree, root);
            break;
        }
        parser.SkipSpace();
    }
    CoTaskMemFree(expanded);
    return result;
}

HRESULT RunScriptResource(Registrar* registrar, LPCWSTR modulePath, UINT id, LPCWSTR type,
                          bool registering) noexcept {
    const AnsiPath ansiType(type);
    if (!ansiType.Text())
        return E_OUTOFMEMORY;
    // The module's own file, opened again as data. Its name goes to the platform in the
    // platform's code page, whatever the thread's.
    char ansiPath[MAX_PATH];
    if (!modulePath || !ToPlatformAnsi(modulePath, ansiPath))
        return HRESULT_FROM_WIN32(ERROR_NO_UNICODE_TRANSLATION);
    UniqueLibrary data(LoadLibraryExA(ansiPath, nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (!data)
        return HResultFromLastError();
    const HRSRC resource = FindResourceA(data.Get(), MAKEINTRESOURCEA(LOWORD(id)), ansiType.Text());
    if (!resource)
        return HResultFromLastError();
    const HGLOBAL loaded = LoadResource(data.Get(), resource);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes)
        return HResultFromLastError();
    const int size = static_cast<int>(SizeofResource(data.Get(), resource));
    ScratchBuffer<char, 1024> text(size + 1);
    if (!text.Get())
        return E_OUTOFMEMORY;
    CopyMemory(text.Get(), bytes, size);
    text.Get()[size] = 0;
    ScriptLexer parser(registrar);
    return RunScriptText(parser, text.Get(), registering);
}

HRESULT RunRegistryScript(ReplacementSource* common, HINSTANCE module, UINT id, bool registering,
                          const ReplacementVariable* extra) noexcept {
    Registrar registrar;
    for (const ReplacementVariable* variable = extra; variable && variable->name; ++variable)
        registrar.AddVariable(variable->name, variable->value);
    HRESULT result = common->AddCommonReplacements(&registrar);
    if (FAILED(result))
        return result;

    wchar_t widePath[MAX_PATH];
    if (FAILED(result = GetModulePathW(module, widePath)))
        return result;
    // Doubled quotes undo themselves inside the script's quoted '%MODULE%'.
    wchar_t escaped[kEscapedPathUnits];
    DoubleSingleQuotes(escaped, widePath);
    wchar_t quoted[kEscapedPathUnits + 2];
    const wchar_t* moduleValue = escaped;
    if (!module || module == GetModuleHandleA(nullptr)) {
        if (FAILED(result = StringCchPrintfW(quoted, ARRAYSIZE(quoted), L"\"%s\"", escaped)))
            return result;
        moduleValue = quoted;
    }
    if (FAILED(result = registrar.AddVariable(L"Module", moduleValue)) ||
        FAILED(result = registrar.AddVariable(L"Module_Raw", escaped)))
        return result;
    return RunScriptResource(&registrar, widePath, id, L"REGISTRY", registering);
}
