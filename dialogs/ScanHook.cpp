#include "dialogs/ScanHook.h"

#include <atomic>
#include <utility>

#include "dialogs/HookWatch.h"
#include "framework/Handles.h"
#include "framework/Trace.h"
#include "res/KovaNames.h"

namespace {

// Requests to the input thread's window, sent (and so answered) by the caller's thread.
constexpr UINT WM_HOOK_INSTALL = WM_APP + 1;   // lParam: the module; TRUE when in place
constexpr UINT WM_HOOK_REMOVE = WM_APP + 2;    // the unhook's result
constexpr UINT WM_HOOK_REINSTALL = WM_APP + 3;  // as WM_HOOK_INSTALL, with the module it had
constexpr UINT WM_HOOK_DROP = WM_APP + 4;
constexpr UINT WM_HOOK_QUIT = WM_APP + 5;
// The input thread does nothing slow, so a request past this means it is gone.
constexpr DWORD REQUEST_TIMEOUT_MS = 2000;

const char kSinkClass[] = "KovaInputSink";

// Read by the hook procedure on the input thread, written by the callers' thread.
std::atomic<HWND> g_hWndTarget{nullptr};
std::atomic<bool> g_bInstalled{false};

// Touched by the input thread only.
struct CInputState {
    kfw::CHookH hHook;
    bool bDropped = false;          // hHook was unhooked behind our back (test seam)
    HINSTANCE hMod = nullptr;
    HWND hWndSink = nullptr;
    HookWatch watch;
} g_input;

LRESULT CALLBACK HookProc(int nCode, WPARAM wParam, LPARAM lParam)
{
    // Every event, press and release (auto-repeat included), goes to the target; what a
    // scan code means is for the receiving window to decide.
    const auto* pKey = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
    const HWND hWndTarget = g_hWndTarget.load();
    if (pKey && hWndTarget)
        ::PostMessageA(hWndTarget, WM_SCANCODE_EVENT, pKey->flags, static_cast<LPARAM>(pKey->scanCode));
    g_input.watch.OnHookKey();
    // Never swallows a key: the hot keys stay visible to every other application.
    return ::CallNextHookEx(g_input.hHook.Get(), nCode, wParam, lParam);
}

// Raw input sees the keys the hook should have seen; it comes to the sink window only
// while a hook is in place, so an idle Kova still wakes for nothing.
void WatchRawKeys(bool bOn)
{
    RAWINPUTDEVICE device = {};
    device.usUsagePage = 0x01;   // generic desktop
    device.usUsage = 0x06;       // keyboard
    device.dwFlags = bOn ? RIDEV_INPUTSINK : RIDEV_REMOVE;
    device.hwndTarget = bOn ? g_input.hWndSink : nullptr;
    ::RegisterRawInputDevices(&device, 1, sizeof device);
}

BOOL Unhook()
{
    g_bInstalled.store(false);
    g_input.watch.Reset();
    if (std::exchange(g_input.bDropped, false))
    {
        g_input.hHook.Release();
        return TRUE;
    }
    const HHOOK hHook = g_input.hHook.Release();
    return hHook ? ::UnhookWindowsHookEx(hHook) : FALSE;
}

BOOL Hook()
{
    if (g_input.hHook)
        Unhook();
    // Thread id 0: every thread of the desktop; the procedure runs on this thread.
    g_input.hHook.Reset(::SetWindowsHookExA(WH_KEYBOARD_LL, &HookProc, g_input.hMod, 0));
    if (!g_input.hHook)
    {
        kfw::TraceFormat("BOOL ScanHook::Install(HWND hWndTarget, HINSTANCE hMod): SetWindowsHookExA failed (error %lu)",
                         ::GetLastError());
        WatchRawKeys(false);
        return FALSE;
    }
    WatchRawKeys(true);
    g_bInstalled.store(true);
    return TRUE;
}

void OnRawInput(HRAWINPUT hInput)
{
    RAWINPUT input;
    UINT cbInput = sizeof input;
    if (!g_input.hHook ||
        ::GetRawInputData(hInput, RID_INPUT, &input, &cbInput, sizeof(RAWINPUTHEADER)) == static_cast<UINT>(-1) ||
        input.header.dwType != RIM_TYPEKEYBOARD || input.data.keyboard.MakeCode == 0 ||
        input.data.keyboard.MakeCode == KEYBOARD_OVERRUN_MAKE_CODE)
        return;
    const HookKey key = { input.data.keyboard.MakeCode, HookFlagsFromRaw(input.data.keyboard.Flags) };
    if (!g_input.watch.OnRawKey(key))
        return;
    kfw::TraceLine("ScanHook: the keyboard hook missed keys that raw input saw; installing it again");
    Hook();
    // The keys it missed still count: the hot key that showed the loss opens its pop-up.
    if (const HWND hWndTarget = g_hWndTarget.load())
        for (size_t i = 0; i < g_input.watch.MissedCount(); ++i)
            ::PostMessageA(hWndTarget, WM_SCANCODE_EVENT, g_input.watch.Missed()[i].uFlags,
                           static_cast<LPARAM>(g_input.watch.Missed()[i].uScanCode));
}

LRESULT CALLBACK SinkProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg)
    {
    case WM_HOOK_INSTALL:
        g_input.hMod = reinterpret_cast<HINSTANCE>(lParam);
        return Hook();
    case WM_HOOK_REINSTALL:
        return g_input.hHook ? Hook() : FALSE;
    case WM_HOOK_REMOVE:
        WatchRawKeys(false);
        return Unhook();
    case WM_HOOK_DROP:
        if (g_input.hHook && !g_input.bDropped)
            g_input.bDropped = ::UnhookWindowsHookEx(g_input.hHook.Get()) != FALSE;
        return 0;
    case WM_HOOK_QUIT:
        WatchRawKeys(false);
        Unhook();
        ::DestroyWindow(hWnd);
        return 0;
    case WM_INPUT:
        OnRawInput(reinterpret_cast<HRAWINPUT>(lParam));
        break;   // the system cleans up after DefWindowProc
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return ::DefWindowProcA(hWnd, uMsg, wParam, lParam);
}

DWORD WINAPI InputThreadProc(void* pReady)
{
    const HINSTANCE hInstance = ::GetModuleHandleA(nullptr);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = &SinkProc;
    wc.hInstance = hInstance;
    wc.lpszClassName = kSinkClass;
    ::RegisterClassA(&wc);
    // A hidden top-level window, not a message-only one: Wine sends raw input only to
    // the former.
    g_input.hWndSink = ::CreateWindowExA(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kSinkClass, "", WS_POPUP, 0, 0,
                                         0, 0, nullptr, nullptr, hInstance, nullptr);
    ::SetEvent(static_cast<HANDLE>(pReady));
    if (!g_input.hWndSink)
        return 1;
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0)
        ::DispatchMessageA(&msg);
    g_input.hWndSink = nullptr;
    return 0;
}

// The input thread: started by the first request, ended at exit.
class CInputThread {
public:
    ~CInputThread() { Stop(); }

    // The sink window, the thread started first if need be; null when it cannot run.
    HWND Window()
    {
        if (m_hThread)
            return m_hWnd;
        kfw::CHandle hReady(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
        if (!hReady)
            return nullptr;
        m_hThread.Reset(::CreateThread(nullptr, 0, &InputThreadProc, hReady.Get(), 0, nullptr));
        if (!m_hThread)
        {
            kfw::TraceFormat("ScanHook: the input thread was not created (error %lu)", ::GetLastError());
            return nullptr;
        }
        // The thread signals once its window exists, or could not be made.
        const HANDLE ahWait[] = { hReady.Get(), m_hThread.Get() };
        ::WaitForMultipleObjects(2, ahWait, FALSE, REQUEST_TIMEOUT_MS);
        m_hWnd = g_input.hWndSink;
        return m_hWnd;
    }

    bool IsRunning() const { return m_hWnd != nullptr; }

    // The request's answer, or 0 when the thread does not run or does not answer.
    LRESULT Request(UINT uMsg, LPARAM lParam = 0)
    {
        DWORD_PTR dwResult = 0;
        if (!m_hWnd || !::SendMessageTimeoutA(m_hWnd, uMsg, 0, lParam, SMTO_NORMAL, REQUEST_TIMEOUT_MS, &dwResult))
            return 0;
        return static_cast<LRESULT>(dwResult);
    }

    void Stop()
    {
        if (!m_hThread)
            return;
        if (m_hWnd)
            ::PostMessageA(m_hWnd, WM_HOOK_QUIT, 0, 0);
        if (::WaitForSingleObject(m_hThread.Get(), REQUEST_TIMEOUT_MS) != WAIT_OBJECT_0)
            kfw::TraceLine("ScanHook: the input thread did not end");
        m_hThread.Reset();
        m_hWnd = nullptr;
        g_bInstalled.store(false);
    }

private:
    kfw::CHandle m_hThread;
    HWND m_hWnd = nullptr;
};

CInputThread g_inputThread;

} // namespace

BOOL ScanHook::Install(HWND hWndTarget, HINSTANCE hMod)
{
    if (!::IsWindow(hWndTarget))
    {
        kfw::TraceFormat("BOOL ScanHook::Install(HWND hWndTarget, HINSTANCE hMod): %p is not a window",
                         static_cast<void*>(hWndTarget));
        ::SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    // The target first: a hook already in place posts to the new window from the next key.
    g_hWndTarget.store(hWndTarget);
    if (!g_inputThread.Window())
        return FALSE;
    return g_inputThread.Request(WM_HOOK_INSTALL, reinterpret_cast<LPARAM>(hMod)) != 0;
}

BOOL ScanHook::Remove()
{
    // The handle is forgotten whatever the unhook says: a hook that cannot be removed
    // cannot be retried either.
    return g_inputThread.Request(WM_HOOK_REMOVE) != 0;
}

BOOL ScanHook::IsInstalled()
{
    return g_bInstalled.load();
}

HWND ScanHook::GetTarget()
{
    return g_hWndTarget.load();
}

BOOL ScanHook::Reinstall()
{
    if (!IsInstalled() || !::IsWindow(GetTarget()))
        return FALSE;
    return g_inputThread.Request(WM_HOOK_REINSTALL) != 0;
}

void ScanHook::Shutdown()
{
    g_inputThread.Stop();
}

void ScanHook::DropForTest()
{
    g_inputThread.Request(WM_HOOK_DROP);
}
