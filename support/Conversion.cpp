#include "support/Conversion.h"
#include "support/CodePage.h"

namespace Conversion {

int AnsiToWide(const char* text, int count, wchar_t* buffer) noexcept {
    return MultiByteToWideChar(GetConversionCodePage(), 0, text, count, buffer, count);
}

int AnsiBytes(const wchar_t* text) noexcept {
    return WideCharToMultiByte(GetConversionCodePage(), 0, text, -1, nullptr, 0, nullptr, nullptr);
}

bool WideToAnsi(const wchar_t* text, char* buffer, int bytes) noexcept {
    return WideCharToMultiByte(GetConversionCodePage(), 0, text, -1, buffer, bytes, nullptr,
                               nullptr) != 0;
}

} // namespace Conversion
