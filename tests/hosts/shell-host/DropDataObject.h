#pragma once
#include <windows.h>
#include <shlobj.h>
#include <deque>
#include <string>
#include <vector>

namespace host {

// A data object that hands out a CF_HDROP as the shell gives one to its handlers: a
// DROPFILES block in global memory with wide paths. It counts how often its medium is taken
// and released.
class DropDataObject : public IDataObject {
public:
    // ANSI paths, read in the ANSI code page as the shell's own would be.
    explicit DropDataObject(const std::vector<std::string>& paths, bool offerDrop = true)
        : m_offerDrop(offerDrop) {
        for (const std::string& path : paths) {
            std::wstring wide(path.size() + 1, L'\0');
            const int units = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, &wide[0],
                                                  static_cast<int>(wide.size()));
            m_paths.emplace_back(wide.c_str(), units ? units - 1 : 0);
        }
    }
    DropDataObject(const std::vector<std::wstring>& paths, bool offerDrop)
        : m_paths(paths), m_offerDrop(offerDrop) {}
    ~DropDataObject() {
        for (HGLOBAL handle : m_handed)
            GlobalFree(handle);
    }

    int taken = 0;
    int released = 0;

    HGLOBAL MakeDrop() const {
        std::wstring list;
        for (const std::wstring& path : m_paths) {
            list += path;
            list += L'\0';
        }
        list += L'\0';
        if (m_paths.empty())
            list += L'\0';
        const SIZE_T size = sizeof(DROPFILES) + list.size() * sizeof(wchar_t);
        HGLOBAL handle = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
        auto* drop = static_cast<DROPFILES*>(GlobalLock(handle));
        if (!drop) {
            GlobalFree(handle);
            return nullptr;
        }
        drop->pFiles = sizeof(DROPFILES);
        drop->fWide = TRUE;
        CopyMemory(drop + 1, list.data(), list.size() * sizeof(wchar_t));
        GlobalUnlock(handle);
        return handle;
    }

    // The object lives on the test's stack: its counts change nothing.
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown || riid == IID_IDataObject) {
            *ppv = static_cast<IDataObject*>(this);
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    // Reached through pUnkForRelease, when ReleaseStgMedium gives the medium back.
    STDMETHODIMP_(ULONG) Release() override { return 1; }

    STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override {
        if (!m_offerDrop || format->cfFormat != CF_HDROP || !(format->tymed & TYMED_HGLOBAL))
            return DV_E_FORMATETC;
        HGLOBAL drop = MakeDrop();
        if (!drop)
            return E_OUTOFMEMORY;
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = drop;
        m_handed.push_back(drop);
        medium->pUnkForRelease = &m_releaser;
        ++taken;
        return S_OK;
    }
    STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    STDMETHODIMP QueryGetData(FORMATETC*) override { return E_NOTIMPL; }
    STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
    STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP DUnadvise(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }

private:
    // ReleaseStgMedium calls Release on pUnkForRelease instead of freeing the memory.
    struct Releaser : IUnknown {
        explicit Releaser(DropDataObject& owner) : owner(owner) {}
        STDMETHODIMP QueryInterface(REFIID, void** ppv) override {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        STDMETHODIMP_(ULONG) AddRef() override { return 2; }
        // A medium is given back once and never used again: free the oldest one out.
        STDMETHODIMP_(ULONG) Release() override {
            ++owner.released;
            if (!owner.m_handed.empty()) {
                GlobalFree(owner.m_handed.front());
                owner.m_handed.pop_front();
            }
            return 1;
        }
        DropDataObject& owner;
    };

    std::vector<std::wstring> m_paths;
    bool m_offerDrop = true;
    std::deque<HGLOBAL> m_handed;
    Releaser m_releaser{*this};
};

} // namespace host
