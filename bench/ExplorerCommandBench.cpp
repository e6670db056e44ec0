// The cost of a right-click in Windows 11's compact menu: Explorer's whole cycle over
// Lanterwell's Explorer command against the same calls on a command of constants that does
// only the platform work the cycle cannot avoid.
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0600
#undef _WIN32_IE
#define _WIN32_IE 0x0700
#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <string>
#include "support/Policy.h"
#include "LanterwellIds.h"
#include "bench/BenchSupport.h"

namespace {

const CLSID kExplorerCommandClass = LANTERWELL_CLSID_EXPLORER_COMMAND_INIT;

// A command of constants; the group's state takes the selection's path, SUBST.DLL and the
// path's and the drives' state from the platform, as any such command must.
class FloorCommand final : public IExplorerCommand, public IEnumExplorerCommand {
public:
    FloorCommand(const std::string& subst, bool group, DWORD letters)
        : m_subst(subst), m_group(group), m_letters(letters) {}
    ~FloorCommand() {
        if (m_library)
            FreeLibrary(m_library);
    }
    STDMETHODIMP QueryInterface(REFIID, void** ppv) override {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_count; }
    STDMETHODIMP_(ULONG) Release() override {
        const ULONG count = --m_count;
        if (count == 0)
            delete this;
        return count;
    }
    STDMETHODIMP GetTitle(IShellItemArray*, LPWSTR* name) override {
        return SHStrDupW(m_group ? L"Create virtual drive" : L"Drive (Q:)", name);
    }
    STDMETHODIMP GetIcon(IShellItemArray*, LPWSTR* icon) override {
        return SHStrDupW(L"C:\\Lanterwell\\Lanterwell.dll,-1", icon);
    }
    STDMETHODIMP GetToolTip(IShellItemArray*, LPWSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP GetCanonicalName(GUID*) override { return E_NOTIMPL; }
    STDMETHODIMP GetState(IShellItemArray* items, BOOL slow, EXPCMDSTATE* state) override {
        *state = ECS_ENABLED;
        if (!m_group)
            return S_OK;
        if (!slow)
            return E_PENDING;
        IShellItem* item = nullptr;
        LPWSTR path = nullptr;
        if (SUCCEEDED(items->GetItemAt(0, &item))) {
            item->GetDisplayName(SIGDN_FILESYSPATH, &path);
            item->Release();
        }
        if (!m_library) {
            m_library = LoadLibraryA(m_subst.c_str());
            GetProcAddress(m_library, "CreateSubst");
            GetProcAddress(m_library, "QuerySubst");
            GetProcAddress(m_library, "DeleteSubst");
        }
        if (path && !PathIsUNCW(path) && !PathIsDirectoryW(path))
            PathIsRootW(path);
        // The administrator's policies, asked of both scopes (none is set here).
        for (HKEY scope : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
            HKEY policies = nullptr;
            if (RegOpenKeyExW(scope, Policy::kKey, 0, KEY_QUERY_VALUE, &policies) == ERROR_SUCCESS)
                RegCloseKey(policies);
        }
        GetLogicalDrives();
        CoTaskMemFree(path);
        return S_OK;
    }
    STDMETHODIMP Invoke(IShellItemArray*, IBindCtx*) override { return E_NOTIMPL; }
    STDMETHODIMP GetFlags(EXPCMDFLAGS* flags) override {
        *flags = m_group ? ECF_HASSUBCOMMANDS : ECF_DEFAULT;
        return S_OK;
    }
    STDMETHODIMP EnumSubCommands(IEnumExplorerCommand** letters) override {
        *letters = new FloorCommand(m_subst, false, GetLogicalDrives());
        return S_OK;
    }
    // The enumerator of the letters' commands.
    STDMETHODIMP Next(ULONG, IExplorerCommand** command, ULONG* fetched) override {
        while (m_next < LANTERWELL_LETTER_COUNT && (m_letters & (1u << m_next)))
            ++m_next;
        if (fetched)
            *fetched = m_next < LANTERWELL_LETTER_COUNT ? 1 : 0;
        if (m_next++ >= LANTERWELL_LETTER_COUNT)
            return S_FALSE;
        *command = new FloorCommand(m_subst, false, 0);
        return S_OK;
    }
    STDMETHODIMP Skip(ULONG) override { return E_NOTIMPL; }
    STDMETHODIMP Reset() override { return E_NOTIMPL; }
    STDMETHODIMP Clone(IEnumExplorerCommand**) override { return E_NOTIMPL; }

private:
    std::string m_subst;
    bool m_group;
    DWORD m_letters;
    UINT m_next = 0;
    ULONG m_count = 1;
    HMODULE m_library = nullptr;
};

// Explorer's cycle: the state (fast, then slow when asked), the title and the icon, every
// letter's title and state, and the release of everything.
void Cycle(IExplorerCommand* command, IShellItemArray* items) {
    EXPCMDSTATE state = ECS_HIDDEN;
    if (command->GetState(items, FALSE, &state) == E_PENDING)
        command->GetState(items, TRUE, &state);
    LPWSTR text = nullptr;
    if (SUCCEEDED(command->GetTitle(items, &text)))
        CoTaskMemFree(text);
    if (SUCCEEDED(command->GetIcon(items, &text)))
        CoTaskMemFree(text);
    IEnumExplorerCommand* letters = nullptr;
    if (SUCCEEDED(command->EnumSubCommands(&letters))) {
        IExplorerCommand* letter = nullptr;
        while (letters->Next(1, &letter, nullptr) == S_OK) {
            if (SUCCEEDED(letter->GetTitle(items, &text)))
                CoTaskMemFree(text);
            letter->GetState(items, FALSE, &state);
            letter->Release();
        }
        letters->Release();
    }
    command->Release();
}

IShellItemArray* ItemsFor(const std::string& path) {
    wchar_t wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
    IShellItem* item = nullptr;
    IShellItemArray* items = nullptr;
    if (SUCCEEDED(SHCreateItemFromParsingName(wide, nullptr, __uuidof(IShellItem),
                                              reinterpret_cast<void**>(&item)))) {
        SHCreateShellItemArrayFromShellItem(item, __uuidof(IShellItemArray),
                                            reinterpret_cast<void**>(&items));
        item->Release();
    }
    return items;
}

IClassFactory* ExplorerCommandClassObject(const std::string& folder) {
    HMODULE server = LoadLibraryA((folder + "Lanterwell.dll").c_str());
    using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    auto getClassObject = reinterpret_cast<GetClassObject>(
        reinterpret_cast<void*>(GetProcAddress(server, "DllGetClassObject")));
    IClassFactory* factory = nullptr;
    if (getClassObject)
        getClassObject(kExplorerCommandClass, IID_IClassFactory,
                       reinterpret_cast<void**>(&factory));
    return factory;
}

void Measure(bench::Table& table, const char* name, IClassFactory* factory,
             const std::string& subst, const std::string& path, int rounds, int iterations) {
    IShellItemArray* items = ItemsFor(path);
    if (!items) {
        table.Note(std::string("No shell item for ") + path + ": not measured.");
        return;
    }
    auto run = bench::Compare(
        rounds, iterations,
        [&] {
            IExplorerCommand* command = nullptr;
            factory->CreateInstance(nullptr, __uuidof(IExplorerCommand),
                                    reinterpret_cast<void**>(&command));
            Cycle(command, items);
        },
        [&] { Cycle(new FloorCommand(subst, true, 0), items); });
    table.Row(name, run, 1.15);
    items->Release();
}

} // namespace

int main(int argc, char** argv) {
    const bench::Options options(argc, argv);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const std::string folder = bench::Folder();
    IClassFactory* factory = ExplorerCommandClassObject(folder);
    if (!factory) {
        fprintf(stderr, "Lanterwell.dll not usable\n");
        return 1;
    }
    const std::string subst = folder + "SUBST.DLL";
    const std::string mapped = folder + "mapped";
    CreateDirectoryA(mapped.c_str(), nullptr);
    char letter = 0;
    for (char candidate = 'Z'; candidate > 'D' && !letter; --candidate) {
        const char drive[] = {candidate, ':', 0};
        if (!(GetLogicalDrives() & (1u << (candidate - 'A'))) &&
            DefineDosDeviceA(0, drive, mapped.c_str()))
            letter = candidate;
    }
    const int rounds = options.quick ? 1 : 15;
    const int iterations = options.quick ? 5 : 200;
    bench::Table table("Explorer command cycle",
                       "CreateInstance, GetState (fast, then slow), GetTitle, GetIcon, "
                       "EnumSubCommands and every letter's GetTitle and GetState, Release; "
                       "floor: the same calls on a command of constants doing the platform "
                       "work (the item's path, SUBST.DLL, the path and drive tests); target: "
                       "at most 1.15 × the floor.");
    Measure(table, "folder", factory, subst, mapped, rounds, iterations);
    if (letter) {
        const std::string root = std::string(1, letter) + ":\\";
        Measure(table, ("virtual drive root " + root).c_str(), factory, subst, root, rounds,
                iterations);
        const char drive[] = {letter, ':', 0};
        DefineDosDeviceA(DDD_REMOVE_DEFINITION, drive, nullptr);
    } else {
        table.Note("No free letter to map: the drive-root case was not measured.");
    }
    table.Emit(options.markdown);
    factory->Release();
    RemoveDirectoryA(mapped.c_str());
    return 0;
}
