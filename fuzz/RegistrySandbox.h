#pragma once
#include <windows.h>
#include <string>
#include <vector>
#include "fuzz/ScriptGenerator.h"

namespace fuzz {

// Where a fuzzing run's scripts run: the blocks that lead a script there, and the key that
// holds the scratch key, where scripts run, and beside it an "Outside" tree that planted links
// point into. Keys are named as the 64-bit registry view names them.
struct Place {
    const char* script; // the enclosing blocks, with %s where the entries go
    HKEY root;
    const wchar_t* parent;
    // The same name in the other view, where that is another key: its copy of the scratch
    // key's plants must stay as it is. Null where both views share the key.
    const wchar_t* twin;
};

// Below HKEY_CURRENT_USER, where no view redirects.
extern const Place kHome;
// In the 32-bit view of a WOW64 process: HKCR where both views share it, HKLM\Software\Classes
// where the view redirects it (CLSID, Interface), and HKLM\Software.
extern const Place kViewPlaces[4];
// In a 64-bit process: a key named as the view's node below HKCU\Software, which both views
// share, with its parent as its twin. (Wine redirects a 32-bit process below any key holding
// such a node, where Windows redirects only the keys it documents.)
extern const Place kViewNodePlace;

// The keys a fuzzing run may touch at one place, and the ones it must not.
class RegistrySandbox {
public:
    explicit RegistrySandbox(const Place& place);
    ~RegistrySandbox();
    RegistrySandbox(const RegistrySandbox&) = delete;
    RegistrySandbox& operator=(const RegistrySandbox&) = delete;

    const Place& Where() const { return m_place; }
    // Empties the scratch key (read-only keys opened up first) and plants a case's keys, in
    // the twin's scratch key too.
    bool Reset(const std::vector<Plant>& plants);
    // Everything below the scratch key, one line a key or value, in UTF-16 converted to UTF-8.
    std::string Scratch() const;
    // Everything outside the scratch key that a run could reach: the sandbox's parent key
    // with the Outside tree, and the twin's scratch key, read without following links.
    std::string Outside() const;

private:
    bool Empty(const std::wstring& scratch);
    void PlantAll(const std::wstring& scratch, const std::vector<Plant>& plants, bool inTwin);

    const Place& m_place;
    REGSAM m_view;
    std::wstring m_scratch;
    std::wstring m_twinScratch; // empty where the place has no twin
    std::wstring m_outside;
    std::vector<std::wstring> m_readOnly;
};

} // namespace fuzz
