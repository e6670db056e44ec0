#pragma once
#include <windows.h>
#include <shlobj.h>
#include <stdio.h>
#include <string>

// What both of the shell host's modes share: UTF-8 output, message boxes printed and closed,
// Shift held, and the server's objects made as the shell makes them.
namespace host {

// The terminal wants UTF-8.
inline std::string Utf8(const wchar_t* text) {
    char buffer[1024];
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, buffer, sizeof(buffer), 0, 0);
    return bytes > 0 ? std::string(buffer, bytes - 1) : std::string();
}

inline std::string Utf8FromAnsi(const char* text) {
    wchar_t wide[512];
    return MultiByteToWideChar(CP_ACP, 0, text, -1, wide, 512) ? Utf8(wide) : std::string();
}

// A console host has nobody to click a message box away: print it and close it.
inline LRESULT CALLBACK CloseMessageBoxes(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE) {
        HWND box = reinterpret_cast<HWND>(wParam);
        char className[32] = {};
        GetClassNameA(box, className, sizeof(className));
        if (lstrcmpA(className, "#32770") == 0) {
            wchar_t caption[256] = {};
            wchar_t text[512] = {};
            GetWindowTextW(box, caption, 256);
            GetDlgItemTextW(box, 0xFFFF, text, 512);
            printf("message box [%s] %s\n", Utf8(caption).c_str(), Utf8(text).c_str());
            PostMessageA(box, WM_COMMAND, IDOK, 0);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Closes the message boxes of this thread while it lives.
class BoxCloser {
public:
    BoxCloser()
        : m_hook(SetWindowsHookExA(WH_CBT, CloseMessageBoxes, nullptr, GetCurrentThreadId())) {}
    ~BoxCloser() { UnhookWindowsHookEx(m_hook); }
    BoxCloser(const BoxCloser&) = delete;
    BoxCloser& operator=(const BoxCloser&) = delete;

private:
    HHOOK m_hook;
};

// Waits until a file exists, as a test's signal; ten minutes at most, which only a hang reaches.
inline bool WaitForFile(const char* path) {
    for (DWORD waited = 0; waited < 600000; waited += 50) {
        if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES)
            return true;
        Sleep(50);
    }
    return false;
}

inline void HoldShift() {
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_SHIFT] = 0x80;
    SetKeyboardState(keys);
}

// An object of a class of the server: through CoCreateInstance once the DLL is registered, or
// through DllGetClassObject of the Lanterwell.dll beside this program.
inline HRESULT MakeObject(bool cocreate, REFCLSID classId, REFIID riid, void** ppv) {
    if (cocreate)
        return CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, riid, ppv);
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    while (length > 0 && path[length - 1] != '\\')
        --length;
    lstrcpynA(path + length, "Lanterwell.dll", MAX_PATH - length);
    HMODULE server = LoadLibraryA(path);
    if (!server)
        return HRESULT_FROM_WIN32(GetLastError());
    using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    auto getClassObject = reinterpret_cast<GetClassObject>(
        reinterpret_cast<void*>(GetProcAddress(server, "DllGetClassObject")));
    if (!getClassObject)
        return HRESULT_FROM_WIN32(GetLastError());
    IClassFactory* factory = nullptr;
    HRESULT result = getClassObject(classId, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (FAILED(result))
        return result;
    result = factory->CreateInstance(nullptr, riid, ppv);
    factory->Release();
    return result;
}

// Which server answered: on 64-bit Windows each architecture has its own registration.
inline void PrintServer() {
    char server[MAX_PATH] = {};
    GetModuleFileNameA(GetModuleHandleA("Lanterwell.dll"), server, MAX_PATH);
    printf("server: %s (%u-bit host)\n", Utf8FromAnsi(server).c_str(),
           static_cast<unsigned>(sizeof(void*) * 8));
}

// The Explorer command's mode: prints the command for one path, given in UTF-16 as Explorer
// has it, and runs a letter's command or the delete command.
int RunExplorerCommand(bool cocreate, const wchar_t* path, const std::string& invoke);

} // namespace host
