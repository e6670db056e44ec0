#pragma once
#include <windows.h>
#include "registrar/ReplacementSource.h"
#include "registrar/ScriptLexer.h"

class Registrar;

// One extra replacement variable; a list of them ends with a null name.
struct ReplacementVariable {
    LPCWSTR name;
    LPCWSTR value;
};

// Runs the "REGISTRY" resource with the given ID from the server module's own file,
// registering or unregistering, with "Module", "Module_Raw", the common variables and the
// extras.
HRESULT RunRegistryScript(ReplacementSource* common, HINSTANCE module, UINT id, bool registering,
                          const ReplacementVariable* extra) noexcept;

HRESULT RunScriptResource(Registrar* registrar, LPCWSTR modulePath, UINT id, LPCWSTR type,
                          bool registering) noexcept;
// Expands the text, then walks its root blocks; a root block whose registration fails is
// rolled back by unregistering it.
HRESULT RunScriptText(ScriptLexer& parser, const char* text, bool registering) noexcept;
// On success the expanded text is the caller's, to free with CoTaskMemFree.
HRESULT ExpandVariables(ScriptLexer& parser, const char* text, char** expanded) noexcept;
// Copies a path and doubles every single quote in it; the destination holds 520 units.
void DoubleSingleQuotes(wchar_t* destination, const wchar_t* source) noexcept;
