#include "support/AnsiString.h"
#include "support/ModuleHeap.h"

struct AnsiString::Data {
    volatile LONG refs; // 0 marks the shared empty text, which is never freed
    int length;
    int capacity;
    char text[1];
};

AnsiString::Data* AnsiString::EmptyData() noexcept {
    static Data empty = {0, 0, 0, {0}};
    return &empty;
}

AnsiString::AnsiString() noexcept : m_data(EmptyData()) {}

AnsiString::AnsiString(const AnsiString& other) noexcept : m_data(other.m_data) {
    if (m_data->refs)
        InterlockedIncrement(&m_data->refs);
}

AnsiString& AnsiString::operator=(const AnsiString& other) noexcept {
    if (m_data == other.m_data)
        return *this;
    if (other.m_data->refs)
        InterlockedIncrement(&other.m_data->refs);
    Release();
    m_data = other.m_data;
    return *this;
}

AnsiString::~AnsiString() {
    Release();
}

void AnsiString::Release() noexcept {
    if (m_data->refs && InterlockedDecrement(&m_data->refs) == 0)
        ModuleHeap::Free(m_data);
    m_data = EmptyData();
}

int AnsiString::Length() const noexcept {
    return m_data->length;
}

const char* AnsiString::Text() const noexcept {
    return m_data->text;
}

char* AnsiString::PrepareBuffer(int length) noexcept {
    if (length < 0)
        return nullptr;
    if (m_data->refs == 1 && m_data->capacity >= length)
        return m_data->text;
    const SIZE_T size = sizeof(Data) + static_cast<SIZE_T>(length);
    Data* data = static_cast<Data*>(ModuleHeap::Allocate(size));
    if (!data)
        return nullptr;
    data->refs = 1;
    data->capacity = length;
    // Keep the current text, so that a caller that gives up leaves it unchanged.
    const int kept = m_data->length < length ? m_data->length : length;
    CopyMemory(data->text, m_data->text, kept);
    data->text[kept] = 0;
    data->length = kept;
    Release();
    m_data = data;
    return data->text;
}

void AnsiString::CommitLength(int length) noexcept {
    if (!m_data->refs || length < 0 || length > m_data->capacity)
        return;
    m_data->length = length;
    m_data->text[length] = 0;
}

bool AnsiString::Assign(const char* text, int length) noexcept {
    if (!text || length < 0)
        return false;
    if (length == 0) {
        Release();
        return true;
    }
    // The source may be this string's own text: copy through a new buffer then.
    if (m_data->refs == 1 && text >= m_data->text && text <= m_data->text + m_data->length) {
        AnsiString copy;
        if (!copy.Assign(text, length))
            return false;
        *this = copy;
        return true;
    }
    char* buffer = PrepareBuffer(length);
    if (!buffer)
        return false;
    CopyMemory(buffer, text, length);
    CommitLength(length);
    return true;
}

bool AnsiString::Assign(const char* text) noexcept {
    return text ? Assign(text, lstrlenA(text)) : false;
}

bool AnsiString::MakeUpper() noexcept {
    if (IsEmpty())
        return true;
    const int length = Length();
    char* buffer = PrepareBuffer(length);
    if (!buffer)
        return false;
    CharUpperA(buffer);
    return true;
}
