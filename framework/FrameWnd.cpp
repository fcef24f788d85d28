#include "framework/FrameWnd.h"

#include <string>

#include "framework/WinApp.h"

const char* const CFrameWnd::s_szDefaultClass = "KfwFrameWnd";

BOOL CFrameWnd::PreCreateWindow(CREATESTRUCTA& cs)
{
    if (!cs.lpszClass)
    {
        // Registered with DefWindowProcA like any class: objects are bound at creation.
        WNDCLASSA wc = {};
        if (!::GetClassInfoA(cs.hInstance, s_szDefaultClass, &wc))
        {
            wc.style = CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
            wc.lpfnWndProc = ::DefWindowProcA;
            wc.hInstance = cs.hInstance;
            wc.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
            wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
            wc.lpszClassName = s_szDefaultClass;
            if (!::RegisterClassA(&wc))
                return FALSE;
        }
        cs.lpszClass = s_szDefaultClass;
    }
    return TRUE;
}

BOOL CFrameWnd::LoadFrame(UINT nIDResource, DWORD dwDefaultStyle, CWnd* pParentWnd, void*)
{
    char szTitle[256] = "";
    std::string strTitle;
    if (::LoadStringA(AfxGetInstanceHandle(), nIDResource, szTitle, sizeof szTitle) > 0)
        strTitle = szTitle;
    else if (CWinApp* pApp = AfxGetApp())
        strTitle = pApp->m_strAppName;

    return CreateEx(0, nullptr, strTitle.c_str(), dwDefaultStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                    CW_USEDEFAULT, CW_USEDEFAULT, pParentWnd ? pParentWnd->m_hWnd : nullptr, nullptr);
}

BOOL CFrameWnd::OnCmdMsg(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    CWinApp* pApp = AfxGetApp();
    LRESULT lResult = 0;
    return pApp && pApp->ProcessWindowMessage(uMsg, wParam, lParam, lResult);
}
