#include "tray/TrayIcon.h"

#include <cstring>

#include "framework/Handles.h"
#include "framework/Trace.h"
#include "framework/WinApp.h"

PFN_SHELLNOTIFYICONA g_pfnShellNotifyIcon = &::Shell_NotifyIconA;

namespace {

// szTip holds 127 characters and the terminating zero.
constexpr int TIP_CHARS = static_cast<int>(sizeof(NOTIFYICONDATAA{}.szTip)) - 1;

// String uID into the tip; an empty tip when there is none. LoadStringA writes nothing
// when the string is missing, so clear first.
void LoadTip(NOTIFYICONDATAA& rNid, UINT uID)
{
    rNid.szTip[0] = '\0';
    ::LoadStringA(AfxGetInstanceHandle(), uID, rNid.szTip, TIP_CHARS + 1);
}

} // namespace

CTrayIcon::CTrayIcon(UINT uID) : m_nid{}
{
    m_nid.cbSize = sizeof(m_nid);
    m_nid.uID = uID;
    LoadTip(m_nid, uID);
}

CTrayIcon::~CTrayIcon()
{
    SetIcon(0u, NIM_DELETE);
}

void CTrayIcon::SetNotificationWnd(CWnd* pNotifyWnd, UINT uCbMsg)
{
    if (pNotifyWnd)
    {
        kfw::TraceLine("void CTrayIcon::SetNotificationWnd(CWnd* pNotifyWnd, UINT uCbMsg)");
        m_nid.hWnd = pNotifyWnd->GetSafeHwnd();
    }
    m_nid.uCallbackMessage = uCbMsg;
}

BOOL CTrayIcon::SetIcon(UINT uID, DWORD dwMessage)
{
    kfw::TraceLine("BOOL CTrayIcon::SetIcon(UINT uID, DWORD dwMessage)");
    HICON hicon = nullptr;
    if (uID)
    {
        LoadTip(m_nid, uID);
        // A shared icon from the module: never destroyed by us. Large-icon size; the
        // 16-pixel tray pictures are scaled by the system.
        hicon = ::LoadIconA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(uID));
    }
    return SetIcon(hicon, nullptr, dwMessage);
}

BOOL CTrayIcon::SetIcon(HICON hicon, LPCSTR lpTip, DWORD dwMessage)
{
    kfw::TraceLine("BOOL CTrayIcon::SetIcon(HICON hicon, LPCSTR lpTip, DWORD dwMessage)");
    m_nid.uFlags = 0;
    if (hicon)
    {
        m_nid.hIcon = hicon;
        m_nid.uFlags = NIF_ICON;
    }
    else if (m_nid.hIcon)
    {
        dwMessage = NIM_DELETE;   // a null icon always means removal, whatever was asked
    }
    else
    {
        return TRUE;              // nothing shown, nothing to show
    }

    if (lpTip)
    {
        std::strncpy(m_nid.szTip, lpTip, TIP_CHARS);
        m_nid.szTip[TIP_CHARS] = '\0';
    }
    if (m_nid.szTip[0])
        m_nid.uFlags |= NIF_TIP;
    if (m_nid.uCallbackMessage && m_nid.hWnd)
        m_nid.uFlags |= NIF_MESSAGE;

    const BOOL bResult = g_pfnShellNotifyIcon(dwMessage, &m_nid);
    // A failed add or change leaves nothing of ours in the tray as far as we know; a later
    // NIM_ADD (after "TaskbarCreated") brings it back.
    if (dwMessage == NIM_DELETE || !bResult)
        m_nid.hIcon = nullptr;
    return bResult;
}

LRESULT CTrayIcon::OnTrayNotification(WPARAM wID, LPARAM lEvent)
{
    kfw::TraceLine("LRESULT CTrayIcon::OnTrayNotification(WPARAM wID, LPARAM lEvent)");
    if (wID != m_nid.uID)
        return 0;
    if (lEvent != WM_RBUTTONUP && lEvent != WM_LBUTTONDBLCLK)
        return 0;

    // Loaded afresh for each event: nothing of the menu outlives it.
    kfw::CMenuH hMenu(::LoadMenuA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(m_nid.uID)));
    if (!hMenu)
        return 0;
    HMENU hPopup = ::GetSubMenu(hMenu.Get(), 0);
    if (!hPopup)
        return 0;

    if (lEvent == WM_RBUTTONUP)
    {
        ::SetMenuDefaultItem(hPopup, 0, TRUE);
        POINT pt = {};
        ::GetCursorPos(&pt);
        // Without the foreground the menu would not close on a click elsewhere.
        ::SetForegroundWindow(m_nid.hWnd);
        ::TrackPopupMenu(hPopup, 0, pt.x, pt.y, 0, m_nid.hWnd, nullptr);
        // A menu of a tray icon opened a second time closes again at once unless the owner
        // gets a message after TrackPopupMenu returns (see TrackPopupMenu's remarks, KB135788).
        ::PostMessageA(m_nid.hWnd, WM_NULL, 0, 0);
    }
    else
    {
        // A double click does what the default item does, synchronously.
        const UINT uCmd = ::GetMenuItemID(hPopup, 0);
        ::SendMessageA(m_nid.hWnd, WM_COMMAND, uCmd, 0);
    }
    return 1;
}
