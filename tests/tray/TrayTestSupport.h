// What the tray tests share: a fake shell behind g_pfnShellNotifyIcon and a hidden
// notification window that records the commands and menu messages it gets.
#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <vector>

#include "framework/Wnd.h"
#include "tray/TrayIcon.h"

namespace kovatest {

// Records every request with a copy of the whole record; answers from a queue of results
// (TRUE once the queue is empty).
class CFakeShell {
public:
    struct Call {
        DWORD dwMessage;
        NOTIFYICONDATAA nid;
    };

    CFakeShell()
    {
        s_pThis = this;
        m_pfnOld = g_pfnShellNotifyIcon;
        g_pfnShellNotifyIcon = &Notify;
    }
    ~CFakeShell()
    {
        g_pfnShellNotifyIcon = m_pfnOld;
        s_pThis = nullptr;
    }
    CFakeShell(const CFakeShell&) = delete;
    CFakeShell& operator=(const CFakeShell&) = delete;

    std::vector<Call> m_calls;
    std::deque<BOOL> m_results;
    std::function<void(const NOTIFYICONDATAA&)> m_fnDuringCall;   // runs inside each request

private:
    static BOOL WINAPI Notify(DWORD dwMessage, PNOTIFYICONDATAA lpData)
    {
        s_pThis->m_calls.push_back({ dwMessage, *lpData });
        if (s_pThis->m_fnDuringCall)
            s_pThis->m_fnDuringCall(*lpData);
        if (s_pThis->m_results.empty())
            return TRUE;
        const BOOL bResult = s_pThis->m_results.front();
        s_pThis->m_results.pop_front();
        return bResult;
    }

    PFN_SHELLNOTIFYICONA m_pfnOld = nullptr;
    static inline CFakeShell* s_pThis = nullptr;
};

class CNotifyWnd : public CWnd {
public:
    struct Entry {
        UINT uMsg;
        WPARAM wParam;
        LPARAM lParam;
    };

    CNotifyWnd()
    {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = ::DefWindowProcA;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.lpszClassName = "KovaTrayTestWnd";
        ::RegisterClassA(&wc);   // fails harmlessly for the second window
        CreateEx(0, wc.lpszClassName, "Kova tray test", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr);
    }
    ~CNotifyWnd() override
    {
        if (m_hWnd)
            ::DestroyWindow(m_hWnd);
    }

    std::vector<Entry> Of(UINT uMsg) const
    {
        std::vector<Entry> result;
        for (const Entry& e : m_entries)
            if (e.uMsg == uMsg)
                result.push_back(e);
        return result;
    }
    void Clear() { m_entries.clear(); }

    BOOL ProcessWindowMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) override
    {
        if (uMsg == WM_COMMAND || uMsg == WM_INITMENUPOPUP)
            m_entries.push_back({ uMsg, wParam, lParam });
        if (uMsg != WM_COMMAND)
            return FALSE;
        lResult = 0;
        return TRUE;
    }

private:
    std::vector<Entry> m_entries;
};

} // namespace kovatest
