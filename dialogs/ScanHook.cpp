#include "dialogs/ScanHook.h"

#include <atomic>
#include <utility>

#include "dialogs/HookWatch.h"
#include "framework/Handles.h"
#include "framework/Trace.h"
#include "res/KovaNames.h"

namespace {

// Neither thread does anything slow, so a request past this means it is gone.
constexpr DWORD REQUEST_TIMEOUT_MS = 2000;

const char kSinkClass[] = "KovaInputSink";
const char kWatchClass[] = "KovaKeyWatch";

// Read by the hook procedure and the watch thread, written by the callers' thread.
std::atomic<HWND> g_hWndTarget{nullptr};
std::atomic<bool> g_bInstalled{false};
// Written by the input thread: the keys the hook has counted, and the hook in place: its
// number, the count at its install and the time of it.
std::atomic<uint32_t> g_nHookKeys{0};
std::atomic<uint32_t> g_nInstalls{0};
std::atomic<uint32_t> g_nKeysAtInstall{0};
std::atomic<DWORD> g_dwInstalledAt{0};

// Touched by the input thread only.
struct CInputState {
    kfw::CHookH hHook;
    bool bDropped = false;          // hHook was unhooked behind our back (test seam)
    HINSTANCE hMod = nullptr;
} g_input;

// Touched by the watch thread only.
struct CWatchState {
    HookWatch watch;
    uint32_t nInstallsSeen = 0;
} g_watch;

// Keys that both the hook and raw input report: a packet of characters or a key without a
// scan code may reach only one of them.
bool Counts(uint32_t uScanCode, uint32_t uVirtualKey)
{
    return uScanCode != 0 && uVirtualKey != VK_PACKET;
}

LRESULT CALLBACK HookProc(int nCode, WPARAM wParam, LPARAM lParam)
{
    // Every event, press and release (auto-repeat included), goes to the target; what a
    // scan code means is for the receiving window to decide.
    const auto* pKey = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
    const HWND hWndTarget = g_hWndTarget.load();
    if (pKey && hWndTarget)
        ::PostMessageA(hWndTarget, WM_SCANCODE_EVENT, pKey->flags, static_cast<LPARAM>(pKey->scanCode));
    if (pKey && Counts(pKey->scanCode, pKey->vkCode))
        ++g_nHookKeys;
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
    g_nKeysAtInstall.store(g_nHookKeys.load());
    g_dwInstalledAt.store(::GetTickCount());
    ++g_nInstalls;
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
    case WM_THREAD_QUIT:
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

void OnRawInput(HRAWINPUT hInput, DWORD dwTime);

LRESULT CALLBACK WatchProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg)
    {
    case WM_INPUT:
        OnRawInput(reinterpret_cast<HRAWINPUT>(lParam), static_cast<DWORD>(::GetMessageTime()));
        break;   // the system cleans up after DefWindowProc
    case WM_THREAD_QUIT:
        ::DestroyWindow(hWnd);
        return 0;
    case WM_DESTROY:
    {
        RAWINPUTDEVICE device = { 0x01, 0x06, RIDEV_REMOVE, nullptr };
        ::RegisterRawInputDevices(&device, 1, sizeof device);
        ::PostQuitMessage(0);
        return 0;
    }
    default:
        break;
    }
    return ::DefWindowProcA(hWnd, uMsg, wParam, lParam);
}

HWND MakeWindow(const char* pszClass, WNDPROC pfnProc, DWORD dwExStyle, DWORD dwStyle, HWND hWndParent)
{
    const HINSTANCE hInstance = ::GetModuleHandleA(nullptr);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = pfnProc;
    wc.hInstance = hInstance;
    wc.lpszClassName = pszClass;
    ::RegisterClassA(&wc);
    return ::CreateWindowExA(dwExStyle, pszClass, "", dwStyle, 0, 0, 0, 0, hWndParent, nullptr, hInstance, nullptr);
}

// Message-only: it takes requests and nothing else.
HWND MakeSink()
{
    return MakeWindow(kSinkClass, &SinkProc, 0, 0, HWND_MESSAGE);
}

// Raw keyboard input, from every program. A hidden top-level window, not a message-only
// one: Wine sends raw input only to the former.
HWND MakeWatch()
{
    const HWND hWnd = MakeWindow(kWatchClass, &WatchProc, WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, WS_POPUP, nullptr);
    RAWINPUTDEVICE device = { 0x01, 0x06, RIDEV_INPUTSINK, hWnd };   // generic desktop, keyboard
    if (hWnd && !::RegisterRawInputDevices(&device, 1, sizeof device))
        kfw::TraceFormat("ScanHook: raw keyboard input was refused (error %lu)", ::GetLastError());
    return hWnd;
}

// A thread that runs one window and its message loop: started by the first request, ended
// at exit.
class CWindowThread {
public:
    CWindowThread(const char* pszName, HWND (*pfnMake)()) : m_pszName(pszName), m_pfnMake(pfnMake) {}
    ~CWindowThread() { Stop(); }
    CWindowThread(const CWindowThread&) = delete;
    CWindowThread& operator=(const CWindowThread&) = delete;

    // The thread's window, the thread started first if need be; null when it cannot run.
    HWND Window()
    {
        if (m_hThread)
            return m_hWnd.load();
        m_hReady.Reset(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
        if (!m_hReady)
            return nullptr;
        m_hThread.Reset(::CreateThread(nullptr, 0, &Run, this, 0, nullptr));
        if (!m_hThread)
        {
            kfw::TraceFormat("ScanHook: the %s thread was not created (error %lu)", m_pszName, ::GetLastError());
            return nullptr;
        }
        // The thread signals once its window exists, or could not be made.
        const HANDLE ahWait[] = { m_hReady.Get(), m_hThread.Get() };
        ::WaitForMultipleObjects(2, ahWait, FALSE, REQUEST_TIMEOUT_MS);
        return m_hWnd.load();
    }

    // The request's answer, or 0 when the thread does not run or does not answer.
    LRESULT Request(UINT uMsg, LPARAM lParam = 0) const
    {
        DWORD_PTR dwResult = 0;
        const HWND hWnd = m_hWnd.load();
        if (!hWnd || !::SendMessageTimeoutA(hWnd, uMsg, 0, lParam, SMTO_NORMAL, REQUEST_TIMEOUT_MS, &dwResult))
            return 0;
        return static_cast<LRESULT>(dwResult);
    }

    void Stop()
    {
        if (!m_hThread)
            return;
        if (const HWND hWnd = m_hWnd.exchange(nullptr))
            ::PostMessageA(hWnd, WM_THREAD_QUIT, 0, 0);
        if (::WaitForSingleObject(m_hThread.Get(), REQUEST_TIMEOUT_MS) != WAIT_OBJECT_0)
            kfw::TraceFormat("ScanHook: the %s thread did not end", m_pszName);
        m_hThread.Reset();
    }

private:
    static DWORD WINAPI Run(void* pThis)
    {
        auto& self = *static_cast<CWindowThread*>(pThis);
        const HWND hWnd = self.m_pfnMake();
        self.m_hWnd.store(hWnd);
        ::SetEvent(self.m_hReady.Get());
        if (!hWnd)
            return 1;
        MSG msg;
        while (::GetMessageA(&msg, nullptr, 0, 0) > 0)
            ::DispatchMessageA(&msg);
        return 0;
    }

    const char* m_pszName;
    HWND (*m_pfnMake)();
    kfw::CHandle m_hThread;
    kfw::CHandle m_hReady;
    std::atomic<HWND> m_hWnd{nullptr};
};

// The watch thread ends first: it makes requests to the input thread.
CWindowThread g_inputThread("input", &MakeSink);
CWindowThread g_watchThread("key watch", &MakeWatch);

void OnRawInput(HRAWINPUT hInput, DWORD dwTime)
{
    // Keys typed before the hook in place was installed are not keys it missed.
    if (!g_bInstalled.load() || static_cast<LONG>(dwTime - g_dwInstalledAt.load()) < 0)
        return;
    RAWINPUT input;
    UINT cbInput = sizeof input;
    if (::GetRawInputData(hInput, RID_INPUT, &input, &cbInput, sizeof(RAWINPUTHEADER)) == static_cast<UINT>(-1) ||
        input.header.dwType != RIM_TYPEKEYBOARD || input.data.keyboard.MakeCode == KEYBOARD_OVERRUN_MAKE_CODE ||
        !Counts(input.data.keyboard.MakeCode, input.data.keyboard.VKey))
        return;
    const uint32_t nInstalls = g_nInstalls.load();
    if (nInstalls != g_watch.nInstallsSeen)
    {
        g_watch.nInstallsSeen = nInstalls;
        g_watch.watch.Reset(g_nKeysAtInstall.load());
    }
    const HookKey key = { input.data.keyboard.MakeCode, HookFlagsFromRaw(input.data.keyboard.Flags) };
    if (!g_watch.watch.OnRawKey(key, g_nHookKeys.load()))
        return;
    kfw::TraceLine("ScanHook: the keyboard hook missed keys that raw input saw; installing it again");
    g_inputThread.Request(WM_HOOK_REINSTALL);
    // The keys it missed still count: the hot key that showed the loss opens its pop-up.
    if (const HWND hWndTarget = g_hWndTarget.load())
        for (const HookKey& missed : g_watch.watch.Missed())
            ::PostMessageA(hWndTarget, WM_SCANCODE_EVENT, missed.uFlags, static_cast<LPARAM>(missed.uScanCode));
}

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
    if (g_bInstalled.load())
        return TRUE;
    if (!g_inputThread.Window() || !g_inputThread.Request(WM_HOOK_INSTALL, reinterpret_cast<LPARAM>(hMod)))
        return FALSE;
    // Without the watch the hook still works; only a drop would go unseen.
    g_watchThread.Window();
    return TRUE;
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
    g_watchThread.Stop();
    g_inputThread.Stop();
    g_bInstalled.store(false);
}

void ScanHook::DropForTest()
{
    g_inputThread.Request(WM_HOOK_DROP);
}
