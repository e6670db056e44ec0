#include "support/Policy.h"
#include "support/DriveLetters.h"
#include "support/KeyHandle.h"

namespace {

// Software\Policies is one key for both registry views; the native view is asked for all the
// same, as the rest of the machine's settings are read.
const REGSAM kRead = KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS | KEY_WOW64_64KEY;
// Group Policy numbers a list's values from 1; more values than letters are never needed.
const DWORD kMostListValues = 64;

// The policy key of each scope, the machine's first.
struct Scopes {
    KeyHandle keys[2];
    Scopes() noexcept {
        keys[0].Open(HKEY_LOCAL_MACHINE, Policy::kKey, kRead);
        keys[1].Open(HKEY_CURRENT_USER, Policy::kKey, kRead);
    }
};

Policy::Switch ReadSwitch(HKEY key, const wchar_t* name) {
    if (!key)
        return Policy::Switch::NotConfigured;
    DWORD value = 0;
    DWORD size = sizeof(value);
    DWORD type = REG_NONE;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof(value) || value > 1)
        return Policy::Switch::NotConfigured;
    return value == 1 ? Policy::Switch::On : Policy::Switch::Off;
}

Policy::Switch FirstSwitch(const Scopes& scopes, const wchar_t* name) {
    for (const KeyHandle& key : scopes.keys) {
        const Policy::Switch value = ReadSwitch(key.Get(), name);
        if (value != Policy::Switch::NotConfigured)
            return value;
    }
    return Policy::Switch::NotConfigured;
}

// The drive a list value names: "H", "H:" or "H:\" in either case; 0 for anything else.
int LetterOf(const wchar_t* text, DWORD units) {
    const int drive = units ? DriveLetters::FromLetter(text[0]) : 0;
    if (units == 1 || (units == 2 && text[1] == L':') ||
        (units == 3 && text[1] == L':' && text[2] == L'\\'))
        return drive;
    return 0;
}

// The letters a scope's list names; false when the scope has no list.
bool ReadLetters(HKEY policies, DWORD& letters) {
    KeyHandle list;
    if (!policies || list.Open(policies, Policy::kReservedLettersKey, KEY_QUERY_VALUE))
        return false;
    letters = 0;
    for (DWORD i = 0; i < kMostListValues; ++i) {
        wchar_t name[16];
        DWORD nameUnits = ARRAYSIZE(name);
        wchar_t text[8] = {};
        DWORD size = sizeof(text) - sizeof(wchar_t);
        DWORD type = REG_NONE;
        const LONG result = RegEnumValueW(list.Get(), i, name, &nameUnits, nullptr, &type,
                                          reinterpret_cast<BYTE*>(text), &size);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        if (result != ERROR_SUCCESS || type != REG_SZ)
            continue;
        DWORD units = size / sizeof(wchar_t);
        while (units && !text[units - 1])
            --units;
        if (const int drive = LetterOf(text, units))
            letters |= 1u << (drive - 1);
    }
    return true;
}

DWORD FirstLetters(const Scopes& scopes) {
    DWORD letters = 0;
    for (const KeyHandle& key : scopes.keys)
        if (ReadLetters(key.Get(), letters))
            return letters;
    return 0;
}

} // namespace

namespace Policy {

Switch RestoreAtSignIn() noexcept {
    return FirstSwitch(Scopes(), kRestoreValue);
}

Switch OfferDrivesForEveryUser() noexcept {
    return FirstSwitch(Scopes(), kMachineDrivesValue);
}

Switch HideMenuCommands() noexcept {
    return FirstSwitch(Scopes(), kHideCommandsValue);
}

DWORD ReservedLetters() noexcept {
    return FirstLetters(Scopes());
}

Menu ForMenu() noexcept {
    const Scopes scopes;
    Menu menu;
    menu.hidden = FirstSwitch(scopes, kHideCommandsValue) == Switch::On;
    if (!menu.hidden)
        menu.reserved = FirstLetters(scopes);
    return menu;
}

} // namespace Policy
