#pragma once
#include <windows.h>

// The links WoW64 makes in the registry's 32-bit view, and where they may be: the rule that
// tells the platform's own links from planted ones.

// A key's full name in the registry's own namespace ("\\REGISTRY\\MACHINE\\..."), as the
// platform gives it: not terminated.
struct KeyNameText {
    const wchar_t* text;
    int units;
};

// Whether two key names are one, as the registry compares them: unit by unit, without regard to
// case by its own upper-case table, with no linguistic rule (a soft hyphen counts; the Kelvin
// sign is not "K").
bool SameKeyName(KeyNameText one, KeyNameText other) noexcept;

// Whether a link is one WoW64 makes: it lies in the 32-bit view's own node of a key the view
// redirects (HKLM\SOFTWARE, or the machine's or a user's classes) and reaches the key of the
// same name where the documented list of keys both views share puts one; or it is the
// documented link from HKLM\SOFTWARE\Wow6432Node\Classes to the classes' own view node. Any
// other link, whatever its shape, was planted.
bool IsPlatformViewLink(KeyNameText link, KeyNameText target) noexcept;

// Whether the subkeys of a key may be the platform's view links: anywhere in a WOW64 process,
// elsewhere only below the view's own node. `aboveMay` is the answer for the key's parent;
// `name` is the key's own, null for a root key.
bool ViewLinksBelow(bool aboveMay, const char* name) noexcept;
