// The mode pop-up inside the test program, with the real skin and the development EMSC.dll,
// while a second thread plays the user: how it first shows, F1, its own keyboard hook, the
// switch as read at opening, and the writes coming before the main frame hears of them.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <type_traits>
#include <utility>
#include <thread>
#include <vector>

#include "dialogs/HelpLauncher.h"
#include "dialogs/KovaDlg.h"
#include "dialogs/Popups.h"
#include "dialogs/ScanHook.h"
#include "framework/LinkedCalls.h"
#include "framework/ToolTipCtrl.h"
#include "radio/EmscCall.h"
#include "support/EmscState.h"
#include "support/Seam.h"
#include "support/TestSupport.h"

using kovatest::CEmscState;
using kovatest::WritesIn;

namespace {

std::atomic<int> g_nHelpRequests{ 0 };

HINSTANCE WINAPI FakeShellExecute(HWND, LPCSTR pszVerb, LPCSTR, LPCSTR, LPCSTR, INT)
{
    if (pszVerb && lstrcmpA(pszVerb, "open") == 0)
        ++g_nHelpRequests;
    return reinterpret_cast<HINSTANCE>(2);
}

int g_nOutlinesCut = 0;

HRGN WINAPI CountingExtCreateRegion(const XFORM* lpx, DWORD nCount, const RGNDATA* lpData)
{
    ++g_nOutlinesCut;
    return ::ExtCreateRegion(lpx, nCount, lpData);
}

// The main frame as the pop-up finds it: by class. Notes how many writes were logged when
// each WM_MODE_CHANGED arrived.
CEmscState* g_pState = nullptr;
std::vector<size_t> g_writesAtNotice;

LRESULT CALLBACK FakeFrameProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (uMsg == WM_MODE_CHANGED)
    {
        g_writesAtNotice.push_back(WritesIn(g_pState->Log()).size());
        return 0;
    }
    return ::DefWindowProcA(hWnd, uMsg, wParam, lParam);
}

// Notes where the window was the first time it became visible, and hands it to the user.
class CProbeDlg : public CKovaDlg {
public:
    explicit CProbeDlg(CSkinPictureStore& rPictures) : CKovaDlg(nullptr, rPictures) {}

    std::atomic<HWND> m_hShown{ nullptr };
    int m_nShows = 0;
    RECT m_rcFirstShown = {};
    std::atomic<int> m_nDeactivations{ 0 };
    HWND Selected() const { return SelectedButton(); }
    // The tool tip's wrap width; asked from any thread. The tip is made by the pointer's
    // first move over the pop-up: 0 until then.
    int TipWidth() const { return static_cast<int>(::SendMessageA(m_toolTip.m_hWnd, TTM_GETMAXTIPWIDTH, 0, 0)); }
    bool MoveOver()
    {
        ::PostMessageA(m_hWnd, WM_MOUSEMOVE, 0, 0);
        return kovatest::WaitUntil([this] { return m_toolTip.m_hWnd != nullptr; });
    }

    BEGIN_MSG_MAP(CProbeDlg)
        if (uMsg == WM_WINDOWPOSCHANGED && (reinterpret_cast<WINDOWPOS*>(lParam)->flags & SWP_SHOWWINDOW))
        {
            if (m_nShows++ == 0)
                ::GetWindowRect(m_hWnd, &m_rcFirstShown);
            m_hShown = m_hWnd;
        }
        if (uMsg == WM_ACTIVATE && LOWORD(wParam) == WA_INACTIVE)
            ++m_nDeactivations;
        CHAIN_MSG_MAP(CKovaDlg)
    END_MSG_MAP()
};

class KovaDlgWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_gdiplus.IsStarted());
        ASSERT_TRUE(m_state.IsReady());
        ASSERT_TRUE(LoadSkinArchive(m_archive));
        m_pictures.SetArchive(&m_archive);
        ASSERT_TRUE(BindEmscEntry(m_state.Module()));
        g_pState = &m_state;
        g_writesAtNotice.clear();

        WNDCLASSA wc = {};
        wc.lpfnWndProc = FakeFrameProc;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.lpszClassName = KOVA_WINDOW_CLASS;
        ::RegisterClassA(&wc);
        m_hFrame.reset(::CreateWindowExA(0, KOVA_WINDOW_CLASS, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                         wc.hInstance, nullptr));
        ASSERT_NE(m_hFrame.get(), nullptr);
        // A cursor over the centre would hold the pop-up open.
        ASSERT_TRUE(kovatest::ParkPointer());
    }
    void TearDown() override
    {
        m_hFrame.reset();
        BindEmscEntry(nullptr);
        m_pictures.SetArchive(nullptr);
        m_pictures.Clear();
        ReleaseSkinArchive(m_archive);
        g_pState = nullptr;
    }

    // Runs the pop-up here while fnUser, on another thread, gets its window once it shows.
    // One still open when fnUser is done is cancelled, so a failure cannot hang the test.
    INT_PTR RunWithUser(CProbeDlg& dlg, const std::function<void(HWND)>& fnUser)
    {
        std::thread user([&] {
            HWND hDlg = nullptr;
            if (kovatest::WaitUntil([&] { return (hDlg = dlg.m_hShown) != nullptr; }))
                fnUser(hDlg);
            if (hDlg && ::IsWindow(hDlg))
                ::PostMessageA(hDlg, WM_COMMAND, IDCANCEL, 0);
        });
        const INT_PTR nResult = dlg.DoModal();
        user.join();
        return nResult;
    }

    struct WindowDeleter {
        void operator()(HWND hWnd) const { ::DestroyWindow(hWnd); }
    };

    CEmscState m_state{ 0x1F };
    kfw::CGdiplusSession m_gdiplus;
    SkinArchive m_archive;
    CSkinPictureStore m_pictures;
    std::unique_ptr<std::remove_pointer_t<HWND>, WindowDeleter> m_hFrame;
    std::unique_ptr<std::remove_pointer_t<HWND>, WindowDeleter> m_hOther;
};

TEST_F(KovaDlgWindow, ShowsOnceCentredStaysOnF1AndTheRefreshKeyClosesItThroughItsOwnHook)
{
    const kovatest::CSeam exec(kfw::g_linked.pfnShellExecuteA, &FakeShellExecute);
    g_nHelpRequests = 0;
    // The frame's hook is handed to the pop-up and back in place, never unhooked: a key
    // typed as the pop-up closes must still find a hook.
    ScanHook frameHook;
    ASSERT_TRUE(frameHook.Install(m_hFrame.get(), ::GetModuleHandleA(nullptr)));
    CProbeDlg dlg(m_pictures);
    bool bHookOurs = false, bOpenAfterHelp = false;
    const INT_PTR nResult = RunWithUser(dlg, [&](HWND hDlg) {
        bHookOurs = ScanHook::GetTarget() == hDlg && ScanHook::IsInstalled();
        kovatest::RunHelper("send-scan 0x3B vk=0x70");
        kovatest::RunHelper("send-scan 0x3B up vk=0x70");
        kovatest::WaitUntil([] { return g_nHelpRequests > 0; });
        bOpenAfterHelp = ::IsWindowVisible(hDlg) != FALSE;
        kovatest::RunHelper("send-scan 0x71");
        kovatest::WaitUntil([&] { return !::IsWindow(hDlg); });
    });

    EXPECT_EQ(nResult, IDOK);
    EXPECT_TRUE(bHookOurs) << "the pop-up did not take the keyboard hook";
    EXPECT_TRUE(ScanHook::IsInstalled() && ScanHook::GetTarget() == m_hFrame.get()) << "the frame lost the keys";
    frameHook.Remove();
    EXPECT_EQ(g_nHelpRequests, 1);
    EXPECT_TRUE(bOpenAfterHelp) << "F1 closed the pop-up";

    // Shown once, and then already skinned and centred on the 1024 x 768 screen.
    EXPECT_EQ(dlg.m_nShows, 1);
    const int cx = ::GetSystemMetrics(SM_CXSCREEN), cy = ::GetSystemMetrics(SM_CYSCREEN);
    const RECT rcCentred = { (cx - 257) / 2, (cy - 201) / 2, (cx - 257) / 2 + 257, (cy - 201) / 2 + 201 };
    EXPECT_TRUE(::EqualRect(&dlg.m_rcFirstShown, &rcCentred))
        << dlg.m_rcFirstShown.left << "," << dlg.m_rcFirstShown.top << " "
        << dlg.m_rcFirstShown.right - dlg.m_rcFirstShown.left << "x"
        << dlg.m_rcFirstShown.bottom - dlg.m_rcFirstShown.top;

    // The refresh key tells the frame and writes nothing.
    EXPECT_EQ(g_writesAtNotice, std::vector<size_t>{ 0 });
    EXPECT_TRUE(WritesIn(m_state.Log()).empty());
}

TEST_F(KovaDlgWindow, SwitchOffAtOpeningWritesNothingAndWritesComeBeforeTheFrameHears)
{
    // Off between the frame's read and the pop-up's: a choice closes it, and that is all.
    ASSERT_TRUE(m_state.Set(0x0E));
    {
        CProbeDlg dlg(m_pictures);
        const INT_PTR nResult = RunWithUser(dlg, [&](HWND hDlg) {
            ::PostMessageA(hDlg, WM_SCANCODE_EVENT, LLKHF_EXTENDED, 0x4D);
            ::PostMessageA(hDlg, WM_SCANCODE_EVENT, 0, 0x1C);
            kovatest::WaitUntil([&] { return !::IsWindow(hDlg); });
        });
        EXPECT_EQ(nResult, IDOK);
        EXPECT_EQ(dlg.GetSelected(), 0) << "the step was not taken";
        EXPECT_TRUE(WritesIn(m_state.Log()).empty());
        EXPECT_TRUE(g_writesAtNotice.empty());
    }

    // Bluetooth only -> WiFi only: Bluetooth off first, and the frame hears after both. The
    // arrow comes with Alt held: its flags are 0x20, a space's key code, and still count.
    ASSERT_TRUE(m_state.Set(0x1E));
    ASSERT_TRUE(m_state.ClearLog());
    CProbeDlg dlg(m_pictures);
    const INT_PTR nResult = RunWithUser(dlg, [&](HWND hDlg) {
        ::PostMessageA(hDlg, WM_SCANCODE_EVENT, LLKHF_ALTDOWN, 0x4B);
        ::PostMessageA(hDlg, WM_SCANCODE_EVENT, 0, 0x1C);
        kovatest::WaitUntil([&] { return !::IsWindow(hDlg); });
    });
    EXPECT_EQ(nResult, IDOK);
    EXPECT_EQ(WritesIn(m_state.Log()), (std::vector<int>{ 0x1C, 0x1D }));
    EXPECT_EQ(g_writesAtNotice, std::vector<size_t>{ 2 });
}

} // namespace

// The pointer was on the pop-up and went away without a leave being reported: the pop-up
// still closes by itself rather than staying open for good. The rule is the pop-ups' base's.
TEST_F(KovaDlgWindow, ClosesEvenWhenThePointerLeftUnreported)
{
    CProbeDlg dlg(m_pictures);
    std::atomic<bool> bClosedBySelf{ false };
    const INT_PTR nResult = RunWithUser(dlg, [&](HWND hDlg) {
        // What a pointer passing over sends; the pointer itself stays parked outside.
        ::PostMessageA(hDlg, WM_NCHITTEST, 0, 0);
        ::PostMessageA(::GetWindow(hDlg, GW_CHILD), WM_MOUSEMOVE, 0, 0);
        bClosedBySelf = kovatest::WaitUntil([&] { return !::IsWindow(hDlg); }, AUTOCLOSE_MS + 4000);
    });
    EXPECT_TRUE(bClosedBySelf) << "the pop-up stayed open";
    EXPECT_EQ(nResult, IDOK);
}

// A one-radio machine: a click on the only button does what Enter does.
TEST_F(KovaDlgWindow, TheSingleButtonsClickTurnsItsRadioOn)
{
    for (const BYTE byStatus : { BYTE(0x18), BYTE(0x14) })
    {
        ASSERT_TRUE(m_state.Set(byStatus));
        ASSERT_TRUE(m_state.ClearLog());
        CProbeDlg dlg(m_pictures);
        const INT_PTR nResult = RunWithUser(dlg, [&](HWND hDlg) {
            HWND hButton = ::GetDlgItem(hDlg, IDC_BTN_WIFI);
            ::PostMessageA(hDlg, WM_COMMAND, MAKEWPARAM(IDC_BTN_WIFI, BN_CLICKED), reinterpret_cast<LPARAM>(hButton));
            kovatest::WaitUntil([&] { return !::IsWindow(hDlg); });
        });
        EXPECT_EQ(nResult, IDOK);
        // Only the fitted radio's bit changes: Bluetooth (bit 1) or WiFi (bit 0).
        EXPECT_EQ(WritesIn(m_state.Log()), std::vector<int>{ byStatus == 0x18 ? 0x1A : 0x15 });
    }
}

namespace {

// Two monitors: the primary at 96 dpi, a second to its right at 144 dpi holding the pointer.
const PopupMonitorInfo kSecond = { { 1024, 0, 2944, 1040 }, 144 };
bool g_bForegroundKnown = false;

bool FakeMonitors(PopupMonitor eWhich, PopupMonitorInfo& rInfo)
{
    switch (eWhich)
    {
    case PopupMonitor::Foreground:
        if (g_bForegroundKnown)
            rInfo = { { 0, 0, 1024, 740 }, 96 };
        return g_bForegroundKnown;
    case PopupMonitor::Pointer:
        rInfo = kSecond;
        return true;
    case PopupMonitor::Primary:
        break;
    }
    return false;
}

} // namespace

// The pop-up opens on the foreground window's monitor, else the pointer's, at that monitor's
// DPI; moved to a monitor of another DPI it is built again at that one.
TEST_F(KovaDlgWindow, OpensOnTheMonitorInUseAtItsDpiAndFollowsADpiChange)
{
    auto pfnOld = std::exchange(g_pfnFindPopupMonitor, &FakeMonitors);
    for (const bool bForeground : { false, true })
    {
        g_bForegroundKnown = bForeground;
        CProbeDlg dlg(m_pictures);
        RECT rcOpened = {}, rcButton = {}, rcChanged = {};
        int nTipOpened = 0, nTipChanged = 0;
        RunWithUser(dlg, [&](HWND hDlg) {
            EXPECT_EQ(dlg.TipWidth(), 0);   // no tip for a pop-up the pointer never crossed
            EXPECT_TRUE(dlg.MoveOver());
            nTipOpened = dlg.TipWidth();
            ::GetWindowRect(hDlg, &rcOpened);
            ::GetWindowRect(::GetDlgItem(hDlg, IDC_BTN_WIFI), &rcButton);
            // Dragged onto a 192-dpi monitor: the system suggests where it goes.
            RECT rcSuggested = { 100, 50, 614, 452 };
            ::SendMessageA(hDlg, WM_DPICHANGED, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&rcSuggested));
            ::GetWindowRect(hDlg, &rcChanged);
            nTipChanged = dlg.TipWidth();
        });
        // The two-line tips wrap at 260 96-dpi pixels, at every scale.
        EXPECT_EQ(nTipOpened, bForeground ? 260 : 390);
        EXPECT_EQ(nTipChanged, 520);
        if (bForeground)
        {
            EXPECT_EQ(rcOpened.left, (1024 - 257) / 2);
            EXPECT_EQ(rcOpened.top, (740 - 201) / 2);
            EXPECT_EQ(rcOpened.right - rcOpened.left, 257);
            continue;
        }
        EXPECT_EQ(rcOpened.left, 1024 + (1920 - 386) / 2);
        EXPECT_EQ(rcOpened.top, (1040 - 302) / 2);
        EXPECT_EQ(rcOpened.right - rcOpened.left, 386);
        EXPECT_EQ(rcOpened.bottom - rcOpened.top, 302);
        EXPECT_EQ(rcButton.left - rcOpened.left, 137);   // 91 x 1.5, rounded
        EXPECT_EQ(rcButton.right - rcButton.left, 113);
        EXPECT_EQ(rcChanged.left, 100);
        EXPECT_EQ(rcChanged.top, 50);
        EXPECT_EQ(rcChanged.right - rcChanged.left, 514);
        EXPECT_EQ(rcChanged.bottom - rcChanged.top, 402);
    }
    g_pfnFindPopupMonitor = pfnOld;
}

// A change of scale leaves the open pop-up the active window with the focus on its
// selection: another window that took the activation would get the user's next keys.
TEST_F(KovaDlgWindow, StaysActiveWithTheFocusOnItsSelectionThroughAScaleChange)
{
    // A visible window of ours that a hidden pop-up would hand the activation to.
    m_hOther.reset(::CreateWindowExA(0, "STATIC", "other", WS_POPUP | WS_VISIBLE, 10, 10, 50, 50, nullptr, nullptr,
                                     ::GetModuleHandleA(nullptr), nullptr));
    ASSERT_NE(m_hOther.get(), nullptr);
    for (const int nLayout : { 0x1F, 0x15 })   // three buttons, WiFi only
    {
        ASSERT_TRUE(m_state.Set(static_cast<BYTE>(nLayout)));
        CProbeDlg dlg(m_pictures);
        GUITHREADINFO before = {}, after = {};
        before.cbSize = after.cbSize = sizeof before;
        HWND hForeground = nullptr, hSelected = nullptr;
        int nDeactivated = -1;
        RunWithUser(dlg, [&](HWND hDlg) {
            const DWORD dwThread = ::GetWindowThreadProcessId(hDlg, nullptr);
            kovatest::WaitUntil([&] {
                return ::GetGUIThreadInfo(dwThread, &before) && before.hwndActive == hDlg
                    && before.hwndFocus == dlg.Selected();
            });
            dlg.m_nDeactivations = 0;
            RECT rcSuggested = { 100, 50, 614, 452 };
            ::SendMessageA(hDlg, WM_DPICHANGED, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&rcSuggested));
            kovatest::WaitUntil([&] { return ::GetForegroundWindow() != nullptr; });
            hForeground = ::GetForegroundWindow();
            ::GetGUIThreadInfo(dwThread, &after);
            hSelected = dlg.Selected();
            nDeactivated = dlg.m_nDeactivations;
        });
        EXPECT_EQ(before.hwndActive, dlg.m_hShown.load()) << nLayout;
        EXPECT_EQ(nDeactivated, 0) << nLayout;
        EXPECT_EQ(after.hwndActive, dlg.m_hShown.load()) << nLayout;
        EXPECT_EQ(hForeground, dlg.m_hShown.load()) << nLayout;
        EXPECT_EQ(after.hwndFocus, hSelected) << nLayout;
    }
    m_hOther.reset();
}

TEST_F(KovaDlgWindow, OpeningsAfterTheFirstTakeTheOutlineKeptFromIt)
{
    const kovatest::CSeam cut(kfw::g_linked.pfnExtCreateRegion, &CountingExtCreateRegion);
    kfw::CRgnH ahOutline[2] = { kfw::CRgnH(::CreateRectRgn(0, 0, 0, 0)), kfw::CRgnH(::CreateRectRgn(0, 0, 0, 0)) };
    int anCut[2] = {};
    for (int i = 0; i < 2; ++i)
    {
        g_nOutlinesCut = 0;
        CProbeDlg dlg(m_pictures);
        RunWithUser(dlg, [&](HWND hDlg) { ::GetWindowRgn(hDlg, ahOutline[i].Get()); });
        anCut[i] = g_nOutlinesCut;
    }
    EXPECT_EQ(anCut[0], 1);
    EXPECT_EQ(anCut[1], 0);
    RECT rcBox = {};
    EXPECT_EQ(::GetRgnBox(ahOutline[1].Get(), &rcBox), COMPLEXREGION);
    EXPECT_TRUE(::EqualRgn(ahOutline[0].Get(), ahOutline[1].Get()));
}

TEST_F(KovaDlgWindow, PopupsPreparedAheadOpenWithoutCutting)
{
    const kovatest::CSeam cut(kfw::g_linked.pfnExtCreateRegion, &CountingExtCreateRegion);
    g_nOutlinesCut = 0;
    int nSteps = 0;
    CPopupBackgroundsTask backgrounds(m_pictures);
    CCaptionFaceTask face(m_pictures);
    for (CIdleTask* pTask : { static_cast<CIdleTask*>(&backgrounds), static_cast<CIdleTask*>(&face), &CToolTipCtrl::LibraryTask() })
        for (++nSteps; pTask->DoPiece(); ++nSteps) {}
    const int nCutAhead = std::exchange(g_nOutlinesCut, 0);
    {
        CProbeDlg dlg(m_pictures);
        RunWithUser(dlg, [](HWND) {});
    }
    EXPECT_EQ(nSteps, 4);
    EXPECT_EQ(nCutAhead, 2);   // the three-button and the one-button background
    EXPECT_EQ(g_nOutlinesCut, 0);
}
