// Lanterwell.exe: the window for the user's virtual drives. One per sign-in session: a second
// start brings the first window forward and ends.
#include <windows.h>
#include <commctrl.h>
#include "support/Handles.h"
#include "drives/window/DrivesIds.h"
#include "drives/window/ChangeWatch.h"
#include "drives/window/DrivesWindow.h"
#include "drives/window/ShellCalls.h"
#include "drives/window/Texts.h"

namespace {

const wchar_t kInstanceMutex[] = L"Local\\Lanterwell.Window";
// How long a later start waits for the first window to show or to end, and how often it looks.
const DWORD kFirstWindowWait = 10000;
const DWORD kFirstWindowPoll = 50;

// Holds the session's instance mutex while the window lives. The first start owns it; a later
// start waits for it while the first window is closing, so that a start just after a close
// still opens a window.
class InstanceMutex {
public:
    InstanceMutex() {
        SetLastError(ERROR_SUCCESS);
        m_mutex.Reset(CreateMutexW(nullptr, TRUE, kInstanceMutex));
        const DWORD error = GetLastError();
        if (!m_mutex)
            m_error = error ? error : ERROR_GEN_FAILURE;
        else if (error == ERROR_ALREADY_EXISTS)
            m_error = error;
        else
            m_owned = true;
    }
    ~InstanceMutex() {
        if (m_owned)
            ReleaseMutex(m_mutex.Get());
    }
    InstanceMutex(const InstanceMutex&) = delete;
    InstanceMutex& operator=(const InstanceMutex&) = delete;

    // 0 while this start owns the mutex, ERROR_ALREADY_EXISTS where another start does, or why
    // the mutex could not be made (another program's object of that name, no memory).
    DWORD Error() const { return m_error; }

    // Another start holds the place: its window is brought forward once it shows, or the place
    // is taken over when that start ends. True when this start now owns the mutex.
    bool TakeOverOrBringForward() {
        for (DWORD waited = 0; waited < kFirstWindowWait; waited += kFirstWindowPoll) {
            const HWND first = FindWindowW(kDrivesWindowClass, nullptr);
            if (first && IsWindowVisible(first)) {
                BringForward(first);
                return false;
            }
            const DWORD woke = WaitForSingleObject(m_mutex.Get(), kFirstWindowPoll);
            if (woke == WAIT_OBJECT_0 || woke == WAIT_ABANDONED) {
                m_owned = true;
                m_error = 0;
                return true;
            }
        }
        return false;
    }

private:
    static void BringForward(HWND first) {
        if (IsIconic(first))
            ShowWindow(first, SW_RESTORE);
        SetForegroundWindow(first);
    }

    UniqueKernelObject m_mutex;
    DWORD m_error = 0;
    bool m_owned = false;
};

// The dialog's own class, so that a second start can find it.
bool RegisterWindowClass(HINSTANCE instance) {
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = DefDlgProcW;
    windowClass.cbWndExtra = DLGWINDOWEXTRA;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_DRIVES));
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kDrivesWindowClass;
    return RegisterClassExW(&windowClass) != 0;
}

// The window's messages, and its list brought up to date whenever the watch reports a change:
// the thread sleeps until one or the other comes.
int RunMessageLoop(HWND window, ChangeWatch& watch) {
    for (;;) {
        const DWORD woke = MsgWaitForMultipleObjectsEx(watch.Count(), watch.Handles(), INFINITE,
                                                       QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (woke < WAIT_OBJECT_0 + watch.Count()) {
            watch.Rearm(woke - WAIT_OBJECT_0);
            SendMessageW(window, kDrivesChangedMessage, 0, 0);
            continue;
        }
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT)
                return static_cast<int>(message.wParam);
            if (!IsDialogMessageW(window, &message)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
        }
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    InstanceMutex mutex;
    if (mutex.Error() == ERROR_ALREADY_EXISTS && !mutex.TakeOverOrBringForward())
        return 0;
    // Without the mutex a second window could not find this one: say so rather than vanish.
    if (mutex.Error()) {
        Texts::Show(nullptr, IDS_START_FAILED, MB_ICONERROR, 0, nullptr, mutex.Error());
        return 1;
    }
    const INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    if (!RegisterWindowClass(instance))
        return 1;
    const HWND window = CreateDrivesWindow(instance);
    if (!window)
        return 1;
    ShowWindow(window, show);
    ChangeWatch watch;
    const int result = RunMessageLoop(window, watch);
    ShellCalls::LeaveApartment();
    return result;
}
