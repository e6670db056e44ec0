#pragma once
// lwsubst.exe run as a user runs it, and a key locked as an administrator locks it.
#include <windows.h>
#include <sddl.h>
#include <string>
#include "tests/TestSupport.h"

namespace test {

struct Result {
    DWORD code = 0xFFFFFFFF;
    std::string output;
};

// Starts lwsubst.exe from the run folder with a UTF-16 command line, its output into `write`;
// false, with the reason in `result`, when it could not be started.
inline bool StartLwsubst(const std::wstring& arguments, HANDLE write, PROCESS_INFORMATION& process,
                         Result& result) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = write;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    const std::wstring program = test::InRunFolder("lwsubst.exe");
    std::wstring commandLine = L"\"" + program + L"\" " + arguments;
    if (CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr,
                       nullptr, &startup, &process))
        return true;
    result.output +=
        "(lwsubst.exe could not be started: error " + std::to_string(GetLastError()) + ")\n";
    return false;
}

// Runs lwsubst.exe from the run folder with a UTF-16 command line, capturing its output. A
// start the platform refused (seen once on a loaded machine) is tried again, and said.
inline Result Lwsubst(const std::wstring& arguments) {
    Result result;
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE read = nullptr, write = nullptr;
    if (!CreatePipe(&read, &write, &inherit, 0)) {
        result.output = "(no pipe: error " + std::to_string(GetLastError()) + ")";
        return result;
    }
    SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
    PROCESS_INFORMATION process = {};
    bool started = false;
    for (int attempt = 0; attempt < 3 && !started; ++attempt)
        started = StartLwsubst(arguments, write, process, result);
    CloseHandle(write);
    if (started) {
        result.output.clear();
        char buffer[4096];
        DWORD got = 0;
        while (ReadFile(read, buffer, sizeof(buffer), &got, nullptr) && got)
            result.output.append(buffer, got);
        WaitForSingleObject(process.hProcess, test::kHangDeadline);
        GetExitCodeProcess(process.hProcess, &result.code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(read);
    return result;
}

// Refuses every program the writing of values below a key while it lives, as a key an
// administrator locked does (or, below HKEY_LOCAL_MACHINE, as the platform refuses a program
// that is not elevated); its own access rules come back afterwards.
class WritesRefused {
public:
    WritesRefused(HKEY root, const wchar_t* path) {
        if (RegCreateKeyExW(root, path, 0, nullptr, 0, READ_CONTROL | WRITE_DAC, nullptr, &m_key,
                            nullptr))
            return;
        DWORD size = sizeof(m_was);
        PSECURITY_DESCRIPTOR refusing = nullptr;
        m_held = RegGetKeySecurity(m_key, DACL_SECURITY_INFORMATION, m_was, &size) == 0 &&
                 ConvertStringSecurityDescriptorToSecurityDescriptorW(
                     L"D:(D;;0x2;;;WD)(A;;GA;;;WD)", SDDL_REVISION_1, &refusing, nullptr) &&
                 RegSetKeySecurity(m_key, DACL_SECURITY_INFORMATION, refusing) == 0;
        LocalFree(refusing);
    }
    ~WritesRefused() {
        if (m_held)
            RegSetKeySecurity(m_key, DACL_SECURITY_INFORMATION, m_was);
        if (m_key)
            RegCloseKey(m_key);
    }
    WritesRefused(const WritesRefused&) = delete;
    WritesRefused& operator=(const WritesRefused&) = delete;
    bool Held() const { return m_held; }

private:
    HKEY m_key = nullptr;
    alignas(void*) BYTE m_was[4096] = {};
    bool m_held = false;
};

// lwsubst's output as text: it writes in the console's code page, here the OEM one.
inline std::wstring Text(const Result& result) {
    const int bytes = static_cast<int>(result.output.size());
    std::wstring text(static_cast<size_t>(bytes), L'\0');
    text.resize(static_cast<size_t>(
        MultiByteToWideChar(CP_OEMCP, 0, result.output.data(), bytes, &text[0], bytes)));
    return text;
}

inline bool Says(const Result& result, const std::wstring& words) {
    return Text(result).find(words) != std::wstring::npos;
}

} // namespace test
