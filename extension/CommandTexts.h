#pragma once
#include <windows.h>
#include "extension/ResourceStrings.h"

// The drive commands' titles and help texts, by CommandOffset, in the source's language;
// empty for an offset that has none.
void GetCommandTitle(const TextSource& source, UINT offset, AnsiString& text) noexcept;
void GetCommandTitle(const TextSource& source, UINT offset, WideUiText& text) noexcept;
void GetCommandHelpText(const TextSource& source, UINT offset, AnsiString& text) noexcept;
void GetCommandHelpText(const TextSource& source, UINT offset, WideUiText& text) noexcept;

// The texts of the user who is signed in: the module's resources in the user's language.
TextSource UserTexts(ResourceModules* resources) noexcept;
