#pragma once
#include <windows.h>
#include "drives/FolderNames.h"
#include "support/Handles.h"

// Substituted drives as the platform keeps them: DOS device names whose target is a folder
// behind the "\??\" prefix. Paths are UTF-16 throughout, so every folder name the file system
// can hold is mapped exactly. Each function answers 0 or a Win32 error code.
//
// The one gate of the drives of a session: every program makes and deletes them here alone,
// through the drive core's rules (DriveActions.h). A drive is made only on a letter that is free
// and that no drive for every user holds, and only for the existing folder the name stands for,
// exactly as it is checked (FolderNames.h). A lock of the session holds from the check to the
// definition: the platform stacks a second definition on a letter rather than refusing it, and
// a later delete would uncover the first.
namespace DosDevices {

// Set each time a drive is made or deleted here, for the drives window to follow: the
// platform tells nobody when a DOS device is defined.
extern const wchar_t kChangedEvent[];

// The drive programs' own code for a letter that a drive for every user holds, now or from the
// next start (bit 29 marks a code of an application's own).
const int kMachineDriveHolds = 0x20000001;

// The drive programs' own code for a letter the administrator's policy keeps for the
// organisation (Policy::ReservedLetters).
const int kReservedByPolicy = 0x20000002;

// Whether a letter can take a drive of the session: ERROR_ALREADY_ASSIGNED for one in use,
// kMachineDriveHolds, kReservedByPolicy.
int LetterFree(int drive) noexcept;
// The letters that can take a drive of the session, as a drive mask: none the policy keeps.
DWORD FreeLetters() noexcept;

// Makes a drive of the session for the folder a name stands for; `full` (MAX_PATH units)
// receives the folder as mapped. A folder that goes between the check and the definition
// leaves no drive behind.
int Create(int drive, const wchar_t* given, FolderNames::Names names,
           wchar_t (&full)[MAX_PATH]) noexcept;

// Maps a letter to a folder in the mapped form, without a check: for putting back a drive as
// it was mapped, whose folder may be gone.
int Define(int drive, const wchar_t* folder) noexcept;

// The folder of a substituted drive (without the prefix; a share as "\\server\share");
// ERROR_FILE_NOT_FOUND for a drive that is not one. `folder` holds MAX_PATH units.
int Query(int drive, wchar_t* folder) noexcept;

// Removes a substitution, under the lock; a real drive is never touched.
int Delete(int drive) noexcept;

// Holds a lock of the session (a named mutex) while it lives: by default the lock of the
// drives, for a change made of several steps (it is the thread's again in Create and Delete).
class Turn {
public:
    Turn() noexcept;
    Turn(const wchar_t* name, DWORD wait) noexcept;
    ~Turn();
    Turn(const Turn&) = delete;
    Turn& operator=(const Turn&) = delete;
    // False when another program held the lock too long: nothing may be changed.
    bool Held() const noexcept { return m_held; }

private:
    UniqueKernelObject m_mutex;
    bool m_held;
};

} // namespace DosDevices
