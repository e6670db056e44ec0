#pragma once
#include <windows.h>

// Names compared as the file systems and the registry compare them: unit by unit, each unit
// upper-cased by the platform's one table, with nothing ignored and no linguistic rule (a soft
// hyphen is a unit of its own; the Kelvin sign is not "K"). A count of -1 reads to the
// terminator.
bool SameNameIgnoringCase(const wchar_t* one, int oneUnits, const wchar_t* other,
                          int otherUnits) noexcept;
