// The main frame as a real hidden window: tray requests through a fake shell, the radio
// state through the development EMSC.dll, triggers as the messages that carry them.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/MainFrame.h"
#include "dialogs/SkinPopup.h"
#include "framework/GdiPlus.h"
#include "framework/LinkedCalls.h"
#include "framework/WinApp.h"
#include "radio/EmscCall.h"
#include "res/resource.h"
#include "skin/PictureStore.h"
#include "support/EmscState.h"
#include "support/Seam.h"
#include "support/HookDropSeam.h"
#include "support/TestSupport.h"
#include "support/TraceCapture.h"
#include "support/TrayTestSupport.h"
#include "tools/emsc/EmscDev.h"

namespace {

struct ShellCall {
    DWORD dwMessage;
    NOTIFYICONDATAW nid;
};
std::vector<ShellCall> g_shellCalls;
std::vector<size_t> g_versionAfter;   // how many of g_shellCalls came before each version request
int g_nAddFailures = 0;     // NIM_ADD requests the shell refuses before it takes one
int g_nWtsFailures = 0;     // likewise for the session service
int g_nWtsCalls = 0;

BOOL WINAPI FakeShellNotifyIcon(DWORD dwMessage, PNOTIFYICONDATAW pnid)
{
    if (dwMessage == NIM_SETVERSION)
    {
        g_versionAfter.push_back(pnid->uVersion == NOTIFYICON_VERSION ? g_shellCalls.size() : 0);
        return TRUE;
    }
    g_shellCalls.push_back({ dwMessage, *pnid });
    return dwMessage == NIM_ADD && g_nAddFailures > 0 ? (--g_nAddFailures, FALSE) : TRUE;
}

BOOL WINAPI FakeWtsRegister(HWND, DWORD)
{
    ++g_nWtsCalls;
    return g_nWtsFailures > 0 ? (--g_nWtsFailures, FALSE) : TRUE;
}

// The taskbar theme's value as a test sets it.
void SetLightTheme(BYTE byValue)
{
    kovatest::g_reg = { ERROR_SUCCESS, REG_DWORD, { byValue, 0, 0, 0 } };
}

size_t CountShellCalls(DWORD dwMessage)
{
    size_t n = 0;
    for (const ShellCall& call : g_shellCalls)
        n += call.dwMessage == dwMessage;
    return n;
}

// The windows the pop-ups' monitor finder asked MonitorFromWindow about.
std::vector<HWND> g_monitorAsked;
HMONITOR WINAPI RecordingMonitorFromWindow(HWND hWnd, DWORD dwFlags)
{
    g_monitorAsked.push_back(hWnd);
    return ::MonitorFromWindow(hWnd, dwFlags);
}

BOOL CALLBACK FindShownDialogProc(HWND hWnd, LPARAM lParam)
{
    DWORD dwPid = 0;
    char szClass[16] = "";
    ::GetWindowThreadProcessId(hWnd, &dwPid);
    ::GetClassNameA(hWnd, szClass, sizeof szClass);
    if (dwPid != ::GetCurrentProcessId() || !::IsWindowVisible(hWnd) || lstrcmpA(szClass, "#32770") != 0)
        return TRUE;
    *reinterpret_cast<HWND*>(lParam) = hWnd;
    return FALSE;
}

// A pop-up of this process on the screen, or null.
HWND ShownDialog()
{
    HWND hFound = nullptr;
    ::EnumWindows(&FindShownDialogProc, reinterpret_cast<LPARAM>(&hFound));
    return hFound;
}

// The application object's About command, counted, with what held when it came.
class CAboutCounter : public CWinApp {
public:
    CAboutCounter() : CWinApp("Kova") {}
    int m_nAbouts = 0;
    BOOL m_bHookAtAbout = FALSE;

    BEGIN_MSG_MAP(CAboutCounter)
        ON_COMMAND(ID_APP_ABOUT, OnAbout)
    END_MSG_MAP()

private:
    void OnAbout()
    {
        ++m_nAbouts;
        m_bHookAtAbout = ScanHook::IsInstalled();
    }
};

std::string LoadString(UINT uID)
{
    char sz[256] = "";
    ::LoadStringA(::GetModuleHandleA(nullptr), uID, sz, sizeof sz);
    return sz;
}

// Records the pop-ups instead of showing them, with what held while each was "open".
class CTestFrame : public CMainFrame {
public:
    struct Popup {
        bool bModeSelection;
        BOOL bDialogShown;
        BOOL bHookInstalled;
        bool bSemaphoreHeld;
    };
    std::vector<Popup> m_popups;
    INT_PTR m_nModeResult = IDOK;
    bool m_bEmscMissing = false;
    std::function<void()> m_fnWhileOpen;   // what arrives while the pop-up is "open"
    int m_nPopupsClosed = 0;

    bool m_bRealPopups = false;            // the pop-ups themselves instead of records

    INT_PTR RunModeSelection() override
    {
        if (m_bRealPopups)
            return CMainFrame::RunModeSelection();
        Record(true);
        return m_nModeResult;
    }
    INT_PTR RunSwitchOffNotice() override
    {
        if (m_bRealPopups)
            return CMainFrame::RunSwitchOffNotice();
        Record(false);
        return IDOK;
    }
    void OnEmscMissing() override { m_bEmscMissing = true; }
    void ClosePopup() override { ++m_nPopupsClosed; }
    TaskbarTheme Theme() const { return m_trayIcon.GetTaskbarTheme(); }

private:
    void Record(bool bMode)
    {
        kfw::CHandle hSem(::OpenSemaphoreA(SEMAPHORE_ALL_ACCESS, FALSE, KOVA_SEMAPHORE_NAME));
        const bool bFree = hSem && ::WaitForSingleObject(hSem.Get(), 0) == WAIT_OBJECT_0;
        if (bFree)
            ::ReleaseSemaphore(hSem.Get(), 1, nullptr);
        // A nested request while a pop-up is open must not open a second one.
        ShowStatusDialog();
        m_popups.push_back({ bMode, IsDialogShown(), ScanHook::IsInstalled(), !bFree });
        if (m_fnWhileOpen)
            m_fnWhileOpen();
    }
};

// The skin the real pop-ups draw with, for one test; the pointer parked off them.
class CSkinForPopups {
public:
    CSkinForPopups()
    {
        m_bReady = m_gdiplus.IsStarted() && LoadSkinArchive(m_archive) && kovatest::ParkPointer();
        m_pictures.SetArchive(&m_archive);
    }
    ~CSkinForPopups()
    {
        m_pictures.Clear();
        ReleaseSkinArchive(m_archive);
    }
    bool IsReady() const { return m_bReady; }
    CSkinPictureStore* Pictures() { return &m_pictures; }

private:
    kfw::CGdiplusSession m_gdiplus;
    SkinArchive m_archive;
    CSkinPictureStore m_pictures;
    bool m_bReady = false;
};

class MainFrameTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char szTemp[MAX_PATH] = "";
        ::GetTempPathA(MAX_PATH, szTemp);
        m_strState = std::string(szTemp) + kovatest::UniqueName("frame-state") + ".bin";
        ::SetEnvironmentVariableA(EMSCDEV_STATE_ENV, m_strState.c_str());
        m_hEmsc.Reset(::LoadLibraryA(kovatest::BinPath("EMSC.dll").c_str()));
        ASSERT_TRUE(m_hEmsc);
        m_pfnSetStatus = reinterpret_cast<PFN_EMSCDEVSETSTATUS>(
            reinterpret_cast<void (*)(void)>(::GetProcAddress(m_hEmsc.Get(), EMSCDEV_SETSTATUS)));
        ASSERT_TRUE(m_pfnSetStatus);
        SetStatus(0x1F);

        g_shellCalls.clear();
        g_versionAfter.clear();
        g_nAddFailures = g_nWtsFailures = g_nWtsCalls = 0;
        SetLightTheme(0);
        kovatest::g_nRegReads = 0;
        kovatest::g_uFakeDpi = kovatest::g_uFakeTaskbarDpi = 96;
        kfw::g_linked.pfnRegGetValueA = &kovatest::FakeRegGetValue;
        kfw::g_user32.pfnGetDpiForSystem = &kovatest::FakeDpiForSystem;
        kfw::g_user32.pfnGetDpiForWindow = &kovatest::FakeDpiForWindow;

        WNDCLASSA wc = {};
        wc.lpfnWndProc = ::DefWindowProcA;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.lpszClassName = KOVA_WINDOW_CLASS;
        ASSERT_TRUE(AfxRegisterClass(&wc));
    }

    void TearDown() override
    {
        if (m_frame.m_hWnd)
            m_frame.DestroyWindow();
        m_hEmsc.Reset();
        ::DeleteFileA(m_strState.c_str());
    }

    void Create() { ASSERT_TRUE(m_frame.LoadFrame(IDR_MAINFRAME, WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE)); }
    void SetStatus(uint8_t byStatus) { ASSERT_TRUE(m_pfnSetStatus(byStatus)); }
    LRESULT Send(UINT uMsg, WPARAM wParam = 0, LPARAM lParam = 0)
    {
        return ::SendMessageA(m_frame.m_hWnd, uMsg, wParam, lParam);
    }
    const ShellCall& Last() const { return g_shellCalls.back(); }

    CTestFrame m_frame;
    std::string m_strState;
    kfw::CModule m_hEmsc;
    PFN_EMSCDEVSETSTATUS m_pfnSetStatus = nullptr;
    kovatest::CSeam<decltype(kfw::LinkedCalls::pfnShellNotifyIconW)> m_shell{ kfw::g_linked.pfnShellNotifyIconW,
                                                                          &FakeShellNotifyIcon };
    kovatest::CSeam<decltype(kfw::LinkedCalls::pfnWTSRegisterSessionNotification)> m_wts{
        kfw::g_linked.pfnWTSRegisterSessionNotification, &FakeWtsRegister
    };
    kovatest::CLookSeams m_lookSeams;   // the scale and the theme put back
    kovatest::CStandInTaskbar m_taskbar;
    kovatest::CTraceCapture m_trace;
};

} // namespace

TEST_F(MainFrameTest, CreationAddsTheIconOfTheStateAndTheTipOfItsId)
{
    Create();
    ASSERT_EQ(g_shellCalls.size(), 1u);
    const NOTIFYICONDATAW& nid = Last().nid;
    EXPECT_EQ(Last().dwMessage, DWORD(NIM_ADD));
    EXPECT_EQ(nid.hWnd, m_frame.m_hWnd);
    EXPECT_EQ(nid.uID, 128u);
    EXPECT_EQ(nid.uCallbackMessage, UINT(WM_TRAY_CALLBACK));
    EXPECT_EQ(nid.uFlags, UINT(NIF_MESSAGE | NIF_ICON | NIF_TIP));
    EXPECT_NE(nid.hIcon, nullptr);
    EXPECT_EQ(kovatest::TipOf(nid), "Bluetooth and Wireless LAN are enabled.");
    EXPECT_TRUE(ScanHook::IsInstalled());
    EXPECT_EQ(ScanHook::GetTarget(), m_frame.m_hWnd);
    EXPECT_TRUE(m_trace.Has("[KOVA] CMainFrame::GetCurrentStatus()"));
    EXPECT_TRUE(m_trace.Has("void CMainFrame::UpdateTrayIcon(DWORD dwMessage)"));
    // Version 3 right after the add, and again after the add a shell restart asks for.
    EXPECT_EQ(g_versionAfter, std::vector<size_t>{ 1 });
    Send(g_uTaskbarCreatedMsg);
    EXPECT_EQ(g_versionAfter, (std::vector<size_t>{ 1, 2 }));
}

TEST_F(MainFrameTest, EveryStatusShowsItsPictureAndTip)
{
    Create();
    const struct { uint8_t byStatus; UINT uTrayId; } rows[] = {
        { 0x0F, IDI_TRAY_BOTH_OFF }, { 0x15, IDI_TRAY_WLAN_ON }, { 0x14, IDI_TRAY_WLAN_OFF },
        { 0x05, IDI_TRAY_WLAN_OFF }, { 0x1F, IDI_TRAY_BOTH_ON }, { 0x1D, IDI_TRAY_WLAN_ON },
        { 0x1E, IDI_TRAY_BT_ON },    { 0x1C, IDI_TRAY_BOTH_OFF }, { 0x00, IDI_TRAY_BOTH_OFF },
        { 0x1A, IDI_TRAY_BT_ON },    { 0x18, IDI_TRAY_BT_OFF },   { 0x0A, IDI_TRAY_BT_OFF },
    };
    for (const auto& row : rows)
    {
        SetStatus(row.byStatus);
        EXPECT_EQ(Send(WM_MODE_CHANGED), 1);
        EXPECT_EQ(Last().dwMessage, DWORD(NIM_MODIFY));
        EXPECT_EQ(kovatest::TipOf(Last().nid), LoadString(row.uTrayId)) << "status " << int(row.byStatus);
        EXPECT_FALSE(LoadString(row.uTrayId).empty());
    }
}

TEST_F(MainFrameTest, RefreshTriggersReadTheStateAgain)
{
    Create();
    const UINT uUp = LLKHF_UP, uExt = LLKHF_EXTENDED;
    const struct { UINT uMsg; WPARAM wParam; LPARAM lParam; int nRequest; } triggers[] = {
        { WM_MODE_CHANGED, 0, 0, NIM_MODIFY },
        { WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, 0, NIM_MODIFY },
        { WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0, NIM_MODIFY },
        { WM_POWERBROADCAST, PBT_APMSUSPEND, 0, -1 },
        { WM_WTSSESSION_CHANGE, WTS_CONSOLE_CONNECT, 0, NIM_MODIFY },
        { WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK, 0, NIM_MODIFY },
        { WM_WTSSESSION_CHANGE, WTS_REMOTE_CONNECT, 0, -1 },
        { WM_WTSSESSION_CHANGE, WTS_SESSION_LOGON, 0, -1 },
        { g_uTaskbarCreatedMsg, 0, 0, NIM_ADD },
        { WM_SCANCODE_EVENT, 0, 0x71, NIM_MODIFY },
        { WM_SCANCODE_EVENT, uExt, 0x71, NIM_MODIFY },
        { WM_SCANCODE_EVENT, uUp, 0x71, -1 },
        { WM_SCANCODE_EVENT, 0, 0x1C, -1 },
    };
    uint8_t byStatus = 0x1F;
    for (const auto& t : triggers)
    {
        byStatus = byStatus == 0x1F ? 0x1D : 0x1F;   // each refresh must show a fresh read
        SetStatus(byStatus);
        const size_t nBefore = g_shellCalls.size();
        Send(t.uMsg, t.wParam, t.lParam);
        if (t.nRequest < 0)
        {
            EXPECT_EQ(g_shellCalls.size(), nBefore) << "message 0x" << std::hex << t.uMsg << " " << t.wParam;
            continue;
        }
        ASSERT_EQ(g_shellCalls.size(), nBefore + 1) << "message 0x" << std::hex << t.uMsg << " " << t.wParam;
        EXPECT_EQ(Last().dwMessage, DWORD(t.nRequest));
        EXPECT_EQ(kovatest::TipOf(Last().nid), byStatus == 0x1F ? "Bluetooth and Wireless LAN are enabled."
                                                                 : "Wireless LAN is enabled.");
    }
    EXPECT_EQ(Send(WM_POWERBROADCAST, PBT_APMSUSPEND), TRUE);
}

TEST_F(MainFrameTest, HotKeyOpensThePopupThatFitsTheSwitch)
{
    Create();
    const UINT uExt = LLKHF_EXTENDED;
    const struct { uint8_t byStatus; WPARAM wFlags; int nPopup; } rows[] = {
        { 0x1F, uExt, 1 },                    // switch on: mode selection
        { 0x0F, uExt, 0 },                    // switch off: the notice
        { 0x1F, 0, -1 },                      // without the extended flag: nothing
        { 0x1F, uExt | LLKHF_UP, -1 },        // a release: nothing
        { 0x1F, uExt | 0x10, 1 },             // injected keys carry 0x10 as well
    };
    // What start-up left for later is made ready for each pop-up, and only for one.
    int nPrepared = 0;
    m_frame.SetPopupPreparation([&] { ++nPrepared; });
    for (const auto& row : rows)
    {
        SetStatus(row.byStatus);
        m_frame.m_popups.clear();
        nPrepared = 0;
        EXPECT_EQ(Send(WM_SCANCODE_EVENT, row.wFlags, 0x04), 1);
        EXPECT_EQ(nPrepared, row.nPopup < 0 ? 0 : 1);
        if (row.nPopup < 0)
        {
            EXPECT_TRUE(m_frame.m_popups.empty());
            continue;
        }
        ASSERT_EQ(m_frame.m_popups.size(), 1u);   // the nested request opened nothing
        const CTestFrame::Popup& p = m_frame.m_popups[0];
        EXPECT_EQ(p.bModeSelection, row.nPopup == 1);
        EXPECT_TRUE(p.bDialogShown);
        EXPECT_TRUE(p.bHookInstalled);            // handed to the pop-up in place, never gone
        EXPECT_TRUE(p.bSemaphoreHeld);            // other processes are held off
        EXPECT_FALSE(m_frame.IsDialogShown());
        EXPECT_EQ(ScanHook::GetTarget(), m_frame.m_hWnd);
        EXPECT_TRUE(ScanHook::IsInstalled());
    }

    // No radio fitted: nothing opens, the two lines say why.
    SetStatus(0x00);
    m_frame.m_popups.clear();
    m_trace.Clear();
    nPrepared = 0;
    Send(WM_SCANCODE_EVENT, uExt, 0x04);
    EXPECT_TRUE(m_frame.m_popups.empty());
    EXPECT_EQ(nPrepared, 0);
    EXPECT_TRUE(m_trace.Has("No Wireless or Bluetooth Device Exist!!"));
    EXPECT_TRUE(m_trace.Has("[KOVA] No Device!"));
}

// The hot key is typed into another program's window: both pop-ups open on that window's
// monitor, found before the frame activates itself.
TEST_F(MainFrameTest, HotKeysPopupsOpenOnTheMonitorOfTheWindowTypedIn)
{
    CSkinForPopups skin;
    ASSERT_TRUE(skin.IsReady());
    const std::string strReady = kovatest::UniqueName("fg-ready"), strQuit = kovatest::UniqueName("fg-quit");
    kfw::CHandle hReady(::CreateEventA(nullptr, TRUE, FALSE, strReady.c_str()));
    kfw::CHandle hQuit(::CreateEventA(nullptr, TRUE, FALSE, strQuit.c_str()));
    kovatest::CProcessGuard other = kovatest::CProcessGuard::Start("kovatest_helper.exe",
                                                                   "foreground-window " + strReady + " " + strQuit);
    ASSERT_TRUE(other);
    ASSERT_TRUE(kovatest::PumpUntil([&] { return ::WaitForSingleObject(hReady.Get(), 0) == WAIT_OBJECT_0; }));
    const HWND hTypedIn = ::FindWindowA("KovaTestForeground", nullptr);
    ASSERT_NE(hTypedIn, nullptr);
    MONITORINFO mi = {};
    mi.cbSize = sizeof mi;
    ASSERT_TRUE(::GetMonitorInfoA(::MonitorFromWindow(hTypedIn, MONITOR_DEFAULTTONEAREST), &mi));

    Create();
    m_frame.m_bRealPopups = true;
    m_frame.SetPictureStore(skin.Pictures());
    const kovatest::CSeam monitor(kfw::g_linked.pfnMonitorFromWindow, &RecordingMonitorFromWindow);
    for (const uint8_t byStatus : { 0x1F, 0x0F })   // the mode pop-up, the notice
    {
        SCOPED_TRACE(static_cast<int>(byStatus));
        SetStatus(byStatus);
        ASSERT_TRUE(kovatest::PumpUntil([&] {
            ::SetForegroundWindow(hTypedIn);
            return ::GetForegroundWindow() == hTypedIn;
        }));
        g_monitorAsked.clear();
        RECT rcShown = {};
        std::thread user([&] {
            HWND hDlg = nullptr;
            if (!kovatest::WaitUntil([&] { return (hDlg = ShownDialog()) != nullptr; }))
                return;
            ::GetWindowRect(hDlg, &rcShown);
            ::PostMessageA(hDlg, WM_COMMAND, IDCANCEL, 0);
        });
        Send(WM_SCANCODE_EVENT, LLKHF_EXTENDED, 0x04);
        user.join();
        ASSERT_FALSE(g_monitorAsked.empty());
        EXPECT_EQ(g_monitorAsked.front(), hTypedIn);
        // Centred in that monitor's work area.
        EXPECT_EQ(rcShown.left, mi.rcWork.left + (mi.rcWork.right - mi.rcWork.left - (rcShown.right - rcShown.left)) / 2);
        EXPECT_EQ(rcShown.top, mi.rcWork.top + (mi.rcWork.bottom - mi.rcWork.top - (rcShown.bottom - rcShown.top)) / 2);
        EXPECT_GT(rcShown.right, rcShown.left);
    }
    ::SetEvent(hQuit.Get());
    other.Wait();
}

TEST_F(MainFrameTest, KeysAreDroppedWhileSomeoneElseHoldsTheSemaphore)
{
    Create();
    kfw::CHandle hSem(::OpenSemaphoreA(SEMAPHORE_ALL_ACCESS, FALSE, KOVA_SEMAPHORE_NAME));
    ASSERT_TRUE(hSem);
    ASSERT_EQ(::WaitForSingleObject(hSem.Get(), 0), WAIT_OBJECT_0);
    const size_t nBefore = g_shellCalls.size();
    Send(WM_SCANCODE_EVENT, LLKHF_EXTENDED, 0x04);
    Send(WM_SCANCODE_EVENT, 0, 0x71);
    EXPECT_TRUE(m_frame.m_popups.empty());
    EXPECT_EQ(g_shellCalls.size(), nBefore);
    // The frame released nothing it did not take: the count is still ours to give back.
    EXPECT_EQ(::WaitForSingleObject(hSem.Get(), 0), DWORD(WAIT_TIMEOUT));
    ASSERT_TRUE(::ReleaseSemaphore(hSem.Get(), 1, nullptr));
    Send(WM_SCANCODE_EVENT, 0, 0x71);
    EXPECT_EQ(g_shellCalls.size(), nBefore + 1);
}

TEST_F(MainFrameTest, ModeSelectionThatCannotBeCreatedIsReported)
{
    Create();
    m_frame.m_nModeResult = -1;
    std::string strText, strCaption;
    const DWORD dwPid = ::GetCurrentProcessId();
    // The message box runs its own loop; another thread reads and closes it.
    std::thread closer([&] {
        HWND hBox = nullptr;
        if (!kovatest::WaitUntil([&] {
                hBox = ::FindWindowA("#32770", "Kova");
                return hBox && kovatest::PidOf(hBox) == dwPid;
            }, 10000))
            return;
        char sz[128] = "";
        ::GetDlgItemTextA(hBox, 0xFFFF, sz, sizeof sz);
        strText = sz;
        ::GetWindowTextA(hBox, sz, sizeof sz);
        strCaption = sz;
        ::PostMessageA(hBox, WM_COMMAND, IDOK, 0);
    });
    CWinApp app("Kova");
    Send(WM_SCANCODE_EVENT, LLKHF_EXTENDED, 0x04);
    closer.join();
    EXPECT_EQ(strText, "Kova Kill SW Dialog box could not be created!");
    EXPECT_EQ(strCaption, "Kova");
    EXPECT_TRUE(::IsWindow(m_frame.m_hWnd));   // the frame goes on

    // A close request does not wait behind the box: it ends the box, then the frame.
    m_frame.m_fnWhileOpen = [&] { ::PostMessageA(m_frame.m_hWnd, WM_CLOSE_REQUEST, 0, 0); };
    Send(WM_SCANCODE_EVENT, LLKHF_EXTENDED, 0x04);
    EXPECT_TRUE(kovatest::PumpUntil([&] { return !::IsWindow(m_frame.m_hWnd); })) << "the box kept Kova";
}

TEST_F(MainFrameTest, SessionLockTakesTheHookAwayUntilUnlockOrConsoleConnect)
{
    Create();
    Send(WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK);
    EXPECT_FALSE(ScanHook::IsInstalled());
    Send(WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK);
    EXPECT_TRUE(ScanHook::IsInstalled());

    // After a console disconnect, unlocking is not enough: the connect brings it back.
    Send(WM_WTSSESSION_CHANGE, WTS_CONSOLE_DISCONNECT);
    Send(WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK);
    Send(WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK);
    EXPECT_FALSE(ScanHook::IsInstalled());
    Send(WM_WTSSESSION_CHANGE, WTS_CONSOLE_CONNECT);
    EXPECT_TRUE(ScanHook::IsInstalled());
    EXPECT_EQ(ScanHook::GetTarget(), m_frame.m_hWnd);
    EXPECT_FALSE(m_frame.IsConsoleDisconnected());
}

TEST_F(MainFrameTest, ADroppedHookComesBackAtResumeDisplayChangeConnectAndTheKeysThatShowIt)
{
    kovatest::CHookDropSeam seam;
    Create();
    const struct { UINT uMsg; WPARAM wParam; UINT uThen; } events[] = {
        { WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0 },
        { WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, 0 },
        { WM_DISPLAYCHANGE, 32, 0 },
        // The hook was kept across the disconnect, and is handed back at the connect.
        { WM_WTSSESSION_CHANGE, WTS_CONSOLE_DISCONNECT, WTS_CONSOLE_CONNECT },
    };
    for (const auto& e : events)
    {
        kovatest::CHookDropSeam::Drop();
        Send(e.uMsg, e.wParam);
        if (e.uThen)
            Send(WM_WTSSESSION_CHANGE, e.uThen);
        // One key is too few for raw input to call the hook lost: only a hook put back
        // sees it.
        const size_t nBefore = CountShellCalls(NIM_MODIFY);
        ASSERT_EQ(0u, kovatest::RunHelper("send-scan 0x71"));
        EXPECT_TRUE(kovatest::PumpUntil([&] { return CountShellCalls(NIM_MODIFY) > nBefore; }))
            << "message 0x" << std::hex << e.uMsg << " " << e.wParam;
        ASSERT_EQ(0u, kovatest::RunHelper("send-scan 0x71 up"));
    }

    // Dropped with nothing to tell: the hot key's press and release show it, and it opens
    // its pop-up all the same.
    kovatest::CHookDropSeam::Drop();
    SetStatus(0x1F);
    m_frame.m_popups.clear();
    ASSERT_EQ(0u, kovatest::RunHelper("send-scan 0x04 ext"));
    ASSERT_EQ(0u, kovatest::RunHelper("send-scan 0x04 ext up"));
    EXPECT_TRUE(kovatest::PumpUntil([&] { return !m_frame.m_popups.empty(); }));
    EXPECT_TRUE(ScanHook::IsInstalled());
}

// Windows drops the hook while the mode pop-up holds the keys: Right, Right, Enter typed
// then still step twice and choose, each key once.
TEST_F(MainFrameTest, KeysThePopupsDroppedHookMissedComeOnceEachInTheirOrder)
{
    CSkinForPopups skin;
    ASSERT_TRUE(skin.IsReady());
    kovatest::CEmscState state(0x1E);   // Bluetooth only; the steps go to both, then WiFi only
    ASSERT_TRUE(state.IsReady());
    kovatest::CHookDropSeam seam;
    Create();
    m_frame.m_bRealPopups = true;
    m_frame.SetPictureStore(skin.Pictures());
    std::thread user([&] {
        if (!kovatest::WaitUntil([&] { return ShownDialog() != nullptr; }))
            return;
        kovatest::CHookDropSeam::Drop();
        for (const char* pszKey : { "0x4D ext", "0x4D ext up", "0x4D ext", "0x4D ext up", "0x1C", "0x1C up" })
            kovatest::RunHelper(std::string("send-scan ") + pszKey);
    });
    Send(WM_SCANCODE_EVENT, LLKHF_EXTENDED, 0x04);
    user.join();
    EXPECT_EQ(kovatest::WritesIn(state.Log()), (std::vector<int>{ 0x1C, 0x1D }));
    EXPECT_EQ(ScanHook::GetTarget(), m_frame.m_hWnd);
}

// A request to the input thread runs no other handler of the frame's inside it: the end of
// the session, arriving meanwhile, waits until resume's handler is done with the tray.
TEST_F(MainFrameTest, TheSessionsEndDuringAHookRequestWaitsForTheHandlerInProgress)
{
    kovatest::CHookDropSeam seam;
    Create();
    const HWND hWnd = m_frame.m_hWnd;
    kovatest::CHookDropSeam::WhileHooking([hWnd] { ::SendNotifyMessageA(hWnd, WM_ENDSESSION, TRUE, ENDSESSION_CLOSEAPP); });
    Send(WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC);
    kovatest::CHookDropSeam::WhileHooking(nullptr);
    EXPECT_TRUE(::IsWindow(hWnd)) << "the frame was torn down inside the resume's handler";
    EXPECT_TRUE(kovatest::PumpUntil([&] { return !::IsWindow(hWnd); }));
    EXPECT_EQ(Last().dwMessage, DWORD(NIM_DELETE));
}

TEST_F(MainFrameTest, TrayCallbackForeignIdIgnoredDoubleClickIsOption)
{
    Create();
    EXPECT_EQ(Send(WM_TRAY_CALLBACK, 129, WM_RBUTTONUP), 0);
    EXPECT_EQ(Send(WM_TRAY_CALLBACK, 128, WM_LBUTTONUP), 0);
    EXPECT_TRUE(m_frame.m_popups.empty());
    EXPECT_EQ(Send(WM_TRAY_CALLBACK, 128, WM_LBUTTONDBLCLK), 1);
    ASSERT_EQ(m_frame.m_popups.size(), 1u);
    EXPECT_TRUE(m_frame.m_popups[0].bModeSelection);
}

TEST_F(MainFrameTest, ExitCloseAndTheSessionsEndTearEverythingDown)
{
    Create();
    EXPECT_TRUE(Send(WM_QUERYENDSESSION, 0, ENDSESSION_CLOSEAPP)) << "Kova held the session up";
    Send(WM_ENDSESSION, FALSE, ENDSESSION_CLOSEAPP);
    EXPECT_TRUE(::IsWindow(m_frame.m_hWnd)) << "a session end that was called off ended Kova";
    EXPECT_TRUE(ScanHook::IsInstalled());
    m_frame.DestroyWindow();

    const struct {
        UINT uMsg;
        WPARAM wParam;
        LPARAM lParam;
    } ways[] = {
        { WM_COMMAND, ID_APP_EXIT, 0 }, { WM_CLOSE, 0, 0 }, { WM_CLOSE_REQUEST, 0, 0 },
        { WM_ENDSESSION, TRUE, ENDSESSION_CLOSEAPP }, { WM_ENDSESSION, TRUE, LPARAM(ENDSESSION_LOGOFF) },
    };
    const std::string strInstance = kovatest::UniqueName("instance");
    for (const auto& way : ways)
    {
        CSingleInstance instance;
        ASSERT_TRUE(instance.Create(strInstance.c_str()));
        m_frame.KeepInstance(std::move(instance));
        Create();
        HWND hWnd = m_frame.m_hWnd;
        Send(way.uMsg, way.wParam, way.lParam);
        EXPECT_TRUE(CSingleInstance().Create(strInstance.c_str())) << "the next start took itself for a second one";
        EXPECT_FALSE(::IsWindow(hWnd)) << way.uMsg;
        EXPECT_EQ(m_frame.m_hWnd, nullptr);
        EXPECT_EQ(Last().dwMessage, DWORD(NIM_DELETE));
        EXPECT_EQ(Last().nid.uID, 128u);
        EXPECT_FALSE(ScanHook::IsInstalled());
        kfw::CHandle hSem(::OpenSemaphoreA(SEMAPHORE_ALL_ACCESS, FALSE, KOVA_SEMAPHORE_NAME));
        EXPECT_FALSE(hSem) << "the frame's semaphore is closed";
    }
}

TEST_F(MainFrameTest, LibraryLoadedByTheFrameIsFreedAndNeverCalledAfterwards)
{
    m_hEmsc.Reset();   // the frame has to load it from the program's folder itself
    ASSERT_EQ(::GetModuleHandleA("EMSC"), nullptr);
    Create();
    EXPECT_FALSE(m_frame.m_bEmscMissing);
    EXPECT_NE(::GetModuleHandleA("EMSC"), nullptr);
    EXPECT_NE(g_pfnEMSCEvaluate, nullptr);
    m_frame.DestroyWindow();
    EXPECT_EQ(::GetModuleHandleA("EMSC"), nullptr);
    EXPECT_EQ(g_pfnEMSCEvaluate, nullptr);
}

// Lock, About and quit while a pop-up is open: each waits for it, and none leaves Kova idle
// and unlocked without its hook, or the semaphore taken for good.
TEST_F(MainFrameTest, WhatArrivesWhileAPopupIsOpenWaitsForIt)
{
    Create();
    const HWND hFrame = m_frame.m_hWnd;
    m_frame.m_fnWhileOpen = [&] { Send(WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK); };
    Send(WM_SCANCODE_EVENT, LLKHF_EXTENDED, 0x04);
    EXPECT_FALSE(ScanHook::IsInstalled()) << "the pop-up closing gave the hook back while locked";
    Send(WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK);
    EXPECT_EQ(ScanHook::GetTarget(), hFrame);
    EXPECT_TRUE(ScanHook::IsInstalled());

    CAboutCounter app;
    m_frame.m_fnWhileOpen = [&] { Send(WM_COMMAND, ID_APP_ABOUT); };
    Send(WM_SCANCODE_EVENT, LLKHF_EXTENDED, 0x04);
    EXPECT_EQ(m_frame.m_nPopupsClosed, 1);
    EXPECT_EQ(app.m_nAbouts, 0) << "the About box opened over the pop-up";
    EXPECT_TRUE(kovatest::PumpUntil([&] { return app.m_nAbouts == 1; }));
    EXPECT_TRUE(app.m_bHookAtAbout);

    kfw::CHandle hSem(::OpenSemaphoreA(SEMAPHORE_ALL_ACCESS, FALSE, KOVA_SEMAPHORE_NAME));
    ASSERT_TRUE(hSem);
    bool bFrameOutlivedRequest = false;
    m_frame.m_fnWhileOpen = [&] {
        Send(WM_CLOSE_REQUEST);
        bFrameOutlivedRequest = ::IsWindow(hFrame) != FALSE;
    };
    Send(WM_SCANCODE_EVENT, LLKHF_EXTENDED, 0x04);
    EXPECT_TRUE(bFrameOutlivedRequest) << "the frame went inside the pop-up's loop";
    EXPECT_EQ(m_frame.m_nPopupsClosed, 2);
    EXPECT_TRUE(kovatest::PumpUntil([&] { return !::IsWindow(hFrame); }));
    EXPECT_EQ(Last().dwMessage, DWORD(NIM_DELETE));
    EXPECT_FALSE(ScanHook::IsInstalled());
    EXPECT_EQ(::WaitForSingleObject(hSem.Get(), 0), WAIT_OBJECT_0) << "the semaphore was closed while held";
    ::ReleaseSemaphore(hSem.Get(), 1, nullptr);

    // The session's end may end the process as soon as the message returns: everything
    // others see goes inside it, and the frame still outlives the pop-up's loop.
    m_hEmsc.Reset();
    Create();
    const HWND hEnding = m_frame.m_hWnd;
    bool bGoneInside = false;
    m_frame.m_fnWhileOpen = [&] {
        Send(WM_ENDSESSION, TRUE, ENDSESSION_CLOSEAPP);
        const bool bFree = ::WaitForSingleObject(hSem.Get(), 0) == WAIT_OBJECT_0;
        bGoneInside = ::IsWindow(hEnding) && Last().dwMessage == NIM_DELETE && !ScanHook::IsInstalled() &&
                      bFree && ::ReleaseSemaphore(hSem.Get(), 1, nullptr) && !::GetModuleHandleA("EMSC");
    };
    Send(WM_SCANCODE_EVENT, LLKHF_EXTENDED, 0x04);
    EXPECT_TRUE(bGoneInside);
    EXPECT_EQ(m_frame.m_nPopupsClosed, 3);
    EXPECT_TRUE(kovatest::PumpUntil([&] { return !::IsWindow(hEnding); }));
    EXPECT_EQ(::WaitForSingleObject(hSem.Get(), 0), WAIT_OBJECT_0) << "the semaphore was left taken";
}

// At logon the shell and the session service may not answer yet: what failed is tried
// again on the retry timer, for a bounded time, and the shell's restart adds the icon too.
TEST_F(MainFrameTest, WhatFailsAtLogonIsTriedAgainForABoundedTime)
{
    const struct { int nAddFailures, nWtsFailures; size_t nAdds; int nRegisters; } rows[] = {
        { 0, 0, 1, 1 },
        { 2, 0, 3, 1 },
        { 0, 5, 1, 6 },
        { 1000, 1000, 1 + LOGON_RETRY_COUNT, 1 + LOGON_RETRY_COUNT },
    };
    for (const auto& row : rows)
    {
        g_shellCalls.clear();
        g_nAddFailures = row.nAddFailures;
        g_nWtsFailures = row.nWtsFailures;
        g_nWtsCalls = 0;
        Create();
        for (int i = 0; i < 2 * LOGON_RETRY_COUNT; ++i)
            Send(WM_TIMER, ID_TIMER_LOGON_RETRY);
        EXPECT_EQ(CountShellCalls(NIM_ADD), row.nAdds) << row.nAddFailures;
        EXPECT_EQ(g_nWtsCalls, row.nRegisters) << row.nWtsFailures;
        m_frame.DestroyWindow();
    }
    g_shellCalls.clear();
    g_nAddFailures = 1;
    g_nWtsFailures = 0;
    Create();
    Send(g_uTaskbarCreatedMsg);
    Send(WM_TIMER, ID_TIMER_LOGON_RETRY);
    EXPECT_EQ(CountShellCalls(NIM_ADD), 2u) << "the icon the restart added was added again";
}

// The icon is loaded again, in the theme's set and at the scale's size, for the state last
// read: a theme or scale change is no reason to ask the radio again.
TEST_F(MainFrameTest, ThemeAndScaleChangesLoadTheShownIconAgain)
{
    SetLightTheme(1);
    Create();
    EXPECT_EQ(kovatest::g_nRegReads, 1);
    EXPECT_EQ(m_frame.Theme(), TaskbarTheme::Light);

    RECT rcSuggested = {};
    const struct {
        UINT uMsg;
        WPARAM wParam;
        LPARAM lParam;
        BYTE byLight;
        UINT uDpi;
        bool bRepaint;
        int nReads;     // theme reads so far
        TaskbarTheme eTheme;
        int cx;
    } rows[] = {
        { WM_SETTINGCHANGE, 0, LPARAM("ImmersiveColorSet"), 0, 96, true, 2, TaskbarTheme::Dark, 16 },
        { WM_SETTINGCHANGE, 0, LPARAM("immersivecolorSET"), 1, 120, true, 3, TaskbarTheme::Light, 20 },
        { WM_SETTINGCHANGE, 0, LPARAM("Environment"), 0, 96, false, 3, TaskbarTheme::Light, 0 },
        { WM_SETTINGCHANGE, 0, 0, 0, 96, false, 3, TaskbarTheme::Light, 0 },
        { WM_SETTINGCHANGE, 0x7E, 0, 0, 144, true, 3, TaskbarTheme::Light, 24 },
        { WM_DPICHANGED, MAKEWPARAM(120, 120), LPARAM(&rcSuggested), 0, 120, true, 3, TaskbarTheme::Light, 20 },
        { WM_DISPLAYCHANGE, 32, MAKELPARAM(1024, 768), 0, 96, true, 3, TaskbarTheme::Light, 16 },
    };
    for (const auto& r : rows)
    {
        SCOPED_TRACE(testing::Message() << "message 0x" << std::hex << r.uMsg << " " << r.wParam);
        SetLightTheme(r.byLight);
        // A change of scale without signing out: the system DPI stays as it was read first.
        kovatest::g_uFakeTaskbarDpi = r.uDpi;
        SetStatus(0x1D);   // would change the tip if the state were read again
        const size_t nBefore = g_shellCalls.size();
        Send(r.uMsg, r.wParam, r.lParam);
        ASSERT_EQ(g_shellCalls.size(), nBefore + (r.bRepaint ? 1 : 0));
        EXPECT_EQ(kovatest::g_nRegReads, r.nReads);
        EXPECT_EQ(m_frame.Theme(), r.eTheme);
        if (!r.bRepaint)
            continue;
        EXPECT_EQ(Last().dwMessage, DWORD(NIM_MODIFY));
        EXPECT_EQ(kovatest::TipOf(Last().nid), "Bluetooth and Wireless LAN are enabled.");
        kovatest::IconLook look;
        EXPECT_TRUE(kovatest::ReadIcon(Last().nid.hIcon, look));
        EXPECT_EQ(look.cx, r.cx);
    }
}
