#include "drives/DosDevices.h"
#include "drives/MachineDrives.h"
#include "support/DriveLetters.h"
#include "support/Handles.h"
#include "support/Policy.h"

namespace {

const wchar_t kDrivesMutex[] = L"Local\\Lanterwell.Drives";
// A make or a delete takes milliseconds: a lock held longer belongs to a program that hangs.
const DWORD kTurnWait = 30000;

const wchar_t kSubstPrefix[] = L"\\??\\";
const int kSubstPrefixLength = sizeof(kSubstPrefix) / sizeof(wchar_t) - 1;
// The prefix, a folder of up to MAX_PATH units and the list's two terminators.
const int kTargetUnits = MAX_PATH + 8;

bool DriveName(int drive, wchar_t (&name)[3]) {
    if (!DriveLetters::IsDrive(drive))
        return false;
    name[0] = DriveLetters::Letter(drive);
    name[1] = L':';
    name[2] = 0;
    return true;
}

// The raw target of a substituted drive ("\??\C:\folder"); false for any other drive.
bool SubstTarget(const wchar_t* name, wchar_t (&target)[kTargetUnits]) {
    if (QueryDosDeviceW(name, target, kTargetUnits) == 0)
        return false;
    for (int i = 0; i < kSubstPrefixLength; ++i)
        if (target[i] != kSubstPrefix[i])
            return false;
    return true;
}

// A drive's name and raw target when it is a substitution; a real drive is never one.
int FindSubst(int drive, wchar_t (&name)[3], wchar_t (&target)[kTargetUnits]) {
    if (!DriveName(drive, name))
        return ERROR_INVALID_DRIVE;
    return SubstTarget(name, target) ? 0 : ERROR_FILE_NOT_FOUND;
}

// Whoever watches (the drives window) learns that a drive came or went.
void TellWatchers() {
    const UniqueKernelObject changed(
        OpenEventW(EVENT_MODIFY_STATE, FALSE, DosDevices::kChangedEvent));
    if (changed)
        SetEvent(changed.Get());
}

int LastErrorOr(int fallback) {
    const DWORD error = GetLastError();
    return error ? static_cast<int>(error) : fallback;
}

} // namespace

namespace DosDevices {

const wchar_t kChangedEvent[] = L"Local\\Lanterwell.DrivesChanged";

Turn::Turn() noexcept : Turn(kDrivesMutex, kTurnWait) {}

Turn::Turn(const wchar_t* name, DWORD wait) noexcept : m_mutex(CreateMutexW(nullptr, FALSE, name)) {
    const DWORD waited = m_mutex ? WaitForSingleObject(m_mutex.Get(), wait) : WAIT_FAILED;
    m_held = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
}

Turn::~Turn() {
    if (m_held)
        ReleaseMutex(m_mutex.Get());
}

int LetterFree(int drive) noexcept {
    if (!DriveLetters::IsDrive(drive))
        return ERROR_INVALID_DRIVE;
    if (Policy::ReservedLetters() & (1u << (drive - 1)))
        return kReservedByPolicy;
    // A drive of the session would hide the one for every user from this user's programs.
    if (MachineDrives::Holds(drive))
        return kMachineDriveHolds;
    return GetLogicalDrives() & (1u << (drive - 1)) ? ERROR_ALREADY_ASSIGNED : 0;
}

DWORD FreeLetters() noexcept {
    DWORD free = DriveLetters::FreeOf(GetLogicalDrives()) & ~Policy::ReservedLetters();
    for (int drive = 1; drive <= DriveLetters::kCount; ++drive)
        if ((free & (1u << (drive - 1))) && MachineDrives::Holds(drive))
            free &= ~(1u << (drive - 1));
    return free;
}

int Create(int drive, const wchar_t* given, FolderNames::Names names,
           wchar_t (&full)[MAX_PATH]) noexcept {
    full[0] = 0;
    const Turn turn;
    if (!turn.Held())
        return ERROR_BUSY;
    if (const int error = LetterFree(drive))
        return error;
    if (const int error = FolderNames::ExistingFolder(given, names, full, MAX_PATH))
        return error;
    if (const int error = Define(drive, full))
        return error;
    if (FolderNames::IsFolder(full))
        return 0;
    Delete(drive);
    return ERROR_PATH_NOT_FOUND;
}

int Define(int drive, const wchar_t* folder) noexcept {
    wchar_t name[3];
    if (!DriveName(drive, name) || !folder)
        return ERROR_INVALID_PARAMETER;
    if (!DefineDosDeviceW(0, name, folder))
        return LastErrorOr(ERROR_INVALID_FUNCTION);
    TellWatchers();
    return 0;
}

int Query(int drive, wchar_t* folder) noexcept {
    wchar_t name[3];
    wchar_t target[kTargetUnits];
    if (const int error = FindSubst(drive, name, target))
        return error;
    if (!folder)
        return 0;
    return FolderNames::FromTarget(target, folder, MAX_PATH) ? 0 : ERROR_FILENAME_EXCED_RANGE;
}

int Delete(int drive) noexcept {
    const Turn turn;
    if (!turn.Held())
        return ERROR_BUSY;
    wchar_t name[3];
    wchar_t target[kTargetUnits];
    if (const int error = FindSubst(drive, name, target))
        return error;
    if (!DefineDosDeviceW(DDD_REMOVE_DEFINITION | DDD_RAW_TARGET_PATH | DDD_EXACT_MATCH_ON_REMOVE,
                          name, target))
        return LastErrorOr(ERROR_INVALID_FUNCTION);
    TellWatchers();
    return 0;
}

} // namespace DosDevices
