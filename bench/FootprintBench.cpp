// What Lanterwell.dll costs a host to keep: its size and imports, the heap bytes of a live
// object, and a long run of context-menu cycles with the process's handles, USER objects
// and private bytes read before and after.
#include <windows.h>
#include <psapi.h>
#include <shlobj.h>
#include <string>
#include <vector>
#include "bench/BenchSupport.h"
#include "bench/MenuCycle.h"
#include "tests/hosts/shell-host/DropDataObject.h"

namespace {

std::vector<BYTE> ReadFileBytes(const std::string& path) {
    std::vector<BYTE> bytes;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    bytes.resize(GetFileSize(file, nullptr));
    DWORD read = 0;
    ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    CloseHandle(file);
    return bytes;
}

std::string Imports(const std::vector<BYTE>& image) {
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image.data());
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(image.data() + dos->e_lfanew);
    const IMAGE_SECTION_HEADER* sections = IMAGE_FIRST_SECTION(nt);
    auto at = [&](DWORD rva) -> const BYTE* {
        for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i)
            if (rva >= sections[i].VirtualAddress &&
                rva < sections[i].VirtualAddress + sections[i].Misc.VirtualSize)
                return image.data() + sections[i].PointerToRawData +
                       (rva - sections[i].VirtualAddress);
        return nullptr;
    };
    std::string list;
    const auto* import = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(
        at(nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress));
    for (; import && import->Name; ++import)
        list +=
            std::string(list.empty() ? "" : ", ") + reinterpret_cast<const char*>(at(import->Name));
    return list;
}

SIZE_T HeapBytesInUse() {
    SIZE_T total = 0;
    PROCESS_HEAP_ENTRY entry = {};
    HeapLock(GetProcessHeap());
    while (HeapWalk(GetProcessHeap(), &entry))
        if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY)
            total += entry.cbData;
    HeapUnlock(GetProcessHeap());
    return total;
}

// Committed private memory, walked region by region: what the process keeps for itself.
SIZE_T CommittedPrivateBytes() {
    SIZE_T total = 0;
    MEMORY_BASIC_INFORMATION region = {};
    for (const BYTE* address = nullptr;
         VirtualQuery(address, &region, sizeof(region)) == sizeof(region);
         address = static_cast<const BYTE*>(region.BaseAddress) + region.RegionSize) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE)
            total += region.RegionSize;
        if (static_cast<const BYTE*>(region.BaseAddress) + region.RegionSize < address)
            break;
    }
    return total;
}

struct Counters {
    DWORD handles = 0;
    DWORD userObjects = 0;
    SIZE_T privateBytes = 0;
    SIZE_T committed = 0;
    SIZE_T heap = 0;
};

Counters Read() {
    Counters counters;
    GetProcessHandleCount(GetCurrentProcess(), &counters.handles);
    counters.userObjects = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    PROCESS_MEMORY_COUNTERS_EX memory = {};
    memory.cb = sizeof(memory);
    if (GetProcessMemoryInfo(GetCurrentProcess(),
                             reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof(memory)))
        counters.privateBytes = memory.PrivateUsage;
    counters.committed = CommittedPrivateBytes();
    counters.heap = HeapBytesInUse();
    return counters;
}

std::string Row(const char* what, const std::string& value) {
    return std::string("| ") + what + " | " + value + " |";
}

} // namespace

int main(int argc, char** argv) {
    const bench::Options options(argc, argv);
    const std::string folder = bench::Folder();
    const std::string module = folder + "Lanterwell.dll";
    const std::vector<BYTE> image = ReadFileBytes(module);

    IClassFactory* factory = bench::ShellExtensionClassObject(folder);
    if (!factory) {
        fprintf(stderr, "Lanterwell.dll not usable\n");
        return 1;
    }

    // Heap bytes per live object: many objects alive at once, the heap read before and after.
    const int live = options.quick ? 10 : 1000;
    std::vector<IContextMenu*> objects(live);
    const SIZE_T heapBefore = HeapBytesInUse();
    for (IContextMenu*& object : objects)
        factory->CreateInstance(nullptr, IID_IContextMenu, reinterpret_cast<void**>(&object));
    const SIZE_T heapAlive = HeapBytesInUse();
    for (IContextMenu* object : objects)
        object->Release();

    // The soak: many cycles, the counters read after a warm-up and at the end.
    host::DropDataObject data({folder.substr(0, folder.size() - 1)});
    const int cycles = options.quick ? 200 : 100000;
    for (int i = 0; i < 100; ++i)
        bench::MenuCycle(factory, data, 1);
    const Counters before = Read();
    for (int i = 0; i < cycles; ++i)
        bench::MenuCycle(factory, data, 1);
    const Counters after = Read();
    factory->Release();

    bench::Table table("Footprint and soak", "No figure may grow over the soak.");
    table.Note("| figure | value |");
    table.Note("|---|---|");
    // A host loads it into every process that shows a folder's menu: it stays within 96 KiB.
    const size_t kMostBytes = 96 * 1024;
    table.Note(Row("Lanterwell.dll size",
                   std::to_string(image.size()) + " bytes, limit " + std::to_string(kMostBytes) +
                       (image.size() <= kMostBytes ? ": holds" : ": exceeded")));
    table.Note(Row("imports", Imports(image)));
    table.Note(Row("heap bytes per live object", std::to_string((heapAlive - heapBefore) / live) +
                                                     " (" + std::to_string(live) + " objects)"));
    auto change = [](SIZE_T from, SIZE_T to) {
        return std::to_string(from) + " → " + std::to_string(to) + " (" + (to >= from ? "+" : "-") +
               std::to_string(to >= from ? to - from : from - to) + ")";
    };
    const std::string soak = " over " + std::to_string(cycles) + " cycles";
    table.Note(Row(("handles" + soak).c_str(),
                   before.handles || after.handles
                       ? change(before.handles, after.handles)
                       : "not reported by Wine (GetProcessHandleCount answers 0)"));
    table.Note(Row(("USER objects" + soak).c_str(),
                   before.userObjects || after.userObjects
                       ? change(before.userObjects, after.userObjects)
                       : "not reported by Wine (GetGuiResources answers 0)"));
    table.Note(
        Row(("private bytes" + soak).c_str(), before.privateBytes || after.privateBytes
                                                  ? change(before.privateBytes, after.privateBytes)
                                                  : "not reported by Wine"));
    table.Note(Row(("committed private memory" + soak).c_str(),
                   change(before.committed, after.committed)));
    table.Note(Row(("process heap in use" + soak).c_str(), change(before.heap, after.heap)));
    table.Emit(options.markdown);
    return 0;
}
