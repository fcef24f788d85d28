#include "framework/WinApp.h"

#include <cstdlib>

#include "framework/StepMarks.h"

namespace {
CWinApp* g_pApp = nullptr;
}

CWinApp::CWinApp(LPCSTR lpszAppName)
{
    if (lpszAppName)
        m_strAppName = lpszAppName;
    g_pApp = this;
}

CWinApp::~CWinApp()
{
    if (g_pApp == this)
        g_pApp = nullptr;
}

CWinApp* AfxGetApp()
{
    return g_pApp;
}

HINSTANCE AfxGetInstanceHandle()
{
    if (g_pApp && g_pApp->m_hInstance)
        return g_pApp->m_hInstance;
    return ::GetModuleHandleA(nullptr);
}

CWnd* AfxGetMainWnd()
{
    return g_pApp ? g_pApp->m_pMainWnd : nullptr;
}

BOOL AfxRegisterClass(WNDCLASSA* lpWndClass)
{
    WNDCLASSA wcExisting;
    if (::GetClassInfoA(lpWndClass->hInstance, lpWndClass->lpszClassName, &wcExisting))
        return TRUE;
    return ::RegisterClassA(lpWndClass) != 0;
}

int AfxMessageBox(LPCWSTR lpszText, UINT nType)
{
    const std::wstring strTitle = AfxGetAppTitle();
    CWnd* pMain = AfxGetMainWnd();
    return ::MessageBoxW(pMain ? pMain->m_hWnd : nullptr, lpszText, strTitle.empty() ? nullptr : strTitle.c_str(), nType);
}

std::wstring AfxGetAppTitle()
{
    // The title is ASCII ("Kova" in every language): each character widens as it is.
    const std::string strName = g_pApp ? g_pApp->m_strAppName : std::string();
    return std::wstring(strName.begin(), strName.end());
}

BOOL CWinApp::InitInstance()
{
    return TRUE;
}

int CWinApp::ExitInstance()
{
    return m_nExitCode;
}

BOOL CWinApp::PreTranslateMessage(MSG* pMsg)
{
    HWND hWndStop = m_pMainWnd ? m_pMainWnd->m_hWnd : nullptr;
    if (CWnd::WalkPreTranslateTree(hWndStop, pMsg))
        return TRUE;
    // Thread messages belong to no window: the main window has a look at them.
    if (!pMsg->hwnd && m_pMainWnd)
        return m_pMainWnd->PreTranslateMessage(pMsg);
    return FALSE;
}

BOOL CWinApp::PumpMessage()
{
    MSG msg;
    const BOOL bRet = ::GetMessageW(&msg, nullptr, 0, 0);
    if (bRet == 0 || bRet == -1)
    {
        m_nExitCode = bRet == 0 ? static_cast<int>(msg.wParam) : -1;
        return FALSE;
    }
    if (!PreTranslateMessage(&msg))
    {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return TRUE;
}

BOOL CWinApp::OnIdle(LONG)
{
    kfw::MarkStep("idle");
    if (m_nIdleTask < m_idleTasks.size() && !m_idleTasks[m_nIdleTask]->DoPiece())
        ++m_nIdleTask;
    return m_nIdleTask < m_idleTasks.size();
}

int CWinApp::Run()
{
    kfw::MarkStep("loop");
    LONG lIdleCount = 0;
    bool bIdleWork = true;
    do
    {
        // A piece of idle work at a time, each after whatever came meanwhile.
        MSG msg;
        while (bIdleWork && !::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE))
            bIdleWork = OnIdle(lIdleCount++) != FALSE;
    } while (PumpMessage());
    return ExitInstance();
}

void CWinApp::ParseCommandLine(CCommandLineInfo& rInfo)
{
    ::ParseCommandLine(__argc, __argv, rInfo);
}

int AfxWinMain(HINSTANCE hInstance, HINSTANCE, LPSTR lpCmdLine, int nCmdShow)
{
    CWinApp* pApp = AfxGetApp();
    if (!pApp)
        return -1;
    pApp->m_hInstance = hInstance;
    pApp->m_lpCmdLine = lpCmdLine;
    pApp->m_nCmdShow = nCmdShow;
    if (pApp->m_strAppName.empty())
    {
        char szTitle[256] = "";
        if (::LoadStringA(hInstance, AFX_IDS_APP_TITLE, szTitle, sizeof szTitle) > 0)
        {
            pApp->m_strAppName = szTitle;
        }
        else
        {
            // The module's base name, as the title of last resort.
            ::GetModuleFileNameA(nullptr, szTitle, sizeof szTitle);
            std::string strName = szTitle;
            strName.erase(0, strName.find_last_of("\\/") + 1);
            const size_t nDot = strName.find_last_of('.');
            if (nDot != std::string::npos)
                strName.erase(nDot);
            pApp->m_strAppName = strName;
        }
    }
    if (!pApp->InitInstance())
        return pApp->ExitInstance();
    return pApp->Run();
}
