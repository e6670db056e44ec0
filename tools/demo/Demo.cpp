// Shows what the built Lanterwell.dll carries and what SUBST.DLL does: prints the
// module's texts, then maps a folder to a free drive letter and removes the mapping.
// usage: demo FOLDER   (Lanterwell.dll and SUBST.DLL beside the program)
#include <windows.h>
#include <stdio.h>

namespace {

void PrintUtf8(const wchar_t* text, int length) {
    char utf8[1024];
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, length, utf8, sizeof(utf8), 0, 0);
    fwrite(utf8, 1, bytes, stdout);
}

HMODULE LoadBeside(const char* name, DWORD flags) {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    while (length > 0 && path[length - 1] != '\\')
        --length;
    lstrcpynA(path + length, name, MAX_PATH - length);
    return LoadLibraryExA(path, nullptr, flags);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: demo FOLDER\n");
        return 2;
    }
    HMODULE server = LoadBeside("Lanterwell.dll", LOAD_LIBRARY_AS_DATAFILE);
    if (!server) {
        fprintf(stderr, "Lanterwell.dll not found\n");
        return 1;
    }
    printf("Lanterwell.dll string table:\n");
    for (UINT id = 100; id <= 107; ++id) {
        const wchar_t* text = nullptr;
        const int length = LoadStringW(server, id, reinterpret_cast<LPWSTR>(&text), 0);
        printf("  %u  ", id);
        PrintUtf8(text, length);
        printf("\n");
    }
    FreeLibrary(server);

    HMODULE subst = LoadBeside("SUBST.DLL", 0);
    using CreateProc = int(WINAPI*)(int, const char*);
    using QueryProc = int(WINAPI*)(int, char*, int);
    using DeleteProc = int(WINAPI*)(int);
    auto create =
        reinterpret_cast<CreateProc>(reinterpret_cast<void*>(GetProcAddress(subst, "CreateSubst")));
    auto query =
        reinterpret_cast<QueryProc>(reinterpret_cast<void*>(GetProcAddress(subst, "QuerySubst")));
    auto remove =
        reinterpret_cast<DeleteProc>(reinterpret_cast<void*>(GetProcAddress(subst, "DeleteSubst")));
    if (!create || !query || !remove) {
        fprintf(stderr, "SUBST.DLL not found or incomplete\n");
        return 1;
    }
    int drive = 0;
    for (int candidate = 26; candidate >= 1 && !drive; --candidate)
        if (!(GetLogicalDrives() & (1u << (candidate - 1))))
            drive = candidate;
    const char letter = static_cast<char>('A' + drive - 1);
    printf("\nCreateSubst(%c:, %s) = %d\n", letter, argv[1], create(drive, argv[1]));
    char target[261] = {};
    const int mapped = query(drive, target, 260);
    printf("QuerySubst(%c:) = %d -> %s\n", letter, mapped, target);
    printf("DeleteSubst(%c:) = %d\n", letter, remove(drive));
    printf("QuerySubst(%c:) = %d after delete\n", letter, query(drive, target, 260));
    FreeLibrary(subst);
    return mapped;
}
