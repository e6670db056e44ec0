// The Windows Installer packages' custom action that keeps the shared keys the package writes
// in. Windows Installer deletes a key that its removal of a value leaves empty, and each empty
// parent; Explorer, the sign-in programs and the DLL's own registration (which opens the
// approved list and never creates it) rely on these keys. It runs deferred, as the system,
// after the package's values are gone. Its data names the keys below HKEY_LOCAL_MACHINE, each
// with the registry view it is in: "64:KEY;32:KEY".
#include <windows.h>
#include <msiquery.h>
#include <wchar.h>

#include "support/KeyHandle.h"

namespace {

// Every key the package keeps, in both views, with room to spare.
const DWORD kDataLength = 4096;

// Makes the key of one entry ("64:KEY" or "32:KEY"), if it is gone; what is there stays as
// it is.
LONG Keep(const wchar_t* entry) {
    const bool view64 = wcsncmp(entry, L"64:", 3) == 0;
    if (!view64 && wcsncmp(entry, L"32:", 3) != 0)
        return ERROR_INVALID_DATA;
    KeyHandle key;
    return key.Create(HKEY_LOCAL_MACHINE, entry + 3,
                      KEY_QUERY_VALUE | (view64 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY));
}

} // namespace

extern "C" __declspec(dllexport) UINT __stdcall KeepSharedKeys(MSIHANDLE install) {
    wchar_t data[kDataLength] = {};
    DWORD length = ARRAYSIZE(data);
    if (MsiGetPropertyW(install, L"CustomActionData", data, &length) != ERROR_SUCCESS)
        return ERROR_INSTALL_FAILURE;
    UINT result = ERROR_SUCCESS;
    for (wchar_t* entry = data; *entry;) {
        wchar_t* end = entry + wcscspn(entry, L";");
        const bool last = *end == L'\0';
        *end = L'\0';
        if (Keep(entry) != ERROR_SUCCESS)
            result = ERROR_INSTALL_FAILURE;
        entry = last ? end : end + 1;
    }
    return result;
}
