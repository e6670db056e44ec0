#include "extension/UiLanguage.h"

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

// Two threads may look it up at once; both find the same function.
GetUserDefaultUILanguageProc volatile languageProc = nullptr;

LANGID UserInterfaceLanguage() {
    GetUserDefaultUILanguageProc proc = languageProc;
    if (!proc) {
        proc = LookUpLanguageProc();
        InterlockedExchangePointer(reinterpret_cast<PVOID volatile*>(&languageProc),
                                   reinterpret_cast<PVOID>(proc));
    }
    return proc();
}

} // namespace

LANGID UiLanguageFor(LANGID userLanguage) noexcept {
    return PRIMARYLANGID(userLanguage) == LANG_JAPANESE ? kJapaneseTexts : kEnglishTexts;
}

LANGID ChooseUiLanguage() noexcept {
    return UiLanguageFor(UserInterfaceLanguage());
}
