#include "framework/ToolTipCtrl.h"
#include "framework/DynCalls.h"

BOOL CToolTipCtrl::InitCommonControls()
{
    // Bound at first use, so that a program showing no tool tip never maps comctl32: the
    // resident frame starts without it.
    static const BOOL s_bInit = [] {
        const auto pfnInit = kfw::ComCtl32().pfnInitCommonControlsEx;
        INITCOMMONCONTROLSEX icc = { sizeof icc, ICC_WIN95_CLASSES };
        return pfnInit ? pfnInit(&icc) : FALSE;
    }();
    return s_bInit;
}

CIdleTask& CToolTipCtrl::LibraryTask()
{
    struct CLibraryTask : CIdleTask {
        bool DoPiece() override
        {
            InitCommonControls();
            return false;
        }
    };
    static CLibraryTask s_task;
    return s_task;
}

BOOL CToolTipCtrl::Create(CWnd* pParentWnd, DWORD dwStyle)
{
    InitCommonControls();
    return CreateEx(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP | dwStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                    CW_USEDEFAULT, CW_USEDEFAULT, pParentWnd ? pParentWnd->m_hWnd : nullptr, nullptr);
}

TOOLINFOW CToolTipCtrl::MakeToolInfo(CWnd* pWnd, LPCRECT lpRectTool, UINT_PTR nIDTool) const
{
    TOOLINFOW ti = {};
    // The version 2 size is understood by every comctl32 that has tool tips.
    ti.cbSize = TTTOOLINFOW_V2_SIZE;
    HWND hOwner = ::GetWindow(m_hWnd, GW_OWNER);
    if (lpRectTool || !pWnd)
    {
        ti.hwnd = pWnd ? pWnd->m_hWnd : hOwner;
        ti.uId = nIDTool;
        if (lpRectTool)
            ti.rect = *lpRectTool;
    }
    else
    {
        ti.uFlags = TTF_IDISHWND;
        ti.hwnd = hOwner;
        ti.uId = reinterpret_cast<UINT_PTR>(pWnd->m_hWnd);
    }
    return ti;
}

BOOL CToolTipCtrl::AddTool(CWnd* pWnd, LPCWSTR lpszText, LPCRECT lpRectTool, UINT_PTR nIDTool)
{
    TOOLINFOW ti = MakeToolInfo(pWnd, lpRectTool, nIDTool);
    ti.lpszText = const_cast<LPWSTR>(lpszText ? lpszText : LPSTR_TEXTCALLBACKW);
    return static_cast<BOOL>(::SendMessageW(m_hWnd, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti)));
}

void CToolTipCtrl::UpdateTipText(LPCWSTR lpszText, CWnd* pWnd, UINT_PTR nIDTool)
{
    TOOLINFOW ti = MakeToolInfo(pWnd, nullptr, nIDTool);
    ti.lpszText = const_cast<LPWSTR>(lpszText);
    ::SendMessageW(m_hWnd, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&ti));
}

void CToolTipCtrl::RelayEvent(LPMSG lpMsg)
{
    ::SendMessageA(m_hWnd, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(lpMsg));
}

void CToolTipCtrl::Activate(BOOL bActivate)
{
    ::SendMessageA(m_hWnd, TTM_ACTIVATE, bActivate, 0);
}

int CToolTipCtrl::SetMaxTipWidth(int iWidth)
{
    return static_cast<int>(::SendMessageA(m_hWnd, TTM_SETMAXTIPWIDTH, 0, iWidth));
}

int CToolTipCtrl::GetToolCount() const
{
    return static_cast<int>(::SendMessageA(m_hWnd, TTM_GETTOOLCOUNT, 0, 0));
}
