#include "tray/TrayIcon.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <utility>

#include "framework/LinkedCalls.h"
#include "framework/Dpi.h"
#include "framework/DynCalls.h"
#include "framework/Handles.h"
#include "framework/Trace.h"
#include "framework/WinApp.h"


static_assert(TRAY_REG_DWORD == REG_DWORD, "the platform's value");
static_assert(TRAY_EV_CONTEXTMENU == WM_CONTEXTMENU && TRAY_EV_MOUSEMOVE == WM_MOUSEMOVE &&
              TRAY_EV_LBUTTONUP == WM_LBUTTONUP && TRAY_EV_LBUTTONDBLCLK == WM_LBUTTONDBLCLK &&
              TRAY_EV_RBUTTONUP == WM_RBUTTONUP && TRAY_EV_SELECT == NIN_SELECT &&
              TRAY_EV_KEYSELECT == NIN_KEYSELECT, "the platform's values");

namespace {

// szTip holds 127 UTF-16 units and the terminating zero.
constexpr int TIP_CHARS = static_cast<int>(sizeof(NOTIFYICONDATAW{}.szTip) / sizeof(WCHAR)) - 1;

// A cut that split a surrogate pair would leave half a character for the shell to show.
void EndTipWhole(NOTIFYICONDATAW& rNid)
{
    const size_t nLen = std::wcslen(rNid.szTip);
    if (nLen && IS_HIGH_SURROGATE(rNid.szTip[nLen - 1]))
        rNid.szTip[nLen - 1] = L'\0';
}

// String uID into the tip, in any script; an empty tip when there is none. LoadStringW
// writes nothing when the string is missing, so clear first.
void LoadTip(NOTIFYICONDATAW& rNid, UINT uID)
{
    rNid.szTip[0] = L'\0';
    ::LoadStringW(AfxGetInstanceHandle(), uID, rNid.szTip, TIP_CHARS + 1);
    EndTipWhole(rNid);
}

// Picture uID of the theme's set at the tray's size, or the dark one when the module has no
// light twin. Not LR_SHARED: a shared icon comes at the size first asked for, whatever the
// scale is now, so each load is ours to destroy.
HICON LoadTrayPicture(UINT uID, TaskbarTheme eTheme)
{
    const SIZE size = TrayIconSize(static_cast<UINT>(kfw::TaskbarDpi()));
    auto load = [&](UINT u) {
        return static_cast<HICON>(
            ::LoadImageA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(u), IMAGE_ICON, size.cx, size.cy, 0));
    };
    const UINT uPicture = TrayPictureId(uID, eTheme);
    HICON hicon = uPicture != uID ? load(uPicture) : nullptr;
    return hicon ? hicon : load(uID);
}

} // namespace

TaskbarTheme ReadTaskbarTheme()
{
    // Any type is read so that one of the wrong type counts as dark rather than missing; a
    // value longer than the buffer fails with ERROR_MORE_DATA, which counts as dark too.
    unsigned char abData[8] = {};
    DWORD dwType = REG_NONE, cbData = sizeof(abData);
    const LSTATUS lResult = kfw::g_linked.pfnRegGetValueA(HKEY_CURRENT_USER,
                                             R"(Software\Microsoft\Windows\CurrentVersion\Themes\Personalize)",
                                             "SystemUsesLightTheme", RRF_RT_ANY, &dwType, abData, &cbData);
    return TaskbarThemeFromValue(lResult == ERROR_SUCCESS, dwType, abData, cbData);
}

SIZE TrayIconSize(UINT uDpi)
{
    // Without the DPI-aware call the process has a single DPI, the system's, and the plain
    // metrics are for it.
    if (kfw::g_user32.pfnGetSystemMetricsForDpi)
        return { kfw::g_user32.pfnGetSystemMetricsForDpi(SM_CXSMICON, uDpi), kfw::g_user32.pfnGetSystemMetricsForDpi(SM_CYSMICON, uDpi) };
    return { ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON) };
}

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
    kfw::CIcon hicon;
    if (uID)
    {
        LoadTip(m_nid, uID);   // the tip is the dark id's string in either set
        if (!m_strTipNote.empty())
        {
            const std::wstring strTip = std::wstring(m_nid.szTip) + L'\n' + m_strTipNote;
            std::wcsncpy(m_nid.szTip, strTip.c_str(), TIP_CHARS);
            m_nid.szTip[TIP_CHARS] = L'\0';
            EndTipWhole(m_nid);
        }
        hicon.Reset(LoadTrayPicture(uID, m_eTheme));
    }
    const BOOL bResult = SetIcon(hicon.Get(), nullptr, dwMessage);
    if (hicon)
        m_hIcon = std::move(hicon);
    return bResult;
}

BOOL CTrayIcon::SetIcon(HICON hicon, LPCWSTR lpTip, DWORD dwMessage)
{
    // The trace line stays as debugger logs have always shown it, whatever the tip's type.
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
        std::wcsncpy(m_nid.szTip, lpTip, TIP_CHARS);
        m_nid.szTip[TIP_CHARS] = L'\0';
        EndTipWhole(m_nid);
    }
    if (m_nid.szTip[0])
        m_nid.uFlags |= NIF_TIP;
    if (m_nid.uCallbackMessage && m_nid.hWnd)
        m_nid.uFlags |= NIF_MESSAGE;

    const BOOL bResult = kfw::g_linked.pfnShellNotifyIconW(dwMessage, &m_nid);
    // A failed add or change leaves nothing of ours in the tray as far as we know; a later
    // NIM_ADD (after "TaskbarCreated") brings it back.
    if (dwMessage == NIM_DELETE || !bResult)
        m_nid.hIcon = nullptr;
    // The version lasts as long as the icon does: each add asks again. A shell that refuses
    // it sends mouse messages only, and those keep their old meaning.
    if (dwMessage == NIM_ADD && bResult)
    {
        m_nid.uVersion = NOTIFYICON_VERSION;
        m_bVersioned = kfw::g_linked.pfnShellNotifyIconW(NIM_SETVERSION, &m_nid) != FALSE;
        m_nid.uVersion = 0;
    }
    else if (!m_nid.hIcon)
    {
        m_bVersioned = false;
    }
    // The shell has its own copy of the new picture now (or holds none of ours): the icon
    // loaded for the one before may go.
    if (hicon != m_hIcon.Get())
        m_hIcon.Reset();
    return bResult;
}

LRESULT CTrayIcon::OnTrayNotification(WPARAM wID, LPARAM lEvent)
{
    kfw::TraceLine("LRESULT CTrayIcon::OnTrayNotification(WPARAM wID, LPARAM lEvent)");
    if (wID != m_nid.uID)
        return 0;
    const TrayAction eAction = TrayActionFor(static_cast<UINT>(lEvent), m_bVersioned, m_events);
    // What the shell sends while a menu or pop-up of ours runs (the second NIN_KEYSELECT
    // that Enter brings, the rest of a double click) must not start another.
    if (eAction == TrayAction::None || m_bActing)
        return 0;

    // Loaded afresh for each event: nothing of the menu outlives it.
    kfw::CMenuH hMenu(::LoadMenuA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(m_nid.uID)));
    if (!hMenu)
        return 0;
    HMENU hPopup = ::GetSubMenu(hMenu.Get(), 0);
    if (!hPopup)
        return 0;

    m_bActing = true;
    if (eAction == TrayAction::Menu)
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
        // A double click, or Enter on the icon, does what the default item does, synchronously.
        const UINT uCmd = ::GetMenuItemID(hPopup, 0);
        ::SendMessageA(m_nid.hWnd, WM_COMMAND, uCmd, 0);
    }
    m_bActing = false;
    return 1;
}
