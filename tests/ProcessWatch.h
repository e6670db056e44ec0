#pragma once
#include <windows.h>
#include <tlhelp32.h>
#include <winternl.h>
#include <set>
#include <string>
#include "tests/TestSupport.h"

namespace test {

// A process that was started while a ProcessWatch looked on, with its image path and the
// command line it was given.
struct StartedProcess {
    DWORD id = 0;
    std::wstring image;
    std::wstring commandLine;
};

// Notes the processes of one program name that exist now, so that later ones can be found.
class ProcessWatch {
public:
    explicit ProcessWatch(const char* name) : m_name(name) { m_before = Running(); }

    // Waits up to the given time for a new process of the name; it is ended once read. The
    // default deadline is one that only a hang reaches.
    StartedProcess FindNew(DWORD waitMs = kHangDeadline) {
        for (DWORD waited = 0;; waited += 50) {
            for (DWORD id : Running()) {
                if (m_before.count(id))
                    continue;
                StartedProcess started = Read(id);
                if (started.id)
                    return started;
            }
            if (waited >= waitMs)
                return {};
            Sleep(50);
        }
    }

private:
    std::set<DWORD> Running() const {
        std::set<DWORD> ids;
        HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        PROCESSENTRY32 entry = {};
        entry.dwSize = sizeof(entry);
        for (BOOL more = Process32First(snapshot, &entry); more;
             more = Process32Next(snapshot, &entry))
            if (lstrcmpiA(entry.szExeFile, m_name.c_str()) == 0)
                ids.insert(entry.th32ProcessID);
        CloseHandle(snapshot);
        return ids;
    }

    static StartedProcess Read(DWORD id) {
        StartedProcess started;
        HANDLE process =
            OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | PROCESS_TERMINATE, FALSE, id);
        if (!process)
            return started;
        wchar_t image[MAX_PATH] = {};
        DWORD size = MAX_PATH;
        using QueryImage = BOOL(WINAPI*)(HANDLE, DWORD, LPWSTR, PDWORD);
        auto queryImage = reinterpret_cast<QueryImage>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleA("kernel32.dll"), "QueryFullProcessImageNameW")));
        if (queryImage && queryImage(process, 0, image, &size))
            started.image = image;
        // A process only just started may not have its parameter block in place yet.
        for (DWORD waited = 0;; waited += 20) {
            started.commandLine = CommandLine(process);
            const bool read = !started.commandLine.empty() && started.commandLine[0] != L'\0';
            if (read || Emulated() || waited >= kHangDeadline)
                break;
            Sleep(20);
        }
        TerminateProcess(process, 0);
        WaitForSingleObject(process, kHangDeadline);
        CloseHandle(process);
        started.id = id;
        return started;
    }

    // The command line from the process's parameter block.
    static std::wstring CommandLine(HANDLE process) {
        using QueryProcess = LONG(WINAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);
        auto queryProcess = reinterpret_cast<QueryProcess>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess")));
        PROCESS_BASIC_INFORMATION basic = {};
        if (!queryProcess ||
            queryProcess(process, ProcessBasicInformation, &basic, sizeof(basic), nullptr) < 0)
            return L"";
        PEB peb = {};
        RTL_USER_PROCESS_PARAMETERS parameters = {};
        if (!ReadProcessMemory(process, basic.PebBaseAddress, &peb, sizeof(peb), nullptr) ||
            !ReadProcessMemory(process, peb.ProcessParameters, &parameters, sizeof(parameters),
                               nullptr))
            return L"";
        std::wstring text(parameters.CommandLine.Length / sizeof(wchar_t), L'\0');
        if (!text.empty() && !ReadProcessMemory(process, parameters.CommandLine.Buffer, &text[0],
                                                parameters.CommandLine.Length, nullptr))
            return L"";
        return text;
    }

    std::string m_name;
    std::set<DWORD> m_before;
};

} // namespace test
