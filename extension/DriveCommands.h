#pragma once
#include <windows.h>
#include "extension/CommandOffsets.h"
#include "extension/ExtensionModule.h"
#include "extension/ResourceStrings.h"
#include "extension/SubstLibrary.h"
#include "support/Policy.h"

// What Lanterwell offers for one selected item, the texts it shows for it and how each
// command (by its CommandOffset) is carried out, apart from any menu: the context-menu handler
// and the Explorer command present it.
class DriveCommands {
public:
    // Loads SUBST.DLL and chooses the language of the user's texts.
    explicit DriveCommands(const ExtensionModule& module) noexcept;
    DriveCommands(const DriveCommands&) = delete;
    DriveCommands& operator=(const DriveCommands&) = delete;

    // A multiple selection: nothing is offered for it.
    void ClearSelection() noexcept;
    // Takes the one selected item's ANSI path. exactName is the item's UTF-16 name where the
    // platform has one (null before NT): a path that names anything else (cut, best-fitted,
    // '?') is refused with E_INVALIDARG and clears the selection.
    HRESULT Select(const char* path, const wchar_t* exactName) noexcept;
    // The same from a UTF-16 path, which the ANSI code page must hold exactly.
    HRESULT SelectPath(const wchar_t* path) noexcept;

    // Whether anything is offered: the library is there, and the selection is a folder or
    // a drive root (with or without a medium) on this computer.
    bool OffersCommands() const noexcept;
    // What a path's text alone tells, without the disk or the library: whether it may be
    // offered anything (no share, a name the ANSI code page holds exactly), and whether it
    // names a drive's root.
    static bool NameMayBeOffered(const wchar_t* path) noexcept;
    static bool NamesDriveRoot(const wchar_t* path) noexcept;
    // Reads the letters in use at this moment; answers the mask of the free ones that the
    // administrator's policy does not keep.
    static DWORD ReadFreeLetters(const Policy::Menu& policy) noexcept;
    // Whether the selection is the root of a drive that the library reports as mapped.
    bool OffersDelete() const noexcept;

    // A command's title and help text in the user's language; empty for no command.
    void GetTitle(UINT offset, AnsiString& text) const noexcept;
    void GetTitle(UINT offset, WideUiText& text) const noexcept;
    void GetHelpText(UINT offset, AnsiString& text) const noexcept;
    void GetHelpText(UINT offset, WideUiText& text) const noexcept;

    // Carries a command out, its failure reported in a box owned by `owner`; false when the
    // offset is no command (the popup included).
    bool Invoke(UINT offset, HWND owner) noexcept;

    void CreateVirtualDrive(UINT drive, HWND owner) noexcept;
    void DeleteVirtualDrive(UINT drive, HWND owner) noexcept;
    INT GetDriveNumber() const noexcept;
    static bool IsValidDriveNumber(UINT drive) noexcept;
    int ShowErrorMessage(HWND owner, UINT textId, UINT captionId, UINT style) const noexcept;
    static int OpenDriveWindow(const char* root) noexcept;
    static int LaunchProcess(const char* application, const char* commandLine) noexcept;

private:
    TextSource m_text;
    char m_path[MAX_PATH + 1];
    SubstLibrary m_subst;
};
