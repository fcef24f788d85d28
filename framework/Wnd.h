// CCmdTarget and CWnd: a window object bound to its HWND, with a message map.
#pragma once

#include <windows.h>

#include "framework/MsgMap.h"

class CWinApp;

// Anything that can take messages from a message map: windows and the application object.
class CCmdTarget {
public:
    CCmdTarget() = default;
    virtual ~CCmdTarget() = default;
    CCmdTarget(const CCmdTarget&) = delete;
    CCmdTarget& operator=(const CCmdTarget&) = delete;

    // Called with each message the target may handle; TRUE stops the search. The
    // BEGIN_MSG_MAP macros write the override.
    virtual BOOL ProcessWindowMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult);
};

class CWnd : public CCmdTarget {
public:
    CWnd() = default;
    ~CWnd() override;

    HWND m_hWnd = nullptr;

    HWND GetSafeHwnd() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }

    // The object bound to a window of this process, or null.
    static CWnd* FromHandlePermanent(HWND hWnd);

    // Creates the window and binds this object to it before WM_NCCREATE, whatever the
    // window procedure of its class.
    BOOL CreateEx(DWORD dwExStyle, LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle,
                  int x, int y, int nWidth, int nHeight, HWND hWndParent, HMENU hMenu,
                  LPVOID lpParam = nullptr);

    // Binds to an existing window without taking over its messages.
    BOOL Attach(HWND hWnd);
    HWND Detach();
    // Binds to an existing window and routes its messages through this object.
    BOOL SubclassWindow(HWND hWnd);
    BOOL SubclassDlgItem(UINT nID, CWnd* pParent);
    HWND UnsubclassWindow();

    // Called when the window is to be destroyed; the base destroys it.
    virtual BOOL DestroyWindow();

    // Called by the message loop before a message is dispatched; TRUE keeps it from
    // being dispatched.
    virtual BOOL PreTranslateMessage(MSG* pMsg);
    // Offers pMsg to the objects of its window and each parent up to hWndStop.
    static BOOL WalkPreTranslateTree(HWND hWndStop, MSG* pMsg);

protected:
    // Called before the window is created; may change the creation parameters.
    virtual BOOL PreCreateWindow(CREATESTRUCTA& cs);
    // Called for every message of the window: reflection, the message map, command
    // routing, then DefWindowProc.
    virtual LRESULT WindowProc(UINT uMsg, WPARAM wParam, LPARAM lParam);
    // Called for messages nobody handled: the window's original procedure.
    virtual LRESULT DefWindowProc(UINT uMsg, WPARAM wParam, LPARAM lParam);
    // Called with a message that the parent reflected from this control; TRUE when handled.
    virtual BOOL OnChildNotify(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    // Called with a WM_COMMAND the window's own map did not handle; TRUE when handled.
    virtual BOOL OnCmdMsg(UINT uMsg, WPARAM wParam, LPARAM lParam);
    // Called after WM_NCDESTROY, when the object is no longer bound to a window.
    virtual void PostNcDestroy() {}

    // The default processing of the message being handled (for handlers that add to it).
    LRESULT Default();

    static LRESULT CALLBACK StandardWndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    // Binds pWnd to the next window this thread creates (dialogs are created by the system).
    static void HookWindowCreate(CWnd* pWnd);
    static BOOL UnhookWindowCreate();

private:
    BOOL Bind(HWND hWnd, bool bSubclass);
    void Unbind();
    static HWND ReflectTarget(UINT uMsg, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK CbtFilterHook(int nCode, WPARAM wParam, LPARAM lParam);

    WNDPROC m_pfnSuper = nullptr;   // original procedure while subclassed
    const MSG* m_pCurrentMsg = nullptr;
};
