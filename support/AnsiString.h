#pragma once
#include <windows.h>

// Reference-counted growable ANSI text. Copies share one buffer until one of them is
// changed; the buffer goes with its last holder. Every change that needs memory either
// succeeds or leaves the string exactly as it was.
class AnsiString {
public:
    AnsiString() noexcept;
    AnsiString(const AnsiString& other) noexcept;
    AnsiString& operator=(const AnsiString& other) noexcept;
    ~AnsiString();

    int Length() const noexcept;
    bool IsEmpty() const noexcept { return Length() == 0; }
    const char* Text() const noexcept; // never null

    bool Assign(const char* text, int length) noexcept;
    bool Assign(const char* text) noexcept;

    // A writable buffer of length + 1 chars owned by this string alone; null when no
    // memory (the string is then unchanged). Finish with CommitLength.
    char* PrepareBuffer(int length) noexcept;
    void CommitLength(int length) noexcept;

    bool MakeUpper() noexcept;

private:
    struct Data;
    static Data* EmptyData() noexcept;
    void Release() noexcept;

    Data* m_data;
};
