// The shell host's Explorer command mode: the command as Windows 11's Explorer drives it, for
// a shell item array made from one path.
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0600
#undef _WIN32_IE
#define _WIN32_IE 0x0700
#include <windows.h>
#include <shlobj.h>
#include <stdio.h>
#include <string>
#include "tools/shell-host/HostSupport.h"
#include "LanterwellIds.h"

namespace {

const CLSID kExplorerCommandClass = LANTERWELL_CLSID_EXPLORER_COMMAND_INIT;
const CLSID kExplorerDeleteCommandClass = LANTERWELL_CLSID_EXPLORER_DELETE_COMMAND_INIT;

// A text the command allocated, printed and freed.
std::string Taken(HRESULT result, LPWSTR text) {
    std::string printed = SUCCEEDED(result) && text ? host::Utf8(text) : "-";
    CoTaskMemFree(text);
    return printed;
}

} // namespace

int host::RunExplorerCommand(bool cocreate, const std::string& path, const std::string& invoke) {
    IExplorerCommand* command = nullptr;
    HRESULT result = MakeObject(cocreate, kExplorerCommandClass, __uuidof(IExplorerCommand),
                                reinterpret_cast<void**>(&command));
    if (FAILED(result)) {
        fprintf(stderr, "cannot make the Explorer command: 0x%08lX\n", result);
        return 1;
    }
    PrintServer();
    wchar_t widePath[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, widePath, MAX_PATH);
    IShellItem* item = nullptr;
    IShellItemArray* items = nullptr;
    result = SHCreateItemFromParsingName(widePath, nullptr, IID_IShellItem,
                                         reinterpret_cast<void**>(&item));
    if (SUCCEEDED(result)) {
        result = SHCreateShellItemArrayFromShellItem(item, IID_IShellItemArray,
                                                     reinterpret_cast<void**>(&items));
        item->Release();
    }
    if (FAILED(result)) {
        fprintf(stderr, "no shell item for %s: 0x%08lX\n", path.c_str(), result);
        command->Release();
        return 1;
    }

    LPWSTR text = nullptr;
    result = command->GetTitle(items, &text);
    printf("title: %s\n", Taken(result, text).c_str());
    result = command->GetIcon(items, &text);
    printf("icon: %s\n", Taken(result, text).c_str());
    EXPCMDSTATE state = ECS_HIDDEN;
    result = command->GetState(items, TRUE, &state);
    printf("state: 0x%08lX %s\n", result,
           state == ECS_ENABLED  ? "enabled"
           : state == ECS_HIDDEN ? "hidden"
                                 : "other");
    EXPCMDFLAGS flags = 0;
    command->GetFlags(&flags);
    printf("flags: 0x%lX\n", static_cast<unsigned long>(flags));

    int status = 0;
    IEnumExplorerCommand* letters = nullptr;
    if (SUCCEEDED(command->EnumSubCommands(&letters))) {
        IExplorerCommand* letter = nullptr;
        while (letters->Next(1, &letter, nullptr) == S_OK) {
            result = letter->GetTitle(items, &text);
            const std::string title = Taken(result, text);
            result = letter->GetToolTip(items, &text);
            printf("  %s    -- %s\n", title.c_str(), Taken(result, text).c_str());
            // The title ends in the letter and its colon, as "Drive (Q:)".
            const size_t colon = title.rfind(':');
            if (!invoke.empty() && colon != std::string::npos && colon > 0 &&
                (title[colon - 1] & ~0x20) == (invoke[0] & ~0x20)) {
                const BoxCloser boxes;
                result = letter->Invoke(items, nullptr);
                printf("  Invoke(%c:): 0x%08lX\n", title[colon - 1], result);
                status = FAILED(result) ? 1 : 0;
            }
            letter->Release();
        }
        letters->Release();
    }
    fflush(stdout);
    items->Release();
    command->Release();
    return status;
}
