#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>
#include "LanterwellIds.h"
#include "tests/WalkBlock.h"
#include "tests/ScratchKey.h"
#include "tests/TestSupport.h"

namespace {

// Makes registry scripts from the language's grammar, then damages some of them.
class ScriptGenerator {
public:
    explicit ScriptGenerator(unsigned seed) : m_random(seed) {}

    std::string Next() {
        std::string text = Entries(0) + "}";
        if (Chance(60))
            Mutate(text);
        return text;
    }

private:
    bool Chance(int percent) { return static_cast<int>(m_random() % 100) < percent; }
    template <typename T, size_t N> const T& Pick(const T (&items)[N]) {
        return items[m_random() % N];
    }

    std::string Name() {
        static const char* const names[] = {"Key",
                                            "Sub",
                                            "'Quoted Name'",
                                            "CLSID",
                                            "software",
                                            "NoRemove",
                                            "Delete",
                                            "ForceRemove",
                                            "Val",
                                            LANTERWELL_CLSID_SHELL_EXTENSION_TEXT,
                                            "S",
                                            "'it''s'",
                                            "''",
                                            "'{'",
                                            "'}'",
                                            "\x83\x5C\x83\x5C",
                                            "x=y",
                                            "'a b'",
                                            "K2",
                                            "'\x89\xBC'"};
        return Pick(names);
    }

    std::string ValueClause() {
        static const char* const clauses[] = {"= s 'text'",
                                              "= s ''",
                                              "= s 'it''s'",
                                              "= d '42'",
                                              "= d 4294967295",
                                              "= d 'nope'",
                                              "= b '1F2e'",
                                              "= b 'ABC'",
                                              "= b ''",
                                              "= m 'a\\0b'",
                                              "= m 'a\\0\\0b'",
                                              "= m ''",
                                              "= M '\x83\x5C\\0'",
                                              "= q 'bad'",
                                              "= S bare",
                                              "= s",
                                              "=s 'glued'"};
        return Pick(clauses);
    }

    std::string Entries(int depth) {
        std::string text;
        const int count = static_cast<int>(m_random() % 5);
        for (int i = 0; i < count; ++i) {
            static const char* const prefixes[] = {"",       "", "", "NoRemove ", "ForceRemove ",
                                                   "Delete "};
            text += Pick(prefixes);
            if (Chance(25)) {
                text += "Val " + Name() + " " + ValueClause() + "\r\n";
                continue;
            }
            text += Name();
            if (Chance(40))
                text += " " + ValueClause();
            if (depth < 4 && Chance(40))
                text += "\r\n{\r\n" + Entries(depth + 1) + "}";
            text += "\r\n";
        }
        return text;
    }

    void Mutate(std::string& text) {
        static const char pieces[] = "{}'= \\\t%x\x83\"0";
        const int count = 1 + static_cast<int>(m_random() % 3);
        for (int i = 0; i < count && !text.empty(); ++i) {
            const size_t at = m_random() % text.size();
            switch (m_random() % 4) {
            case 0:
                text.erase(at, 1 + m_random() % 4);
                break;
            case 1:
                text.insert(at, 1, pieces[m_random() % (sizeof(pieces) - 1)]);
                break;
            case 2:
                text.insert(at, text.substr(at, m_random() % 40));
                break;
            default:
                text.resize(at);
                break;
            }
        }
    }

    std::mt19937 m_random;
};

bool IsWalkResult(HRESULT result) {
    return result == S_OK || result == DISP_E_EXCEPTION || result == E_FAIL ||
           result == E_OUTOFMEMORY ||
           (FAILED(result) && HRESULT_FACILITY(result) == FACILITY_WIN32);
}

std::vector<std::string> SubkeyNames(HKEY parent, const char* path) {
    std::vector<std::string> names;
    HKEY key = nullptr;
    if (RegOpenKeyExA(parent, path, 0, KEY_READ, &key))
        return names;
    char name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = sizeof(name);
        if (RegEnumKeyExA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr))
            break;
        names.push_back(name);
    }
    RegCloseKey(key);
    return names;
}

TEST(ScriptRobustness, GeneratedAndDamagedScriptsEndWithTheirOwnResultsInsideTheirKey) {
    test::ScratchKey scratch("Robustness");
    test::ScratchKey neighbour("Neighbour");
    HKEY canary = nullptr;
    ASSERT_EQ(RegCreateKeyExA(neighbour.Get(), "Canary", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &canary, nullptr),
              0);
    RegCloseKey(canary);
    const std::vector<std::string> topBefore = SubkeyNames(HKEY_CURRENT_USER, nullptr);
    const std::vector<std::string> testsBefore =
        SubkeyNames(HKEY_CURRENT_USER, "Software\\Lanterwell Tests");
    const std::vector<std::string> neighbourBefore = neighbour.Snapshot();

    ScriptGenerator generator(20261207);
    int succeeded = 0;
    for (int round = 0; round < 10000; ++round) {
        const std::string text = generator.Next();
        for (bool registering : {true, false}) {
            ScriptLexer parser;
            parser.position = text.c_str();
            const HRESULT result = WalkBlock(parser, scratch.Get(), registering);
            ASSERT_TRUE(IsWalkResult(result)) << std::hex << result << " for\n" << text;
            succeeded += result == S_OK;
        }
        if (round % 50 == 49)
            scratch.Clear();
    }
    EXPECT_GT(succeeded, 2000) << "the generator makes mostly sound scripts";
    EXPECT_EQ(SubkeyNames(HKEY_CURRENT_USER, nullptr), topBefore);
    EXPECT_EQ(SubkeyNames(HKEY_CURRENT_USER, "Software\\Lanterwell Tests"), testsBefore);
    EXPECT_EQ(neighbour.Snapshot(), neighbourBefore);
}

} // namespace
