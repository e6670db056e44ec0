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

// The count of live objects and locks that keeps the module loaded; the server keeps it.
class ModuleLocks {
public:
    virtual LONG AddLock() noexcept = 0;
    virtual LONG ReleaseLock() noexcept = 0;

protected:
    ~ModuleLocks() = default;
};

// One lock on the module, held while this lives.
class ModuleLockHold {
public:
    explicit ModuleLockHold(ModuleLocks* locks) noexcept : m_locks(locks) {
        if (m_locks)
            m_locks->AddLock();
    }
    ~ModuleLockHold() {
        if (m_locks)
            m_locks->ReleaseLock();
    }
    ModuleLockHold(const ModuleLockHold&) = delete;
    ModuleLockHold& operator=(const ModuleLockHold&) = delete;

private:
    ModuleLocks* m_locks;
};

// What the handlers need of the module that carries them, handed in by the server: its own
// file, beside which SUBST.DLL is looked for first, its resource modules, and its lock count,
// which every object the extension makes by itself holds while it lives.
struct ExtensionModule {
    HINSTANCE instance;
    ResourceModules* resources;
    ModuleLocks* locks;
};
