#pragma once
#include <windows.h>
#include "support/Handles.h"
#include "support/KeyHandle.h"

// What tells the window that its list may be out of date, without it asking: the drive
// store's registry key (the user's setting and saved drives), watched by the platform, and the
// event the drive programs set whenever they make or delete a drive.
class ChangeWatch {
public:
    ChangeWatch() noexcept;
    ChangeWatch(const ChangeWatch&) = delete;
    ChangeWatch& operator=(const ChangeWatch&) = delete;

    // The handles to wait on, none of them null; fewer where one could not be made.
    const HANDLE* Handles() const noexcept { return m_handles; }
    DWORD Count() const noexcept { return m_count; }
    // After the handle at `index` was signalled: watches on.
    void Rearm(DWORD index) noexcept;

private:
    bool WatchStore() noexcept;

    KeyHandle m_store;
    UniqueKernelObject m_storeChanged;
    UniqueKernelObject m_drivesChanged;
    HANDLE m_handles[2] = {};
    DWORD m_count = 0;
};
