// tray_baseline: the least a resident tray program does. A hidden window, one notification
// icon with a tip from its own resources, a message loop. It ends on WM_CLOSE, on the event
// "KovaTrayBaselineClose", or when started again as "tray_baseline Close". Its steps are
// marked for the benchmark as Kova's are (kfw::MarkStep).
#include <windows.h>
#include <shellapi.h>

#include "framework/Handles.h"
#include "framework/StepMarks.h"

namespace {

const char kClass[] = "KovaTrayBaseline";
const char kCloseEvent[] = "KovaTrayBaselineClose";
const UINT kIconId = 1;
const UINT kCallbackMsg = WM_APP + 1;

kfw::CIcon g_icon;

NOTIFYICONDATAA IconData(HWND hWnd)
{
    NOTIFYICONDATAA nid = {};
    nid.cbSize = sizeof(nid);
    nid.hWnd = hWnd;
    nid.uID = kIconId;
    return nid;
}

LRESULT CALLBACK WndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (uMsg == WM_CREATE)
        kfw::MarkStep("window");
    if (uMsg == WM_DESTROY)
    {
        NOTIFYICONDATAA nid = IconData(hWnd);
        ::Shell_NotifyIconA(NIM_DELETE, &nid);
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcA(hWnd, uMsg, wParam, lParam);
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

    WNDCLASSA wc = {};
    wc.lpfnWndProc = WndProc;
    wc.hInstance = hInst;
    wc.lpszClassName = kClass;
    const bool bClass = ::RegisterClassA(&wc) != 0;
    kfw::MarkStep("class");
    HWND hWnd = bClass ? ::CreateWindowExA(0, kClass, "", WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr, hInst, nullptr)
                    : nullptr;
    g_icon.Reset(static_cast<HICON>(::LoadImageA(hInst, MAKEINTRESOURCEA(1), IMAGE_ICON,
                                                 ::GetSystemMetrics(SM_CXSMICON),
                                                 ::GetSystemMetrics(SM_CYSMICON), 0)));
    NOTIFYICONDATAA nid = IconData(hWnd);
    nid.uFlags = NIF_ICON | NIF_TIP | NIF_MESSAGE;
    nid.uCallbackMessage = kCallbackMsg;
    nid.hIcon = g_icon.Get();
    lstrcpynA(nid.szTip, "Tray baseline", sizeof(nid.szTip));
    if (!hWnd || !g_icon || !::Shell_NotifyIconA(NIM_ADD, &nid))
        return 3;
    kfw::MarkStep("icon");

    const HANDLE hWait = hClose.Get();
    for (;;)
    {
        const DWORD dwWake = ::MsgWaitForMultipleObjects(1, &hWait, FALSE, INFINITE, QS_ALLINPUT);
        if (dwWake == WAIT_OBJECT_0)
            ::DestroyWindow(hWnd);
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
