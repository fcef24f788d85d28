// The radio-off notice in this process: its picture's tool tip under the real pointer.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <utility>

#include "dialogs/ScanHook.h"
#include "dialogs/SwitchOffDlg.h"
#include "framework/GdiPlus.h"
#include "skin/PictureStore.h"
#include "support/TestSupport.h"

using namespace kovatest;

namespace {

const int kProbeDone = 77;
const int kProbeTimedOut = -2;
const POINT kParked = { 900, 700 };
// The notice is centred on the 1024 x 768 screen; the picture sits at (14, 44) in it.
const POINT kPictureCentre = { 460 + 14 + 37, 306 + 44 + 32 };

// The notice with a check that polls inside its own modal loop: m_fnPoll every 50 ms until
// it returns true (DoModal gives kProbeDone).
class CNoticeProbe : public CSwitchOffDlg {
public:
    explicit CNoticeProbe(CSkinPictureStore& rPictures) : CSwitchOffDlg(nullptr, rPictures) {}

    std::function<bool(CNoticeProbe&)> m_fnPoll;
    bool m_bPictureMoveSeen = false;

    BOOL PreTranslateMessage(MSG* pMsg) override
    {
        if (pMsg->message == WM_MOUSEMOVE && ::GetDlgCtrlID(pMsg->hwnd) == IDC_BTN_NOTICE)
            m_bPictureMoveSeen = true;
        return CSwitchOffDlg::PreTranslateMessage(pMsg);
    }

    BOOL OnInitDialog() override
    {
        const BOOL bDone = CSwitchOffDlg::OnInitDialog();
        ::SetTimer(m_hWnd, kSafetyTimer, 15000, nullptr);
        ::SetTimer(m_hWnd, kPollTimer, 50, nullptr);
        return bDone;
    }

    BEGIN_MSG_MAP(CNoticeProbe)
        if (uMsg == WM_TIMER && wParam == kSafetyTimer) { EndDialog(kProbeTimedOut); return TRUE; }
        if (uMsg == WM_TIMER && wParam == kPollTimer)
        {
            if (m_fnPoll && m_fnPoll(*this))
                EndDialog(kProbeDone);
            return TRUE;
        }
        CHAIN_MSG_MAP(CSwitchOffDlg)
    END_MSG_MAP()

private:
    // The notice's own close timer is 1.
    static const UINT_PTR kSafetyTimer = 101, kPollTimer = 102;
};

// GDI+, the archive Kova ships (resource 149 of this program) as the application's, the
// pointer away from the notice; afterwards no hook is left behind.
class SwitchOffDlgTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_gdiplus.IsStarted());
        ASSERT_TRUE(LoadSkinArchive(m_archive));
        m_pictures.SetArchive(&m_archive);
        kovatest::MovePointer(kParked);
    }
    void TearDown() override
    {
        ScanHook().Remove();
        m_pictures.SetArchive(nullptr);
        m_pictures.Clear();
        ReleaseSkinArchive(m_archive);
        kovatest::MovePointer(kParked);
    }

    kfw::CGdiplusSession m_gdiplus;
    SkinArchive m_archive;
    CSkinPictureStore m_pictures;
};

struct ToolTipSearch {
    HWND hOwner, hFound;
};

BOOL CALLBACK FindToolTipProc(HWND hWnd, LPARAM lParam)
{
    auto* pSearch = reinterpret_cast<ToolTipSearch*>(lParam);
    char szClass[64] = "";
    ::GetClassNameA(hWnd, szClass, sizeof szClass);
    if (lstrcmpiA(szClass, TOOLTIPS_CLASSA) == 0 && ::GetWindow(hWnd, GW_OWNER) == pSearch->hOwner)
        pSearch->hFound = hWnd;
    return pSearch->hFound ? FALSE : TRUE;
}

// The tool tip window the notice owns.
HWND ToolTipOf(HWND hOwner)
{
    ToolTipSearch search = { hOwner, nullptr };
    ::EnumThreadWindows(::GetCurrentThreadId(), &FindToolTipProc, reinterpret_cast<LPARAM>(&search));
    return search.hFound;
}

} // namespace

TEST_F(SwitchOffDlgTest, HoveringThePictureShowsTheTwoLineTip)
{
    RECT rcTip = {};
    int nToolId = 0;
    char szText[512] = "";
    int cyLine = 0;
    CNoticeProbe dlg(m_pictures);
    dlg.m_fnPoll = [&](CNoticeProbe& d) {
        // Until the picture has seen the pointer: a move made before the window is on the
        // screen reaches nobody.
        if (!d.m_bPictureMoveSeen)
        {
            static LONG s_dx = 0;
            s_dx ^= 1;
            kovatest::MovePointer({ kPictureCentre.x + s_dx, kPictureCentre.y });
            return false;
        }
        HWND hTip = ToolTipOf(d.m_hWnd);
        if (!hTip || !::IsWindowVisible(hTip))
            return false;
        ::GetWindowRect(hTip, &rcTip);
        TOOLINFOA ti = {};
        ti.cbSize = TTTOOLINFOA_V2_SIZE;
        ti.lpszText = szText;
        ::SendMessageA(hTip, TTM_GETCURRENTTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
        nToolId = ::GetDlgCtrlID(reinterpret_cast<HWND>(ti.uId));
        kfw::CWindowDC dc(hTip);
        kfw::CScopedSelect font(dc.Get(), reinterpret_cast<HGDIOBJ>(::SendMessageA(hTip, WM_GETFONT, 0, 0)));
        TEXTMETRICA tm = {};
        ::GetTextMetricsA(dc.Get(), &tm);
        cyLine = tm.tmHeight;
        return true;
    };
    ASSERT_EQ(dlg.DoModal(), kProbeDone) << "no tip while the pointer rested on the picture";

    EXPECT_EQ(std::string(szText), "Press to set both Bluetooth and WiFi \x93Off\x94\nNote. The hard switch must be \x93ON\x94.");
    EXPECT_EQ(nToolId, IDC_BTN_NOTICE);
    // Two lines, no wider than the wrap width and its margins: unwrapped it is one line of
    // some 400 pixels.
    EXPECT_GE(rcTip.bottom - rcTip.top, 2 * cyLine);
    EXPECT_LE(rcTip.right - rcTip.left, 260 + 16);
}

// The tip wraps at 260 96-dpi pixels on the monitor it opens on, and after a scale change.
TEST_F(SwitchOffDlgTest, TheTipWrapsAtTheSameWidthAtEveryScale)
{
    static int s_nDpi = 96;
    auto pfnOld = std::exchange(g_pfnFindPopupMonitor, [](PopupMonitor, PopupMonitorInfo& rInfo) {
        rInfo = { { 0, 0, 1024, 740 }, s_nDpi };
        return true;
    });
    for (const int nDpi : { 96, 144, 192 })
    {
        s_nDpi = nDpi;
        int nOpened = 0, nChanged = 0;
        CNoticeProbe dlg(m_pictures);
        dlg.m_fnPoll = [&](CNoticeProbe& d) {
            // Made by the pointer's first move over the notice.
            HWND hTip = ToolTipOf(d.m_hWnd);
            if (!hTip)
            {
                ::PostMessageA(d.m_hWnd, WM_MOUSEMOVE, 0, 0);
                return false;
            }
            nOpened = static_cast<int>(::SendMessageA(hTip, TTM_GETMAXTIPWIDTH, 0, 0));
            RECT rcSuggested = { 0, 0, 400, 300 };
            ::SendMessageA(d.m_hWnd, WM_DPICHANGED, MAKEWPARAM(120, 120), reinterpret_cast<LPARAM>(&rcSuggested));
            nChanged = static_cast<int>(::SendMessageA(hTip, TTM_GETMAXTIPWIDTH, 0, 0));
            return true;
        };
        EXPECT_EQ(dlg.DoModal(), kProbeDone);
        EXPECT_EQ(nOpened, 260 * nDpi / 96) << nDpi;
        EXPECT_EQ(nChanged, 325) << nDpi;
    }
    g_pfnFindPopupMonitor = pfnOld;
}
