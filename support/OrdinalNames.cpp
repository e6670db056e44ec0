#include "support/OrdinalNames.h"
#include "support/ChosenOnce.h"

namespace {

using CompareOrdinal = int(WINAPI*)(const wchar_t*, int, const wchar_t*, int, BOOL);

CompareOrdinal volatile compareOrdinal = nullptr;

// Windows before Vista lacks CompareStringOrdinal: each unit is upper-cased alone, without
// linguistic casing, which is the table the file systems and the registry use there.
int WINAPI CompareByUnits(const wchar_t* one, int oneUnits, const wchar_t* other, int otherUnits,
                          BOOL) {
    if (oneUnits != otherUnits)
        return CSTR_LESS_THAN;
    for (int i = 0; i < oneUnits; ++i) {
        wchar_t upperOne = one[i];
        wchar_t upperOther = other[i];
        LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, &one[i], 1, &upperOne, 1);
        LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, &other[i], 1, &upperOther, 1);
        if (upperOne != upperOther)
            return CSTR_LESS_THAN;
    }
    return CSTR_EQUAL;
}

CompareOrdinal Choose() {
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    const auto found = reinterpret_cast<CompareOrdinal>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "CompareStringOrdinal")));
    return found ? found : CompareByUnits;
}

} // namespace

bool SameNameIgnoringCase(const wchar_t* one, int oneUnits, const wchar_t* other,
                          int otherUnits) noexcept {
    if (oneUnits < 0)
        oneUnits = lstrlenW(one);
    if (otherUnits < 0)
        otherUnits = lstrlenW(other);
    return ChosenOnce(compareOrdinal, Choose)(one, oneUnits, other, otherUnits, TRUE) == CSTR_EQUAL;
}
