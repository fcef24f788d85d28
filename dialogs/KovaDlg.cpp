#include "dialogs/KovaDlg.h"

#include "dialogs/HelpLauncher.h"
#include "dialogs/Popups.h"
#include "framework/WinApp.h"
#include "skin/SkinArchive.h"
#include "skin/SkinCaption.h"

int g_modeCodes[MODE_BUTTON_COUNT] = {};
BOOL g_bKeyNavigation = FALSE;
BOOL g_bMoveLeft = FALSE;
ScanHook g_dialogHook;

namespace {

// Scan codes as the keyboard hook reports them.
constexpr LPARAM kScanRadioKey = 0x04;   // with the extended flag: the key that opened us
constexpr LPARAM kScanEnter = 0x1C;      // main and keypad Enter
constexpr LPARAM kScanLeft = 0x4B;       // arrow, or keypad 4 without the extended flag
constexpr LPARAM kScanRight = 0x4D;      // arrow, or keypad 6
constexpr LPARAM kScanRefresh = 0x71;    // the main frame's re-read key

// VK_SPACE and the space character: a message carrying it is never passed on.
constexpr WPARAM kSpace = 0x20;

const char kImageMap[] = "image/kon_main.txt";
const char kPositions[] = "image/kon_main.pos.txt";
const UINT kButtonIds[MODE_BUTTON_COUNT] = { IDC_BTN_BOTH, IDC_BTN_WIFI, IDC_BTN_BT };

// Where the single button of a one-radio machine sits on the small background.
const POINT kSingleButtonAt = { 14, 44 };
// The status line: centred on x, top at y, under the buttons of each background.
const Gdiplus::PointF kStatusAtThree(128.0f, 169.0f);
const Gdiplus::PointF kStatusAtOne(52.0f, 127.0f);
// Tips of the three-button layout have two lines; the width makes the tip break at "\n".
constexpr int kWideTipWidth = 260;

std::string LoadResString(UINT uID)
{
    char sz[512] = "";
    ::LoadStringA(AfxGetInstanceHandle(), uID, sz, sizeof sz);
    return sz;
}

} // namespace

CKovaDlg::CKovaDlg(CWnd* pParent)
    : CTPDialog(IDD_KOVA_DIALOG, pParent, GetSkinStream("image/W3x_map.png"))
{
}

CKovaDlg::~CKovaDlg() = default;

int CKovaDlg::OnCreate(LPCREATESTRUCTA)
{
    if (Default() == -1)
        return -1;
    // MFC's EnableToolTips has no counterpart in our framework: PreTranslateMessage relays
    // the mouse messages to this control instead.
    m_toolTip.Create(this, 0);
    return 0;
}

BOOL CKovaDlg::OnInitDialog()
{
    // The base shows the window at (0, 0) before we centre it: it stays hidden until the
    // dialog manager shows it, skinned and centred.
    m_bInitialising = true;
    g_dialogHook.Install(m_hWnd, AfxGetInstanceHandle());
    RestartAutoClose();
    ::SetActiveWindow(m_hWnd);
    m_pButtons[0] = &m_btnBoth;
    m_pButtons[1] = &m_btnWifi;
    m_pButtons[2] = &m_btnBluetooth;
    ReadRadioStatus();
    InitLayout();
    UpdateSelection(TRUE);
    const BOOL bResult = CTPDialog::OnInitDialog();

    RECT rc = {};
    ::GetWindowRect(m_hWnd, &rc);
    const int nWidth = rc.right - rc.left;
    const int nHeight = rc.bottom - rc.top;
    ::SetWindowPos(m_hWnd, nullptr, (::GetSystemMetrics(SM_CXSCREEN) - nWidth) / 2,
                   (::GetSystemMetrics(SM_CYSCREEN) - nHeight) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ::ShowWindow(m_hWnd, SW_HIDE);
    m_bInitialising = false;

    if (!bResult)
    {
        // Ended with -1: nothing will close us the ordinary way, so give the keys back now.
        StopAutoClose();
        g_dialogHook.Remove();
    }
    return bResult;
}

void CKovaDlg::OnWindowPosChanging(WINDOWPOS* pWindowPos)
{
    if (m_bInitialising && pWindowPos)
        pWindowPos->flags &= ~SWP_SHOWWINDOW;
}

RadioFlags CKovaDlg::Flags() const
{
    return MakeRadioFlags(m_bWirelessOn, m_bBluetoothOn, m_bWirelessExist, m_bBluetoothExist, m_bKillSwitchOn);
}

void CKovaDlg::ReadRadioStatus()
{
    m_sysController.QueryWsBlStatus();
    m_bKillSwitchOn = m_sysController.IsKillSwitchOn();
    m_bWirelessExist = m_sysController.IsWirelessExist();
    m_bBluetoothExist = m_sysController.IsBluetoothExist();
    m_bWirelessOn = m_sysController.IsWirelessOn();
    m_bBluetoothOn = m_sysController.IsBluetoothOn();
}

void CKovaDlg::InitLayout()
{
    m_layout = ChooseModeLayout(Flags());
    if (m_layout.eLayout == ModeLayout::None)
        return;

    // The result is not needed: a control without its image or place still works.
    if (const SkinArchive* pArchive = GetSkinArchive())
    {
        for (int i = 0; i < MODE_BUTTON_COUNT; ++i)
            LoadControlSkin(m_pButtons[i], kButtonIds[i], *pArchive, kImageMap, kPositions);
    }
    ChangeBackground(GetSkinStream(m_layout.pszBackground));
    if (m_layout.bWideTips)
        m_toolTip.SetMaxTipWidth(kWideTipWidth);
    for (int i = 0; i < MODE_BUTTON_COUNT; ++i)
    {
        if (!m_layout.auTipId[i])
            continue;
        m_strTip = LoadResString(m_layout.auTipId[i]);
        m_toolTip.AddTool(m_pButtons[i], m_strTip.c_str());
    }
    m_nSelected = m_layout.nSelected;
    SetButtonImages();
    for (int i = 0; i < m_layout.nModeCount; ++i)
        g_modeCodes[i] = m_layout.anModeCodes[i];
    m_nModeCount = m_layout.nModeCount;

    if (m_nModeCount == 1)
    {
        HWND hSingle = m_btnWifi.m_hWnd;
        ::ShowWindow(hSingle, SW_HIDE);
        ::SetWindowPos(hSingle, HWND_TOP, kSingleButtonAt.x, kSingleButtonAt.y, 0, 0, SWP_NOSIZE);
        ::ShowWindow(m_btnBoth.m_hWnd, SW_HIDE);
        ::ShowWindow(m_btnBluetooth.m_hWnd, SW_HIDE);
        ::ShowWindow(hSingle, SW_SHOW);
    }
    m_nCurrent = m_layout.nCurrent;
}

void CKovaDlg::SetButtonImages()
{
    for (int i = 0; i < MODE_BUTTON_COUNT; ++i)
    {
        if (m_layout.apszImage[i])
            m_pButtons[i]->ReplaceImage(GetSkinStream(m_layout.apszImage[i]));
    }
}

void CKovaDlg::UpdateSelection(BOOL bInitial)
{
    RestartAutoClose();
    if (!bInitial)
    {
        if (m_layout.eLayout == ModeLayout::Three)
            SetButtonImages();
        if (g_bKeyNavigation)
            m_nSelected = StepSelection(m_nSelected, m_nModeCount, g_bMoveLeft != FALSE);
    }
    if (m_layout.eLayout == ModeLayout::None)
        return;
    SetStatus(ModeStatusFor(m_layout.eLayout, Flags(), m_nSelected));
    // The buttons as well: the dialog paints over its children, and new images or
    // highlights must show at once.
    ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void CKovaDlg::SetStatus(const ModeStatus& status)
{
    if (status.uStringId)
        m_strStatus = LoadResString(status.uStringId);
    if (status.bSetHighlights)
        SetButtonHighlights(status.abHighlight[0], status.abHighlight[1], status.abHighlight[2]);
}

void CKovaDlg::SetButtonHighlights(BYTE a, BYTE b, BYTE c)
{
    m_btnBoth.SetHighlight(a);
    m_btnWifi.SetHighlight(b);
    m_btnBluetooth.SetHighlight(c);
}

void CKovaDlg::OnButton(int nEntry)
{
    g_bKeyNavigation = FALSE;
    m_nSelected = nEntry;
    UpdateSelection(FALSE);
    ApplyModeCode();
    CloseDialog();
}

LRESULT CKovaDlg::OnScanCode(WPARAM wParam, LPARAM lParam)
{
    ::SetActiveWindow(m_hWnd);
    if (wParam & LLKHF_UP)
        return 1;
    switch (lParam)
    {
    case kScanLeft:
    case kScanRight:
    case kScanRadioKey:
        // The hot key that opened the pop-up steps right when pressed again; without the
        // extended flag it is another key.
        if (lParam == kScanRadioKey && !(wParam & LLKHF_EXTENDED))
            break;
        g_bKeyNavigation = TRUE;
        g_bMoveLeft = lParam == kScanLeft;
        UpdateSelection(FALSE);
        break;
    case kScanEnter:
        ApplyModeCode();
        CloseDialog();
        break;
    case kScanRefresh:
        NotifyMainFrame();
        CloseDialog();
        break;
    default:
        break;
    }
    return 1;
}

BOOL CKovaDlg::PreTranslateMessage(MSG* pMsg)
{
    if (m_toolTip.m_hWnd)
        m_toolTip.RelayEvent(pMsg);
    // The space bar would press the focused button: its key and character messages go.
    if (pMsg->wParam == kSpace)
        return TRUE;

    const bool bOurs = pMsg->hwnd == m_hWnd || ::IsChild(m_hWnd, pMsg->hwnd);
    if (bOurs && pMsg->message == WM_MOUSEMOVE)
        RestartAutoClose();
    // The cursor can leave a button straight to the outside, and the dialog then sees no
    // leave of its own: without this the pop-up would stay open for good.
    if (bOurs && pMsg->message == WM_MOUSELEAVE && pMsg->hwnd != m_hWnd && !IsCursorOverDialog())
        RestartAutoClose();

    if (bOurs && pMsg->message == WM_MOUSEHOVER && m_layout.eLayout == ModeLayout::Three)
    {
        int nEntry = -1;
        for (int i = 0; i < MODE_BUTTON_COUNT; ++i)
        {
            if (m_pButtons[i] && pMsg->hwnd == m_pButtons[i]->m_hWnd)
                nEntry = i;
        }
        if (nEntry >= 0)
        {
            m_strStatus = LoadResString(ModeStatusFor(m_layout.eLayout, Flags(), nEntry).uStringId);
            m_nSelected = nEntry;
        }
        // The hovered button draws its own hover slice; resting on the background clears all.
        SetButtonHighlights(0, 0, 0);
        ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    }
    return CTPDialog::PreTranslateMessage(pMsg);
}

void CKovaDlg::ApplyModeCode()
{
    if (!ShouldApplyMode(m_bKillSwitchOn != FALSE, m_nSelected, m_nCurrent, m_nModeCount))
        return;
    ::ApplyModeCode(m_sysController, g_modeCodes[m_nSelected], m_bBluetoothExist && m_bWirelessExist);
    NotifyMainFrame();
}

void CKovaDlg::NotifyMainFrame()
{
    // Sent, not posted: the tray shows the new state before the pop-up goes.
    if (HWND hFrame = ::FindWindowA(KOVA_WINDOW_CLASS, nullptr))
        ::SendMessageA(hFrame, WM_MODE_CHANGED, 0, 0);
}

void CKovaDlg::CloseDialog()
{
    if (m_toolTip.m_hWnd)
        m_toolTip.Activate(FALSE);
    g_dialogHook.Remove();
    ::SetActiveWindow(::GetWindow(m_hWnd, GW_HWNDNEXT));
    OnOK();
}

void CKovaDlg::RestartAutoClose()
{
    ::KillTimer(m_hWnd, ID_TIMER_AUTOCLOSE);
    ::SetTimer(m_hWnd, ID_TIMER_AUTOCLOSE, AUTOCLOSE_MS, nullptr);
}

void CKovaDlg::StopAutoClose()
{
    ::KillTimer(m_hWnd, ID_TIMER_AUTOCLOSE);
}

bool CKovaDlg::IsCursorOverDialog() const
{
    POINT pt = {};
    if (!::GetCursorPos(&pt))
        return false;
    HWND hWnd = ::WindowFromPoint(pt);
    return hWnd == m_hWnd || ::IsChild(m_hWnd, hWnd);
}

void CKovaDlg::OnTimer(UINT_PTR nIDEvent)
{
    if (nIDEvent == ID_TIMER_AUTOCLOSE)
    {
        // The pointer on the pop-up only puts the close off a period at a time, and where
        // it is counts when the timer fires: a leave can go unreported.
        if (IsCursorOverDialog())
        {
            RestartAutoClose();
        }
        else
        {
            StopAutoClose();
            CloseDialog();
        }
    }
    Default();
}

void CKovaDlg::OnMouseLeave()
{
    m_bTracking = 0;
    // Leaving the background for a button is no leaving of the dialog.
    if (!IsCursorOverDialog())
        RestartAutoClose();
}

LRESULT CKovaDlg::OnNcHitTest()
{
    RestartAutoClose();
    return Default();
}

void CKovaDlg::OnMouseMove(UINT, POINT)
{
    if (!m_bTracking)
    {
        m_bTracking = 1;
        TRACKMOUSEEVENT tme = { sizeof tme, TME_HOVER | TME_LEAVE, m_hWnd, HOVER_DEFAULT };
        ::TrackMouseEvent(&tme);
    }
    Default();
}

void CKovaDlg::OnPaint()
{
    const Gdiplus::PointF* pOrigin = nullptr;
    if (m_layout.eLayout == ModeLayout::Three)
        pOrigin = &kStatusAtThree;
    else if (m_layout.eLayout != ModeLayout::None)
        pOrigin = &kStatusAtOne;
    PaintSkinCaption(m_hWnd, GetBackground(), GetBackgroundWidth(), GetBackgroundHeight(), m_strStatus.c_str(),
                     pOrigin);
}

LRESULT CKovaDlg::OnHelpInfo(WPARAM, LPARAM)
{
    OpenHelpFile();
    return TRUE;
}

INT_PTR RunModeSelectionDialog()
{
    CKovaDlg dlg(nullptr);
    return dlg.DoModal();
}
