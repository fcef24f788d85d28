#include "app/MainFrame.h"

#include <wtsapi32.h>

#include <cstdlib>
#include <string>

#include "dialogs/Popups.h"
#include "framework/Trace.h"
#include "framework/WinApp.h"
#include "radio/EmscCall.h"
#include "radio/EmscLoader.h"

ScanHook g_frameHook;
BOOL g_bDialogShown = FALSE;
BOOL g_bConsoleDisconnected = FALSE;
// Registered before the application starts, so the frame can match it in its map.
const UINT g_uTaskbarCreatedMsg = ::RegisterWindowMessageA("TaskbarCreated");

namespace {

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
    LoadEMSC();
    GetCurrentStatus();
    UpdateTrayIcon(NIM_ADD);
    // An existing semaphore of that name is used as it is, with its current count.
    m_hSemaphore.Reset(::CreateSemaphoreA(nullptr, 1, 1, KOVA_SEMAPHORE_NAME));
    m_bSessionRegistered = ::WTSRegisterSessionNotification(m_hWnd, NOTIFY_FOR_THIS_SESSION) != FALSE;
    InstallHook();
    return 0;
}

void CMainFrame::LoadEMSC()
{
    HMODULE hModule = ::GetModuleHandleA("EMSC");
    if (!hModule)
    {
        m_hEMSC.Reset(LoadEmscFromTrustedFolders());
        hModule = m_hEMSC.Get();
    }
    // A library without the entry point is as good as none: never call through null.
    if (!hModule || !BindEmscEntry(hModule))
    {
        m_hEMSC.Reset();
        ::MessageBoxA(nullptr, "EMSC.dll ERROR!", AfxGetApp() ? AfxGetApp()->m_strAppName.c_str() : "Kova",
                      MB_OK | MB_ICONEXCLAMATION);
        OnEmscMissing();
    }
}

void CMainFrame::OnEmscMissing()
{
    ::exit(0);
}

RadioFlags CMainFrame::CachedFlags() const
{
    return MakeRadioFlags(m_bWirelessOn, m_bBluetoothOn, m_bWirelessExist, m_bBluetoothExist, m_bKillSwitchOn);
}

int CMainFrame::GetCurrentStatus()
{
    kfw::TraceLine("[KOVA] CMainFrame::GetCurrentStatus()");
    m_sysController.QueryWsBlStatus();
    m_bKillSwitchOn = m_sysController.IsKillSwitchOn();
    m_bWirelessExist = m_sysController.IsWirelessExist();
    m_bBluetoothExist = m_sysController.IsBluetoothExist();
    m_bWirelessOn = m_sysController.IsWirelessOn();
    m_bBluetoothOn = m_sysController.IsBluetoothOn();

    const StatusClass eClass = ClassifyStatus(CachedFlags());
    if (eClass == STATUS_CLASS_NO_DEVICE)
        kfw::TraceLine("[KOVA] No Device!");
    return eClass;
}

void CMainFrame::UpdateTrayIcon(DWORD dwMessage)
{
    kfw::TraceLine("void CMainFrame::UpdateTrayIcon(DWORD dwMessage)");
    m_trayIcon.SetNotificationWnd(this, WM_TRAY_CALLBACK);
    m_trayIcon.SetIcon(TrayIdFor(CachedFlags()), dwMessage);
}

void CMainFrame::Refresh(DWORD dwMessage)
{
    GetCurrentStatus();
    UpdateTrayIcon(dwMessage);
}

void CMainFrame::InstallHook()
{
    g_frameHook.Install(m_hWnd, AfxGetInstanceHandle());
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
    DestroyWindow();
    return 1;
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

    const UINT uFlags = static_cast<UINT>(wParam) & 0xFF;
    if (!(uFlags & LLKHF_UP))
    {
        switch (lParam)
        {
        case 0x71:
            OnModeChanged(0, 0);
            break;
        case 0x04:
            if (uFlags & LLKHF_EXTENDED)
                ShowStatusDialog();
            break;
        case 0x62:
            // The notify request has no device behind it; the controller keeps it harmless.
            if (uFlags & LLKHF_EXTENDED)
                m_sysController.SendDeviceRequest(0x5946544E, 0, 0);
            break;
        default:
            break;
        }
    }
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
    if (g_bDialogShown)
        return;
    g_bDialogShown = TRUE;
    g_frameHook.Remove();

    switch (GetCurrentStatus())
    {
    case STATUS_CLASS_SWITCH_ON: {
        m_appKit.ActivateMainWindow();
        CForegroundInput input;
        if (RunModeSelection() == -1)
            AfxMessageBox("Kova Kill SW Dialog box could not be created!", MB_OK | MB_ICONEXCLAMATION);
        break;
    }
    case STATUS_CLASS_SWITCH_OFF:
        RunSwitchOffNotice();
        break;
    default:
        kfw::TraceLine("No Wireless or Bluetooth Device Exist!!");
        break;
    }
    // The pop-up has closed: our input goes back to being our own.
    m_appKit.DetachInput();

    InstallHook();
    g_bDialogShown = FALSE;
}

LRESULT CMainFrame::OnPowerBroadcast(UINT nPowerEvent, LPARAM)
{
    if (nPowerEvent == PBT_APMRESUMESUSPEND || nPowerEvent == PBT_APMRESUMEAUTOMATIC)
        Refresh(NIM_MODIFY);
    return TRUE;
}

void CMainFrame::OnSessionChange(UINT nSessionState, UINT)
{
    switch (nSessionState)
    {
    case WTS_CONSOLE_CONNECT:
        InstallHook();
        Refresh(NIM_MODIFY);
        g_bConsoleDisconnected = FALSE;
        break;
    case WTS_CONSOLE_DISCONNECT:
        g_bConsoleDisconnected = TRUE;
        break;
    case WTS_SESSION_LOCK:
        g_frameHook.Remove();
        break;
    case WTS_SESSION_UNLOCK:
        if (!g_bConsoleDisconnected)
            InstallHook();
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
    Refresh(NIM_ADD);
    return 1;
}

BOOL CMainFrame::DestroyWindow()
{
    if (m_bSessionRegistered)
    {
        ::WTSUnRegisterSessionNotification(m_hWnd);
        m_bSessionRegistered = false;
    }
    g_frameHook.Remove();
    m_trayIcon.SetIcon(0u, NIM_DELETE);
    if (m_hEMSC)
    {
        // No controller may call into the library once it is gone.
        BindEmscEntry(nullptr);
        m_hEMSC.Reset();
    }
    m_hSemaphore.Reset();
    return CFrameWnd::DestroyWindow();
}

INT_PTR CMainFrame::RunModeSelection()
{
    return RunModeSelectionDialog();
}

INT_PTR CMainFrame::RunSwitchOffNotice()
{
    return RunSwitchOffNoticeDialog();
}
