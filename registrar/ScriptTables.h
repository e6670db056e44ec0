#pragma once
#include <windows.h>
#include <oaidl.h>

// The predefined key a root key name stands for; null when it names none.
HKEY RootKeyFromName(const char* token) noexcept;
// The value type code of a type letter (S, M, D, B); false leaves the code untouched.
bool ValueTypeFromLetter(const char* token, VARTYPE& type) noexcept;
// Keys that ForceRemove and Delete never delete, at any depth.
bool IsProtectedKeyName(const char* name) noexcept;
