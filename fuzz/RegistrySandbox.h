#pragma once
#include <windows.h>
#include <string>
#include <vector>
#include "fuzz/ScriptGenerator.h"

namespace fuzz {

// The keys a fuzzing run may touch and the ones it must not: below HKEY_CURRENT_USER,
// "Software\Lanterwell Fuzz" holds the scratch key, where scripts run, and beside it an
// "Outside" tree that planted links point into.
class RegistrySandbox {
public:
    RegistrySandbox();
    ~RegistrySandbox();
    RegistrySandbox(const RegistrySandbox&) = delete;
    RegistrySandbox& operator=(const RegistrySandbox&) = delete;

    static const char* ScratchPath() { return "Software\\Lanterwell Fuzz\\Scratch"; }

    // Empties the scratch key (read-only keys opened up first) and plants a case's keys.
    bool Reset(const std::vector<Plant>& plants);
    // Everything below the scratch key, one line a key or value, in UTF-16 converted to UTF-8.
    std::string Scratch() const;
    // Everything outside the scratch key that a run could reach: the sandbox's parent key
    // with the Outside tree, read without following links.
    std::string Outside() const;

private:
    HKEY m_scratch = nullptr;
    std::vector<std::wstring> m_readOnly;
};

} // namespace fuzz
