#include "drives/MachineDrives.h"
#include "drives/FolderNames.h"
#include "drives/StoreKeys.h"
#include "support/DriveLetters.h"
#include "support/KeyHandle.h"
#include "support/OrdinalNames.h"
#include <strsafe.h>

namespace {

using MachineDrives::kFolderUnits;
using StoreKeys::kMachineDrives;
using StoreKeys::kMadeMachineDrives;

const wchar_t kPrefix[] = L"\\??\\";
const int kPrefixLength = 4;
// A value's data: the prefix, the folder and its terminator.
const size_t kDataUnits = kPrefixLength + kFolderUnits;
// Lanterwell's note of what it wrote is in the native view, whichever program reads it.
const REGSAM kNative = KEY_WOW64_64KEY;

UniqueLocalText NewText(size_t units) {
    return UniqueLocalText(
        static_cast<wchar_t*>(LocalAlloc(LMEM_ZEROINIT, units * sizeof(wchar_t))));
}

bool SameName(const wchar_t* one, const wchar_t* other) {
    return SameNameIgnoringCase(one, -1, other, -1);
}

// A REG_SZ value of at most `units` units with its terminator: ERROR_FILE_NOT_FOUND for none,
// ERROR_INVALID_DATA for one of another type or length.
int ReadText(const wchar_t* path, REGSAM view, const wchar_t* name, wchar_t* text, size_t units) {
    KeyHandle key;
    if (const LONG error = key.Open(HKEY_LOCAL_MACHINE, path, KEY_QUERY_VALUE | view))
        return error;
    DWORD type = REG_NONE;
    DWORD size = static_cast<DWORD>((units - 1) * sizeof(wchar_t));
    const LONG error =
        RegQueryValueExW(key.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
    if (error == ERROR_MORE_DATA || (!error && (type != REG_SZ || size % sizeof(wchar_t))))
        return ERROR_INVALID_DATA;
    if (error)
        return error;
    text[size / sizeof(wchar_t)] = 0;
    return 0;
}

LONG WriteText(HKEY key, const wchar_t* name, const wchar_t* text, size_t units) {
    size_t length = 0;
    if (FAILED(StringCchLengthW(text, units, &length)))
        return ERROR_FILENAME_EXCED_RANGE;
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                          static_cast<DWORD>((length + 1) * sizeof(wchar_t)));
}

bool HasPrefix(const wchar_t* text, const wchar_t* prefix, int length) {
    return lstrlenW(text) >= length && SameNameIgnoringCase(text, length, prefix, length);
}

} // namespace

namespace MachineDrives {

UniqueLocalText NewFolder() noexcept {
    return NewText(kFolderUnits);
}

bool Holds(int drive) noexcept {
    const DriveLetters::Name name = DriveLetters::DeviceName(drive);
    KeyHandle key;
    return DriveLetters::IsDrive(drive) &&
           key.Open(HKEY_LOCAL_MACHINE, kMachineDrives, KEY_QUERY_VALUE) == 0 &&
           RegQueryValueExW(key.Get(), name.text, nullptr, nullptr, nullptr, nullptr) == 0;
}

int Read(int drive, wchar_t* folder) noexcept {
    if (!DriveLetters::IsDrive(drive))
        return ERROR_INVALID_DRIVE;
    UniqueLocalText data = NewText(kDataUnits);
    if (!data)
        return ERROR_OUTOFMEMORY;
    const DriveLetters::Name name = DriveLetters::DeviceName(drive);
    if (const int error = ReadText(kMachineDrives, 0, name.text, data.Get(), kDataUnits))
        return error;
    // Another program may have written another form of target: shown as it stands.
    const wchar_t* target = data.Get();
    if (!FolderNames::FromTarget(target, folder, kFolderUnits) &&
        FAILED(StringCchCopyW(folder, kFolderUnits, target)))
        return ERROR_INVALID_DATA;
    return *folder ? 0 : ERROR_INVALID_DATA;
}

bool Ours(int drive, const wchar_t* folder) noexcept {
    UniqueLocalText noted = NewFolder();
    const DriveLetters::Name name = DriveLetters::DeviceName(drive);
    return noted && DriveLetters::IsDrive(drive) &&
           ReadText(kMadeMachineDrives, kNative, name.text, noted.Get(), kFolderUnits) == 0 &&
           SameName(noted.Get(), folder);
}

bool Present(int drive, const wchar_t* folder) noexcept {
    wchar_t name[] = L"Global\\X:";
    name[7] = DriveLetters::Letter(drive);
    // The platform's counted strings hold 32767 units at most: a larger buffer is refused.
    const DWORD kQueryUnits = 32767;
    UniqueLocalText target = NewText(kQueryUnits);
    return target && DriveLetters::IsDrive(drive) &&
           QueryDosDeviceW(name, target.Get(), kQueryUnits) &&
           HasPrefix(target.Get(), kPrefix, kPrefixLength) &&
           SameName(target.Get() + kPrefixLength, folder);
}

int Write(int drive, const wchar_t* folder) noexcept {
    UniqueLocalText data = NewText(kDataUnits);
    UniqueLocalText before = NewFolder();
    if (!data || !before)
        return ERROR_OUTOFMEMORY;
    if (!DriveLetters::IsDrive(drive) ||
        FAILED(StringCchPrintfW(data.Get(), kDataUnits, L"%s%s", kPrefix, folder)))
        return ERROR_INVALID_PARAMETER;
    const DriveLetters::Name name = DriveLetters::DeviceName(drive);
    const bool wasOurs = Read(drive, before.Get()) == 0 && Ours(drive, before.Get());
    // Both keys open before either changes: a refusal changes nothing.
    KeyHandle devices;
    KeyHandle made;
    // Every Windows has the key; a fresh Wine prefix may not yet.
    if (const LONG error = devices.Create(HKEY_LOCAL_MACHINE, kMachineDrives, KEY_SET_VALUE))
        return error;
    if (const LONG error =
            made.Create(HKEY_LOCAL_MACHINE, kMadeMachineDrives, KEY_SET_VALUE | kNative))
        return error;
    if (const LONG error = WriteText(made.Get(), name.text, folder, kFolderUnits))
        return error;
    const LONG error = WriteText(devices.Get(), name.text, data.Get(), kDataUnits);
    if (!error)
        return 0;
    // The note is put back: Lanterwell's as it was, or none for another program's value.
    if (wasOurs)
        WriteText(made.Get(), name.text, before.Get(), kFolderUnits);
    else
        RegDeleteValueW(made.Get(), name.text);
    return error;
}

int Remove(int drive) noexcept {
    if (!DriveLetters::IsDrive(drive))
        return ERROR_INVALID_DRIVE;
    const DriveLetters::Name name = DriveLetters::DeviceName(drive);
    KeyHandle devices;
    if (const LONG error = devices.Open(HKEY_LOCAL_MACHINE, kMachineDrives, KEY_SET_VALUE))
        return error;
    if (const LONG error = RegDeleteValueW(devices.Get(), name.text))
        return error;
    // A note left behind names nothing: Ours compares it with a value, and there is none.
    KeyHandle made;
    if (made.Open(HKEY_LOCAL_MACHINE, kMadeMachineDrives, KEY_SET_VALUE | kNative) == 0)
        RegDeleteValueW(made.Get(), name.text);
    return 0;
}

} // namespace MachineDrives
