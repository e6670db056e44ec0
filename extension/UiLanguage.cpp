#include "extension/UiLanguage.h"

namespace {

using GetUserDefaultUILanguageProc = LANGID(WINAPI*)();

// Windows before 2000 has no user-interface language of its own: there the user's locale
// stands for it.
LANGID UserInterfaceLanguage() {
    const HMODULE kernel = GetModuleHandleA("kernel32.dll");
    const auto proc = reinterpret_cast<GetUserDefaultUILanguageProc>(reinterpret_cast<void*>(
        kernel ? GetProcAddress(kernel, "GetUserDefaultUILanguage") : nullptr));
    return proc ? proc() : GetUserDefaultLangID();
}

} // namespace

LANGID UiLanguageFor(LANGID userLanguage) noexcept {
    return PRIMARYLANGID(userLanguage) == LANG_JAPANESE ? kJapaneseTexts : kEnglishTexts;
}

LANGID ChooseUiLanguage() noexcept {
    return UiLanguageFor(UserInterfaceLanguage());
}
