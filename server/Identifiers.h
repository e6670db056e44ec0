#pragma once
#include <windows.h>

// The server's identifiers, as cmake/Identifiers.cmake defines them.
extern const CLSID CLSID_ShellExtension;
extern const GUID LIBID_LanterwellLib;

extern const wchar_t kAppIdText[];              // the server's AppID, in braces
extern const char kShellExtensionClassIdText[]; // the class ID, in braces, upper case
