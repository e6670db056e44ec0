#include "drives/window/ChangeWatch.h"
#include "drives/DosDevices.h"
#include "drives/StoreKeys.h"

ChangeWatch::ChangeWatch() noexcept
    : m_storeChanged(CreateEventW(nullptr, FALSE, FALSE, nullptr)),
      m_drivesChanged(CreateEventW(nullptr, FALSE, FALSE, DosDevices::kChangedEvent)) {
    // Made if it is not there yet, so that the first saved drive is seen too.
    if (m_storeChanged && !m_store.Create(HKEY_CURRENT_USER, StoreKeys::kSettings, KEY_NOTIFY) &&
        WatchStore())
        m_handles[m_count++] = m_storeChanged.Get();
    if (m_drivesChanged)
        m_handles[m_count++] = m_drivesChanged.Get();
}

bool ChangeWatch::WatchStore() noexcept {
    const DWORD changes = REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET;
    return RegNotifyChangeKeyValue(m_store.Get(), TRUE, changes, m_storeChanged.Get(), TRUE) ==
           ERROR_SUCCESS;
}

void ChangeWatch::Rearm(DWORD index) noexcept {
    // The drives' event resets itself; the key's watch ends with each change it reports.
    if (index < m_count && m_handles[index] == m_storeChanged.Get())
        WatchStore();
}
