// dialog_baseline: the least a program does to answer the radio hot key with a pop-up. A
// low-level keyboard hook sees the key's press (scan code 0x04 with the extended flag) and
// has a hidden window open a plain modal dialog from a template, centred; Esc or Enter
// closes it. It ends on WM_CLOSE, on the event "KovaDialogBaselineClose", or when started
// again as "dialog_baseline Close". Its steps are marked for the benchmark as Kova's are.
//
//   dialog_baseline [scan=N]   answer extended scan code N instead, so that it can stay
//                              resident beside Kova without both answering one key
#include <windows.h>

#include <stdlib.h>
#include <string.h>

#include "framework/Handles.h"
#include "framework/StepMarks.h"

namespace {

const char kClass[] = "KovaDialogBaseline";
const char kCloseEvent[] = "KovaDialogBaselineClose";
const UINT kOpenMsg = WM_APP + 1;
const WORD kDialogId = 100;

HWND g_hWnd = nullptr;
DWORD g_dwScan = 0x04;
bool g_bOpen = false;

// Posts, never opens from here: a hook procedure must return at once.
LRESULT CALLBACK HookProc(int nCode, WPARAM wParam, LPARAM lParam)
{
    const auto* pKey = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
    if (nCode == HC_ACTION && pKey->scanCode == g_dwScan && (pKey->flags & LLKHF_EXTENDED) &&
        !(pKey->flags & LLKHF_UP))
    {
        ::PostMessageA(g_hWnd, kOpenMsg, 0, 0);
        kfw::MarkStep("key");
    }
    return ::CallNextHookEx(nullptr, nCode, wParam, lParam);
}

INT_PTR CALLBACK DialogProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM)
{
    if (uMsg == WM_INITDIALOG)
    {
        kfw::MarkStep("dialog");
        return TRUE;
    }
    if (uMsg == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL))
    {
        ::EndDialog(hDlg, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

LRESULT CALLBACK WndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg)
    {
    case kOpenMsg:
        // A press while the dialog is up reaches us through its modal loop.
        if (!g_bOpen)
        {
            g_bOpen = true;
            kfw::MarkStep("open");
            ::DialogBoxParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kDialogId), hWnd, DialogProc, 0);
            g_bOpen = false;
        }
        return 0;
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    default:
        return ::DefWindowProcA(hWnd, uMsg, wParam, lParam);
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE hInst, HINSTANCE, LPSTR pszCmdLine, int)
{
    kfw::MarkStep("main");
    kfw::CHandle hClose(::CreateEventA(nullptr, FALSE, FALSE, kCloseEvent));
    if (!hClose)
        return 3;
    if (lstrcmpiA(pszCmdLine, "Close") == 0)
        return ::SetEvent(hClose.Get()) ? 0 : 3;
    if (strncmp(pszCmdLine, "scan=", 5) == 0)
        g_dwScan = strtoul(pszCmdLine + 5, nullptr, 0);

    WNDCLASSA wc = {};
    wc.lpfnWndProc = WndProc;
    wc.hInstance = hInst;
    wc.lpszClassName = kClass;
    kfw::CHookH hHook(::SetWindowsHookExA(WH_KEYBOARD_LL, HookProc, hInst, 0));
    // The window last: once it is there, the hook is in place.
    g_hWnd = hHook && ::RegisterClassA(&wc)
                 ? ::CreateWindowExA(0, kClass, "", WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr, hInst, nullptr)
                 : nullptr;
    if (!g_hWnd)
        return 3;

    const HANDLE hWait = hClose.Get();
    for (;;)
    {
        const DWORD dwWake = ::MsgWaitForMultipleObjects(1, &hWait, FALSE, INFINITE, QS_ALLINPUT);
        if (dwWake == WAIT_OBJECT_0)
            ::DestroyWindow(g_hWnd);
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        {
            if (msg.message == WM_QUIT)
                return 0;
            ::DispatchMessageA(&msg);
        }
        if (dwWake == WAIT_FAILED)
            return 3;
    }
}
