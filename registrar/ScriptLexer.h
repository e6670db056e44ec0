#pragma once
#include <windows.h>

class Registrar;

// Every token is read into a caller's buffer of this size, NUL included.
const int kTokenSize = 4096;

// The position in one expanded registry script, and the lexer that reads it into tokens. Multibyte
// characters are stepped whole, so a trail byte is never taken for a blank, a quote, a
// brace or "=".
class ScriptLexer {
public:
    explicit ScriptLexer(Registrar* registrar = nullptr) noexcept
        : position(nullptr), registrar(registrar) {}

    void SkipSpace() noexcept;
    bool AtClosingQuote() const noexcept;
    // S_OK with the next token in the buffer, or DISP_E_EXCEPTION.
    HRESULT NextToken(char* buffer) noexcept;

    const char* position;
    Registrar* registrar; // gives the replacement variables
};

bool IsBlank(BYTE character) noexcept;
// The first character whose first byte is the given one, stepping whole characters.
const char* FindChar(const char* text, char character) noexcept;
int HexDigitValue(BYTE character) noexcept;
