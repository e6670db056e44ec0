// Runs generated and damaged registry scripts through the interpreter, each registered then
// unregistered below a scratch key, and checks what must always hold: no crash or hang,
// nothing outside the scratch key changed, a clean script's unregistration (and failed
// registration) leaves the scratch key empty. A failing script is shrunk and written out.
//
// With --record FILE it also writes each generated script's outcome (the result codes of its
// registration and unregistration and a hash of the scratch key after each) one line a script,
// and with --compare FILE it checks that the outcomes are those of the record: the proof that
// a change to the walk changed nothing else; the scripts listed in FILE.changed (one number a
// line, '#' comments) are those whose outcome a deliberate change made different. --print N
// prints script N and stops.
//
// With --wow64, run as a 32-bit program on 64-bit Windows, the scripts take turns at four
// places of the 32-bit registry view (HKCR, HKLM\Software\Classes\CLSID and Interface,
// HKLM\Software); run as a 64-bit program, they run below a key named Wow6432Node in
// HKCU\Software. The checks cover both views: the other view's key of the same name keeps its
// plants, every other planted link reaches that key as the platform's own view links would,
// and the platform's own links are as they were at the start.
//
// usage: ScriptFuzzer [--wow64] [--seed N] [--count N] [--regressions FOLDER]
//                     [--record FILE | --compare FILE] [--print N]
#include <windows.h>
#include <objbase.h>
#include <stdio.h>
#include <string.h>
#include <string>
#include <vector>
#include <memory>
#include "fuzz/RegistrySandbox.h"
#include "fuzz/ScriptGenerator.h"
#include "LanterwellIds.h"
#include "registrar/Registrar.h"
#include "registrar/ScriptTree.h"
#include "registrar/ScriptRunner.h"
#include "support/Platform.h"
#include "tests/RegistryTree.h"

namespace {

const DWORD kWatchdogMilliseconds = 30000;

// What the watchdog and the crash filter print: the script being run.
std::string* volatile g_current = nullptr;
volatile LONG g_runStarted = 0;
volatile DWORD g_runStartTick = 0;

void PrintCurrent(const char* why) {
    fprintf(stderr, "%s while running:\n%s\n", why, g_current ? g_current->c_str() : "(none)");
    fflush(stderr);
}

DWORD WINAPI Watchdog(void*) {
    for (;;) {
        Sleep(1000);
        if (g_runStarted && GetTickCount() - g_runStartTick > kWatchdogMilliseconds) {
            PrintCurrent("HANG");
            TerminateProcess(GetCurrentProcess(), 3);
        }
    }
}

LONG WINAPI OnCrash(EXCEPTION_POINTERS* pointers) {
    fprintf(stderr, "CRASH 0x%08lX\n", pointers->ExceptionRecord->ExceptionCode);
    PrintCurrent("CRASH");
    TerminateProcess(GetCurrentProcess(), 4);
    return EXCEPTION_EXECUTE_HANDLER;
}

// The entries inside the blocks that lead to the scratch key.
std::string Wrap(const fuzz::Place& place, const std::string& entries) {
    std::string text = place.script;
    return text.replace(text.find("%s"), 2, entries);
}

HRESULT Run(const fuzz::Place& place, const std::string& entries, bool registering) {
    Registrar registrar;
    registrar.AddVariable(L"Module", L"C:\\It''s \u8868\\Lanterwell.dll");
    registrar.AddVariable(L"Module_Raw", L"C:\\It''s \u8868\\Lanterwell.dll");
    registrar.AddVariable(L"APPID", LANTERWELL_APPID_LANTERWELL_WIDE);
    registrar.AddVariable(L"Extra", L"\u30BD%");
    std::string text = Wrap(place, entries);
    g_current = &text;
    g_runStartTick = GetTickCount();
    InterlockedExchange(&g_runStarted, 1);
    ScriptLexer parser(&registrar);
    const HRESULT result = RunScriptText(parser, text.c_str(), registering);
    InterlockedExchange(&g_runStarted, 0);
    g_current = nullptr;
    return result;
}

// Whether the entries stay inside the scratch key's block: read as the walk reads them, they
// must end exactly at the block's closing brace (or be refused as malformed, which writes
// nothing). A damaged script that closes the block early would legitimately write above it.
bool Confined(const std::string& entries) {
    const std::string text = entries + "\r\n}";
    ScriptLexer lexer;
    lexer.position = text.c_str();
    ScriptTree tree;
    if (FAILED(tree.Parse(lexer)))
        return true;
    lexer.SkipSpace();
    return *lexer.position == 0;
}

// A case's outcome, as --record writes it and --compare reads it.
std::string* volatile g_outcome = nullptr;

unsigned long long Hash(const std::string& text) {
    unsigned long long hash = 14695981039346656037ull;
    for (unsigned char c : text)
        hash = (hash ^ c) * 1099511628211ull;
    return hash;
}

void NoteOutcome(HRESULT registered, const std::string& afterRegistration, HRESULT unregistered,
                 const std::string& afterUnregistration) {
    if (!g_outcome)
        return;
    char line[128];
    sprintf(line, "%08lX %016llX %08lX %016llX", static_cast<unsigned long>(registered),
            Hash(afterRegistration), static_cast<unsigned long>(unregistered),
            Hash(afterUnregistration));
    *g_outcome = line;
}

// The invariant a case broke, or an empty text.
std::string Check(fuzz::RegistrySandbox& sandbox, const fuzz::Case& c) {
    if (!sandbox.Reset(c.plants))
        return "the scratch key could not be emptied";
    const std::string outside = sandbox.Outside();
    const HRESULT registered = Run(sandbox.Where(), c.entries, true);
    const std::string afterRegistration = g_outcome ? sandbox.Scratch() : std::string();
    if (sandbox.Outside() != outside)
        return "registration changed something outside the scratch key";
    if (c.clean && FAILED(registered) && !sandbox.Scratch().empty())
        return "a failed registration left keys behind";
    const HRESULT unregistered = Run(sandbox.Where(), c.entries, false);
    NoteOutcome(registered, afterRegistration, unregistered,
                g_outcome ? sandbox.Scratch() : std::string());
    if (sandbox.Outside() != outside)
        return "unregistration changed something outside the scratch key";
    if (c.clean && !sandbox.Scratch().empty())
        return "unregistration left the scratch key not empty";
    if (c.clean && SUCCEEDED(registered) && FAILED(unregistered))
        return "a registered script failed to unregister";
    return "";
}

std::vector<std::string> Pieces(const std::string& entries) {
    std::vector<std::string> pieces;
    std::string current;
    for (char ch : entries) {
        if (ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n') {
            if (!current.empty())
                pieces.push_back(current);
            current.clear();
        } else {
            current += ch;
        }
    }
    if (!current.empty())
        pieces.push_back(current);
    return pieces;
}

std::string Join(const std::vector<std::string>& pieces) {
    std::string text;
    for (const std::string& piece : pieces)
        text += (text.empty() ? "" : " ") + piece;
    return text;
}

// Whether every planted link is named only right after ForceRemove or Delete: a link named as
// a key entry legitimately leads the script outside the scratch key.
bool LinksOnlyDeleted(const fuzz::Case& c) {
    const std::vector<std::string> pieces = Pieces(c.entries);
    for (const fuzz::Plant& plant : c.plants) {
        if (plant.kind != fuzz::Plant::Link && plant.kind != fuzz::Plant::TwinLink)
            continue;
        for (size_t i = 0; i < pieces.size(); ++i) {
            const std::string& piece = pieces[i];
            const bool names = piece == plant.path || piece == "'" + plant.path + "'";
            if (names && (i == 0 || (pieces[i - 1] != "ForceRemove" && pieces[i - 1] != "Delete")))
                return false;
        }
    }
    return true;
}

// Removes runs of tokens, then plants, for as long as the same invariant still breaks.
fuzz::Case Shrink(fuzz::RegistrySandbox& sandbox, fuzz::Case c, const std::string& broken) {
    auto still = [&](const fuzz::Case& candidate) {
        return Confined(candidate.entries) && LinksOnlyDeleted(candidate) &&
               Check(sandbox, candidate) == broken;
    };
    std::vector<std::string> pieces = Pieces(c.entries);
    for (size_t size = pieces.size() / 2; size >= 1; size = size > 1 ? size / 2 : 0) {
        for (size_t at = 0; at + size <= pieces.size();) {
            std::vector<std::string> fewer = pieces;
            fewer.erase(fewer.begin() + at, fewer.begin() + at + size);
            fuzz::Case candidate = c;
            candidate.entries = Join(fewer);
            if (still(candidate))
                pieces = fewer;
            else
                ++at;
        }
    }
    c.entries = Join(pieces);
    for (size_t i = 0; i < c.plants.size();) {
        fuzz::Case candidate = c;
        candidate.plants.erase(candidate.plants.begin() + i);
        if (still(candidate))
            c = candidate;
        else
            ++i;
    }
    return c;
}

// The plants' kinds as the kept cases name them.
const char* const kPlantKinds[] = {"key", "value", "read-only", "link", "twin-link"};

std::string PlantLine(const fuzz::Plant& plant) {
    return std::string("# plant ") + kPlantKinds[plant.kind] + " " + plant.path + "\n";
}

// Every other planted link, where the place has a twin, gets the shape of the platform's view
// links: linked to the twin's key of the same name.
void TwinEveryOtherLink(fuzz::Case& c) {
    bool twin = false;
    for (fuzz::Plant& plant : c.plants) {
        if (plant.kind != fuzz::Plant::Link)
            continue;
        if (twin)
            plant.kind = fuzz::Plant::TwinLink;
        twin = !twin;
    }
}

void Report(const fuzz::Case& c, const std::string& broken, int number) {
    std::string text = "# " + broken + "\n# " + (c.clean ? "clean" : "any") + "\n";
    for (const fuzz::Plant& plant : c.plants)
        text += PlantLine(plant);
    text += c.entries + "\n";
    const std::string file = "fuzz-failure-" + std::to_string(number) + ".rgs";
    if (FILE* out = fopen(file.c_str(), "wb")) {
        fwrite(text.data(), 1, text.size(), out);
        fclose(out);
    }
    printf("FAILED: %s\n%s(written to %s)\n", broken.c_str(), text.c_str(), file.c_str());
}

// A regression case as Report writes it: header lines, then the entries.
bool ReadCase(const std::string& path, fuzz::Case& c) {
    FILE* in = fopen(path.c_str(), "rb");
    if (!in)
        return false;
    std::string text;
    char buffer[4096];
    for (size_t read; (read = fread(buffer, 1, sizeof(buffer), in)) > 0;)
        text.append(buffer, read);
    fclose(in);
    size_t at = 0;
    while (at < text.size() && text[at] == '#') {
        const size_t end = text.find('\n', at);
        const std::string line = text.substr(at, end - at);
        if (line == "# clean")
            c.clean = true;
        for (int kind = 0; kind < static_cast<int>(ARRAYSIZE(kPlantKinds)); ++kind) {
            const std::string prefix = std::string("# plant ") + kPlantKinds[kind] + " ";
            if (line.compare(0, prefix.size(), prefix) == 0)
                c.plants.push_back(
                    {static_cast<fuzz::Plant::Kind>(kind), line.substr(prefix.size()), "v0"});
        }
        at = end == std::string::npos ? text.size() : end + 1;
    }
    c.entries = text.substr(at);
    return true;
}

// The kept cases in a folder, each run once at the sandbox's place.
void RunRegressions(fuzz::RegistrySandbox& sandbox, const std::string& folder, long& ran,
                    int& failures) {
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA((folder + "\\*.rgs").c_str(), &found);
    for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &found)) {
        fuzz::Case c;
        if (!ReadCase(folder + "\\" + found.cFileName, c))
            continue;
        const std::string broken = !Confined(c.entries) || !LinksOnlyDeleted(c)
                                       ? "the case reaches outside the scratch key itself"
                                       : Check(sandbox, c);
        ++ran;
        if (!broken.empty()) {
            printf("regression %s: %s\n", found.cFileName, broken.c_str());
            ++failures;
        }
    }
    if (search != INVALID_HANDLE_VALUE)
        FindClose(search);
}

// The server's own scripts, read from the Lanterwell.dll beside this program, with their root
// key and its braces taken off so that their entries run below the scratch key.
std::vector<std::string> RealScripts() {
    std::vector<std::string> scripts;
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, length);
    folder = folder.substr(0, folder.find_last_of('\\') + 1);
    const HMODULE server =
        LoadLibraryExA((folder + "Lanterwell.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    for (WORD id : {101, 102}) {
        const HRSRC found =
            server ? FindResourceA(server, MAKEINTRESOURCEA(id), "REGISTRY") : nullptr;
        const HGLOBAL loaded = found ? LoadResource(server, found) : nullptr;
        const char* bytes = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
        if (!bytes)
            continue;
        const std::string text(bytes, SizeofResource(server, found));
        const size_t open = text.find('{');
        const size_t close = text.rfind('}');
        if (open != std::string::npos && close > open)
            scripts.push_back(text.substr(open + 1, close - open - 1));
    }
    if (server)
        FreeLibrary(server);
    return scripts;
}

} // namespace

int main(int argc, char** argv) {
    unsigned seed = 1;
    long count = 1000;
    long print = -1;
    std::string regressions;
    std::string record;
    std::string compare;
    bool wow64 = false;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--wow64") {
            wow64 = true;
            continue;
        }
        if (i + 1 == argc)
            break;
        const char* value = argv[++i];
        if (option == "--seed")
            seed = static_cast<unsigned>(strtoul(value, nullptr, 10));
        else if (option == "--count")
            count = strtol(value, nullptr, 10);
        else if (option == "--regressions")
            regressions = value;
        else if (option == "--record")
            record = value;
        else if (option == "--compare")
            compare = value;
        else if (option == "--print")
            print = strtol(value, nullptr, 10);
    }
    const bool native64 = sizeof(void*) == 8;
    if (wow64 && !Platform::IsWow64() && !native64) {
        printf("--wow64 runs on 64-bit Windows only\n");
        return 1;
    }
    // The outcomes: written one line a script, or read to compare against.
    FILE* recordFile = record.empty() ? nullptr : fopen(record.c_str(), "wb");
    FILE* compareFile = compare.empty() ? nullptr : fopen(compare.c_str(), "rb");
    if ((!record.empty() && !recordFile) || (!compare.empty() && !compareFile)) {
        printf("cannot open %s\n", record.empty() ? compare.c_str() : record.c_str());
        return 1;
    }
    std::string outcome;
    long differences = 0;
    long listedChanges = 0;
    std::vector<long> changed;
    if (FILE* list = compare.empty() ? nullptr : fopen((compare + ".changed").c_str(), "rb")) {
        char line[256];
        while (fgets(line, sizeof(line), list))
            if (line[0] >= '0' && line[0] <= '9')
                changed.push_back(strtol(line, nullptr, 10));
        fclose(list);
    }
    SetUnhandledExceptionFilter(OnCrash);
    CloseHandle(CreateThread(nullptr, 0, Watchdog, nullptr, 0, nullptr));

    // One sandbox a place; generated scripts take the places in turn.
    std::vector<std::unique_ptr<fuzz::RegistrySandbox>> sandboxes;
    if (wow64 && native64) {
        sandboxes.push_back(std::make_unique<fuzz::RegistrySandbox>(fuzz::kViewNodePlace));
    } else if (wow64) {
        for (const fuzz::Place& place : fuzz::kViewPlaces)
            sandboxes.push_back(std::make_unique<fuzz::RegistrySandbox>(place));
    } else {
        sandboxes.push_back(std::make_unique<fuzz::RegistrySandbox>(fuzz::kHome));
    }
    const std::string platformLinks = wow64 ? test::PlatformLinks() : std::string();
    int failures = 0;
    long ran = 0;
    if (!regressions.empty()) {
        for (const auto& sandbox : sandboxes)
            RunRegressions(*sandbox, regressions, ran, failures);
    }

    const std::vector<std::string> real = RealScripts();
    if (real.size() != 2) {
        printf("the server's scripts could not be read\n");
        return 1;
    }
    fuzz::ScriptGenerator generator(seed);
    long skipped = 0;
    for (long i = 0; i < count; ++i) {
        fuzz::Case c;
        switch (i % 4) {
        case 3:
            c = generator.Mutate(i % 8 == 3 ? real[(i / 8) % 2] : generator.Generate().entries);
            break;
        default:
            c = generator.Generate();
            break;
        }
        if (i == print) {
            printf("%s\n", c.entries.c_str());
            for (const fuzz::Plant& plant : c.plants)
                printf("%s", PlantLine(plant).c_str());
            return 0;
        }
        if (print >= 0)
            continue;
        if (!Confined(c.entries)) {
            ++skipped;
            continue;
        }
        g_outcome = recordFile || compareFile ? &outcome : nullptr;
        fuzz::RegistrySandbox& sandbox = *sandboxes[i % sandboxes.size()];
        if (sandbox.Where().twin)
            TwinEveryOtherLink(c);
        const std::string broken = Check(sandbox, c);
        g_outcome = nullptr;
        if (recordFile)
            fprintf(recordFile, "%ld %s\n", i, outcome.c_str());
        if (compareFile) {
            char line[160] = {};
            const std::string expected = std::to_string(i) + " " + outcome;
            if (!fgets(line, sizeof(line), compareFile))
                line[0] = 0;
            line[strcspn(line, "\r\n")] = 0;
            bool listed = false;
            for (long number : changed)
                listed = listed || number == i;
            if (expected != line && listed) {
                ++listedChanges;
            } else if (expected != line) {
                printf("outcome of script %ld: %s, recorded %s\n", i, expected.c_str(), line);
                ++differences;
            }
        }
        ++ran;
        if (!broken.empty()) {
            Report(Shrink(sandbox, c, broken), broken, ++failures);
            if (failures >= 5)
                break;
        }
    }
    printf("seed %u: %ld scripts run (%ld damaged ones left out for closing the scratch block "
           "early)\n",
           seed, ran, skipped);
    if (recordFile)
        fclose(recordFile);
    if (compareFile) {
        fclose(compareFile);
        printf("outcomes: %ld differ from the record as listed, %ld otherwise\n", listedChanges,
               differences);
        failures += differences ? 1 : 0;
    }
    // Compared with the last case's plants gone, which may be links too.
    for (const auto& sandbox : sandboxes)
        sandbox->Reset({});
    if (wow64 && test::PlatformLinks() != platformLinks) {
        printf("the platform's links changed: before\n%safter\n%s", platformLinks.c_str(),
               test::PlatformLinks().c_str());
        ++failures;
    }
    printf("fuzz: %ld passed, %d failed\n", ran - failures, failures);
    return failures ? 1 : 0;
}
