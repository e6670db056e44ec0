// The registry script interpreter against the registry calls it makes: a generated script of
// N keys, each with a default string and a DWORD, binary and multi-string value, registered
// and unregistered under a scratch key, beside the same tree written and deleted directly.
#include <windows.h>
#include <string>
#include "bench/BenchSupport.h"
#include "tests/WalkBlock.h"

namespace {

std::string Script(int keys) {
    std::string text;
    for (int i = 0; i < keys; ++i)
        text += "K" + std::to_string(i) +
                " = s 'value' { val d = d 305419896 val b = b '0102A0FF' val m = m 'a\\0b' }\r\n";
    return text + "}\r\n";
}

void Walk(const std::string& script, HKEY parent, bool registering) {
    ScriptLexer lexer;
    lexer.position = script.c_str();
    WalkBlock(lexer, parent, registering);
}

void Direct(int keys, HKEY parent) {
    const DWORD number = 305419896;
    const BYTE bytes[] = {0x01, 0x02, 0xA0, 0xFF};
    for (int i = 0; i < keys; ++i) {
        const std::string name = "K" + std::to_string(i);
        HKEY key = nullptr;
        RegCreateKeyExA(parent, name.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key,
                        nullptr);
        RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>("value"), 6);
        RegSetValueExA(key, "d", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4);
        RegSetValueExA(key, "b", 0, REG_BINARY, bytes, 4);
        RegSetValueExA(key, "m", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>("a\0b\0"), 5);
        RegCloseKey(key);
    }
    for (int i = 0; i < keys; ++i)
        RegDeleteKeyA(parent, ("K" + std::to_string(i)).c_str());
}

} // namespace

int main(int argc, char** argv) {
    const bench::Options options(argc, argv);
    HKEY scratch = nullptr;
    RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Lanterwell Bench", 0, nullptr, 0, KEY_ALL_ACCESS,
                    nullptr, &scratch, nullptr);
    bench::Table table("Registry script interpreter",
                       "A generated script registered and unregistered under a scratch key; "
                       "floor: the same keys and values written and deleted directly; target: "
                       "at most 1.2 × the floor, growing linearly with the script.");
    // --keys N measures that one size instead of the three.
    int only = 0;
    for (int i = 1; i + 1 < argc; ++i)
        if (!lstrcmpA(argv[i], "--keys"))
            only = atoi(argv[i + 1]);
    const int sizes[] = {1000, 10000, 100000};
    for (int keys : sizes) {
        if ((options.quick || only) && keys > 1000)
            break;
        const int count = options.quick ? 100 : only ? only : keys;
        const std::string script = Script(count);
        const int rounds = options.quick ? 1 : (keys >= 100000 ? 3 : 7);
        auto run = bench::Compare(
            rounds, 1,
            [&] {
                Walk(script, scratch, true);
                Walk(script, scratch, false);
            },
            [&] { Direct(count, scratch); });
        // Per key, so that the sizes can be compared with each other.
        for (bench::Summary* summary : {&run.ours, &run.floor}) {
            summary->median /= count;
            summary->low /= count;
            summary->high /= count;
        }
        table.Row(std::to_string(count) + " keys, per key", run, 1.2);
    }
    RegCloseKey(scratch);
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Lanterwell Bench");
    table.Emit(options.markdown);
    return 0;
}
