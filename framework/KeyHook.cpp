#include "framework/KeyHook.h"

#include <ntsecapi.h>

#include <atomic>
#include <memory>
#include <optional>

#include "framework/Handles.h"
#include "framework/HookWatch.h"
#include "framework/LinkedCalls.h"
#include "framework/StepMarks.h"
#include "framework/Thread.h"
#include "framework/Trace.h"

namespace kfw {


namespace {

// Neither thread does anything slow, so a request past this means it is gone.
constexpr DWORD REQUEST_TIMEOUT_MS = 2000;

// The threads' control messages are registered ones. Any program can send a window a
// message, and the watch's window, being top-level, also gets every broadcast: a request
// counts only with this process's secret in wParam, which no other process knows.
DWORD MakeSecret()
{
    DWORD dwSecret = 0;
    if (!::RtlGenRandom(&dwSecret, sizeof dwSecret) || dwSecret == 0)
    {
        LARGE_INTEGER liNow = {};
        ::QueryPerformanceCounter(&liNow);
        dwSecret = (liNow.LowPart * 2654435761u) ^ (::GetCurrentProcessId() << 16) ^ ::GetTickCount() ^ 1u;
    }
    return dwSecret;
}
const DWORD g_dwSecret = MakeSecret();

// What the hook procedure, the input thread and the watch share. Made once and never
// destroyed: a thread that outlives its bounded stop at exit still finds it.
struct CKeyPath {
    // Set by the first install, before either thread starts; read-only afterwards.
    KeyHookNames names = {};
    UINT uRequestMsg = 0;
    UINT uQuitMsg = 0;

    // Written by the callers' and the input thread, read by all.
    std::atomic<HWND> hWndTarget{ nullptr };
    std::atomic<bool> bInstalled{ false };
    HookLedger ledger;

    // Requests' contents, written by the sender before it sends.
    std::atomic<HINSTANCE> hModRequested{ nullptr };
    std::atomic<bool> bSettleQueued{ false };   // the watch's request is on its way
    HookWatch::Owed settleOwed = {};
    uint32_t nSettleCursor = 0;

    // The input thread's only.
    CHookH hHook;
    HINSTANCE hMod = nullptr;
    LateCallFilter lateCalls;
    int nDepth = 0;               // calls of our procedure under way, nested in CallNextHookEx
    bool bSwapped = false;        // a new hook replaced a live one: its first event may come twice
    KBDLLHOOKSTRUCT lastEvent = {};

    // The watch thread's only.
    HookWatch watch;
};

CKeyPath& Path()
{
    static CKeyPath& s_path = *new CKeyPath;   // never deleted, as said above
    return s_path;
}

// A request is sent with its operation alone; what it carries waits in the key path. A
// request that timed out still arrives later, so it may point at nothing of the sender's.
enum Op : LPARAM { OP_INSTALL = 1, OP_REMOVE, OP_REINSTALL, OP_SETTLE };

bool IsDuplicateOfLast(const KBDLLHOOKSTRUCT& key, const KBDLLHOOKSTRUCT& last)
{
    return key.scanCode == last.scanCode && key.vkCode == last.vkCode && key.flags == last.flags &&
           key.time == last.time && key.dwExtraInfo == last.dwExtraInfo;
}

void Deliver(CKeyPath& path, const KBDLLHOOKSTRUCT& event)
{
    // A swap leaves a moment in which both hooks are in the chain, and the old one is called
    // for the event the new one just delivered: from inside the new one's CallNextHookEx, or
    // right after it, alike to the last bit. Any other call that comes while we wait in
    // CallNextHookEx (Windows gave up on a slow hook behind ours and went on) is a new event.
    const bool bMaybeTwice = path.nDepth > 0 || path.bSwapped;
    if (path.nDepth == 0)
        path.bSwapped = false;
    if (bMaybeTwice && IsDuplicateOfLast(event, path.lastEvent))
        return;
    path.lastEvent = event;

    const TimedKey key = { { event.scanCode, event.flags & (LLKHF_EXTENDED | LLKHF_UP) }, event.time };
    const bool bMatchable = IsHookKeyMatchable(event.scanCode, event.vkCode);
    // A call Windows gave up on, coming late, for a key the watch already delivered.
    if (bMatchable && path.lateCalls.IsLateTwin(key))
    {
        path.ledger.Add(key, false);
        return;
    }
    path.ledger.Add(key, bMatchable);
    // Every event, press and release (auto-repeat included), goes to the target; what a
    // scan code means is for the receiving window to decide.
    if (const HWND hWndTarget = path.hWndTarget.load())
        ::PostMessageA(hWndTarget, path.names.uKeyMsg, event.flags, static_cast<LPARAM>(event.scanCode));
    MarkStep("key");
}

LRESULT CALLBACK HookProc(int nCode, WPARAM wParam, LPARAM lParam)
{
    // As the hook contract says: anything but an action goes straight on.
    if (nCode < 0)
        return ::CallNextHookEx(nullptr, nCode, wParam, lParam);
    CKeyPath& path = Path();
    if (lParam)
        Deliver(path, *reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam));
    ++path.nDepth;
    // Never swallows a key: the hot keys stay visible to every other application.
    const LRESULT lResult = ::CallNextHookEx(nullptr, nCode, wParam, lParam);
    --path.nDepth;
    return lResult;
}

BOOL Unhook(CKeyPath& path)
{
    path.bInstalled.store(false);
    // A hook Windows dropped fails here; forgotten all the same, as it cannot be retried.
    const HHOOK hHook = path.hHook.Release();
    return hHook ? ::UnhookWindowsHookEx(hHook) : FALSE;
}

// A new hook, put in place before the one in place goes: a live hook misses no key, and the
// hook counts as installed throughout. TRUE when a hook is in place afterwards.
BOOL Hook(CKeyPath& path)
{
    // Thread id 0: every thread of the desktop; the procedure runs on this thread.
    CHookH hNew(g_linked.pfnSetWindowsHookExA(WH_KEYBOARD_LL, &HookProc, path.hMod, 0));
    if (!hNew)
    {
        TraceFormat("BOOL %s::Install(HWND hWndTarget, HINSTANCE hMod): SetWindowsHookExA failed (error %lu)",
                    path.names.pszTraceName, ::GetLastError());
        return path.hHook.IsValid();
    }
    if (!path.hHook)
        path.ledger.MarkFresh(::GetTickCount());
    path.bSwapped = path.hHook.IsValid();
    path.hHook = std::move(hNew);
    path.bInstalled.store(true);
    return TRUE;
}

// The watch found the hook lost: the keys it missed go first, then a new hook, so that
// they reach the target before any key the new one delivers, in the order they were typed.
// The ledger's size once the hook is back.
uint32_t Settle(CKeyPath& path)
{
    HookWatch::Owed missed = {};
    if (!path.bSettleQueued.load(std::memory_order_acquire))
        return path.ledger.Written();
    SettleOwed(path.ledger, path.nSettleCursor, path.settleOwed, missed);
    path.bSettleQueued.store(false, std::memory_order_release);
    const HWND hWndTarget = path.hWndTarget.load();
    if (path.hHook && hWndTarget)
    {
        for (size_t i = 0; i < missed.nKeys; ++i)
            ::PostMessageA(hWndTarget, path.names.uKeyMsg, missed.aKeys[i].key.uFlags,
                           static_cast<LPARAM>(missed.aKeys[i].key.uScanCode));
        path.lateCalls.Expect(missed);
        Hook(path);
    }
    return path.ledger.Written();
}

LRESULT CALLBACK SinkProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    CKeyPath& path = Path();
    if (uMsg == path.uRequestMsg && wParam == g_dwSecret)
    {
        switch (lParam)
        {
        case OP_INSTALL:
            path.hMod = path.hModRequested.load();
            return path.hHook ? TRUE : Hook(path);
        case OP_REINSTALL:
            return path.hHook ? Hook(path) : FALSE;
        case OP_REMOVE:
            return Unhook(path);
        case OP_SETTLE:
            return static_cast<LRESULT>(Settle(path));
        default:
            return 0;
        }
    }
    if (uMsg == path.uQuitMsg && wParam == g_dwSecret)
    {
        Unhook(path);
        ::DestroyWindow(hWnd);
        return 0;
    }
    if (uMsg == WM_CLOSE)
        return 0;   // only our own quit ends the thread, and the hook with it
    if (uMsg == WM_DESTROY)
    {
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcA(hWnd, uMsg, wParam, lParam);
}

void OnRawInput(HRAWINPUT hInput, DWORD dwTime);

LRESULT CALLBACK WatchProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (uMsg == WM_INPUT)
    {
        OnRawInput(reinterpret_cast<HRAWINPUT>(lParam), static_cast<DWORD>(::GetMessageTime()));
        return ::DefWindowProcA(hWnd, uMsg, wParam, lParam);   // the system cleans up after it
    }
    if (uMsg == Path().uQuitMsg && wParam == g_dwSecret)
    {
        ::DestroyWindow(hWnd);
        return 0;
    }
    switch (uMsg)
    {
    case WM_CLOSE:
        return 0;   // only our own quit ends the watch
    case WM_DESTROY:
    {
        RAWINPUTDEVICE device = { 0x01, 0x06, RIDEV_REMOVE, nullptr };
        ::RegisterRawInputDevices(&device, 1, sizeof device);
        ::PostQuitMessage(0);
        return 0;
    }
    default:
        return ::DefWindowProcA(hWnd, uMsg, wParam, lParam);
    }
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
    return MakeWindow(Path().names.pszSinkClass, &SinkProc, 0, 0, HWND_MESSAGE);
}

// Raw keyboard input, from every program. A hidden top-level window, not a message-only
// one: Wine sends raw input only to the former.
HWND MakeWatch()
{
    const KeyHookNames& names = Path().names;
    const HWND hWnd = MakeWindow(names.pszWatchClass, &WatchProc, WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, WS_POPUP, nullptr);
    RAWINPUTDEVICE device = { 0x01, 0x06, RIDEV_INPUTSINK, hWnd };   // generic desktop, keyboard
    if (hWnd && !::RegisterRawInputDevices(&device, 1, sizeof device))
        TraceFormat("%s: raw keyboard input was refused (error %lu)", names.pszTraceName, ::GetLastError());
    return hWnd;
}

// One of the key path's two threads: a window and its message loop. Started by the first
// request, ended at exit. The window's handle lives in a block the thread shares, so one
// left running past its stop writes nothing of its successor's.
class CPathThread {
public:
    CPathThread(PCWSTR pszName, int nPriority, HWND (*pfnMake)())
        : m_thread(pszName, REQUEST_TIMEOUT_MS, nPriority), m_pfnMake(pfnMake)
    {
    }

    // The thread's window, the thread started first if need be; null when it cannot run.
    HWND Window()
    {
        if (m_thread.IsStarted())
            return m_phWnd->load();
        const UINT uQuitMsg = Path().uQuitMsg;
        // Whoever takes the handle out, the stop's wake or the body, posts the quit: a stop
        // that came before the window existed still ends the thread.
        const auto Quit = [uQuitMsg](std::atomic<HWND>& rhWnd) {
            if (const HWND hWnd = rhWnd.exchange(nullptr))
                ::PostMessageA(hWnd, uQuitMsg, g_dwSecret, 0);
        };
        const bool bStarted = m_thread.Start(
            [phWnd = m_phWnd, pfnMake = m_pfnMake, Quit](const CThread::CContext& context) -> DWORD {
                const HWND hWnd = pfnMake();
                phWnd->store(hWnd);
                context.Ready();
                if (!hWnd)
                    return 1;
                if (context.StopRequested())
                    Quit(*phWnd);
                MSG msg;
                while (::GetMessageA(&msg, nullptr, 0, 0) > 0)
                    ::DispatchMessageA(&msg);
                return 0;
            },
            [phWnd = m_phWnd, Quit] { Quit(*phWnd); });
        if (!bStarted)
            return nullptr;
        m_thread.WaitReady(REQUEST_TIMEOUT_MS);
        return m_phWnd->load();
    }

    // Runs the request on the thread; false when the thread does not run or does not answer.
    // SMTO_BLOCK: the caller handles no message of its own meanwhile, so no handler of the
    // caller's (the end of the session, say) runs inside another.
    bool Request(Op eOp, LRESULT& rlResult) const
    {
        DWORD_PTR dwResult = 0;
        const HWND hWnd = m_phWnd->load();
        if (!hWnd || !::SendMessageTimeoutA(hWnd, Path().uRequestMsg, g_dwSecret, eOp, SMTO_BLOCK,
                                            REQUEST_TIMEOUT_MS, &dwResult))
            return false;
        rlResult = static_cast<LRESULT>(dwResult);
        return true;
    }
    // The request's answer, 0 when there is none.
    LRESULT Request(Op eOp) const
    {
        LRESULT lResult = 0;
        return Request(eOp, lResult) ? lResult : 0;
    }

    // A thread that does not end in time is left to the end of the process (CThread's rule);
    // everything it reads stays.
    void Stop()
    {
        m_thread.Stop();
        m_phWnd = std::make_shared<std::atomic<HWND>>(nullptr);
    }

private:
    CThread m_thread;
    HWND (*m_pfnMake)();
    std::shared_ptr<std::atomic<HWND>> m_phWnd = std::make_shared<std::atomic<HWND>>(nullptr);
};

// Made by the first install, with its names. The input thread runs above normal: Windows
// drops a hook whose thread it finds starved. The watch thread ends first (declared last):
// it makes requests to the input thread.
std::optional<CPathThread> g_inputThread;
std::optional<CPathThread> g_watchThread;

// The first install names the key path, before either thread starts.
void NamePath(const KeyHookNames& names)
{
    if (g_inputThread)
        return;
    CKeyPath& path = Path();
    path.names = names;
    path.uRequestMsg = ::RegisterWindowMessageA(names.pszRequestMsg);
    path.uQuitMsg = ::RegisterWindowMessageA(names.pszQuitMsg);
    g_inputThread.emplace(names.pszInputThread, THREAD_PRIORITY_ABOVE_NORMAL, &MakeSink);
    g_watchThread.emplace(names.pszWatchThread, THREAD_PRIORITY_NORMAL, &MakeWatch);
}

// Windows calls no hook of ours for keys typed into a window of a higher integrity level
// (an elevated program's); were raw input to come meanwhile, those keys are not ours.
bool ForegroundIsAboveUs()
{
    const HWND hWnd = ::GetForegroundWindow();
    DWORD dwPid = 0;
    if (!hWnd || !::GetWindowThreadProcessId(hWnd, &dwPid) || dwPid == ::GetCurrentProcessId())
        return false;
    constexpr DWORD QUERY_LIMITED = 0x1000;   // PROCESS_QUERY_LIMITED_INFORMATION
    CHandle hProcess(::OpenProcess(QUERY_LIMITED, FALSE, dwPid));
    CHandle hToken;
    if (!hProcess || !::OpenProcessToken(hProcess.Get(), TOKEN_QUERY, hToken.Put()))
        return ::GetLastError() == ERROR_ACCESS_DENIED;
    CHandle hOwnToken;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, hOwnToken.Put()))
        return false;
    const auto Level = [](HANDLE hTok) -> DWORD {
        alignas(TOKEN_MANDATORY_LABEL) BYTE abyLabel[64] = {};
        DWORD cb = 0;
        if (!::GetTokenInformation(hTok, TokenIntegrityLevel, abyLabel, sizeof abyLabel, &cb))
            return 0;
        const PSID pSid = reinterpret_cast<TOKEN_MANDATORY_LABEL*>(abyLabel)->Label.Sid;
        return *::GetSidSubAuthority(pSid, *::GetSidSubAuthorityCount(pSid) - 1u);
    };
    return Level(hToken.Get()) > Level(hOwnToken.Get());
}

void OnRawInput(HRAWINPUT hInput, DWORD dwTime)
{
    CKeyPath& path = Path();
    RAWINPUT input;
    UINT cbInput = sizeof input;
    if (::GetRawInputData(hInput, RID_INPUT, &input, &cbInput, sizeof(RAWINPUTHEADER)) == static_cast<UINT>(-1) ||
        input.header.dwType != RIM_TYPEKEYBOARD)
        return;
    const RAWKEYBOARD& raw = input.data.keyboard;
    if (!IsRawKeyMatchable(raw.MakeCode, raw.Flags, raw.VKey))
        return;
    // Keys typed while no hook is in place are owed by none.
    if (!path.bInstalled.load())
    {
        path.watch.Forget(path.ledger.Written());
        return;
    }
    const TimedKey key = { { raw.MakeCode, HookFlagsFromRaw(raw.Flags) }, dwTime };
    if (path.watch.OnRawKey(key, path.ledger) != HookWatch::Verdict::Lost)
        return;
    if (ForegroundIsAboveUs())
    {
        path.watch.Settled(path.ledger.Written());
        return;
    }
    // A request that timed out is still on its way: the input thread is stuck, and another
    // would change nothing.
    if (path.bSettleQueued.load())
    {
        path.watch.Forget(path.ledger.Written());
        return;
    }
    TraceFormat("%s: the keyboard hook is not called any more; the keys it missed go first, then it is installed again",
                path.names.pszTraceName);
    path.settleOwed = path.watch.Pending();
    path.nSettleCursor = path.watch.Cursor();
    path.bSettleQueued.store(true, std::memory_order_release);
    LRESULT lCursor = 0;
    if (g_inputThread->Request(OP_SETTLE, lCursor))
        path.watch.Settled(static_cast<uint32_t>(lCursor));
    else
        path.watch.Forget(path.ledger.Written());
}

} // namespace

BOOL CKeyHook::Install(const KeyHookNames& names, HWND hWndTarget, HINSTANCE hMod)
{
    if (!::IsWindow(hWndTarget))
    {
        TraceFormat("BOOL %s::Install(HWND hWndTarget, HINSTANCE hMod): %p is not a window", names.pszTraceName,
                    static_cast<void*>(hWndTarget));
        ::SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    NamePath(names);
    CKeyPath& path = Path();
    // The target first: a hook already in place posts to the new window from the next key.
    path.hWndTarget.store(hWndTarget);
    if (path.bInstalled.load())
        return TRUE;
    path.hModRequested.store(hMod);
    if (!g_inputThread->Window() || !g_inputThread->Request(OP_INSTALL))
        return FALSE;
    // Without the watch the hook still works; only a drop would go unseen.
    g_watchThread->Window();
    return TRUE;
}

BOOL CKeyHook::Remove()
{
    return g_inputThread && g_inputThread->Request(OP_REMOVE) != 0;
}

BOOL CKeyHook::IsInstalled()
{
    return Path().bInstalled.load();
}

HWND CKeyHook::GetTarget()
{
    return Path().hWndTarget.load();
}

BOOL CKeyHook::Reinstall()
{
    if (!IsInstalled() || !::IsWindow(GetTarget()))
        return FALSE;
    return g_inputThread->Request(OP_REINSTALL) != 0;
}

void CKeyHook::Shutdown()
{
    if (g_watchThread)
        g_watchThread->Stop();
    if (g_inputThread)
        g_inputThread->Stop();
    Path().bInstalled.store(false);
}

} // namespace kfw
