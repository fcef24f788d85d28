// kovatest_helper: the "other process" of Kova's tests. Each command does one thing a
// second program would do to a running Kova and reports through its exit code:
// 0 done, 1 timed out / not seen, 2 bad arguments, 3 a system call failed.
//
//   set-event NAME [COUNT]                  SetEvent on an existing event, COUNT times (1)
//   hold-events READY QUIT auto|manual NAME...
//                                           create events NAME... first, set READY, keep
//                                           them until QUIT is set (30 s at most)
//   send-scan CODE [ext] [up] [vk=N]        one key event through SendInput, by scan code
//   watch-scan CODE READY [TIMEOUT_MS]      low-level keyboard hook of our own: set READY,
//                                           then wait for a key with scan code CODE (5000)
//   move-pointer X Y                        the pointer to screen point (X, Y), as real input
//   foreground-window READY QUIT            a visible window of class KovaTestForeground made
//                                           the foreground window, then READY set; kept until
//                                           QUIT is set (30 s at most)
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "framework/Handles.h"
#include "support/TestSupport.h"

namespace {

enum { kDone = 0, kTimedOut = 1, kUsage = 2, kFailed = 3 };

bool ParseNumber(const char* psz, unsigned long& rValue)
{
    char* pEnd = nullptr;
    rValue = strtoul(psz, &pEnd, 0);
    return pEnd != psz && *pEnd == '\0';
}

int Fail(const char* pszWhat)
{
    fprintf(stderr, "kovatest_helper: %s failed (error %lu)\n", pszWhat, ::GetLastError());
    return kFailed;
}

int Usage(const char* pszWhy)
{
    fprintf(stderr, "kovatest_helper: %s\n", pszWhy);
    return kUsage;
}

int SetEventCmd(int argc, char** argv)
{
    unsigned long ulCount = 1;
    if (argc < 1 || (argc > 1 && !ParseNumber(argv[1], ulCount)))
        return Usage("set-event NAME [COUNT]");
    kfw::CHandle hEvent(::OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[0]));
    if (!hEvent)
        return Fail("OpenEventA");
    for (unsigned long i = 0; i < ulCount; ++i)
        if (!::SetEvent(hEvent.Get()))
            return Fail("SetEvent");
    return kDone;
}

int HoldEventsCmd(int argc, char** argv)
{
    if (argc < 4 || (strcmp(argv[2], "auto") != 0 && strcmp(argv[2], "manual") != 0))
        return Usage("hold-events READY QUIT auto|manual NAME...");
    const BOOL bManual = strcmp(argv[2], "manual") == 0;
    kfw::CHandle hReady(::OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[0]));
    kfw::CHandle hQuit(::OpenEventA(SYNCHRONIZE, FALSE, argv[1]));
    if (!hReady || !hQuit)
        return Fail("OpenEventA");
    std::vector<kfw::CHandle> held;
    for (int i = 3; i < argc; ++i)
    {
        held.emplace_back(::CreateEventA(nullptr, bManual, FALSE, argv[i]));
        if (!held.back())
            return Fail("CreateEventA");
        if (::GetLastError() == ERROR_ALREADY_EXISTS)
            return Usage("event exists already: this command must create it");
    }
    ::SetEvent(hReady.Get());
    return ::WaitForSingleObject(hQuit.Get(), 30000) == WAIT_OBJECT_0 ? kDone : kTimedOut;
}

int SendScanCmd(int argc, char** argv)
{
    unsigned long ulScan = 0;
    if (argc < 1 || !ParseNumber(argv[0], ulScan) || ulScan > 0xFFFF)
        return Usage("send-scan CODE [ext] [up] [vk=N]");
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wScan = static_cast<WORD>(ulScan);
    input.ki.dwFlags = KEYEVENTF_SCANCODE;
    for (int i = 1; i < argc; ++i)
    {
        unsigned long ulVk = 0;
        if (strcmp(argv[i], "ext") == 0)
            input.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
        else if (strcmp(argv[i], "up") == 0)
            input.ki.dwFlags |= KEYEVENTF_KEYUP;
        // Wine derives no virtual key from a scan code; the dialog manager needs one.
        else if (strncmp(argv[i], "vk=", 3) == 0 && ParseNumber(argv[i] + 3, ulVk) && ulVk < 256)
            input.ki.wVk = static_cast<WORD>(ulVk);
        else
            return Usage("send-scan CODE [ext] [up] [vk=N]");
    }
    return ::SendInput(1, &input, sizeof(input)) == 1 ? kDone : Fail("SendInput");
}

DWORD g_dwWatchedScan = 0;
bool g_bSeen = false;
HHOOK g_hWatchHook = nullptr;

LRESULT CALLBACK WatchProc(int nCode, WPARAM wParam, LPARAM lParam)
{
    const auto* pKey = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
    if (nCode == HC_ACTION && pKey && pKey->scanCode == g_dwWatchedScan)
        g_bSeen = true;
    return ::CallNextHookEx(g_hWatchHook, nCode, wParam, lParam);
}

int WatchScanCmd(int argc, char** argv)
{
    unsigned long ulScan = 0, ulTimeout = 5000;
    if (argc < 2 || !ParseNumber(argv[0], ulScan) || (argc > 2 && !ParseNumber(argv[2], ulTimeout)))
        return Usage("watch-scan CODE READY [TIMEOUT_MS]");
    g_dwWatchedScan = ulScan;
    kfw::CHandle hReady(::OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[1]));
    if (!hReady)
        return Fail("OpenEventA");
    kfw::CHookH hHook(::SetWindowsHookExA(WH_KEYBOARD_LL, &WatchProc, ::GetModuleHandleA(nullptr), 0));
    if (!hHook)
        return Fail("SetWindowsHookExA");
    g_hWatchHook = hHook.Get();
    // Make sure this thread has a message queue before anyone sends keys.
    MSG msg;
    ::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
    ::SetEvent(hReady.Get());

    // The hook procedure runs only while this thread looks at its messages.
    const ULONGLONG ullEnd = ::GetTickCount64() + ulTimeout;
    while (!g_bSeen)
    {
        const ULONGLONG ullNow = ::GetTickCount64();
        if (ullNow >= ullEnd)
            return kTimedOut;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(ullEnd - ullNow), QS_ALLINPUT);
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            ::DispatchMessageA(&msg);
    }
    return kDone;
}

int MovePointerCmd(int argc, char** argv)
{
    unsigned long ulX = 0, ulY = 0;
    if (argc != 2 || !ParseNumber(argv[0], ulX) || !ParseNumber(argv[1], ulY))
        return Usage("move-pointer X Y");
    const POINT pt = { static_cast<LONG>(ulX), static_cast<LONG>(ulY) };
    return kovatest::MovePointer(pt) ? kDone : kTimedOut;
}

int ForegroundWindowCmd(int argc, char** argv)
{
    if (argc != 2)
        return Usage("foreground-window READY QUIT");
    kfw::CHandle hReady(::OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[0]));
    kfw::CHandle hQuit(::OpenEventA(SYNCHRONIZE, FALSE, argv[1]));
    if (!hReady || !hQuit)
        return Fail("OpenEvent");
    WNDCLASSA wc = {};
    wc.lpfnWndProc = ::DefWindowProcA;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = "KovaTestForeground";
    ::RegisterClassA(&wc);
    const HWND hWnd = ::CreateWindowExA(0, wc.lpszClassName, "typing here", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50,
                                        300, 200, nullptr, nullptr, wc.hInstance, nullptr);
    if (!hWnd)
        return Fail("CreateWindowEx");
    ::SetForegroundWindow(hWnd);
    ::SetEvent(hReady.Get());
    const DWORD dwStart = ::GetTickCount();
    HANDLE hWait = hQuit.Get();
    while (::MsgWaitForMultipleObjects(1, &hWait, FALSE, 100, QS_ALLINPUT) != WAIT_OBJECT_0)
    {
        if (::GetTickCount() - dwStart > 30000)
            return kTimedOut;
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            ::DispatchMessageA(&msg);
    }
    ::DestroyWindow(hWnd);
    return kDone;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return Usage("usage: kovatest_helper set-event|hold-events|send-scan|watch-scan|move-pointer|foreground-window ...");
    const std::string strCmd = argv[1];
    if (strCmd == "set-event")
        return SetEventCmd(argc - 2, argv + 2);
    if (strCmd == "hold-events")
        return HoldEventsCmd(argc - 2, argv + 2);
    if (strCmd == "send-scan")
        return SendScanCmd(argc - 2, argv + 2);
    if (strCmd == "watch-scan")
        return WatchScanCmd(argc - 2, argv + 2);
    if (strCmd == "move-pointer")
        return MovePointerCmd(argc - 2, argv + 2);
    if (strCmd == "foreground-window")
        return ForegroundWindowCmd(argc - 2, argv + 2);
    return Usage(("unknown command: " + strCmd).c_str());
}
