#include "framework/Wnd.h"

#include "framework/WinApp.h"

#include <utility>

namespace {

// The object pointer lives in a window property, so any window class (ours, the dialog
// class, system controls we subclass) can carry one without spare window bytes.
const char OBJECT_PROP[] = "kfw.CWnd";

// The window this thread is about to create, bound by the CBT hook at HCBT_CREATEWND.
thread_local CWnd* t_pWndInit = nullptr;
thread_local HHOOK t_hHookCbt = nullptr;

bool IsOwnWindow(HWND hWnd)
{
    DWORD dwPid = 0;
    return hWnd && ::GetWindowThreadProcessId(hWnd, &dwPid) && dwPid == ::GetCurrentProcessId();
}

} // namespace

BOOL CCmdTarget::ProcessWindowMessage(UINT, WPARAM, LPARAM, LRESULT&)
{
    return FALSE;
}

CWnd::~CWnd()
{
    // An object that dies before its window must not leave the window pointing at it.
    if (m_hWnd)
    {
        if (m_pfnSuper)
            UnsubclassWindow();
        else
            Detach();
    }
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd)
{
    if (!IsOwnWindow(hWnd))
        return nullptr;
    return static_cast<CWnd*>(::GetPropA(hWnd, OBJECT_PROP));
}

BOOL CWnd::Bind(HWND hWnd, bool bSubclass)
{
    if (!hWnd || m_hWnd || FromHandlePermanent(hWnd))
        return FALSE;
    if (!::SetPropA(hWnd, OBJECT_PROP, this))
        return FALSE;
    m_hWnd = hWnd;
    if (bSubclass)
    {
        auto pfnOld = reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(
            hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::StandardWndProc)));
        if (!pfnOld)
        {
            Unbind();
            return FALSE;
        }
        m_pfnSuper = pfnOld;
    }
    return TRUE;
}

void CWnd::Unbind()
{
    if (m_hWnd)
        ::RemovePropA(m_hWnd, OBJECT_PROP);
    m_hWnd = nullptr;
    m_pfnSuper = nullptr;
}

BOOL CWnd::Attach(HWND hWnd)
{
    return Bind(hWnd, false);
}

HWND CWnd::Detach()
{
    HWND hWnd = m_hWnd;
    Unbind();
    return hWnd;
}

BOOL CWnd::SubclassWindow(HWND hWnd)
{
    return Bind(hWnd, true);
}

BOOL CWnd::SubclassDlgItem(UINT nID, CWnd* pParent)
{
    if (!pParent || !pParent->m_hWnd)
        return FALSE;
    HWND hItem = ::GetDlgItem(pParent->m_hWnd, static_cast<int>(nID));
    return hItem ? SubclassWindow(hItem) : FALSE;
}

HWND CWnd::UnsubclassWindow()
{
    HWND hWnd = m_hWnd;
    if (hWnd && m_pfnSuper)
        ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
    Unbind();
    return hWnd;
}

LRESULT CALLBACK CWnd::CbtFilterHook(int nCode, WPARAM wParam, LPARAM lParam)
{
    if (nCode == HCBT_CREATEWND && t_pWndInit)
    {
        // Only the first window: a dialog's controls are created right after it.
        CWnd* pWnd = std::exchange(t_pWndInit, nullptr);
        pWnd->Bind(reinterpret_cast<HWND>(wParam), true);
    }
    return ::CallNextHookEx(t_hHookCbt, nCode, wParam, lParam);
}

void CWnd::HookWindowCreate(CWnd* pWnd)
{
    if (!t_hHookCbt)
        t_hHookCbt = ::SetWindowsHookExA(WH_CBT, &CWnd::CbtFilterHook, nullptr, ::GetCurrentThreadId());
    t_pWndInit = pWnd;
}

BOOL CWnd::UnhookWindowCreate()
{
    if (t_hHookCbt)
    {
        ::UnhookWindowsHookEx(t_hHookCbt);
        t_hHookCbt = nullptr;
    }
    // Still set means no window was created.
    return std::exchange(t_pWndInit, nullptr) == nullptr;
}

BOOL CWnd::PreCreateWindow(CREATESTRUCTA&)
{
    return TRUE;
}

BOOL CWnd::CreateEx(DWORD dwExStyle, LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle,
                    int x, int y, int nWidth, int nHeight, HWND hWndParent, HMENU hMenu,
                    LPVOID lpParam)
{
    if (m_hWnd)
        return FALSE;

    CREATESTRUCTA cs = {};
    cs.dwExStyle = dwExStyle;
    cs.lpszClass = lpszClassName;
    cs.lpszName = lpszWindowName;
    cs.style = static_cast<LONG>(dwStyle);
    cs.x = x;
    cs.y = y;
    cs.cx = nWidth;
    cs.cy = nHeight;
    cs.hwndParent = hWndParent;
    cs.hMenu = hMenu;
    cs.hInstance = AfxGetInstanceHandle();
    cs.lpCreateParams = lpParam;
    if (!PreCreateWindow(cs))
    {
        PostNcDestroy();
        return FALSE;
    }

    HookWindowCreate(this);
    HWND hWnd = ::CreateWindowExA(cs.dwExStyle, cs.lpszClass, cs.lpszName, static_cast<DWORD>(cs.style),
                                  cs.x, cs.y, cs.cx, cs.cy, cs.hwndParent, cs.hMenu, cs.hInstance,
                                  cs.lpCreateParams);
    const BOOL bBound = UnhookWindowCreate();
    if (!hWnd)
    {
        // A window that was bound and then refused went through WM_NCDESTROY, which
        // already unbound the object and called PostNcDestroy.
        if (!bBound)
            PostNcDestroy();
        return FALSE;
    }
    return TRUE;
}

BOOL CWnd::DestroyWindow()
{
    return m_hWnd ? ::DestroyWindow(m_hWnd) : FALSE;
}

BOOL CWnd::PreTranslateMessage(MSG*)
{
    return FALSE;
}

BOOL CWnd::WalkPreTranslateTree(HWND hWndStop, MSG* pMsg)
{
    for (HWND hWnd = pMsg->hwnd; hWnd; hWnd = ::GetParent(hWnd))
    {
        CWnd* pWnd = FromHandlePermanent(hWnd);
        if (pWnd && pWnd->PreTranslateMessage(pMsg))
            return TRUE;
        if (hWnd == hWndStop)
            break;
    }
    return FALSE;
}

// The control that a parent's notification is about, or null when it is not one.
HWND CWnd::ReflectTarget(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg)
    {
    case WM_COMMAND:
        return reinterpret_cast<HWND>(lParam);
    case WM_NOTIFY:
        return lParam ? reinterpret_cast<const NMHDR*>(lParam)->hwndFrom : nullptr;
    case WM_DRAWITEM: {
        const auto* pDis = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        return pDis && pDis->CtlType != ODT_MENU ? pDis->hwndItem : nullptr;
    }
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
        return reinterpret_cast<HWND>(lParam);
    default:
        (void)wParam;
        return nullptr;
    }
}

LRESULT CWnd::WindowProc(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    LRESULT lResult = 0;

    // Controls first get the notifications about themselves, so a button draws itself.
    if (HWND hChild = ReflectTarget(uMsg, wParam, lParam))
    {
        CWnd* pChild = FromHandlePermanent(hChild);
        if (pChild && pChild != this && pChild->OnChildNotify(uMsg, wParam, lParam, &lResult))
            return lResult;
    }
    if (ProcessWindowMessage(uMsg, wParam, lParam, lResult))
        return lResult;
    if (uMsg == WM_COMMAND && OnCmdMsg(uMsg, wParam, lParam))
        return 0;
    return DefWindowProc(uMsg, wParam, lParam);
}

LRESULT CWnd::DefWindowProc(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (m_pfnSuper)
        return ::CallWindowProcW(m_pfnSuper, m_hWnd, uMsg, wParam, lParam);
    return ::DefWindowProcW(m_hWnd, uMsg, wParam, lParam);
}

BOOL CWnd::OnChildNotify(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    LRESULT lResult = 0;
    if (!ProcessWindowMessage(WM_REFLECT_BASE + uMsg, wParam, lParam, lResult))
        return FALSE;
    *pResult = lResult;
    return TRUE;
}

BOOL CWnd::OnCmdMsg(UINT, WPARAM, LPARAM)
{
    return FALSE;
}

LRESULT CWnd::Default()
{
    if (!m_pCurrentMsg)
        return 0;
    return DefWindowProc(m_pCurrentMsg->message, m_pCurrentMsg->wParam, m_pCurrentMsg->lParam);
}

LRESULT CALLBACK CWnd::StandardWndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    CWnd* pWnd = FromHandlePermanent(hWnd);
    if (!pWnd)
        return ::DefWindowProcW(hWnd, uMsg, wParam, lParam);

    MSG msg = {};
    msg.hwnd = hWnd;
    msg.message = uMsg;
    msg.wParam = wParam;
    msg.lParam = lParam;
    const MSG* pOld = std::exchange(pWnd->m_pCurrentMsg, &msg);
    LRESULT lResult = pWnd->WindowProc(uMsg, wParam, lParam);
    pWnd->m_pCurrentMsg = pOld;

    if (uMsg == WM_NCDESTROY)
    {
        // The window is gone: unbind first so PostNcDestroy may end the object's life.
        if (CWinApp* pApp = AfxGetApp(); pApp && pApp->m_pMainWnd == pWnd)
        {
            pApp->m_pMainWnd = nullptr;
            ::PostQuitMessage(0);
        }
        pWnd->UnsubclassWindow();
        pWnd->PostNcDestroy();
    }
    return lResult;
}
