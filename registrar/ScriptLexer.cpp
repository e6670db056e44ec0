#include "registrar/ScriptLexer.h"

bool IsBlank(BYTE character) noexcept {
    return character == '\t' || character == '\n' || character == '\r' || character == ' ';
}

const char* FindChar(const char* text, char character) noexcept {
    if (!text)
        return nullptr;
    for (const char* p = text; *p; p = CharNextA(p))
        if (*p == character)
            return p;
    return nullptr;
}

int HexDigitValue(BYTE character) noexcept {
    if (character >= '0' && character <= '9')
        return character - '0';
    if (character >= 'A' && character <= 'F')
        return character - 'A' + 10;
    if (character >= 'a' && character <= 'f')
        return character - 'a' + 10;
    return 0;
}

void ScriptLexer::SkipSpace() noexcept {
    while (*position && IsBlank(static_cast<BYTE>(*position)))
        position = CharNextA(position);
}

bool ScriptLexer::AtClosingQuote() const noexcept {
    return *position == '\'' && *CharNextA(position) != '\'';
}

HRESULT ScriptLexer::NextToken(char* buffer) noexcept {
    SkipSpace();
    if (!*position)
        return DISP_E_EXCEPTION;
    int length = 0;
    // Copies the character at the position; a token always keeps room for its NUL.
    auto take = [&]() -> bool {
        const char* next = CharNextA(position);
        if (length + 2 >= kTokenSize)
            return false;
        while (position < next)
            buffer[length++] = *position++;
        return true;
    };

    if (*position != '\'') {
        while (*position && !IsBlank(static_cast<BYTE>(*position)))
            if (!take())
                return DISP_E_EXCEPTION;
        buffer[length] = 0;
        return S_OK;
    }

    ++position;
    while (*position && !AtClosingQuote()) {
        if (*position == '\'')
            ++position; // the first of a doubled pair
        if (!take())
            return DISP_E_EXCEPTION;
    }
    if (!*position)
        return DISP_E_EXCEPTION; // no closing quote
    buffer[length] = 0;
    ++position;
    return S_OK;
}
