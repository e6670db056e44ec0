#include "fuzz/NameGenerator.h"

namespace fuzz {

namespace {

// Segments that stand for nothing below the base, or for something else than they seem.
const wchar_t* const kOddSegments[] = {
    L".",    L"..",     L"missing", L"NUL",     L"COM1", L"d.",      L"d ",
    L"d...", L"d. .",   L"",        L"*",       L"?",    L"D",       L"\xFF41",
    L"a",    L"\x8868", L"sp ace",  L"con.txt", L"d:x",  L"d\x00AD", L"\x212A",
};

} // namespace

NameCase NameGenerator::Plain() {
    NameCase name;
    name.plain = true;
    const std::wstring& dir = m_fixtures.dirs[Pick(static_cast<int>(m_fixtures.dirs.size()))];
    name.vanishing = Chance(10);
    const std::wstring& folder = name.vanishing ? m_fixtures.vanishing : dir;
    name.expected = m_fixtures.base + L"\\" + folder;
    switch (Pick(3)) {
    case 0:
        name.parts = {m_fixtures.base + L"\\", folder};
        break;
    case 1:
        name.relative = true;
        name.parts = {folder};
        break;
    default:
        name.relative = true;
        name.parts = {L".\\", folder};
        break;
    }
    if (Chance(30))
        name.parts.push_back(L"\\");
    return name;
}

std::wstring NameGenerator::Prefix() {
    const std::wstring& base = m_fixtures.base;
    switch (Pick(14)) {
    case 0:
        return L"\\\\?\\" + base + L"\\";
    case 1:
        return L"\\??\\" + base + L"\\";
    case 2:
        return L"\\\\.\\" + base + L"\\";
    case 3:
        return L"//?/" + base + L"/";
    case 4:
        return L"\\\\?\\UNC\\nosuchserver\\share\\";
    case 5:
        return L"\\\\nosuchserver\\share\\";
    case 6:
        return L"C:"; // the current folder of C:, which is the base
    case 7:
        return base.substr(2) + L"\\"; // rooted on the current drive
    case 8:
        return L"..\\" + base.substr(base.rfind(L'\\') + 1) + L"\\";
    case 9:
        return L"";
    case 10: {
        std::wstring slashed = base + L"/";
        for (wchar_t& unit : slashed)
            unit = unit == L'\\' ? L'/' : unit;
        return slashed;
    }
    case 11:
        return L"\\\\?\\" + base + L"\\..\\";
    default:
        return base + L"\\";
    }
}

std::wstring NameGenerator::Segment() {
    switch (Pick(4)) {
    case 0:
        return kOddSegments[Pick(sizeof(kOddSegments) / sizeof(*kOddSegments))];
    case 1:
        return m_fixtures.file;
    case 2:
        // At and past the platform's limit of a mapped folder.
        return std::wstring(static_cast<size_t>(200 + Pick(80)), L'L');
    default:
        return m_fixtures.dirs[Pick(static_cast<int>(m_fixtures.dirs.size()))];
    }
}

NameCase NameGenerator::Generate() {
    if (Chance(30))
        return Plain();
    NameCase name;
    name.parts.push_back(Prefix());
    for (int count = Pick(4); count > 0; --count) {
        name.parts.push_back(Segment());
        name.parts.push_back(Chance(80) ? L"\\" : Chance(50) ? L"/" : L"\\\\");
    }
    if (Chance(50))
        name.parts.push_back(Segment());
    if (Chance(20))
        name.parts.push_back(Chance(50) ? L"." : L" ");
    return name;
}

} // namespace fuzz
