#pragma once
#include <windows.h>

// A folder as the user gives it to the window: typed, pasted or picked.
namespace FolderName {

// What the folder box holds: well beyond the longest name the platform maps, so that a longer
// one is refused whole, never cut into the name of another folder (its parent, say).
const int kTypedUnits = 1024;
struct Typed {
    wchar_t text[kTypedUnits];
};

enum class Read { Folder, Empty, TooLong };

// The folder a given name stands for: the blanks around it and the double quotes that
// Explorer's "Copy as path" puts around it taken off, environment variables (%USERPROFILE%)
// expanded, as the drive store expands them.
Read FromTyped(const Typed& typed, wchar_t (&folder)[MAX_PATH]) noexcept;

} // namespace FolderName
