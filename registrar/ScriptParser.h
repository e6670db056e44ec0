#pragma once
#include <windows.h>

class Registrar;

// Every token is read into a caller's buffer of this size, NUL included.
const int kTokenSize = 4096;

// The position in one expanded registry script, and the lexer that reads it. Multibyte
// characters are stepped whole, so a trail byte is never taken for a blank, a quote, a
// brace or "=".
class ScriptParser {
public:
    explicit ScriptParser(Registrar* registrar = nullptr) noexcept
        : position(nullptr), registrar(registrar), tooDeep(false), checking(false),
          valuesUntil(nullptr) {}

    void SkipSpace() noexcept;
    bool AtClosingQuote() const noexcept;
    // S_OK with the next token in the buffer, or DISP_E_EXCEPTION.
    HRESULT NextToken(char* buffer) noexcept;
    // When the token begins with "=", reads past the type letter and the value text and
    // leaves the token after them in the buffer.
    HRESULT SkipValueClause(char* token) noexcept;

    const char* position;
    Registrar* registrar; // gives the replacement variables
    // Set when the script nests deeper than the walk allows: the whole run is given up.
    bool tooDeep;
    // Set while a block is read to check it before it runs: no fault inside it is passed over.
    bool checking;
    // Where a pass that deletes only a block's values stops: the entries its walk reached.
    const char* valuesUntil;
};

bool IsBlank(BYTE character) noexcept;
// The first character whose first byte is the given one, stepping whole characters.
const char* FindChar(const char* text, char character) noexcept;
int HexDigitValue(BYTE character) noexcept;
