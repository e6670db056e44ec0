#pragma once
#include <windows.h>

// The server's identifiers.
extern const CLSID CLSID_ShellExtension; // {5B1D7E20-3C44-4A8F-9E61-2F0A7C9D4B13}
extern const GUID LIBID_LanterwellLib;   // {3E9F4C61-0B7A-4D25-A8C3-7F16E2B9D054}

extern const wchar_t kAppIdText[];              // the server's AppID, in braces
extern const char kShellExtensionClassIdText[]; // the class ID, in braces, upper case
