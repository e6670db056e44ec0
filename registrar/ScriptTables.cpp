#include "registrar/ScriptTables.h"

namespace {

struct RootKeyRow {
    const char* name;
    HKEY key;
};

// "HKDD" comes before "HKCC", as in every table of this language.
const RootKeyRow kRootKeys[] = {
    {"HKCR", HKEY_CLASSES_ROOT},
    {"HKCU", HKEY_CURRENT_USER},
    {"HKLM", HKEY_LOCAL_MACHINE},
    {"HKU", HKEY_USERS},
    {"HKPD", HKEY_PERFORMANCE_DATA},
    {"HKDD", HKEY_DYN_DATA},
    {"HKCC", HKEY_CURRENT_CONFIG},
    {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
    {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
    {"HKEY_USERS", HKEY_USERS},
    {"HKEY_PERFORMANCE_DATA", HKEY_PERFORMANCE_DATA},
    {"HKEY_DYN_DATA", HKEY_DYN_DATA},
    {"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
};

struct ValueTypeRow {
    const char* letter;
    VARTYPE type;
};

const ValueTypeRow kValueTypes[] = {
    {"S", VT_BSTR},
    {"M", VT_BSTR | VT_BYREF},
    {"D", VT_UI4},
    {"B", VT_UI1},
};

const char* const kProtectedKeyNames[] = {
    "AppID",    "CLSID",     "Component Categories",
    "FileType", "Interface", "Hardware",
    "Mime",     "SAM",       "SECURITY",
    "SYSTEM",   "Software",  "TypeLib",
};

bool SameName(const char* a, const char* b) {
    return lstrcmpiA(a, b) == 0;
}

} // namespace

HKEY RootKeyFromName(const char* token) noexcept {
    for (const RootKeyRow& row : kRootKeys)
        if (SameName(token, row.name))
            return row.key;
    return nullptr;
}

bool ValueTypeFromLetter(const char* token, VARTYPE& type) noexcept {
    for (const ValueTypeRow& row : kValueTypes) {
        if (SameName(token, row.letter)) {
            type = row.type;
            return true;
        }
    }
    return false;
}

bool IsProtectedKeyName(const char* name) noexcept {
    for (const char* protectedName : kProtectedKeyNames)
        if (SameName(name, protectedName))
            return true;
    return false;
}
