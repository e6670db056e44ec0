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

// Runs lwsubst.exe from the run folder with a UTF-16 command line, capturing its output.
inline Result Lwsubst(const std::wstring& arguments) {
    Result result;
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE read = nullptr, write = nullptr;
    if (!CreatePipe(&read, &write, &inherit, 0))
        return result;
    SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = write;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    const std::wstring program = test::Wide(test::InRunFolder("lwsubst.exe"));
    std::wstring commandLine = L"\"" + program + L"\" " + arguments;
    PROCESS_INFORMATION process = {};
    const BOOL started = CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0,
                                        nullptr, nullptr, &startup, &process);
    CloseHandle(write);
    if (started) {
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

} // namespace test
