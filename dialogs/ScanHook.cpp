#include "dialogs/ScanHook.h"

#include <atomic>
#include <utility>

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
} g_input;

LRESULT CALLBACK HookProc(int nCode, WPARAM wParam, LPARAM lParam)
{
    // Every event, press and release (auto-repeat included), goes to the target; what a
    // scan code means is for the receiving window to decide.
    const auto* pKey = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
    const HWND hWndTarget = g_hWndTarget.load();
    if (pKey && hWndTarget)
        ::PostMessageA(hWndTarget, WM_SCANCODE_EVENT, pKey->flags, static_cast<LPARAM>(pKey->scanCode));
    // Never swallows a key: the hot keys stay visible to every other application.
    return ::CallNextHookEx(g_input.hHook.Get(), nCode, wParam, lParam);
}

BOOL Unhook()
{
    g_bInstalled.store(false);
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
        return FALSE;
    }
    g_bInstalled.store(true);
    return TRUE;
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
        return Unhook();
    case WM_HOOK_DROP:
        if (g_input.hHook && !g_input.bDropped)
            g_input.bDropped = ::UnhookWindowsHookEx(g_input.hHook.Get()) != FALSE;
        return 0;
    case WM_HOOK_QUIT:
        Unhook();
        ::DestroyWindow(hWnd);
        return 0;
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
    // Message-only: it takes requests and nothing else.
    g_input.hWndSink = ::CreateWindowExA(0, kSinkClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, hInstance,
                                         nullptr);
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
