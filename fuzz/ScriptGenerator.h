#pragma once
#include <random>
#include <string>
#include <vector>

namespace fuzz {

// What the sandbox puts below the scratch key before a script runs.
struct Plant {
    // TwinLink: where the place has a twin, a link to the twin's key of the same name, which
    // is planted there as a key of its own (the shape of the platform's view links).
    enum Kind { Key, Value, ReadOnlyKey, Link, TwinLink } kind;
    std::string path; // below the scratch key, ANSI
    std::string name; // the value's name (Value)
};

// One script to run: the entries of the scratch key's block, and what is planted first.
struct Case {
    std::string entries;
    std::vector<Plant> plants;
    // Generated with distinct key names at every level, no NoRemove and nothing planted: its
    // unregistration must leave the scratch key empty, whatever its registration did.
    bool clean = false;
    // Planted links are named only by ForceRemove and Delete, so nothing it does legitimately
    // reaches outside the scratch key.
    bool linksOnlyDeleted = true;
};

// Makes scripts from a seed: every keyword, value type and quoting, variables, nesting,
// GUID key names, double-byte names whose trail bytes are 0x5C, 0x7B, 0x7C or 0x7D, and
// pre-planted keys, values, read-only keys and symbolic links.
class ScriptGenerator {
public:
    explicit ScriptGenerator(unsigned seed) : m_random(seed) {}
    Case Generate();
    // A real or generated script damaged at the token level: tokens dropped, repeated,
    // swapped, cut or replaced with keywords and braces.
    Case Mutate(const std::string& entries);

private:
    int Pick(int count) { return std::uniform_int_distribution<int>(0, count - 1)(m_random); }
    bool Chance(int percent) { return Pick(100) < percent; }
    std::string KeyName(std::vector<std::string>& used);
    std::string Quoted(const std::string& text);
    std::string ValueClause();
    void Block(std::string& out, int depth, bool& clean, std::vector<std::string>& links);

    std::mt19937 m_random;
};

} // namespace fuzz
