#pragma once
#include <windows.h>

// The text that variable replacement writes: task memory, always NUL-terminated, growing
// by doubling. Its owner frees what Detach hands out with CoTaskMemFree.
class ExpansionBuffer {
public:
    // Twice the source's length, or 1000 bytes for a short source.
    explicit ExpansionBuffer(int sourceLength) noexcept;
    ~ExpansionBuffer();
    ExpansionBuffer(const ExpansionBuffer&) = delete;
    ExpansionBuffer& operator=(const ExpansionBuffer&) = delete;

    bool Ready() const noexcept { return data != nullptr; }
    bool Append(const char* bytes, int count) noexcept;
    char* Detach() noexcept;

    int length;
    int capacity;
    char* data;
};
