#pragma once
#include <windows.h>

// lwsubst's arguments, mended where cmd's rules break a folder: a quoted folder that ends in a
// backslash ("C:\dir\") reads as a literal quote running on to the end of the line, so that
// "C:\dir\" /save arrives as the one argument C:\dir" /save. A folder name never holds a
// quote: an argument with one is the folder up to it, its backslash given back, and then the
// words after it.
class Arguments {
public:
    Arguments(int count, wchar_t** given) noexcept;
    Arguments(const Arguments&) = delete;
    Arguments& operator=(const Arguments&) = delete;
    int Count() const noexcept { return m_count; }
    wchar_t** List() noexcept { return m_list; }

private:
    static const int kMost = 16;
    // The longest command line, and a terminator and a backslash given back for each.
    static const int kUnits = 32768 + kMost * 2;

    void Add(const wchar_t* text, size_t length, bool backslash) noexcept;

    wchar_t m_text[kUnits];
    int m_used = 0;
    wchar_t* m_list[kMost] = {};
    int m_count = 0;
};
