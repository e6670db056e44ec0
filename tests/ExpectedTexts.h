#pragma once
#include <windows.h>
#include <string>

// The string tables' texts: the Japanese one as UTF-16 and in Shift-JIS (code page 932), and
// the English one.
namespace expected {

struct Text {
    unsigned id;
    std::u16string utf16;
    const char* shiftJis;
    const char* english;
};

inline const Text kStrings[] = {
    {100, u"Lanterwell", "Lanterwell", "Lanterwell"},
    {101, u"仮想ドライブの作成",
     "\x89\xBC\x91\x7A\x83\x68\x83\x89\x83\x43\x83\x75\x82\xCC\x8D\xEC\x90\xAC",
     "Create virtual drive"},
    {102, u"ドライブ (&%c:)", "\x83\x68\x83\x89\x83\x43\x83\x75\x20\x28\x26\x25\x63\x3A\x29",
     "Drive (&%c:)"},
    {103, u"仮想ドライブを削除",
     "\x89\xBC\x91\x7A\x83\x68\x83\x89\x83\x43\x83\x75\x82\xF0\x8D\xED\x8F\x9C",
     "Delete virtual drive"},
    {104, u"このフォルダを仮想ドライブ %c: に割り当てます。",
     "\x82\xB1\x82\xCC\x83\x74\x83\x48\x83\x8B\x83\x5F\x82\xF0\x89\xBC\x91\x7A\x83\x68\x83\x89"
     "\x83\x43\x83\x75\x20\x25\x63\x3A\x20\x82\xC9\x8A\x84\x82\xE8\x93\x96\x82\xC4\x82\xDC\x82"
     "\xB7\x81\x42",
     "Assigns this folder to virtual drive %c:."},
    {105, u"この仮想ドライブを削除します。",
     "\x82\xB1\x82\xCC\x89\xBC\x91\x7A\x83\x68\x83\x89\x83\x43\x83\x75\x82\xF0\x8D\xED\x8F\x9C"
     "\x82\xB5\x82\xDC\x82\xB7\x81\x42",
     "Deletes this virtual drive."},
    {106, u"仮想ドライブの作成に失敗しました。",
     "\x89\xBC\x91\x7A\x83\x68\x83\x89\x83\x43\x83\x75\x82\xCC\x8D\xEC\x90\xAC\x82\xC9\x8E\xB8"
     "\x94\x73\x82\xB5\x82\xDC\x82\xB5\x82\xBD\x81\x42",
     "The virtual drive could not be created."},
    {107, u"仮想ドライブの削除に失敗しました。",
     "\x89\xBC\x91\x7A\x83\x68\x83\x89\x83\x43\x83\x75\x82\xCC\x8D\xED\x8F\x9C\x82\xC9\x8E\xB8"
     "\x94\x73\x82\xB5\x82\xDC\x82\xB5\x82\xBD\x81\x42",
     "The virtual drive could not be deleted."},
};

inline const Text& String(unsigned id) {
    return kStrings[id - 100];
}

// The handler speaks Japanese to a user whose Windows does, English to everyone else.
inline bool JapaneseUi() {
    return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_JAPANESE;
}

// A text of the handler's in one language, a drive letter put in for "%c": as UTF-16, and as
// the ANSI bytes of a thread whose code page is the language's (932 for Japanese).
inline std::u16string Utf16(unsigned id, bool japanese, char letter = 0) {
    std::u16string text;
    if (japanese)
        text = String(id).utf16;
    else
        for (const char* c = String(id).english; *c; ++c)
            text += char16_t(*c);
    if (letter && text.find(u"%c") != std::u16string::npos)
        text.replace(text.find(u"%c"), 2, 1, char16_t(letter));
    return text;
}

inline std::string Ansi(unsigned id, bool japanese, char letter = 0) {
    std::string text = japanese ? String(id).shiftJis : String(id).english;
    if (letter && text.find("%c") != std::string::npos)
        text.replace(text.find("%c"), 2, 1, letter);
    return text;
}

// As the handler shows it to this user.
inline std::u16string ShownUtf16(unsigned id, char letter = 0) {
    return Utf16(id, JapaneseUi(), letter);
}

inline std::string ShownAnsi(unsigned id, char letter = 0) {
    return Ansi(id, JapaneseUi(), letter);
}

} // namespace expected
