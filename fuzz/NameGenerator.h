#pragma once
#include <random>
#include <string>
#include <vector>

namespace fuzz {

// The folders a campaign's names are made of, below one base folder: each a name the
// generator uses as it stands.
struct Fixtures {
    std::wstring base;              // "C:\...\lanterwell-names", no final backslash
    std::vector<std::wstring> dirs; // folders below it, as relative names ("d", "d\sub", ...)
    std::wstring file;              // a file below it
    std::wstring vanishing;         // a folder removed and made again while a case runs
};

// One folder name to give the drive programs, in parts (joined as they stand), so that a
// failing name can be shrunk part by part.
struct NameCase {
    std::vector<std::wstring> parts;
    // A plain name of an existing folder (absolute or read against the base): it must be
    // mapped as exactly `expected`, wherever the program reads such a name.
    bool plain = false;
    bool relative = false;
    std::wstring expected;
    bool vanishing = false; // names the folder removed while the case runs

    std::wstring Text() const {
        std::wstring text;
        for (const std::wstring& part : parts)
            text += part;
        return text;
    }
};

// Makes folder names from a seed: absolute and relative ones, the platform's device and
// object-manager prefixes ("\\.\", "\??\", "//?/"), the long form ("\\?\", "\\?\UNC\"), shares,
// drive-relative and rooted names, forward and doubled separators, "." and "..", trailing dots
// and blanks, double-byte and fullwidth names, files, missing folders, device names, and names
// at and past the platform's length limit.
class NameGenerator {
public:
    NameGenerator(unsigned seed, const Fixtures& fixtures) : m_random(seed), m_fixtures(fixtures) {}
    NameCase Generate();

private:
    int Pick(int count) { return std::uniform_int_distribution<int>(0, count - 1)(m_random); }
    bool Chance(int percent) { return Pick(100) < percent; }
    NameCase Plain();
    std::wstring Prefix();
    std::wstring Segment();

    std::mt19937 m_random;
    const Fixtures& m_fixtures;
};

} // namespace fuzz
