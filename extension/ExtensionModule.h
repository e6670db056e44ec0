#pragma once
#include <windows.h>

// The modules in which the handler's texts are looked up, in order; the server keeps the list.
class ResourceModules {
public:
    // Null past the last module.
    virtual HINSTANCE GetResourceInstanceAt(int position) noexcept = 0;

protected:
    ~ResourceModules() = default;
};

// What the handler needs of the module that carries it, handed in by the server: its own
// file, beside which SUBST.DLL is looked for first, and its resource modules.
struct ExtensionModule {
    HINSTANCE instance;
    ResourceModules* resources;
};
