#include "dialogs/SkinPopup.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "dialogs/HelpLauncher.h"
#include "dialogs/ModeSelection.h"
#include "dialogs/Popups.h"
#include "dialogs/ScanHook.h"
#include "framework/Dpi.h"
#include "framework/KeyHolder.h"
#include "framework/LinkedCalls.h"
#include "framework/StepMarks.h"
#include "framework/WinApp.h"
#include "res/resource.h"
#include "skin/SkinCaption.h"

namespace {

// One pop-up at a time: the frame's guard sees to that.
CSkinPopup* g_pOpenPopup = nullptr;
// The monitor in use when the living CPopupMonitorPin was made.
std::optional<PopupMonitorInfo> g_pinnedMonitor;

// A system colour as GDI+ takes it: opaque, alpha first.
Gdiplus::ARGB SystemArgb(int nIndex)
{
    const COLORREF cr = ::GetSysColor(nIndex);
    return 0xFF000000u | (static_cast<Gdiplus::ARGB>(GetRValue(cr)) << 16) | (static_cast<Gdiplus::ARGB>(GetGValue(cr)) << 8)
         | GetBValue(cr);
}

bool FindPopupMonitor(PopupMonitor eWhich, PopupMonitorInfo& rInfo)
{
    HMONITOR hMonitor = nullptr;
    switch (eWhich)
    {
    case PopupMonitor::Foreground: {
        // A window of our own (the frame, activated for a pop-up) says nothing of where the
        // user works.
        const HWND hForeground = ::GetForegroundWindow();
        DWORD dwPid = 0;
        if (hForeground && ::GetWindowThreadProcessId(hForeground, &dwPid) && dwPid != ::GetCurrentProcessId())
            hMonitor = kfw::g_linked.pfnMonitorFromWindow(hForeground, MONITOR_DEFAULTTONULL);
        break;
    }
    case PopupMonitor::Pointer: {
        POINT pt = {};
        if (::GetCursorPos(&pt))
            hMonitor = ::MonitorFromPoint(pt, MONITOR_DEFAULTTONULL);
        break;
    }
    case PopupMonitor::Primary:
        hMonitor = ::MonitorFromPoint(POINT{ 0, 0 }, MONITOR_DEFAULTTOPRIMARY);
        break;
    }
    MONITORINFO mi = {};
    mi.cbSize = sizeof mi;
    if (!hMonitor || !::GetMonitorInfoA(hMonitor, &mi))
        return false;
    rInfo.rcWork = { mi.rcWork.left, mi.rcWork.top, mi.rcWork.right, mi.rcWork.bottom };
    rInfo.nDpi = kfw::MonitorDpi(hMonitor);
    return true;
}

// The caption's face, found among rFaces, and sizes at nDpi; the pop-up adds its band and
// colours. The style points into strFamily.
SkinCaptionStyle ScaledCaptionStyle(const std::wstring& strFamily, int nDpi, CCaptionFaces& rFaces)
{
    const Gdiplus::REAL fScale = static_cast<Gdiplus::REAL>(nDpi) / DPI_BASE;
    SkinCaptionStyle style;
    style.pszFamily = strFamily.empty() ? nullptr : strFamily.c_str();
    style.pFaces = &rFaces;
    style.fEmSize = CAPTION_EM_SIZE * fScale;
    style.fMinEmSize *= fScale;
    return style;
}

} // namespace

PFN_FINDPOPUPMONITOR g_pfnFindPopupMonitor = &FindPopupMonitor;

CPopupMonitorPin::CPopupMonitorPin()
{
    g_pinnedMonitor = CSkinPopup::FindMonitor();
}

CPopupMonitorPin::~CPopupMonitorPin()
{
    g_pinnedMonitor.reset();
}

CSkinPopup::CSkinPopup(UINT nIDTemplate, CWnd* pParentWnd, const char* pszBackground, CSkinPictureStore& rPictures)
    : CTPDialog(nIDTemplate, pParentWnd, nullptr, &rPictures), m_pszBackground(pszBackground),
      m_monitor(g_pinnedMonitor ? *g_pinnedMonitor : FindMonitor())
{
    // The picture of the monitor's scale straight away: decoding the 1x one first would be
    // wasted there.
    SetDpi(m_monitor.nDpi);
    m_strCaptionFont = LoadResString(IDS_CAPTION_FONT);
    m_bHighContrast = HighContrastOn();
    LoadBackground(rPictures.FindPicture(pszBackground, GetDpi()));
    kfw::MarkStep("background");
}

PopupMonitorInfo CSkinPopup::FindMonitor()
{
    // The screen as a last resort: one monitor, the system's DPI.
    PopupMonitorInfo info = { { 0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN) }, DPI_BASE };
    for (const PopupMonitor eWhich : { PopupMonitor::Foreground, PopupMonitor::Pointer, PopupMonitor::Primary })
    {
        if (g_pfnFindPopupMonitor(eWhich, info))
            break;
    }
    return info;
}

void CSkinPopup::SetBackground(const char* pszName)
{
    m_pszBackground = pszName;
    ChangeBackground(Pictures().FindPicture(pszName, GetDpi()), m_bRescaling);
}

void CSkinPopup::SetButtonImage(CTPButton& rButton, const char* pszName)
{
    const SkinPictureRef strip = Pictures().FindPicture(pszName, GetDpi());
    rButton.SetScale(strip.nPct, GetDpi());
    rButton.ReplaceImage(strip);
}

CSkinPopup::~CSkinPopup()
{
    if (g_pOpenPopup == this)
        g_pOpenPopup = nullptr;
}

bool CSkinPopup::CloseOpen()
{
    if (!g_pOpenPopup || !g_pOpenPopup->m_hWnd)
        return false;
    g_pOpenPopup->CloseDialog(IDCANCEL);
    return true;
}

int CSkinPopup::OnCreate(LPCREATESTRUCTA)
{
    if (Default() == -1)
        return -1;
    OnInitStep("create_dialog_window");
    return 0;
}

BOOL CSkinPopup::OnInitDialog()
{
    // The base sizes and shows the window where InitialPlace centres it: it stays hidden
    // until the dialog manager shows it, skinned and in place.
    m_bInitialising = true;
    g_pOpenPopup = this;
    OnInitStep("create_dialog_and_buttons");
    kfw::CKeyHolder::PopupOpens(ScanHook::Names(), m_hWnd, AfxGetInstanceHandle());
    OnInitStep("init_hook");
    RestartAutoClose();
    OnInitStep("init_timer");
    OnInitPopup();
    const BOOL bResult = CTPDialog::OnInitDialog();
    OnInitStep("init_base_setwindowrgn_place");

    ::ShowWindow(m_hWnd, SW_HIDE);
    m_bInitialising = false;
    OnInitStep("init_centre_hide");
    kfw::MarkStep("dialog");

    if (!bResult)
    {
        // Ended with -1: nothing will close us the ordinary way, so give the keys back now.
        StopAutoClose();
        kfw::CKeyHolder::PopupCloses(m_hWnd);
        return FALSE;
    }
    // A screen reader follows the focus: it starts on the selected button. Given here, before
    // the window shows, so that the first paint already has it: FALSE keeps the dialog
    // manager from moving it to the first button.
    if (const HWND hSelected = SelectedButton())
    {
        FocusControl(hSelected);
        return FALSE;
    }
    return TRUE;
}

POINT CSkinPopup::InitialPlace() const
{
    // The window is exactly the picture's size.
    int32_t x = 0, y = 0;
    CentreIn(m_monitor.rcWork, m_nWidth, m_nHeight, x, y);
    return POINT{ x, y };
}

LRESULT CSkinPopup::OnEraseBkgnd(HDC hDC)
{
    // The paint copies the picture as painted over this black, covering the whole window.
    return m_pBackground ? 1 : CTPDialog::OnEraseBkgnd(hDC);
}

void CSkinPopup::OnWindowPosChanging(WINDOWPOS* pWindowPos)
{
    if (m_bInitialising && pWindowPos)
        pWindowPos->flags &= ~SWP_SHOWWINDOW;
    Default();
}

BOOL CSkinPopup::PreTranslateMessage(MSG* pMsg)
{
    // The tip's own messages come this way too (its owner is its "parent"): not ours.
    const bool bOurs = pMsg->hwnd && (pMsg->hwnd == m_hWnd || ::IsChild(m_hWnd, pMsg->hwnd));
    if (bOurs)
    {
        // A tip shows only after the pointer rests on a tool, so it is made at the first move
        // over the pop-up, not with every pop-up a key opens. No subclassing of the tools: the
        // mouse is relayed from here.
        if (pMsg->message == WM_MOUSEMOVE && !m_toolTip.m_hWnd && m_toolTip.Create(this, 0))
        {
            OnAddTips();
            SetTipWidth();
        }
        if (m_toolTip.m_hWnd)
            m_toolTip.RelayEvent(pMsg);
        // A leave of a child counts too: the pointer can leave a child straight to the
        // outside, and the pop-up then sees no leave of its own.
        const bool bChildLeft = pMsg->message == WM_MOUSELEAVE && pMsg->hwnd != m_hWnd && !IsPointerOver();
        if (pMsg->message == WM_MOUSEMOVE || bChildLeft)
            RestartAutoClose();
    }
    return CTPDialog::PreTranslateMessage(pMsg);
}

void CSkinPopup::CloseDialog(int nResult)
{
    if (m_toolTip.m_hWnd)
        m_toolTip.Activate(FALSE);
    kfw::CKeyHolder::PopupCloses(m_hWnd);
    ::SetActiveWindow(::GetWindow(m_hWnd, GW_HWNDNEXT));
    EndDialog(nResult);
}

void CSkinPopup::OnTimer(UINT_PTR nIDEvent)
{
    if (nIDEvent == ID_TIMER_AUTOCLOSE)
    {
        // The pointer on the pop-up only puts the close off a period at a time, and where
        // it is counts when the timer fires: a leave can go unreported.
        if (IsPointerOver())
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

void CSkinPopup::OnMouseLeave()
{
    m_bTracking = false;
    // Leaving the background for a child is no leaving of the pop-up.
    if (!IsPointerOver())
        RestartAutoClose();
}

void CSkinPopup::OnMouseMove(UINT, POINT)
{
    if (!m_bTracking)
    {
        TRACKMOUSEEVENT tme = { sizeof tme, TME_HOVER | TME_LEAVE, m_hWnd, HOVER_DEFAULT };
        m_bTracking = ::TrackMouseEvent(&tme) != FALSE;
    }
    Default();
}

LRESULT CSkinPopup::OnNcHitTest(POINT)
{
    RestartAutoClose();
    return Default();
}

BOOL CSkinPopup::OnHelpInfo(HELPINFO*)
{
    OpenHelpFile();
    return TRUE;
}

void CSkinPopup::OnPaint()
{
    // The caption's place and size are 96-dpi figures.
    const Gdiplus::REAL fScale = static_cast<Gdiplus::REAL>(GetDpi()) / DPI_BASE;
    const Gdiplus::PointF at = m_pCaptionAt ? Gdiplus::PointF(m_pCaptionAt->X * fScale, m_pCaptionAt->Y * fScale)
                                            : Gdiplus::PointF();
    SkinCaptionStyle style = ScaledCaptionStyle(m_strCaptionFont, GetDpi(), Pictures().Faces());
    if (m_bHighContrast)
    {
        style.argb = SystemArgb(COLOR_WINDOWTEXT);
        style.argbBand = SystemArgb(COLOR_WINDOW);
    }
    // Centred on x: as wide as the nearer edge allows, less a margin each side.
    const auto fWidth = static_cast<Gdiplus::REAL>(GetBackgroundWidth());
    style.fBandWidth = 2.0f * (std::min(at.X, fWidth - at.X) - CAPTION_MARGIN * fScale);
    // Drawn once per text and look, then copied from what the background keeps.
    kfw::CPaintDC dc(m_hWnd);
    if (m_pBackground)
        DrawKeptSkinCaption(dc.Get(), *m_pBackground, m_strCaption.c_str(), m_pCaptionAt ? &at : nullptr, style);
    else
        DrawSkinCaption(dc.Get(), nullptr, 0, 0, m_strCaption.c_str(), m_pCaptionAt ? &at : nullptr, style);
    PaintButtonsInto(dc);
    kfw::MarkStep("painted");
}

void CSkinPopup::OnDpiChanged(UINT nDpiX, UINT, RECT* pSuggested)
{
    // Dragged onto a monitor of another scale: built again at its DPI, where the system
    // suggests. It stays shown and active throughout: hidden, it would hand the activation
    // and the user's next keys to another program.
    m_bRescaling = true;
    SetDpi(static_cast<int>(nDpiX));
    SetBackground(m_pszBackground);
    OnScaleChanged();
    SetTipWidth();
    m_bRescaling = false;
    if (pSuggested)
        ::SetWindowPos(m_hWnd, nullptr, pSuggested->left, pSuggested->top, 0, 0,
                       SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::ShowWindow(m_hWnd, SW_SHOWNA);
    ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    // The layout may have hidden the button that had the focus.
    FocusSelected();
}

void CSkinPopup::SetTipWidth()
{
    if (m_toolTip.m_hWnd && WrapsTips())
        m_toolTip.SetMaxTipWidth(Scaled(TIP_WRAP_WIDTH));
}

void CSkinPopup::FocusSelected()
{
    if (HWND hSelected = SelectedButton())
        FocusControl(hSelected);
}

void CSkinPopup::FocusControl(HWND hControl)
{
    // Through the dialog manager, as a dialog's focus is moved (it keeps the default button).
    ::SendMessageW(m_hWnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(hControl), TRUE);
}

void CSkinPopup::RestartAutoClose()
{
    ::KillTimer(m_hWnd, ID_TIMER_AUTOCLOSE);
    ::SetTimer(m_hWnd, ID_TIMER_AUTOCLOSE, AUTOCLOSE_MS, nullptr);
}

void CSkinPopup::StopAutoClose()
{
    ::KillTimer(m_hWnd, ID_TIMER_AUTOCLOSE);
}

bool CSkinPopup::IsPointerOver() const
{
    POINT pt = {};
    if (!::GetCursorPos(&pt))
        return false;
    const HWND hWnd = ::WindowFromPoint(pt);
    return hWnd && (hWnd == m_hWnd || ::IsChild(m_hWnd, hWnd));
}

void CSkinPopup::NotifyMainFrame()
{
    // Sent, not posted: the tray shows the new state before the pop-up goes.
    if (HWND hFrame = ::FindWindowA(KOVA_WINDOW_CLASS, nullptr))
        ::SendMessageA(hFrame, WM_MODE_CHANGED, 0, 0);
}

std::wstring CSkinPopup::LoadResString(UINT uID, std::wstring strMissing)
{
    // A buffer size of 0 hands out the string where it lies in the resource, whole.
    const wchar_t* pText = nullptr;
    const int cch = ::LoadStringW(AfxGetInstanceHandle(), uID, reinterpret_cast<LPWSTR>(&pText), 0);
    return cch > 0 && pText ? std::wstring(pText, static_cast<size_t>(cch)) : std::move(strMissing);
}

bool CloseOpenPopup()
{
    return CSkinPopup::CloseOpen();
}

bool CPopupBackgroundsTask::DoPiece()
{
    const char* const apszNames[] = { SKIN_BACKGROUND_THREE, SKIN_BACKGROUND_ONE };
    m_rPictures.PrepareBackground(apszNames[m_nDone], CSkinPopup::FindMonitor().nDpi);
    return ++m_nDone < 2;
}

bool CCaptionFaceTask::DoPiece()
{
    // The caption's face opened and its outlines read once, off screen: the first of a
    // process costs more than any pop-up's own work.
    const std::wstring strFamily = CSkinPopup::LoadResString(IDS_CAPTION_FONT);
    const SkinCaptionStyle style =
        ScaledCaptionStyle(strFamily, ClampDpi(CSkinPopup::FindMonitor().nDpi), m_rPictures.Faces());
    const Gdiplus::PointF at(16.0f, 0.0f);
    kfw::CMemDC dc(::CreateCompatibleDC(nullptr));
    kfw::CBitmapH hBitmap(::CreateBitmap(32, 32, 1, 32, nullptr));
    if (dc && hBitmap)
    {
        kfw::CScopedSelect select(dc.Get(), hBitmap.Get());
        DrawSkinCaption(dc.Get(), nullptr, 32, 32, L"Kova", &at, style);
    }
    return false;
}
