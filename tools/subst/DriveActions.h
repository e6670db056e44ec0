#pragma once
#include <windows.h>

// What lwsubst and the Lanterwell window do to virtual drives, by the drive store's one rule
// (DriveStore.h). Each answers what happened, for the caller to say in its own words; none
// says anything itself.
namespace DriveActions {

// Whether two folder names name one folder, as the drive store compares them.
bool SameFolder(const wchar_t* one, const wchar_t* other) noexcept;

// One drive letter as the lists show it.
struct Listing {
    bool mapped = false;     // a virtual drive of this session
    bool saved = false;      // a saved entry naming a folder
    bool unreadable = false; // a saved entry that names no folder
    bool sameFolder = false; // mapped to the folder it is saved with
    wchar_t mappedFolder[MAX_PATH] = {};
    wchar_t savedFolder[MAX_PATH] = {};
};
Listing Read(int drive) noexcept;

// Makes a drive. `save` (lwsubst's /save, the window's "Restore at sign-in") keeps it whatever
// the setting and makes the user's restore their own and on, with their own sign-in entry;
// otherwise it is kept while the user's restore is on.
struct Made {
    int created = 0;              // DosDevices::Create's answer
    int saved = 0;                // the drive store's answer, once made
    bool restoreTurnedOn = false; // restoring was off for the user until now
};
Made Make(int drive, const wchar_t* folder, bool save) noexcept;

// Deletes a virtual drive of this session and forgets its saved entry; a drive that is
// neither is no virtual drive.
enum class Deleted { Done, NotVirtual, Failed };
Deleted Delete(int drive, int& error) noexcept;

// The user's own restore setting, and their own sign-in entry that runs the lwsubst.exe
// beside this program: 0 or a Win32 error code.
int Persist(bool on) noexcept;

} // namespace DriveActions
