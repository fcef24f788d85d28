// What the tray tests share: a fake shell behind Shell_NotifyIconW, a hidden notification
// window that records the commands and menu messages it gets, the scale and the taskbar
// theme as a test sets them, and an icon read back.
#pragma once

#include <windows.h>

#include <cstring>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "framework/DynCalls.h"
#include "framework/Handles.h"
#include "framework/LinkedCalls.h"
#include "framework/Wnd.h"
#include "support/Seam.h"
#include "tray/TrayIcon.h"

namespace kovatest {

// The tip as UTF-8, for comparing and printing.
inline std::string TipOf(const NOTIFYICONDATAW& nid)
{
    char sz[4 * sizeof nid.szTip] = "";
    ::WideCharToMultiByte(CP_UTF8, 0, nid.szTip, -1, sz, sizeof sz, nullptr, nullptr);
    return sz;
}

// Records every request with a copy of the whole record; answers from a queue of results
// (TRUE once the queue is empty). Version requests are answered by m_bVersionAnswer.
class CFakeShell {
public:
    struct Call {
        DWORD dwMessage;
        NOTIFYICONDATAW nid;
    };

    CFakeShell() { s_pThis = this; }
    ~CFakeShell() { s_pThis = nullptr; }
    CFakeShell(const CFakeShell&) = delete;
    CFakeShell& operator=(const CFakeShell&) = delete;

    std::vector<Call> m_calls;
    std::deque<BOOL> m_results;
    std::function<void(const NOTIFYICONDATAW&)> m_fnDuringCall;   // runs inside each request
    std::vector<size_t> m_versionAfter;   // how many of m_calls came before each version 3 request
    BOOL m_bVersionAnswer = TRUE;

private:
    static BOOL WINAPI Notify(DWORD dwMessage, PNOTIFYICONDATAW lpData)
    {
        if (dwMessage == NIM_SETVERSION && lpData->uVersion == NOTIFYICON_VERSION)
        {
            s_pThis->m_versionAfter.push_back(s_pThis->m_calls.size());
            return s_pThis->m_bVersionAnswer;
        }
        s_pThis->m_calls.push_back({ dwMessage, *lpData });
        if (s_pThis->m_fnDuringCall)
            s_pThis->m_fnDuringCall(*lpData);
        if (s_pThis->m_results.empty())
            return TRUE;
        const BOOL bResult = s_pThis->m_results.front();
        s_pThis->m_results.pop_front();
        return bResult;
    }

    static inline CFakeShell* s_pThis = nullptr;
    CSeam<decltype(kfw::LinkedCalls::pfnShellNotifyIconW)> m_seam{ kfw::g_linked.pfnShellNotifyIconW, &Notify };
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
    std::function<void()> m_fnOnCommand;   // what arrives while a command runs

    BOOL ProcessWindowMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) override
    {
        if (uMsg == WM_COMMAND || uMsg == WM_INITMENUPOPUP)
            m_entries.push_back({ uMsg, wParam, lParam });
        if (uMsg == WM_COMMAND && m_fnOnCommand)
            m_fnOnCommand();
        if (uMsg != WM_COMMAND)
            return FALSE;
        lResult = 0;
        return TRUE;
    }

private:
    std::vector<Entry> m_entries;
};

struct IconLook {
    int cx = 0, cy = 0;
    std::vector<DWORD> pixels;   // the colour bitmap, 32 bpp, top row first
};

// Size and pixels of the colour bitmap, which is what the shell copies; false for an icon
// that is no longer (or never was) one.
inline bool ReadIcon(HICON hicon, IconLook& rLook)
{
    ICONINFO ii = {};
    if (!hicon || !::GetIconInfo(hicon, &ii))
        return false;
    kfw::CBitmapH hColor(ii.hbmColor), hMask(ii.hbmMask);
    BITMAP bm = {};
    if (!hColor || !::GetObjectA(hColor.Get(), sizeof bm, &bm))
        return false;
    rLook.cx = bm.bmWidth;
    rLook.cy = bm.bmHeight;
    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
    bmi.bmiHeader.biWidth = bm.bmWidth;
    bmi.bmiHeader.biHeight = -bm.bmHeight;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    rLook.pixels.assign(static_cast<size_t>(bm.bmWidth * bm.bmHeight), 0);
    kfw::CWindowDC screen(nullptr);
    return ::GetDIBits(screen.Get(), hColor.Get(), 0, static_cast<UINT>(bm.bmHeight), rLook.pixels.data(), &bmi,
                       DIB_RGB_COLORS) == bm.bmHeight;
}

// The scale as a test wants it: the system's DPI, which like Windows' is read once per
// process (the first call's g_uFakeDpi stays), the taskbar monitor's, which follows
// g_uFakeTaskbarDpi at every call, and metrics whose width and height differ.
inline UINT g_uFakeDpi = 96;
inline UINT g_uFakeTaskbarDpi = 96;
inline HWND g_hDpiAsked = nullptr;   // the window FakeDpiForWindow was last asked about
inline UINT WINAPI FakeDpiForSystem()
{
    static const UINT s_uDpi = g_uFakeDpi;
    return s_uDpi;
}
// The taskbar's monitor at g_uFakeTaskbarDpi, any other window at the system's; 0 for no
// window, as Windows answers.
inline UINT WINAPI FakeDpiForWindow(HWND hWnd)
{
    g_hDpiAsked = hWnd;
    char szClass[32] = "";
    if (!::IsWindow(hWnd) || !::GetClassNameA(hWnd, szClass, sizeof szClass))
        return 0;
    return lstrcmpA(szClass, "Shell_TrayWnd") == 0 ? g_uFakeTaskbarDpi : FakeDpiForSystem();
}
// A taskbar for FindWindow when the shell shows none (Wine without a virtual desktop).
class CStandInTaskbar {
public:
    CStandInTaskbar()
    {
        if (::FindWindowA("Shell_TrayWnd", nullptr))
            return;
        WNDCLASSA wc = {};
        wc.lpfnWndProc = ::DefWindowProcA;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.lpszClassName = "Shell_TrayWnd";
        ::RegisterClassA(&wc);
        m_hWnd = ::CreateWindowExA(0, "Shell_TrayWnd", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance,
                                   nullptr);
    }
    ~CStandInTaskbar()
    {
        if (m_hWnd)
            ::DestroyWindow(m_hWnd);
    }
    CStandInTaskbar(const CStandInTaskbar&) = delete;
    CStandInTaskbar& operator=(const CStandInTaskbar&) = delete;
    HWND Get() const { return m_hWnd ? m_hWnd : ::FindWindowA("Shell_TrayWnd", nullptr); }

private:
    HWND m_hWnd = nullptr;
};
inline int WINAPI FakeMetricsForDpi(int nIndex, UINT uDpi)
{
    return static_cast<int>(nIndex == SM_CXSMICON ? uDpi / 6 : uDpi / 8);
}

// The registry as a test wants it, and what was asked of it.
struct RegAnswer {
    LSTATUS lStatus;
    DWORD dwType;
    std::vector<BYTE> data;
};
inline RegAnswer g_reg;
inline std::vector<std::string> g_regAsked;
inline int g_nRegReads = 0;
inline LSTATUS WINAPI FakeRegGetValue(HKEY hkey, LPCSTR lpSubKey, LPCSTR lpValue, DWORD dwFlags, LPDWORD pdwType,
                                      PVOID pvData, LPDWORD pcbData)
{
    ++g_nRegReads;
    g_regAsked = { hkey == HKEY_CURRENT_USER ? "HKCU" : "?", lpSubKey, lpValue, std::to_string(dwFlags) };
    if (g_reg.lStatus != ERROR_SUCCESS)
        return g_reg.lStatus;
    *pdwType = g_reg.dwType;
    const DWORD cbHave = *pcbData;
    *pcbData = static_cast<DWORD>(g_reg.data.size());
    if (cbHave < g_reg.data.size())
        return ERROR_MORE_DATA;
    std::memcpy(pvData, g_reg.data.data(), g_reg.data.size());
    return ERROR_SUCCESS;
}

// Puts back the calls of the scale and the registry.
struct CLookSeams {
    CSeam<PFN_GETDPIFORSYSTEM> m_dpi{ kfw::g_user32.pfnGetDpiForSystem };
    CSeam<PFN_GETDPIFORWINDOW> m_windowDpi{ kfw::g_user32.pfnGetDpiForWindow };
    CSeam<PFN_GETSYSTEMMETRICSFORDPI> m_metrics{ kfw::g_user32.pfnGetSystemMetricsForDpi };
    CSeam<decltype(kfw::LinkedCalls::pfnRegGetValueA)> m_reg{ kfw::g_linked.pfnRegGetValueA };
};

} // namespace kovatest
