#include "fuzz/ScriptGenerator.h"
#include "registrar/ScriptLexer.h"
#include "LanterwellIds.h"

namespace fuzz {

namespace {

const char* const kPlainNames[] = {"A",   "Key",    "it's", "100%",       "two words",
                                   "{x}", "=",      "}x",   "CLSID",      "NoRemoveX",
                                   "Val", "Delete", "s",    "ForceRemove"};
// Double-byte names in code page 932 whose trail bytes are 0x5C (表, ソ), 0x7B (ボ),
// 0x7C (ポ) and 0x7D (マ); in other code pages the same bytes are other characters.
const char* const kDoubleByteNames[] = {"\x95\x5C", "\x83\x5C", "\x83\x7B\x83\x7C\x83\x7D",
                                        "\x88\xEA\x97\x97\x95\x5C", "\x83\x5C\x83\x74\x83\x67"};
const char* const kGuids[] = {LANTERWELL_CLSID_SHELL_EXTENSION_TEXT,
                              LANTERWELL_APPID_LANTERWELL_TEXT, "{}", "{G}"};
const char* const kNumbers[] = {"0",    "1",    "4294967295", "4294967296", "-1",
                                "0x10", "&H10", "12abc",      "",           " 7"};
const char* const kBinaries[] = {"", "00", "0a1B", "ABC", "zz", "0102030405060708"};
const char* const kMultiStrings[] = {"", "a\\0b", "a\\0\\0b", "\\0", "x\\", "%Module%\\0y"};
const char* const kStrings[] = {"",        "x",       "it''s", "%Module%",   "%MODULE_RAW%",
                                "%APPID%", "%Extra%", "%%",    "100%% sure", "{",
                                "}",       "\x95\x5C"};
const char* const kMutationTokens[] = {
    "{",        "}",      "=", "s",  "d",     "b",        "m", "val",  "Val",  "ForceRemove",
    "NoRemove", "Delete", "'", "''", "'{G}'", "%Module%", "%", "HKCU", "\x95", "\x95\x5C"};

std::vector<std::string> Tokens(const std::string& text) {
    // Raw, blank-separated pieces: a mutation may cut a quoted token apart.
    std::vector<std::string> tokens;
    std::string current;
    for (char c : text) {
        if (IsBlank(static_cast<unsigned char>(c))) {
            if (!current.empty())
                tokens.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.empty())
        tokens.push_back(current);
    return tokens;
}

} // namespace

std::string ScriptGenerator::Quoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        quoted += c;
        if (c == '\'')
            quoted += '\'';
    }
    return quoted + "'";
}

std::string ScriptGenerator::KeyName(std::vector<std::string>& used) {
    for (;;) {
        std::string name;
        switch (Pick(4)) {
        case 0:
            name = kPlainNames[Pick(sizeof(kPlainNames) / sizeof(*kPlainNames))];
            break;
        case 1:
            name = kDoubleByteNames[Pick(sizeof(kDoubleByteNames) / sizeof(*kDoubleByteNames))];
            break;
        case 2:
            name = kGuids[Pick(sizeof(kGuids) / sizeof(*kGuids))];
            break;
        default:
            name = "K" + std::to_string(Pick(1000));
            break;
        }
        // Distinct at the level, without regard to case: a key named twice is one key.
        std::string folded = name;
        for (char& c : folded)
            if (c >= 'a' && c <= 'z')
                c = static_cast<char>(c - 'a' + 'A');
        bool taken = false;
        for (const std::string& other : used)
            taken = taken || other == folded;
        if (taken && used.size() < 40)
            continue;
        used.push_back(folded);
        return name;
    }
}

std::string ScriptGenerator::ValueClause() {
    switch (Pick(4)) {
    case 0:
        return "s " + Quoted(kStrings[Pick(sizeof(kStrings) / sizeof(*kStrings))]);
    case 1:
        return "d " + Quoted(kNumbers[Pick(sizeof(kNumbers) / sizeof(*kNumbers))]);
    case 2:
        return "b " + Quoted(kBinaries[Pick(sizeof(kBinaries) / sizeof(*kBinaries))]);
    default:
        return "m " + Quoted(kMultiStrings[Pick(sizeof(kMultiStrings) / sizeof(*kMultiStrings))]);
    }
}

void ScriptGenerator::Block(std::string& out, int depth, bool& clean,
                            std::vector<std::string>& links) {
    std::vector<std::string> used;
    const int entries = Pick(depth > 3 ? 2 : 5);
    for (int i = 0; i < entries; ++i) {
        const char* blank = Chance(20) ? "\r\n\t" : " ";
        if (Chance(25)) {
            const bool kept = Chance(10);
            clean = clean && !kept;
            const std::string name = Chance(15) ? "''" : Quoted("v" + std::to_string(Pick(5)));
            out += std::string(kept ? "NoRemove " : "") + "val " + name + " = " + ValueClause() +
                   blank;
            continue;
        }
        if (!links.empty() && Chance(30)) {
            out += std::string(Chance(50) ? "ForceRemove " : "Delete ") +
                   Quoted(links[Pick(static_cast<int>(links.size()))]) + blank;
            continue;
        }
        if (Chance(10)) {
            out += "Delete " + Quoted(KeyName(used)) + blank;
            continue;
        }
        std::string prefix;
        if (Chance(15)) {
            prefix = "NoRemove ";
            clean = false;
        } else if (Chance(15)) {
            prefix = "ForceRemove ";
        }
        const std::string name = KeyName(used);
        // The language reads a keyword as one even when quoted: the entry is then no key of
        // its own, and the script may name one key twice, once without its block.
        for (const char* keyword : {"ForceRemove", "NoRemove", "Delete", "Val"})
            clean = clean && lstrcmpiA(name.c_str(), keyword) != 0;
        out += prefix + Quoted(name);
        if (Chance(35))
            out += " = " + ValueClause();
        if (Chance(45) && depth < 6) {
            out += " {";
            out += blank;
            Block(out, depth + 1, clean, links);
            out += "}";
        }
        out += blank;
    }
}

Case ScriptGenerator::Generate() {
    Case generated;
    std::vector<std::string> links;
    if (Chance(40)) {
        const int count = 1 + Pick(6);
        for (int i = 0; i < count; ++i) {
            const int kind = Pick(4);
            std::string path = "K" + std::to_string(Pick(1000));
            if (Chance(40))
                path += "\\K" + std::to_string(Pick(1000));
            if (kind == Plant::Link) {
                path = "Link" + std::to_string(i);
                links.push_back(path);
            }
            generated.plants.push_back({static_cast<Plant::Kind>(kind), path, "v0"});
        }
    }
    bool clean = generated.plants.empty();
    Block(generated.entries, 1, clean, links);
    if (Chance(3)) {
        // Deep nesting, around the walk's limit.
        const int depth = 55 + Pick(20);
        std::string nested;
        for (int i = 0; i < depth; ++i)
            nested += "N" + std::to_string(i) + " { ";
        for (int i = 0; i < depth; ++i)
            nested += "} ";
        generated.entries += nested;
    }
    generated.clean = clean;
    return generated;
}

Case ScriptGenerator::Mutate(const std::string& entries) {
    std::vector<std::string> tokens = Tokens(entries);
    const int edits = 1 + Pick(4);
    for (int i = 0; i < edits && !tokens.empty(); ++i) {
        const int at = Pick(static_cast<int>(tokens.size()));
        switch (Pick(5)) {
        case 0:
            tokens.erase(tokens.begin() + at);
            break;
        case 1:
            tokens.insert(tokens.begin() + at, tokens[Pick(static_cast<int>(tokens.size()))]);
            break;
        case 2:
            std::swap(tokens[at], tokens[Pick(static_cast<int>(tokens.size()))]);
            break;
        case 3:
            tokens[at] = tokens[at].substr(0, Pick(static_cast<int>(tokens[at].size()) + 1));
            break;
        default:
            tokens[at] = kMutationTokens[Pick(sizeof(kMutationTokens) / sizeof(*kMutationTokens))];
            break;
        }
    }
    Case mutated;
    for (const std::string& token : tokens)
        mutated.entries += token + " ";
    return mutated;
}

} // namespace fuzz
