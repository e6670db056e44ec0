#include "extension/CommandTexts.h"
#include "extension/CommandOffsets.h"
#include "support/UiLanguage.h"
#include "resources/ResourceIds.h"

namespace {

template <typename Text> void Title(const TextSource& source, UINT offset, Text& text) {
    if (offset < kLetterCount)
        FormatResourceText(source, text, IDS_DRIVE_ITEM, 'A' + offset);
    else if (offset == kPopupOffset)
        LoadResourceString(source, text, IDS_CREATE_DRIVE);
    else if (offset == kDeleteOffset)
        LoadResourceString(source, text, IDS_DELETE_DRIVE);
}

template <typename Text> void HelpText(const TextSource& source, UINT offset, Text& text) {
    if (offset < kLetterCount)
        FormatResourceText(source, text, IDS_HELP_CREATE, 'A' + offset);
    else if (offset == kDeleteOffset)
        LoadResourceString(source, text, IDS_HELP_DELETE);
}

} // namespace

void GetCommandTitle(const TextSource& source, UINT offset, AnsiString& text) noexcept {
    Title(source, offset, text);
}

void GetCommandTitle(const TextSource& source, UINT offset, WideUiText& text) noexcept {
    Title(source, offset, text);
}

void GetCommandHelpText(const TextSource& source, UINT offset, AnsiString& text) noexcept {
    HelpText(source, offset, text);
}

void GetCommandHelpText(const TextSource& source, UINT offset, WideUiText& text) noexcept {
    HelpText(source, offset, text);
}

TextSource UserTexts(ResourceModules* resources) noexcept {
    return TextSource{resources, ChooseUiLanguage()};
}
