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
#include "tests/hosts/shell-host/HostSupport.h"
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

// Explorer's cycle for one command: title and icon, the state asked fast and then, if the
// command asks for it, slowly, the flags.
void PrintCommand(IExplorerCommand* command, IShellItemArray* items) {
    LPWSTR text = nullptr;
    HRESULT result = command->GetTitle(items, &text);
    printf("title: %s\n", Taken(result, text).c_str());
    result = command->GetIcon(items, &text);
    printf("icon: %s\n", Taken(result, text).c_str());
    EXPCMDSTATE state = ECS_HIDDEN;
    result = command->GetState(items, FALSE, &state);
    if (result == E_PENDING) {
        printf("state (fast): pending\n");
        result = command->GetState(items, TRUE, &state);
    }
    printf("state: 0x%08lX %s\n", result,
           state == ECS_ENABLED  ? "enabled"
           : state == ECS_HIDDEN ? "hidden"
                                 : "other");
    EXPCMDFLAGS flags = 0;
    command->GetFlags(&flags);
    printf("flags: 0x%lX\n", static_cast<unsigned long>(flags));
}

IShellItemArray* ItemsFor(const wchar_t* path) {
    IShellItem* item = nullptr;
    IShellItemArray* items = nullptr;
    if (SUCCEEDED(SHCreateItemFromParsingName(path, nullptr, IID_IShellItem,
                                              reinterpret_cast<void**>(&item)))) {
        SHCreateShellItemArrayFromShellItem(item, IID_IShellItemArray,
                                            reinterpret_cast<void**>(&items));
        item->Release();
    }
    return items;
}

// Runs the letter subcommand whose title ends in the letter and its colon, as "Drive (Q:)".
int InvokeLetter(IExplorerCommand* command, IShellItemArray* items, const std::string& invoke) {
    int status = 0;
    IEnumExplorerCommand* letters = nullptr;
    if (FAILED(command->EnumSubCommands(&letters)))
        return status;
    IExplorerCommand* letter = nullptr;
    while (letters->Next(1, &letter, nullptr) == S_OK) {
        LPWSTR text = nullptr;
        HRESULT result = letter->GetTitle(items, &text);
        const std::string title = Taken(result, text);
        result = letter->GetToolTip(items, &text);
        printf("  %s    -- %s\n", title.c_str(), Taken(result, text).c_str());
        const size_t colon = title.rfind(':');
        if (!invoke.empty() && colon != std::string::npos && colon > 0 &&
            (title[colon - 1] & ~0x20) == (invoke[0] & ~0x20)) {
            const host::BoxCloser boxes;
            result = letter->Invoke(items, nullptr);
            printf("  Invoke(%c:): 0x%08lX\n", title[colon - 1], result);
            status = FAILED(result) ? 1 : 0;
        }
        letter->Release();
    }
    letters->Release();
    return status;
}

} // namespace

int host::RunExplorerCommand(bool cocreate, const wchar_t* path, const std::string& invoke) {
    const bool deleting = invoke == "delete";
    IExplorerCommand* command = nullptr;
    HRESULT result =
        MakeObject(cocreate, deleting ? kExplorerDeleteCommandClass : kExplorerCommandClass,
                   __uuidof(IExplorerCommand), reinterpret_cast<void**>(&command));
    if (FAILED(result)) {
        fprintf(stderr, "cannot make the Explorer command: 0x%08lX\n", result);
        return 1;
    }
    PrintServer();
    IShellItemArray* items = ItemsFor(path);
    if (!items) {
        fprintf(stderr, "no shell item for %s\n", Utf8(path).c_str());
        command->Release();
        return 1;
    }
    PrintCommand(command, items);
    int status = 0;
    if (deleting) {
        const BoxCloser boxes;
        result = command->Invoke(items, nullptr);
        printf("Invoke: 0x%08lX\n", result);
        status = FAILED(result) ? 1 : 0;
    } else {
        status = InvokeLetter(command, items, invoke);
    }
    fflush(stdout);
    items->Release();
    command->Release();
    return status;
}
