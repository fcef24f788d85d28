#include "dialogs/SwitchOffDlg.h"

#include "dialogs/HelpLauncher.h"
#include "dialogs/NoticeLayout.h"
#include "dialogs/Popups.h"
#include "framework/WinApp.h"
#include "skin/SkinCaption.h"

ScanHook g_noticeHook;

namespace {

const UINT_PTR kCloseTimer = 2;
const UINT kCloseAfterMs = 4000;
// Wide enough for one line of string 153, narrow enough that its line break takes effect.
const int kTipWidth = 260;
const Gdiplus::PointF kCaptionOrigin(52.0f, 127.0f);

// A missing string leaves rstr as it was.
void LoadResString(UINT uID, std::string& rstr)
{
    char sz[256] = "";
    const int cch = ::LoadStringA(AfxGetInstanceHandle(), uID, sz, sizeof sz);
    if (cch > 0)
        rstr.assign(sz, static_cast<size_t>(cch));
}

} // namespace

CSwitchOffDlg::CSwitchOffDlg(CWnd* pParentWnd)
    : CTPDialog(IDD_SWITCHOFF_DIALOG, pParentWnd, GetSkinStream("image/W1x_map.png")),
      m_pButtons(&m_btnNotice),
      m_bTracking(false)
{
}

CSwitchOffDlg::~CSwitchOffDlg() = default;

BOOL CSwitchOffDlg::OnInitDialog()
{
    g_noticeHook.Install(m_hWnd, AfxGetInstanceHandle());
    StartCloseTimer();

    m_toolTip.SetMaxTipWidth(kTipWidth);
    LoadResString(IDS_TIP_OFF, m_strTip);
    LoadResString(IDS_OFF_BOTH, m_strCaption);
    ChooseLayout();
    // The tool is the picture's window, which is ours only once the layout has attached it.
    // No subclassing: PreTranslateMessage relays the mouse to the tip.
    if (m_btnNotice.m_hWnd)
        m_toolTip.AddTool(&m_btnNotice, m_strTip.c_str());

    const BOOL bResult = CTPDialog::OnInitDialog();

    RECT rc = {};
    ::GetWindowRect(m_hWnd, &rc);
    const int x = (::GetSystemMetrics(SM_CXSCREEN) - (rc.right - rc.left)) / 2;
    const int y = (::GetSystemMetrics(SM_CYSCREEN) - (rc.bottom - rc.top)) / 2;
    ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    return bResult;
}

void CSwitchOffDlg::ChooseLayout()
{
    m_sysController.QueryWsBlStatus();
    const bool bWireless = m_sysController.IsWirelessExist() != FALSE;
    const bool bBluetooth = m_sysController.IsBluetoothExist() != FALSE;
    const NoticeLayout layout = ChooseNoticeLayout(bWireless, bBluetooth);
    // A picture that cannot be loaded leaves the button blank; the notice still says why.
    if (const SkinArchive* pArchive = GetSkinArchive())
        LoadControlSkin(m_pButtons, IDC_BTN_NOTICE, *pArchive, layout.pszImageMap, "image/koff_main.pos.txt");
    LoadResString(layout.uCaptionId, m_strCaption);
}

BOOL CSwitchOffDlg::PreTranslateMessage(MSG* pMsg)
{
    // The tip's own messages come this way too (its owner is its "parent"): not ours to relay.
    const bool bNotice = pMsg->hwnd && (pMsg->hwnd == m_hWnd || ::IsChild(m_hWnd, pMsg->hwnd));
    if (bNotice)
    {
        if (m_toolTip.m_hWnd)
            m_toolTip.RelayEvent(pMsg);
        if (pMsg->message == WM_MOUSEMOVE)
        {
            StartCloseTimer();
            // The dialog is told when the pointer leaves it for the picture, not when it
            // leaves the picture for the world outside: ask for that too.
            if (pMsg->hwnd != m_hWnd)
            {
                TRACKMOUSEEVENT tme = { sizeof tme, TME_LEAVE, pMsg->hwnd, 0 };
                ::TrackMouseEvent(&tme);
            }
        }
        else if (pMsg->message == WM_MOUSELEAVE && pMsg->hwnd != m_hWnd)
        {
            RestartCloseTimerIfPointerOutside();
        }
    }
    return CTPDialog::PreTranslateMessage(pMsg);
}

void CSwitchOffDlg::OnTimer(UINT_PTR nIDEvent)
{
    if (nIDEvent == kCloseTimer)
    {
        // The pointer on the notice only puts the close off a period at a time, and where
        // it is counts when the timer fires: a leave can go unreported.
        if (IsPointerOverNotice())
        {
            StartCloseTimer();
        }
        else
        {
            StopCloseTimer();
            // Not CloseDialog: the hook stays until the main frame takes it back.
            OnOK();
        }
    }
    Default();
}

void CSwitchOffDlg::CloseDialog()
{
    g_noticeHook.Remove();
    OnOK();
}

LRESULT CSwitchOffDlg::OnScanCode(WPARAM wParam, LPARAM lParam)
{
    switch (ClassifyNoticeKey(static_cast<unsigned>(wParam), static_cast<unsigned>(lParam)))
    {
    case NoticeKeyAction::RefreshAndClose:
        // Sent, not posted: the tray shows the new state before the notice goes.
        if (HWND hFrame = ::FindWindowA(KOVA_WINDOW_CLASS, nullptr))
            ::SendMessageA(hFrame, WM_MODE_CHANGED, 0, 0);
        CloseDialog();
        break;
    case NoticeKeyAction::Close:
        CloseDialog();
        break;
    case NoticeKeyAction::Ignore:
        break;
    }
    return 1;
}

void CSwitchOffDlg::OnMouseHover(UINT, POINT)
{
}

void CSwitchOffDlg::OnMouseLeave()
{
    m_bTracking = false;
    RestartCloseTimerIfPointerOutside();
}

BOOL CSwitchOffDlg::OnHelpInfo(HELPINFO*)
{
    OpenHelpFile();
    return TRUE;
}

int CSwitchOffDlg::OnCreate(LPCREATESTRUCTA)
{
    if (Default() == -1)
        return -1;
    m_toolTip.Create(this);
    return 0;
}

void CSwitchOffDlg::OnPaint()
{
    PaintSkinCaption(m_hWnd, GetBackground(), GetBackgroundWidth(), GetBackgroundHeight(), m_strCaption.c_str(),
                     &kCaptionOrigin);
}

LRESULT CSwitchOffDlg::OnNcHitTest(POINT)
{
    StartCloseTimer();
    return Default();
}

void CSwitchOffDlg::OnMouseMove(UINT, POINT)
{
    if (!m_bTracking)
    {
        TRACKMOUSEEVENT tme = { sizeof tme, TME_HOVER | TME_LEAVE, m_hWnd, HOVER_DEFAULT };
        m_bTracking = ::TrackMouseEvent(&tme) != FALSE;
    }
    Default();
}

void CSwitchOffDlg::StartCloseTimer()
{
    ::KillTimer(m_hWnd, kCloseTimer);
    ::SetTimer(m_hWnd, kCloseTimer, kCloseAfterMs, nullptr);
}

void CSwitchOffDlg::StopCloseTimer()
{
    ::KillTimer(m_hWnd, kCloseTimer);
}

// Moving from the notice onto its picture (a child window) is reported as leaving the
// notice; counting it as such would close the notice under a pointer resting on the picture.
void CSwitchOffDlg::RestartCloseTimerIfPointerOutside()
{
    if (!IsPointerOverNotice())
        StartCloseTimer();
}

bool CSwitchOffDlg::IsPointerOverNotice() const
{
    POINT pt = {};
    if (!::GetCursorPos(&pt))
        return false;
    const HWND hWnd = ::WindowFromPoint(pt);
    return hWnd && (hWnd == m_hWnd || ::IsChild(m_hWnd, hWnd));
}

INT_PTR RunSwitchOffNoticeDialog()
{
    CSwitchOffDlg dlg(nullptr);
    return dlg.DoModal();
}
