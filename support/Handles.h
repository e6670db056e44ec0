#pragma once
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <unknwn.h>

// Owns one handle and hands it back to its platform release call when it goes away.
template <typename Handle, typename Traits> class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(Handle handle) noexcept : m_handle(handle) {}
    ~UniqueHandle() { Reset(); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    Handle Get() const noexcept { return m_handle; }
    explicit operator bool() const noexcept { return m_handle != Traits::Invalid(); }

    // For a call that hands out a new handle: whatever was held goes first.
    Handle* Receive() noexcept {
        Reset();
        return &m_handle;
    }
    Handle Detach() noexcept {
        Handle handle = m_handle;
        m_handle = Traits::Invalid();
        return handle;
    }
    // Returns the release call's result, or true when nothing was held.
    bool Reset(Handle handle = Traits::Invalid()) noexcept {
        bool released = true;
        if (m_handle != Traits::Invalid())
            released = Traits::Release(m_handle);
        m_handle = handle;
        return released;
    }

private:
    Handle m_handle = Traits::Invalid();
};

struct LibraryTraits {
    static HMODULE Invalid() { return nullptr; }
    static bool Release(HMODULE module) { return FreeLibrary(module) != FALSE; }
};
struct MenuTraits {
    static HMENU Invalid() { return nullptr; }
    static bool Release(HMENU menu) { return DestroyMenu(menu) != FALSE; }
};

// A kernel object's handle (a mutex, an event, a process), where null means none.
struct KernelObjectTraits {
    static HANDLE Invalid() { return nullptr; }
    static bool Release(HANDLE handle) { return CloseHandle(handle) != FALSE; }
};

using UniqueLibrary = UniqueHandle<HMODULE, LibraryTraits>;
using UniqueMenu = UniqueHandle<HMENU, MenuTraits>;
using UniqueKernelObject = UniqueHandle<HANDLE, KernelObjectTraits>;

// Owns one reference to a COM interface.
template <typename T> class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { Reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;

    T* Get() const noexcept { return m_pointer; }
    T* operator->() const noexcept { return m_pointer; }
    explicit operator bool() const noexcept { return m_pointer != nullptr; }
    T** Receive() noexcept {
        Reset();
        return &m_pointer;
    }
    void** ReceiveVoid() noexcept { return reinterpret_cast<void**>(Receive()); }
    // Takes a reference of its own to `pointer` (which may be null).
    void Assign(T* pointer) noexcept {
        if (pointer)
            pointer->AddRef();
        Reset();
        m_pointer = pointer;
    }
    T* Detach() noexcept {
        T* pointer = m_pointer;
        m_pointer = nullptr;
        return pointer;
    }
    void Reset() noexcept {
        if (m_pointer)
            m_pointer->Release();
        m_pointer = nullptr;
    }

private:
    T* m_pointer = nullptr;
};

// Holds a critical section for the life of a scope.
class CriticalSectionLock {
public:
    explicit CriticalSectionLock(CRITICAL_SECTION& section) noexcept : m_section(section) {
        EnterCriticalSection(&m_section);
    }
    ~CriticalSectionLock() { LeaveCriticalSection(&m_section); }
    CriticalSectionLock(const CriticalSectionLock&) = delete;
    CriticalSectionLock& operator=(const CriticalSectionLock&) = delete;

private:
    CRITICAL_SECTION& m_section;
};

struct TaskMemoryTraits {
    static LPWSTR Invalid() { return nullptr; }
    static bool Release(LPWSTR text) {
        CoTaskMemFree(text);
        return true;
    }
};

// A text that a COM call allocated with CoTaskMemAlloc for its caller.
using UniqueTaskString = UniqueHandle<LPWSTR, TaskMemoryTraits>;

struct BstrTraits {
    static BSTR Invalid() { return nullptr; }
    static bool Release(BSTR text) {
        SysFreeString(text);
        return true;
    }
};

using UniqueBstr = UniqueHandle<BSTR, BstrTraits>;

template <typename Unit> struct LocalMemoryTraits {
    static Unit* Invalid() { return nullptr; }
    static bool Release(Unit* memory) { return LocalFree(memory) == nullptr; }
};

// A text buffer from LocalAlloc: for names too long to put on the stack.
using UniqueLocalText = UniqueHandle<wchar_t*, LocalMemoryTraits<wchar_t>>;
// Bytes from LocalAlloc: for data larger than a holder keeps inline.
using UniqueLocalBytes = UniqueHandle<BYTE*, LocalMemoryTraits<BYTE>>;
