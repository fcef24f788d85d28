// traysample: the smallest tray program the end-to-end tools are proven against. A hidden
// top-level window with one notification icon; right click opens a menu with "E&xit",
// a double click changes the tip, "TaskbarCreated" adds the icon again.
//
//   traysample [--class NAME] [--id N] [--tip TEXT] [--tip2 TEXT] [--colour red|white|green|blue]
//
// The picture is drawn at run time: a dark square with a cross in the chosen colour, so
// two samples with different colours look different on the screen. Exit code 0 after
// "E&xit", 2 on bad arguments, 3 when the window or the icon could not be made.
#include <windows.h>
#include <shellapi.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "framework/Handles.h"

namespace {

enum { kUsage = 2, kFailed = 3 };
enum : UINT { kCallbackMsg = WM_APP + 1, kCmdHello = 100, kCmdExit = 101 };

struct Options {
    std::string strClass = "KovaTraySample";
    UINT uID = 1;
    std::string strTip = "Tray sample";
    std::string strTip2;
    COLORREF crMarks = RGB(255, 0, 0);
};

Options g_opt;
kfw::CIcon g_icon;
UINT g_uTaskbarCreated = 0;
bool g_bToggled = false;

bool ParseColour(const char* psz, COLORREF& rcr)
{
    static const struct { const char* pszName; COLORREF cr; } s_colours[] = {
        {"red", RGB(255, 0, 0)}, {"white", RGB(255, 255, 255)},
        {"green", RGB(0, 255, 0)}, {"blue", RGB(0, 0, 255)},
    };
    for (const auto& c : s_colours)
        if (_stricmp(psz, c.pszName) == 0)
        {
            rcr = c.cr;
            return true;
        }
    return false;
}

bool ParseArgs(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
    {
        const std::string strArg = argv[i];
        if (i + 1 >= argc)
            return false;
        const char* pszValue = argv[++i];
        if (strArg == "--class")
            g_opt.strClass = pszValue;
        else if (strArg == "--id")
            g_opt.uID = static_cast<UINT>(strtoul(pszValue, nullptr, 0));
        else if (strArg == "--tip")
            g_opt.strTip = pszValue;
        else if (strArg == "--tip2")
            g_opt.strTip2 = pszValue;
        else if (strArg == "--colour")
        {
            if (!ParseColour(pszValue, g_opt.crMarks))
                return false;
        }
        else
            return false;
    }
    if (g_opt.strTip2.empty())
        g_opt.strTip2 = g_opt.strTip + " (double-clicked)";
    return g_opt.strTip.size() < 128 && g_opt.strTip2.size() < 128;
}

// A 16x16 opaque icon: dark grey ground, a cross three pixels wide in the marks colour.
kfw::CIcon MakeIcon(COLORREF crMarks)
{
    const int n = 16;
    kfw::CWindowDC screen(nullptr);
    kfw::CMemDC hdc(::CreateCompatibleDC(screen.Get()));
    kfw::CBitmapH hColour(::CreateCompatibleBitmap(screen.Get(), n, n));
    kfw::CBitmapH hMask(::CreateBitmap(n, n, 1, 1, nullptr));
    if (!hdc || !hColour || !hMask)
        return kfw::CIcon();
    {
        kfw::CScopedSelect sel(hdc.Get(), hColour.Get());
        kfw::CBrushH hGround(::CreateSolidBrush(RGB(40, 40, 40)));
        kfw::CBrushH hMarks(::CreateSolidBrush(crMarks));
        RECT rc = {0, 0, n, n};
        ::FillRect(hdc.Get(), &rc, hGround.Get());
        RECT rcBar = {2, 7, 14, 10};
        ::FillRect(hdc.Get(), &rcBar, hMarks.Get());
        RECT rcPost = {7, 2, 10, 14};
        ::FillRect(hdc.Get(), &rcPost, hMarks.Get());
    }
    {
        // All zero in the AND mask: every pixel opaque.
        kfw::CScopedSelect sel(hdc.Get(), hMask.Get());
        ::PatBlt(hdc.Get(), 0, 0, n, n, BLACKNESS);
    }
    ICONINFO ii = {};
    ii.fIcon = TRUE;
    ii.hbmColor = hColour.Get();
    ii.hbmMask = hMask.Get();
    return kfw::CIcon(::CreateIconIndirect(&ii));
}

NOTIFYICONDATAA MakeData(HWND hWnd)
{
    NOTIFYICONDATAA nid = {};
    nid.cbSize = sizeof(nid);
    nid.hWnd = hWnd;
    nid.uID = g_opt.uID;
    nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    nid.uCallbackMessage = kCallbackMsg;
    nid.hIcon = g_icon.Get();
    const std::string& strTip = g_bToggled ? g_opt.strTip2 : g_opt.strTip;
    lstrcpynA(nid.szTip, strTip.c_str(), sizeof(nid.szTip));
    return nid;
}

void ShowMenu(HWND hWnd)
{
    kfw::CMenuH hMenu(::CreatePopupMenu());
    if (!hMenu)
        return;
    ::AppendMenuA(hMenu.Get(), MF_STRING, kCmdHello, "&Hello");
    ::AppendMenuA(hMenu.Get(), MF_SEPARATOR, 0, nullptr);
    ::AppendMenuA(hMenu.Get(), MF_STRING, kCmdExit, "E&xit");
    POINT pt;
    ::GetCursorPos(&pt);
    // The usual tray dance: foreground first so that the menu closes when the user clicks
    // elsewhere, and a null message afterwards.
    ::SetForegroundWindow(hWnd);
    ::TrackPopupMenu(hMenu.Get(), TPM_RIGHTBUTTON, pt.x, pt.y, 0, hWnd, nullptr);
    ::PostMessageA(hWnd, WM_NULL, 0, 0);
}

LRESULT CALLBACK WndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (uMsg == kCallbackMsg && wParam == g_opt.uID)
    {
        if (lParam == WM_RBUTTONUP)
            ShowMenu(hWnd);
        else if (lParam == WM_LBUTTONDBLCLK)
        {
            g_bToggled = !g_bToggled;
            NOTIFYICONDATAA nid = MakeData(hWnd);
            nid.uFlags = NIF_TIP;
            ::Shell_NotifyIconA(NIM_MODIFY, &nid);
        }
        return 0;
    }
    if (g_uTaskbarCreated && uMsg == g_uTaskbarCreated)
    {
        NOTIFYICONDATAA nid = MakeData(hWnd);
        ::Shell_NotifyIconA(NIM_ADD, &nid);
        return 0;
    }
    switch (uMsg)
    {
    case WM_COMMAND:
        if (LOWORD(wParam) == kCmdExit)
            ::DestroyWindow(hWnd);
        return 0;
    case WM_DESTROY:
    {
        NOTIFYICONDATAA nid = MakeData(hWnd);
        ::Shell_NotifyIconA(NIM_DELETE, &nid);
        ::PostQuitMessage(0);
        return 0;
    }
    }
    return ::DefWindowProcA(hWnd, uMsg, wParam, lParam);
}

} // namespace

int main(int argc, char** argv)
{
    if (!ParseArgs(argc, argv))
    {
        fprintf(stderr, "usage: traysample [--class NAME] [--id N] [--tip TEXT] [--tip2 TEXT] "
                        "[--colour red|white|green|blue]\n");
        return kUsage;
    }
    g_uTaskbarCreated = ::RegisterWindowMessageA("TaskbarCreated");
    g_icon = MakeIcon(g_opt.crMarks);

    WNDCLASSA wc = {};
    wc.lpfnWndProc = WndProc;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = g_opt.strClass.c_str();
    if (!g_icon || !::RegisterClassA(&wc))
        return kFailed;
    // Top-level (not message-only): only top-level windows get the "TaskbarCreated" broadcast.
    HWND hWnd = ::CreateWindowExA(0, wc.lpszClassName, "Tray sample", WS_OVERLAPPED, 0, 0, 100, 100,
                                  nullptr, nullptr, wc.hInstance, nullptr);
    if (!hWnd)
        return kFailed;
    NOTIFYICONDATAA nid = MakeData(hWnd);
    if (!::Shell_NotifyIconA(NIM_ADD, &nid))
    {
        ::DestroyWindow(hWnd);
        return kFailed;
    }
    printf("hwnd=%p id=%u\n", static_cast<void*>(hWnd), g_opt.uID);
    fflush(stdout);

    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0)
    {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}
