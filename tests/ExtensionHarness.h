#pragma once
#include <windows.h>
#include <shlobj.h>
#include <string>
#include <vector>
#include "extension/CommandOffsets.h"
#include "extension/ShellExtension.h"
#include "server/ModuleInstance.h"
#include "server/ModuleRecords.h"
#include "tests/hosts/shell-host/DropDataObject.h"

namespace test {

// Shift held down, or not, for the length of a scope.
class KeyboardShift {
public:
    explicit KeyboardShift(bool down) {
        GetKeyboardState(m_saved);
        BYTE keys[256];
        CopyMemory(keys, m_saved, sizeof(keys));
        keys[VK_SHIFT] = down ? 0x80 : 0;
        keys[VK_LSHIFT] = keys[VK_SHIFT];
        SetKeyboardState(keys);
    }
    ~KeyboardShift() { SetKeyboardState(m_saved); }

private:
    BYTE m_saved[256];
};

// The handler as the object forms wrap it, with an IUnknown that counts nothing.
class TestExtension : public ShellExtension {
public:
    TestExtension() : ShellExtension(ModuleForExtension()) {}

    STDMETHODIMP QueryInterface(REFIID, void** ppv) override {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 1; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                        UINT*) override {
        return E_NOTIMPL;
    }

    template <typename Path> HRESULT Select(const std::vector<Path>& paths) {
        host::DropDataObject data(paths, true);
        return Initialize(nullptr, &data, nullptr);
    }
    HRESULT Select(std::initializer_list<std::string> paths) {
        return Select(std::vector<std::string>(paths));
    }
    // A drive made opens no file-manager window unless asked to: a window left open on the
    // tester's desktop would outlive the test.
    HRESULT Run(UINT offset, HWND owner = nullptr, bool opensWindow = false) {
        const KeyboardShift shift(!opensWindow);
        CMINVOKECOMMANDINFO info = {};
        info.cbSize = sizeof(info);
        info.hwnd = owner;
        info.lpVerb = MAKEINTRESOURCEA(offset);
        return InvokeCommand(&info);
    }
};

// A menu of the shell's with three items of its own.
class ShellMenu {
public:
    ShellMenu() : m_menu(CreatePopupMenu()) {
        for (UINT i = 0; i < 3; ++i)
            InsertMenuA(m_menu, i, MF_BYPOSITION | MF_STRING, 1 + i, "shell item");
    }
    ~ShellMenu() { DestroyMenu(m_menu); }
    HMENU Get() const { return m_menu; }

private:
    HMENU m_menu;
};

inline HRESULT Query(ShellExtension& extension, HMENU menu, UINT index = 1, UINT flags = CMF_NORMAL,
                     UINT last = 1000) {
    return extension.QueryContextMenu(menu, index, 100, last, flags);
}

const UINT kFirst = 100;
// What QueryContextMenu answers: a folder's menu takes the letters and their popup, a virtual
// drive's root the delete command too.
const HRESULT kFolderItems = MAKE_HRESULT(0, 0, kPopupOffset + 1);
const HRESULT kRootItems = MAKE_HRESULT(0, 0, kCommandCount);

} // namespace test
