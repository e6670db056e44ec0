#pragma once
#include <windows.h>

// Folder names as a drive maps them. Every drive program resolves a name given to it here, once,
// into the one form the platform defines and reads back: absolute, without the long-path prefix,
// without a final separator but on a root ("C:\", "\\server\share"). That form is what is
// checked, defined, saved and compared. Each function answers 0 or a Win32 error code.
namespace FolderNames {

// What a name may be relative to.
enum class Names {
    Relative, // lwsubst and SUBST.DLL: as SUBST reads it, against the current folder
    FullOnly, // the window and saved drives: there is no current folder a user knows of
};

// Whether a name is a full path: "C:\folder" or "\\server\share\folder" (and their long forms,
// "\\?\C:\folder" and "\\?\UNC\server\share"); never a device's or the object manager's name.
bool IsFullPath(const wchar_t* name) noexcept;

// The folder a name stands for, without asking the file system; `full` holds `units`.
// ERROR_PATH_NOT_FOUND for no name; ERROR_INVALID_NAME for a device's or the object manager's
// name ("\\.\", "\??\") or a long form that is not already whole (it would stand for another
// folder once read as a short one); ERROR_BAD_PATHNAME for a relative name where only full ones
// go; ERROR_FILENAME_EXCED_RANGE for a folder longer than `units` holds.
int FullName(const wchar_t* given, Names names, wchar_t* full, size_t units) noexcept;

// FullName's folder, and that it exists: ERROR_PATH_NOT_FOUND, ERROR_DIRECTORY for a file.
int ExistingFolder(const wchar_t* given, Names names, wchar_t* full, size_t units) noexcept;
// Whether a folder in the mapped form exists now.
bool IsFolder(const wchar_t* full) noexcept;

// Whether two names stand for one folder: each in the mapped form, compared as the file system
// compares names. A name that is no full path stands for no folder.
bool SameFolder(const wchar_t* one, const wchar_t* other) noexcept;

// The folder a DOS device's target names: "\??\C:\folder" as "C:\folder", "\??\UNC\server\share"
// as "\\server\share"; false for a target of another form. `folder` holds `units`.
bool FromTarget(const wchar_t* target, wchar_t* folder, size_t units) noexcept;

} // namespace FolderNames
