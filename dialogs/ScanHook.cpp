#include "dialogs/ScanHook.h"

#include "res/KovaNames.h"
#include "framework/Trace.h"

kfw::CHookH ScanHook::s_hHook;
HWND ScanHook::s_hWndTarget = nullptr;

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
    s_hWndTarget = hWndTarget;
    if (s_hHook)
        Remove();
    // Thread id 0: every thread of the desktop. The procedure still runs on this thread,
    // inside its message loop.
    s_hHook.Reset(::SetWindowsHookExA(WH_KEYBOARD_LL, &ScanHook::HookProc, hMod, 0));
    if (!s_hHook)
    {
        kfw::TraceFormat("BOOL ScanHook::Install(HWND hWndTarget, HINSTANCE hMod): SetWindowsHookExA failed (error %lu)",
                         ::GetLastError());
        return FALSE;
    }
    return TRUE;
}

BOOL ScanHook::Remove()
{
    // The handle is forgotten whatever the unhook says: a hook that cannot be removed
    // cannot be retried either.
    const HHOOK hHook = s_hHook.Release();
    return hHook ? ::UnhookWindowsHookEx(hHook) : FALSE;
}

LRESULT CALLBACK ScanHook::HookProc(int nCode, WPARAM wParam, LPARAM lParam)
{
    // Every event, press and release (auto-repeat included), goes to the target; what a
    // scan code means is for the receiving window to decide.
    const auto* pKey = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
    if (pKey && s_hWndTarget)
        ::PostMessageA(s_hWndTarget, WM_SCANCODE_EVENT, pKey->flags, static_cast<LPARAM>(pKey->scanCode));
    // Never swallows a key: the hot keys stay visible to every other application.
    return ::CallNextHookEx(s_hHook.Get(), nCode, wParam, lParam);
}
