#include "support/UiLanguage.h"

#include "support/ChosenOnce.h"

namespace {

using GetUserDefaultUILanguageProc = LANGID(WINAPI*)();

// Windows before 2000 has no user-interface language of its own: there the user's locale
// stands for it. Looked up once: every menu text asks.
GetUserDefaultUILanguageProc LookUpLanguageProc() {
    const HMODULE kernel = GetModuleHandleA("kernel32.dll");
    const auto proc = reinterpret_cast<GetUserDefaultUILanguageProc>(reinterpret_cast<void*>(
        kernel ? GetProcAddress(kernel, "GetUserDefaultUILanguage") : nullptr));
    return proc ? proc : GetUserDefaultLangID;
}

GetUserDefaultUILanguageProc volatile languageProc = nullptr;

LANGID UserInterfaceLanguage() {
    return ChosenOnce(languageProc, LookUpLanguageProc)();
}

} // namespace

LANGID UiLanguageFor(LANGID userLanguage) noexcept {
    return PRIMARYLANGID(userLanguage) == LANG_JAPANESE ? kJapaneseTexts : kEnglishTexts;
}

LANGID ChooseUiLanguage() noexcept {
    return UiLanguageFor(UserInterfaceLanguage());
}
