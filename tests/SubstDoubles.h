#pragma once
#include <windows.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "tests/TestSupport.h"
#include "tests/doubles/SubstDouble.h"

namespace test {

inline HMODULE LoadedSubst() {
    return GetModuleHandleA("SUBST.DLL");
}

// Puts one of the built SUBST.DLL doubles (or the companion) beside the test program under
// the name SUBST.DLL, and takes it away again.
class PlacedSubst {
public:
    explicit PlacedSubst(const char* build, const std::wstring& folder = RunFolder())
        : m_path(folder + L"SUBST.DLL") {
        m_placed = CopyFileW(InRunFolder(build).c_str(), m_path.c_str(), FALSE) != FALSE;
    }
    ~PlacedSubst() { DeleteFileW(m_path.c_str()); }
    PlacedSubst(const PlacedSubst&) = delete;
    PlacedSubst& operator=(const PlacedSubst&) = delete;

    bool Placed() const { return m_placed; }

private:
    std::wstring m_path;
    bool m_placed;
};

// The control exports of the recording double placed beside the test program. It holds a
// load of its own, so that the log outlives the objects that load and free the library.
class SubstRecorder {
public:
    SubstRecorder() : m_module(LoadLibraryW(InRunFolder("SUBST.DLL").c_str())) {}
    ~SubstRecorder() {
        if (m_module)
            FreeLibrary(m_module);
    }
    SubstRecorder(const SubstRecorder&) = delete;
    SubstRecorder& operator=(const SubstRecorder&) = delete;

    void SetResult(SubstExport which, int result) const {
        if (auto set = Control<SubstDoubleSetResultProc>("SubstDoubleSetResult"))
            set(which, result);
    }
    std::vector<SubstCall> Calls() const {
        auto count = Control<SubstDoubleCallCountProc>("SubstDoubleCallCount");
        auto get = Control<SubstDoubleGetCallProc>("SubstDoubleGetCall");
        if (!count || !get)
            return {};
        std::vector<SubstCall> calls(count());
        for (size_t i = 0; i < calls.size(); ++i)
            get(static_cast<int>(i), &calls[i]);
        return calls;
    }

private:
    template <typename Proc> Proc Control(const char* name) const {
        if (!m_module) {
            ADD_FAILURE() << "no recording SUBST.DLL beside the test program";
            return nullptr;
        }
        return reinterpret_cast<Proc>(reinterpret_cast<void*>(GetProcAddress(m_module, name)));
    }

    HMODULE m_module;
};

} // namespace test
