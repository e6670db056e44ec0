#pragma once
#include <windows.h>

// The language of the handler's texts: Japanese for a user whose Windows speaks Japanese,
// English for everyone else.
LANGID ChooseUiLanguage() noexcept;
// The same rule for a given user-interface language.
LANGID UiLanguageFor(LANGID userLanguage) noexcept;

const LANGID kJapaneseTexts = MAKELANGID(LANG_JAPANESE, SUBLANG_JAPANESE_JAPAN);
const LANGID kEnglishTexts = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
