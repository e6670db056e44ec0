#include "registrar/ExpansionBuffer.h"
#include <objbase.h>

ExpansionBuffer::ExpansionBuffer(int sourceLength) noexcept
    : length(0), capacity(2 * sourceLength < 100 ? 1000 : 2 * sourceLength),
      data(static_cast<char*>(CoTaskMemAlloc(static_cast<SIZE_T>(capacity)))) {
    if (data)
        data[0] = 0;
}

ExpansionBuffer::~ExpansionBuffer() {
    CoTaskMemFree(data);
}

bool ExpansionBuffer::Append(const char* bytes, int count) noexcept {
    if (length + count + 1 >= capacity) {
        int grown = capacity;
        while (grown <= length + count + 1) {
            if (grown > 0x3FFFFFFF)
                return false;
            grown *= 2;
        }
        char* moved = static_cast<char*>(CoTaskMemRealloc(data, static_cast<SIZE_T>(grown)));
        if (!moved)
            return false;
        data = moved;
        capacity = grown;
    }
    CopyMemory(data + length, bytes, count);
    length += count;
    data[length] = 0;
    return true;
}

char* ExpansionBuffer::Detach() noexcept {
    char* text = data;
    data = nullptr;
    return text;
}
