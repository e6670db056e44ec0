#include "support/CodePage.h"
#include "support/ChosenOnce.h"
#include "support/Platform.h"

namespace {

using CodePageRule = UINT (*)();

UINT ThreadAnsiCodePage() {
    return CP_THREAD_ACP;
}

// Before NT 5 there is no CP_THREAD_ACP, so the thread locale is asked every time.
UINT ThreadLocaleCodePage() {
    char text[8] = {};
    if (GetLocaleInfoA(GetThreadLocale(), LOCALE_IDEFAULTANSICODEPAGE, text, 7) == 0)
        return GetACP();
    UINT codePage = 0;
    for (const char* p = text; *p >= '0' && *p <= '9'; ++p)
        codePage = codePage * 10 + static_cast<UINT>(*p - '0');
    return codePage ? codePage : GetACP();
}

CodePageRule ChooseRule() {
    return Platform::IsNt5OrLater() ? ThreadAnsiCodePage : ThreadLocaleCodePage;
}

CodePageRule volatile chosenRule = nullptr;

} // namespace

UINT GetConversionCodePage() noexcept {
    return ChosenOnce(chosenRule, ChooseRule)();
}
