#include "app/MainFrame.h"

#include <wtsapi32.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include "dialogs/Popups.h"
#include "dialogs/SkinPopup.h"
#include "framework/LinkedCalls.h"
#include "framework/DynCalls.h"
#include "framework/KeyHolder.h"
#include "framework/StepMarks.h"
#include "framework/Trace.h"
#include "framework/WinApp.h"
#include "radio/PolicyRead.h"

// Registered before the application starts, so the frame can match it in its map.
const UINT g_uTaskbarCreatedMsg = ::RegisterWindowMessageA("TaskbarCreated");

static_assert(WM_SCANCODE_EVENT == WM_APP + 0x64 && WM_CLOSE_REQUEST == WM_APP + 0x78 &&
              WM_MODE_CHANGED == WM_APP + 0x82 && WM_TRAY_CALLBACK == WM_USER + 0xC4 &&
              KEY_EXTENDED == LLKHF_EXTENDED && KEY_RELEASED == LLKHF_UP, "the platform's values");

namespace {

constexpr kfw::KeyHookNames KEY_PATH = KOVA_KEY_PATH_NAMES;

DWORD ForegroundThreadId()
{
    HWND hWndForeground = ::GetForegroundWindow();
    return hWndForeground ? ::GetWindowThreadProcessId(hWndForeground, nullptr) : 0;
}

// Shares this thread's input with the foreground thread for one scope, so a pop-up made
// meanwhile can take the focus; the attachment is undone once the pop-up has closed.
class CForegroundInput {
public:
    CForegroundInput() : m_dwFrom(ForegroundThreadId()), m_dwTo(::GetCurrentThreadId())
    {
        m_bAttached = m_dwFrom && m_dwFrom != m_dwTo && ::AttachThreadInput(m_dwFrom, m_dwTo, TRUE);
    }
    ~CForegroundInput()
    {
        if (m_bAttached)
            ::AttachThreadInput(m_dwFrom, m_dwTo, FALSE);
    }
    CForegroundInput(const CForegroundInput&) = delete;
    CForegroundInput& operator=(const CForegroundInput&) = delete;

private:
    DWORD m_dwFrom;
    DWORD m_dwTo;
    BOOL m_bAttached = FALSE;
};

} // namespace

CMainFrame::CMainFrame() : m_trayIcon(IDR_MAINFRAME)
{
}

CMainFrame::~CMainFrame() = default;

BOOL CMainFrame::PreCreateWindow(CREATESTRUCTA& cs)
{
    if (!CFrameWnd::PreCreateWindow(cs))
        return FALSE;
    cs.lpszClass = KOVA_WINDOW_CLASS;
    return TRUE;
}

int CMainFrame::OnCreate(LPCREATESTRUCTA)
{
    if (Default() == -1)
        return -1;
    if (m_fnWindowMade)
        m_fnWindowMade(m_hWnd);
    kfw::MarkStep("window");
    LoadEMSC();
    kfw::MarkStep("library");
    m_trayIcon.SetTaskbarTheme(ReadTaskbarTheme());
    kfw::MarkStep("theme");
    m_bIconAdded = Refresh(NIM_ADD) != FALSE;
    kfw::MarkStep("icon");
    // An existing semaphore of that name is used as it is, with its current count.
    m_hSemaphore.Reset(::CreateSemaphoreA(nullptr, 1, 1, KOVA_SEMAPHORE_NAME));
    m_bSessionRegistered = kfw::g_linked.pfnWTSRegisterSessionNotification(m_hWnd, NOTIFY_FOR_THIS_SESSION) != FALSE;
    m_nLogonRetries = 0;
    if (!m_bIconAdded || !m_bSessionRegistered)
        ::SetTimer(m_hWnd, ID_TIMER_LOGON_RETRY, LOGON_RETRY_MS, nullptr);
    // A uiAccess build runs above the shell's integrity level: without this the shell's
    // restart announcement would never reach us. Windows 7 and later only.
    if (const auto pfnFilter = kfw::g_user32.pfnChangeWindowMessageFilterEx)
        pfnFilter(m_hWnd, g_uTaskbarCreatedMsg, 1 /*MSGFLT_ALLOW*/, nullptr);
    kfw::CKeyHolder::FrameTakes(KEY_PATH, m_hWnd, AfxGetInstanceHandle());
    kfw::MarkStep("hook");
    return 0;
}

void CMainFrame::OnTimer(UINT_PTR nIDEvent)
{
    if (nIDEvent == ID_TIMER_LOGON_RETRY)
        RetryLogonSetUp();
}

void CMainFrame::RetryLogonSetUp()
{
    // A tick already queued when the timer went changes nothing.
    if (m_nLogonRetries >= LOGON_RETRY_COUNT)
        return;
    ++m_nLogonRetries;
    if (!m_bIconAdded)
        m_bIconAdded = Refresh(NIM_ADD) != FALSE;
    if (!m_bSessionRegistered)
        m_bSessionRegistered = kfw::g_linked.pfnWTSRegisterSessionNotification(m_hWnd, NOTIFY_FOR_THIS_SESSION) != FALSE;
    if ((m_bIconAdded && m_bSessionRegistered) || m_nLogonRetries >= LOGON_RETRY_COUNT)
    {
        ::KillTimer(m_hWnd, ID_TIMER_LOGON_RETRY);
        m_nLogonRetries = LOGON_RETRY_COUNT;
    }
}

void CMainFrame::LoadEMSC()
{
    if (m_emsc.Load(EmscLookup::MappedFirst) != EmscLoad::Loaded)
    {
        ShowErrorBox(L"EMSC.dll ERROR!", nullptr);
        OnEmscMissing();
    }
}

void CMainFrame::ShowErrorBox(LPCWSTR pszText, HWND hWndOwner)
{
    const std::wstring strTitle = AfxGetApp() ? AfxGetAppTitle() : std::wstring(L"Kova");
    m_bErrorBoxShown = true;
    ::MessageBoxW(hWndOwner, pszText, strTitle.c_str(), MB_OK | MB_ICONEXCLAMATION);
    m_bErrorBoxShown = false;
}

namespace {

BOOL CALLBACK EndMessageBox(HWND hWnd, LPARAM)
{
    char szClass[16] = "";
    if (::GetClassNameA(hWnd, szClass, sizeof szClass) && std::strcmp(szClass, "#32770") == 0)
        ::PostMessageA(hWnd, WM_COMMAND, IDOK, 0);
    return TRUE;
}

} // namespace

void CMainFrame::CloseErrorBox()
{
    // The box is this thread's only dialog while it is shown: it runs its loop in place of
    // any pop-up's.
    ::EnumThreadWindows(::GetCurrentThreadId(), &EndMessageBox, 0);
}

void CMainFrame::OnEmscMissing()
{
    ::exit(0);
}

int CMainFrame::GetCurrentStatus()
{
    kfw::TraceLine("[KOVA] CMainFrame::GetCurrentStatus()");
    m_flags = ReadRadioFlags(m_sysController);
    const StatusClass eClass = ClassifyStatus(m_flags);
    if (eClass == STATUS_CLASS_NO_DEVICE)
        kfw::TraceLine("[KOVA] No Device!");
    return eClass;
}

BOOL CMainFrame::UpdateTrayIcon(DWORD dwMessage)
{
    kfw::TraceLine("void CMainFrame::UpdateTrayIcon(DWORD dwMessage)");
    // A radio the organisation keeps off says so, read afresh: a change of policy reaches the
    // frame as a re-read.
    unsigned auLines[2] = {};
    std::wstring strNote;
    for (int i = 0, n = PolicyTipLines(m_flags, ReadRadioPolicy(), auLines); i < n; ++i)
        strNote += (i ? L"\n" : L"") + CSkinPopup::LoadResString(auLines[i]);
    m_trayIcon.SetTipNote(std::move(strNote));
    m_trayIcon.SetNotificationWnd(this, WM_TRAY_CALLBACK);
    return m_trayIcon.SetIcon(TrayIdFor(m_flags), dwMessage);
}

BOOL CMainFrame::Refresh(DWORD dwMessage)
{
    GetCurrentStatus();
    return UpdateTrayIcon(dwMessage);
}

void CMainFrame::OnClose()
{
    ::SendMessageA(m_hWnd, WM_CLOSE_REQUEST, 0, 0);
}

void CMainFrame::OnAppExit()
{
    OnCloseRequest(0, 0);
}

LRESULT CMainFrame::OnCloseRequest(WPARAM, LPARAM)
{
    // An error box holds the user's OK only: a close request ends it, and Kova goes as if
    // OK had been pressed (at start the box is followed by the end of the process anyway).
    if (m_bErrorBoxShown)
    {
        m_bQuitPending = true;
        CloseErrorBox();
        return 1;
    }
    // Inside a pop-up's loop the frame must outlive the pop-up: it closes without a choice,
    // and the frame goes once ShowStatusDialog has unwound and the semaphore is given back.
    if (m_bDialogShown)
    {
        m_bQuitPending = true;
        ClosePopup();
        return 1;
    }
    DestroyWindow();
    return 1;
}

BOOL CMainFrame::OnCmdMsg(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    // The About box would run its loop inside the pop-up's, and a pop-up that closed under
    // it would leave no hook until the box went: the pop-up closes first.
    if (LOWORD(wParam) == ID_APP_ABOUT && m_bDialogShown)
    {
        m_bAboutPending = true;
        ClosePopup();
        return TRUE;
    }
    return CFrameWnd::OnCmdMsg(uMsg, wParam, lParam);
}

void CMainFrame::ClosePopup()
{
    CloseOpenPopup();
}

LRESULT CMainFrame::OnModeChanged(WPARAM, LPARAM)
{
    kfw::TraceLine("LRESULT CMainFrame::OnModeChanged(WPARAM, LPARAM)");
    Refresh(NIM_MODIFY);
    return 1;
}

LRESULT CMainFrame::OnScanCode(WPARAM wParam, LPARAM lParam)
{
    // Taken without waiting: a key that finds the semaphore held (by a pop-up of ours that
    // is open, or by another process) is dropped.
    if (!m_hSemaphore || ::WaitForSingleObject(m_hSemaphore.Get(), 0) != WAIT_OBJECT_0)
        return 1;
    m_bSemaphoreHeld = true;

    const UINT uFlags = static_cast<UINT>(wParam) & 0xFF;
    if (!(uFlags & KEY_RELEASED))
    {
        switch (static_cast<UINT>(lParam))
        {
        case SCAN_REFRESH:
            OnModeChanged(0, 0);
            break;
        case SCAN_RADIO_KEY:
            if (uFlags & KEY_EXTENDED)
                ShowStatusDialog();
            break;
        default:
            break;
        }
    }
    // Given back already when the session ended under the pop-up.
    if (std::exchange(m_bSemaphoreHeld, false))
        ::ReleaseSemaphore(m_hSemaphore.Get(), 1, nullptr);
    return 1;
}

void CMainFrame::OnOption()
{
    m_appKit.ActivateMainWindow();
    CForegroundInput input;
    ShowStatusDialog();
}

void CMainFrame::ShowStatusDialog()
{
    if (m_bDialogShown)
        return;
    m_bDialogShown = true;
    kfw::MarkStep("open");
    // An open pop-up keeps the keys; the frame takes them back when it closes.
    kfw::CKeyHolder::FrameLends();
    // Before anything of ours is activated: the window the user types in tells the monitor.
    const CPopupMonitorPin monitorInUse;

    const int nStatus = GetCurrentStatus();
    kfw::MarkStep("status");
    switch (nStatus)
    {
    case STATUS_CLASS_SWITCH_ON: {
        PreparePopup();
        kfw::MarkStep("prepared");
        m_appKit.ActivateMainWindow();
        kfw::MarkStep("activated");
        CForegroundInput input;
        if (RunModeSelection() == -1)
            ShowErrorBox(L"Kova Kill SW Dialog box could not be created!", m_hWnd);
        break;
    }
    case STATUS_CLASS_SWITCH_OFF:
        PreparePopup();
        RunSwitchOffNotice();
        break;
    default:
        kfw::TraceLine("No Wireless or Bluetooth Device Exist!!");
        break;
    }
    // The pop-up has closed: our input goes back to being our own.
    m_appKit.DetachInput();
    m_bDialogShown = false;

    if (m_bQuitPending)
    {
        // Posted: whoever opened the pop-up (a hot key holding the semaphore) unwinds first.
        ::PostMessageA(m_hWnd, WM_CLOSE_REQUEST, 0, 0);
        return;
    }
    kfw::CKeyHolder::FrameTakesBack();
    if (std::exchange(m_bAboutPending, false))
        ::PostMessageA(m_hWnd, WM_COMMAND, ID_APP_ABOUT, 0);
}

void CMainFrame::PreparePopup()
{
    if (m_fnPreparePopup)
        m_fnPreparePopup();
}

LRESULT CMainFrame::OnPowerBroadcast(UINT nPowerEvent, LPARAM)
{
    if (nPowerEvent == PBT_APMRESUMESUSPEND || nPowerEvent == PBT_APMRESUMEAUTOMATIC)
    {
        // Windows may have dropped the hook around the sleep without telling us.
        kfw::CKeyHook::Reinstall();
        Refresh(NIM_MODIFY);
    }
    return TRUE;
}

void CMainFrame::OnSessionChange(UINT nSessionState, UINT)
{
    switch (nSessionState)
    {
    case WTS_CONSOLE_CONNECT:
        kfw::CKeyHolder::Resume();
        Refresh(NIM_MODIFY);
        m_bConsoleDisconnected = false;
        break;
    case WTS_CONSOLE_DISCONNECT:
        m_bConsoleDisconnected = true;
        break;
    case WTS_SESSION_LOCK:
        // Whoever holds the hook, a pop-up included, loses it until unlock or connect.
        kfw::CKeyHolder::HoldOff();
        break;
    case WTS_SESSION_UNLOCK:
        if (!m_bConsoleDisconnected)
            kfw::CKeyHolder::Resume();
        Refresh(NIM_MODIFY);
        break;
    default:
        break;
    }
}

LRESULT CMainFrame::OnTrayCallback(WPARAM wParam, LPARAM lParam)
{
    return m_trayIcon.OnTrayNotification(wParam, lParam);
}

LRESULT CMainFrame::OnTaskbarCreated(WPARAM, LPARAM)
{
    m_bIconAdded = Refresh(NIM_ADD) != FALSE;
    return 1;
}

void CMainFrame::OnSettingChange(UINT uFlags, LPCWSTR lpszSection)
{
    // The taskbar's light or dark theme comes as "ImmersiveColorSet"; a change of scale
    // without signing out (Windows 8.1 and later) as SPI_SETLOGICALDPI, which MinGW's
    // headers lack.
    constexpr UINT SPI_SET_LOGICAL_DPI = 0x007E;
    // Group Policy says "Policy" once it has applied: the tip reads the policy afresh.
    if (lpszSection && ::lstrcmpiW(lpszSection, L"ImmersiveColorSet") == 0)
        RepaintTrayIcon(true);
    else if (uFlags == SPI_SET_LOGICAL_DPI || (lpszSection && ::lstrcmpiW(lpszSection, L"Policy") == 0))
        RepaintTrayIcon(false);
}

void CMainFrame::OnDisplayChange(UINT, int, int)
{
    RepaintTrayIcon(false);
    // A display change often comes with a docking or a wake-up, when hooks get dropped.
    kfw::CKeyHook::Reinstall();
}

void CMainFrame::RepaintTrayIcon(bool bRereadTheme)
{
    if (bRereadTheme)
        m_trayIcon.SetTaskbarTheme(ReadTaskbarTheme());
    // An icon not added yet comes with the logon retry or "TaskbarCreated", as it is then.
    if (m_trayIcon.IsShown())
        UpdateTrayIcon(NIM_MODIFY);
}

void CMainFrame::OnEndSession(BOOL bEnding, UINT)
{
    // Log-off, shut-down and the Restart Manager alike: once this returns the process may
    // be ended at any moment, so nothing of Kova may be left for others to see by then.
    if (!bEnding)
        return;
    if (!m_bDialogShown)
    {
        DestroyWindow();
        return;
    }
    // The pop-up's loop is below us on the stack: the frame goes once it has unwound.
    m_bQuitPending = true;
    ClosePopup();
    ReleaseResidence();
}

void CMainFrame::ReleaseResidence()
{
    if (m_bSessionRegistered)
    {
        ::WTSUnRegisterSessionNotification(m_hWnd);
        m_bSessionRegistered = false;
    }
    ::KillTimer(m_hWnd, ID_TIMER_LOGON_RETRY);
    kfw::CKeyHolder::FrameLeaves();
    m_trayIcon.SetIcon(0u, NIM_DELETE);
    // Bounded: with a call stuck inside the library it stays mapped and nothing waits.
    m_emsc.Unload();
    // A unit we hold goes back before the handle closes: another process keeping the name
    // open would otherwise keep a count of 0 for good.
    if (std::exchange(m_bSemaphoreHeld, false))
        ::ReleaseSemaphore(m_hSemaphore.Get(), 1, nullptr);
    m_hSemaphore.Reset();
    m_instance.Release();
}

BOOL CMainFrame::DestroyWindow()
{
    ReleaseResidence();
    return CFrameWnd::DestroyWindow();
}

INT_PTR CMainFrame::RunModeSelection()
{
    return m_pPictures ? RunModeSelectionDialog(*m_pPictures) : -1;
}

INT_PTR CMainFrame::RunSwitchOffNotice()
{
    return m_pPictures ? RunSwitchOffNoticeDialog(*m_pPictures) : -1;
}
