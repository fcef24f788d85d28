#include "app/AppKit.h"

#include "framework/Trace.h"
#include "framework/WinApp.h"

CAppKit::~CAppKit()
{
    DetachInput();
}

BOOL CAppKit::ActivateMainWindow()
{
    const HWND hWndForeground = ::GetForegroundWindow();
    m_dwForegroundThreadId = hWndForeground ? ::GetWindowThreadProcessId(hWndForeground, nullptr) : 0;

    CWnd* pMainWnd = AfxGetMainWnd();
    const HWND hWndMain = pMainWnd ? pMainWnd->GetSafeHwnd() : nullptr;
    if (!hWndMain)
    {
        kfw::TraceLine("BOOL CAppKit::ActivateMainWindow(): no main window");
        return FALSE;
    }

    // Sharing the foreground thread's input state is what lets a window of ours take the
    // foreground and the focus away from the application the user is working in. There is
    // nothing to attach to when no window is foreground or when it is our own.
    const DWORD dwCurrentThreadId = ::GetCurrentThreadId();
    BOOL bAttached = FALSE;
    if (m_dwForegroundThreadId && m_dwForegroundThreadId != dwCurrentThreadId)
    {
        if (m_dwAttachedFrom != m_dwForegroundThreadId || m_dwAttachedTo != dwCurrentThreadId)
            DetachInput();
        // Attached again even when already attached: someone else may have detached it.
        bAttached = ::AttachThreadInput(m_dwForegroundThreadId, dwCurrentThreadId, TRUE);
        if (bAttached)
        {
            m_dwAttachedFrom = m_dwForegroundThreadId;
            m_dwAttachedTo = dwCurrentThreadId;
        }
        else
        {
            kfw::TraceFormat("BOOL CAppKit::ActivateMainWindow(): AttachThreadInput failed (error %lu)",
                             ::GetLastError());
        }
    }

    ::SetForegroundWindow(hWndMain);
    ::SetFocus(hWndMain);
    // The frame only receives messages: it never shows.
    ::ShowWindow(hWndMain, SW_HIDE);
    return bAttached;
}

BOOL CAppKit::DetachInput()
{
    if (!m_dwAttachedFrom)
        return FALSE;
    // Fails when the foreground thread has ended meanwhile; there is nothing left to undo then.
    const BOOL bDetached = ::AttachThreadInput(m_dwAttachedFrom, m_dwAttachedTo, FALSE);
    m_dwAttachedFrom = 0;
    m_dwAttachedTo = 0;
    return bDetached;
}
