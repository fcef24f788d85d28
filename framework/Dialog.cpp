#include "framework/Dialog.h"

#include "framework/WinApp.h"

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd)
{
}

// Everything is handled in the subclassed window procedure; the dialog procedure only
// has to exist.
INT_PTR CALLBACK CDialog::DialogProc(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

BOOL CDialog::OnInitDialog()
{
    return TRUE;
}

void CDialog::OnOK()
{
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

void CDialog::EndDialog(int nResult)
{
    m_nModalResult = nResult;
    m_bEnded = true;
    if (m_hWnd)
    {
        ::EndDialog(m_hWnd, nResult);      // hides the window
        ::PostMessageA(m_hWnd, WM_NULL, 0, 0);   // wakes the loop if it is waiting
    }
}

BOOL CDialog::PreTranslateMessage(MSG* pMsg)
{
    if (pMsg->message >= WM_KEYFIRST && pMsg->message <= WM_KEYLAST)
        return ::IsDialogMessageW(m_hWnd, pMsg);
    return FALSE;
}

INT_PTR CDialog::DoModal()
{
    HINSTANCE hInst = AfxGetInstanceHandle();
    HRSRC hRes = ::FindResourceW(hInst, MAKEINTRESOURCEW(m_nIDTemplate), MAKEINTRESOURCEW(5) /*RT_DIALOG*/);
    HGLOBAL hTemplate = hRes ? ::LoadResource(hInst, hRes) : nullptr;
    const auto* pTemplate = hTemplate ? static_cast<LPCDLGTEMPLATEW>(::LockResource(hTemplate)) : nullptr;
    if (!pTemplate)
        return -1;

    CWnd* pOwner = m_pParentWnd ? m_pParentWnd : AfxGetMainWnd();
    HWND hWndOwner = pOwner ? pOwner->m_hWnd : nullptr;
    const bool bOwnerDisabled = hWndOwner && ::IsWindowEnabled(hWndOwner);
    if (bOwnerDisabled)
        ::EnableWindow(hWndOwner, FALSE);

    m_bEnded = false;
    m_nModalResult = -1;
    HookWindowCreate(this);
    HWND hWnd = ::CreateDialogIndirectParamW(hInst, pTemplate, hWndOwner, &CDialog::DialogProc, 0);
    UnhookWindowCreate();

    if (hWnd && !m_bEnded)
    {
        if (!::IsWindowVisible(hWnd))
            ::ShowWindow(hWnd, SW_SHOWNORMAL);
        CWinApp* pApp = AfxGetApp();
        while (!m_bEnded)
        {
            MSG msg;
            const BOOL bRet = ::GetMessageW(&msg, nullptr, 0, 0);
            if (bRet == 0 || bRet == -1)
            {
                // Quitting: leave WM_QUIT for the outer loop.
                if (bRet == 0)
                    ::PostQuitMessage(static_cast<int>(msg.wParam));
                break;
            }
            const BOOL bTaken = pApp ? pApp->PreTranslateMessage(&msg) : WalkPreTranslateTree(m_hWnd, &msg);
            if (!bTaken)
            {
                ::TranslateMessage(&msg);
                ::DispatchMessageW(&msg);
            }
        }
    }

    // The owner is enabled before the dialog goes, so that it gets the activation back.
    if (bOwnerDisabled)
        ::EnableWindow(hWndOwner, TRUE);
    if (hWnd && hWndOwner && ::GetActiveWindow() == hWnd)
        ::SetActiveWindow(hWndOwner);
    if (m_hWnd)
        DestroyWindow();
    else if (hWnd && ::IsWindow(hWnd))
        ::DestroyWindow(hWnd);
    return hWnd ? m_nModalResult : -1;
}
