// Message maps: macros that expand into one chain of tests inside ProcessWindowMessage.
// Entries are tried in declaration order and the first match wins; a map that matches
// nothing returns FALSE and the message falls to the default handling.
//
//   BEGIN_MSG_MAP(CMyWnd)
//       ON_WM_CREATE()
//       ON_MESSAGE(WM_APP + 1, OnPing)
//       ON_COMMAND(IDOK, OnOK)
//       CHAIN_MSG_MAP(CBaseWnd)
//   END_MSG_MAP()
//
// The same macros serve a non-window command target (the application object), which
// sees only the WM_COMMAND messages routed to it.
#pragma once

#include <windows.h>

// winuser.h declares it only from WINVER 0x0601 on; the value is the same on every version.
#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

// Reflected notifications arrive at the child's map as WM_REFLECT_BASE + the parent's message.
#define WM_REFLECT_BASE (WM_USER + 0x1C00)

#define BEGIN_MSG_MAP(theClass)                                                            \
public:                                                                                    \
    BOOL ProcessWindowMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult)  \
        override                                                                           \
    {                                                                                      \
        (void)uMsg; (void)wParam; (void)lParam; (void)lResult;

#define END_MSG_MAP()                                                                      \
        return FALSE;                                                                      \
    }

// LRESULT memberFxn(WPARAM, LPARAM); also for registered messages held in a variable.
#define ON_MESSAGE(msg, memberFxn)                                                         \
    if (uMsg == (msg)) { lResult = memberFxn(wParam, lParam); return TRUE; }

// void memberFxn(): a menu item, accelerator or button click with this id.
#define ON_COMMAND(id, memberFxn)                                                          \
    if (uMsg == WM_COMMAND && LOWORD(wParam) == (id) && kfw::CommandCode(wParam, lParam) == 0) \
    { memberFxn(); lResult = 0; return TRUE; }

// void memberFxn(): a control notification code from the control with this id.
#define ON_CONTROL(code, id, memberFxn)                                                    \
    if (uMsg == WM_COMMAND && LOWORD(wParam) == (id) && HIWORD(wParam) == (code) && lParam) \
    { memberFxn(); lResult = 0; return TRUE; }

// LRESULT memberFxn(WPARAM, LPARAM): a message the parent reflected to this control.
#define ON_REFLECT(msg, memberFxn)                                                         \
    if (uMsg == WM_REFLECT_BASE + (msg)) { lResult = memberFxn(wParam, lParam); return TRUE; }

// theBase's map, tried at this point of the chain.
#define CHAIN_MSG_MAP(theBase)                                                             \
    if (theBase::ProcessWindowMessage(uMsg, wParam, lParam, lResult)) return TRUE;

// Typed entries for the common messages, with the usual MFC handler signatures.
// int OnCreate(LPCREATESTRUCTA lpCreateStruct): 0 to go on, -1 to fail the creation.
#define ON_WM_CREATE()                                                                     \
    if (uMsg == WM_CREATE)                                                                 \
    { lResult = OnCreate(reinterpret_cast<LPCREATESTRUCTA>(lParam)); return TRUE; }
// void OnClose()
#define ON_WM_CLOSE()                                                                      \
    if (uMsg == WM_CLOSE) { OnClose(); lResult = 0; return TRUE; }
// void OnDestroy()
#define ON_WM_DESTROY()                                                                    \
    if (uMsg == WM_DESTROY) { OnDestroy(); lResult = 0; return TRUE; }
// void OnSetFocus(HWND hOldWnd): hOldWnd lost the focus, may be null.
#define ON_WM_SETFOCUS()                                                                   \
    if (uMsg == WM_SETFOCUS)                                                               \
    { OnSetFocus(reinterpret_cast<HWND>(wParam)); lResult = 0; return TRUE; }
// void OnTimer(UINT_PTR nIDEvent)
#define ON_WM_TIMER()                                                                      \
    if (uMsg == WM_TIMER) { OnTimer(static_cast<UINT_PTR>(wParam)); lResult = 0; return TRUE; }
// void OnPaint()
#define ON_WM_PAINT()                                                                      \
    if (uMsg == WM_PAINT) { OnPaint(); lResult = 0; return TRUE; }
// LRESULT OnEraseBkgnd(HDC hDC): non-zero when the background was erased.
#define ON_WM_ERASEBKGND()                                                                 \
    if (uMsg == WM_ERASEBKGND)                                                             \
    { lResult = OnEraseBkgnd(reinterpret_cast<HDC>(wParam)); return TRUE; }
// BOOL OnInitDialog()
#define ON_WM_INITDIALOG()                                                                 \
    if (uMsg == WM_INITDIALOG) { lResult = OnInitDialog(); return TRUE; }
// LRESULT OnNcHitTest(POINT point): the hit-test code; point in screen coordinates.
#define ON_WM_NCHITTEST()                                                                  \
    if (uMsg == WM_NCHITTEST) { lResult = OnNcHitTest(kfw::PointFromLParam(lParam)); return TRUE; }
// BOOL OnHelpInfo(HELPINFO* pHelpInfo): TRUE when the help request was handled.
#define ON_WM_HELP()                                                                       \
    if (uMsg == WM_HELP)                                                                   \
    { lResult = OnHelpInfo(reinterpret_cast<HELPINFO*>(lParam)); return TRUE; }
// void OnWindowPosChanging(WINDOWPOS* pWindowPos): may change the position record before Default().
#define ON_WM_WINDOWPOSCHANGING()                                                          \
    if (uMsg == WM_WINDOWPOSCHANGING)                                                      \
    { OnWindowPosChanging(reinterpret_cast<WINDOWPOS*>(lParam)); lResult = 0; return TRUE; }
// void memberFxn(UINT nFlags, POINT point): the MK_ flags and the client point.
#define KFW_ON_MOUSE(msg, memberFxn)                                                       \
    if (uMsg == (msg))                                                                     \
    { memberFxn(static_cast<UINT>(wParam), kfw::PointFromLParam(lParam)); lResult = 0; return TRUE; }
// void OnMouseMove(UINT nFlags, POINT point)
#define ON_WM_MOUSEMOVE()     KFW_ON_MOUSE(WM_MOUSEMOVE, OnMouseMove)
// void OnLButtonDown(UINT nFlags, POINT point)
#define ON_WM_LBUTTONDOWN()   KFW_ON_MOUSE(WM_LBUTTONDOWN, OnLButtonDown)
// void OnLButtonUp(UINT nFlags, POINT point)
#define ON_WM_LBUTTONUP()     KFW_ON_MOUSE(WM_LBUTTONUP, OnLButtonUp)
// void OnMouseHover(UINT nFlags, POINT point)
#define ON_WM_MOUSEHOVER()    KFW_ON_MOUSE(WM_MOUSEHOVER, OnMouseHover)
// void OnMouseLeave()
#define ON_WM_MOUSELEAVE()                                                                 \
    if (uMsg == WM_MOUSELEAVE) { OnMouseLeave(); lResult = 0; return TRUE; }
// LRESULT OnPowerBroadcast(UINT nPowerEvent, LPARAM lParam)
#define ON_WM_POWERBROADCAST()                                                             \
    if (uMsg == WM_POWERBROADCAST)                                                         \
    { lResult = OnPowerBroadcast(static_cast<UINT>(wParam), lParam); return TRUE; }
// void OnSessionChange(UINT nSessionState, UINT nId)
#define ON_WM_WTSSESSION_CHANGE()                                                          \
    if (uMsg == WM_WTSSESSION_CHANGE)                                                      \
    { OnSessionChange(static_cast<UINT>(wParam), static_cast<UINT>(lParam)); lResult = 0; return TRUE; }
// void OnEndSession(BOOL bEnding, UINT uReason): uReason is ENDSESSION_CLOSEAPP, _LOGOFF...
#define ON_WM_ENDSESSION()                                                                 \
    if (uMsg == WM_ENDSESSION)                                                             \
    { OnEndSession(static_cast<BOOL>(wParam), static_cast<UINT>(lParam)); lResult = 0; return TRUE; }
// void OnSettingChange(UINT uFlags, LPCWSTR lpszSection): lpszSection may be null.
#define ON_WM_SETTINGCHANGE()                                                              \
    if (uMsg == WM_SETTINGCHANGE)                                                          \
    { OnSettingChange(static_cast<UINT>(wParam), reinterpret_cast<LPCWSTR>(lParam)); lResult = 0; return TRUE; }
// void OnDisplayChange(UINT nImageDepth, int cxScreen, int cyScreen)
#define ON_WM_DISPLAYCHANGE()                                                              \
    if (uMsg == WM_DISPLAYCHANGE)                                                          \
    { OnDisplayChange(static_cast<UINT>(wParam), static_cast<short>(LOWORD(lParam)),        \
                      static_cast<short>(HIWORD(lParam))); lResult = 0; return TRUE; }
// void OnDpiChanged(UINT nDpiX, UINT nDpiY, RECT* pSuggested)
#define ON_WM_DPICHANGED()                                                                 \
    if (uMsg == WM_DPICHANGED)                                                             \
    { OnDpiChanged(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<RECT*>(lParam)); lResult = 0; return TRUE; }

namespace kfw {

// Menus and accelerators carry no control window; both count as plain commands (code 0).
inline int CommandCode(WPARAM wParam, LPARAM lParam)
{
    return lParam ? HIWORD(wParam) : 0;
}

inline POINT PointFromLParam(LPARAM lParam)
{
    POINT pt = { static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)) };
    return pt;
}

} // namespace kfw
