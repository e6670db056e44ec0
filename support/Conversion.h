#pragma once
#include <windows.h>
#include "support/ModuleHeap.h"

// A buffer of Inline elements kept in the object (on the caller's stack), or of more
// from the module heap. Null Get() means the heap had no room.
template <typename T, int Inline> class ScratchBuffer {
public:
    explicit ScratchBuffer(int count) noexcept
        : m_data(count <= Inline ? m_inline
                                 : static_cast<T*>(ModuleHeap::Allocate(sizeof(T) * count))) {}
    ~ScratchBuffer() {
        if (m_data != m_inline)
            ModuleHeap::Free(m_data);
    }
    ScratchBuffer(const ScratchBuffer&) = delete;
    ScratchBuffer& operator=(const ScratchBuffer&) = delete;

    T* Get() const noexcept { return m_data; }
    bool OnHeap() const noexcept { return m_data && m_data != m_inline; }

private:
    T m_inline[Inline];
    T* m_data;
};

// ANSI text (NUL included) converted to UTF-16 in the conversion code page. Text() is
// null when the buffer or the conversion failed.
template <int Inline> class BasicWideText {
public:
    explicit BasicWideText(const char* text) noexcept;
    const wchar_t* Text() const noexcept { return m_ok ? m_buffer.Get() : nullptr; }
    bool OnHeap() const noexcept { return m_buffer.OnHeap(); }

private:
    int m_count;
    ScratchBuffer<wchar_t, Inline> m_buffer;
    bool m_ok;
};

// UTF-16 text (NUL included) converted to ANSI in the conversion code page, in a buffer as
// large as the conversion says it needs (up to three bytes a code unit in UTF-8). Text() is
// null when the buffer or the conversion failed.
template <int InlineBytes> class BasicAnsiText {
public:
    explicit BasicAnsiText(const wchar_t* text) noexcept;
    const char* Text() const noexcept { return m_ok ? m_buffer.Get() : nullptr; }
    bool OnHeap() const noexcept { return m_buffer.OnHeap(); }

private:
    int m_bytes;
    ScratchBuffer<char, InlineBytes> m_buffer;
    bool m_ok;
};

namespace Conversion {
int AnsiToWide(const char* text, int count, wchar_t* buffer) noexcept;
// The bytes that the text, NUL included, takes in ANSI; 0 when it cannot be converted.
int AnsiBytes(const wchar_t* text) noexcept;
bool WideToAnsi(const wchar_t* text, char* buffer, int bytes) noexcept;
} // namespace Conversion

template <int Inline>
BasicWideText<Inline>::BasicWideText(const char* text) noexcept
    : m_count(text ? lstrlenA(text) + 1 : 0), m_buffer(m_count),
      m_ok(text && m_buffer.Get() && Conversion::AnsiToWide(text, m_count, m_buffer.Get()) != 0) {}

template <int InlineBytes>
BasicAnsiText<InlineBytes>::BasicAnsiText(const wchar_t* text) noexcept
    : m_bytes(text ? Conversion::AnsiBytes(text) : 0), m_buffer(m_bytes),
      m_ok(m_bytes > 0 && m_buffer.Get() && Conversion::WideToAnsi(text, m_buffer.Get(), m_bytes)) {
}

// The handler's help texts: 128 code units inline.
using WideText = BasicWideText<128>;
// Names and paths of the registration code: 1024 bytes inline.
using WidePath = BasicWideText<512>;
using AnsiPath = BasicAnsiText<1024>;
