#pragma once
#include <windows.h>
#include <string>
#include <vector>

namespace test {

// What a message box showed, read from its window before it was closed.
struct CaughtBox {
    std::string caption;
    std::string text;
    std::wstring wideCaption;
    std::wstring wideText;
    HWND owner;
    bool hasOk, hasCancel, hasYes, hasErrorIcon;
};

// Catches every message box that this thread opens while the catcher lives, records it and
// closes it with OK.
class MessageBoxCatcher {
public:
    MessageBoxCatcher() {
        current = this;
        m_hook = SetWindowsHookExA(WH_CBT, Hook, nullptr, GetCurrentThreadId());
    }
    ~MessageBoxCatcher() {
        UnhookWindowsHookEx(m_hook);
        current = nullptr;
    }
    MessageBoxCatcher(const MessageBoxCatcher&) = delete;
    MessageBoxCatcher& operator=(const MessageBoxCatcher&) = delete;

    bool Hooked() const { return m_hook != nullptr; }
    std::vector<CaughtBox> boxes;

private:
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
        if (code == HCBT_ACTIVATE && current) {
            HWND box = reinterpret_cast<HWND>(wParam);
            char className[32] = {};
            GetClassNameA(box, className, sizeof(className));
            if (lstrcmpA(className, "#32770") == 0)
                current->Record(box);
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }

    void Record(HWND box) {
        CaughtBox caught = {};
        char text[1024] = {};
        GetWindowTextA(box, text, sizeof(text));
        caught.caption = text;
        GetDlgItemTextA(box, 0xFFFF, text, sizeof(text));
        caught.text = text;
        wchar_t wide[1024] = {};
        GetWindowTextW(box, wide, 1024);
        caught.wideCaption = wide;
        GetDlgItemTextW(box, 0xFFFF, wide, 1024);
        caught.wideText = wide;
        caught.owner = GetWindow(box, GW_OWNER);
        caught.hasOk = GetDlgItem(box, IDOK) != nullptr;
        caught.hasCancel = GetDlgItem(box, IDCANCEL) != nullptr;
        caught.hasYes = GetDlgItem(box, IDYES) != nullptr;
        const HICON hand = LoadIconA(nullptr, MAKEINTRESOURCEA(32513)); // IDI_HAND
        caught.hasErrorIcon = false;
        for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
            if (reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0)) == hand)
                caught.hasErrorIcon = true;
        boxes.push_back(caught);
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    }

    static inline MessageBoxCatcher* current = nullptr;
    HHOOK m_hook;
};

} // namespace test
