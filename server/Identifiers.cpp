#include "server/Identifiers.h"
#include "LanterwellIds.h"

const CLSID CLSID_ShellExtension = LANTERWELL_CLSID_SHELL_EXTENSION_INIT;
const GUID LIBID_LanterwellLib = LANTERWELL_LIBID_LANTERWELL_INIT;

const wchar_t kAppIdText[] = LANTERWELL_APPID_LANTERWELL_WIDE;
const char kShellExtensionClassIdText[] = LANTERWELL_CLSID_SHELL_EXTENSION_TEXT;
