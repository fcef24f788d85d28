// Kova.exe's mode pop-up as a user meets it: opened by the hot key or the tray, steered by
// keys from another process and by the mouse, and read from the screen: each button's
// pixels against the slices of the skin's strips, the status line against the captions
// drawn here the same way. The EMSC log tells exactly what was written.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dialogs/ModeSelection.h"
#include "harness/TrayObserver.h"
#include "res/KovaNames.h"
#include "res/resource.h"
#include "skin/SkinCaption.h"
#include "support/EmscState.h"
#include "support/KovaSession.h"
#include "support/PolicySetting.h"
#include "support/SkinDialogKit.h"
#include "support/TestSupport.h"

using namespace kovatest;
using namespace kovae2e;

namespace {

const int kSlice = 75, kStripHeight = 64;
const char* const kStrips[] = { "4wifiandbt", "4alloff", "4wifi", "4wifi_off", "4bluetooth", "4bluetooth_off" };
const UINT kStatusIds[] = { IDS_WIFI_ON, IDS_BT_ON, IDS_CHANGE_BOTH, IDS_CHANGE_WIFI, IDS_CHANGE_BT,
                            IDS_CURRENT_BOTH, IDS_CURRENT_WIFI, IDS_CURRENT_BT };

struct Layout {
    const char* pszBackground;
    int cx, cy;
    std::vector<POINT> buttons;   // client places of the shown buttons, left to right
    Gdiplus::PointF ptStatus;
    RECT rcStatusBand;            // where the status line is read
};
const Layout kThree = { "image/W3x_map.png", 257, 201, { { 14, 87 }, { 91, 87 }, { 168, 87 } },
                        Gdiplus::PointF(CAPTION_AT_THREE.x, CAPTION_AT_THREE.y), { 16, 163, 241, 188 } };
const Layout kOne = { "image/W1x_map.png", 104, 156, { { 14, 44 } }, Gdiplus::PointF(CAPTION_AT_ONE.x, CAPTION_AT_ONE.y),
                      { 4, 122, 100, 146 } };

class KovaModePopup : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_gdiplus.IsStarted());
        ASSERT_TRUE(LoadSkinArchive(m_archive));
        for (const char* pszStrip : kStrips)
        {
            kfw::CGdipImage image = DecodeMember(m_archive, (std::string("image/") + pszStrip + ".bmp").c_str());
            ASSERT_TRUE(image) << pszStrip;
            auto& px = m_strips[pszStrip];
            px.resize(4 * kSlice * kStripHeight);
            for (int y = 0; y < kStripHeight; ++y)
                for (int x = 0; x < 4 * kSlice; ++x)
                    px[y * 4 * kSlice + x] = PixelOf(image.Get(), x, y) & 0xFFFFFF;
        }
        m_kova.emplace(m_state, KovaStart().Parked());
        ASSERT_TRUE(m_kova->IsResident()) << m_kova->Describe();
        m_hFrame = m_kova->Frame();
    }

    // The look of a caption as Kova paints it on that background.
    const CCanvas& Caption(const Layout& layout, const std::string& strText)
    {
        auto& pCanvas = m_captions[std::string(layout.pszBackground) + "|" + strText];
        if (!pCanvas)
        {
            kfw::CGdipImage background = DecodeMember(m_archive, layout.pszBackground);
            pCanvas = std::make_unique<CCanvas>(layout.cx, layout.cy, 0);
            const std::wstring strWide(strText.begin(), strText.end());   // the English texts are ASCII
            DrawSkinCaption(pCanvas->DC(), background.Get(), layout.cx, layout.cy, strWide.c_str(), &layout.ptStatus);
        }
        return *pCanvas;
    }

    // What the pop-up shows: "strip/slice" of each button (its top nRows rows compared: a
    // tool tip may cover the rest), then the status line nearest to the screen's pixels.
    std::string Look(HWND hDlg, const Layout& layout, int nRows = kStripHeight)
    {
        POINT ptOrigin = { 0, 0 };
        ::ClientToScreen(hDlg, &ptOrigin);
        CCanvas screen(layout.cx, layout.cy, 0);
        {
            HDC hScreen = ::GetDC(nullptr);
            ::BitBlt(screen.DC(), 0, 0, layout.cx, layout.cy, hScreen, ptOrigin.x, ptOrigin.y, SRCCOPY);
            ::ReleaseDC(nullptr, hScreen);
        }
        auto distance = [](uint32_t a, uint32_t b) {
            return std::abs(int(a & 0xFF) - int(b & 0xFF)) + std::abs(int((a >> 8) & 0xFF) - int((b >> 8) & 0xFF))
                 + std::abs(int(a >> 16) - int(b >> 16));
        };
        std::string strLook;
        for (const POINT& pt : layout.buttons)
        {
            long lBest = LONG_MAX;
            std::string strBest;
            for (const auto& strip : m_strips)
                for (int nSlice = 0; nSlice < 3; ++nSlice)
                {
                    long lSum = 0;
                    for (int y = 0; y < nRows; ++y)
                        for (int x = 0; x < kSlice; ++x)
                            lSum += distance(screen.At(pt.x + x, pt.y + y), strip.second[y * 4 * kSlice + nSlice * kSlice + x]);
                    if (lSum < lBest)
                    {
                        lBest = lSum;
                        strBest = strip.first + "/" + std::to_string(nSlice);
                    }
                }
            strLook += strBest + " ";
        }
        long lBest = LONG_MAX;
        std::string strStatus;
        for (UINT uId : kStatusIds)
        {
            char sz[128] = "";
            ::LoadStringA(::GetModuleHandleA(nullptr), uId, sz, sizeof sz);
            const CCanvas& caption = Caption(layout, sz);
            long lSum = 0;
            const RECT& rc = layout.rcStatusBand;
            for (int y = rc.top; y < rc.bottom; ++y)
                for (int x = rc.left; x < rc.right; ++x)
                    lSum += distance(screen.At(x, y), caption.At(x, y));
            if (lSum < lBest)
            {
                lBest = lSum;
                strStatus = sz;
            }
        }
        return strLook + "| " + strStatus;
    }

    // Polls until the pop-up shows strExpected; the last look otherwise.
    std::string WaitForLook(HWND hDlg, const Layout& layout, const std::string& strExpected, int nRows = kStripHeight)
    {
        std::string strLook;
        PumpUntil([&] { return (strLook = Look(hDlg, layout, nRows)) == strExpected; }, 5000);
        return strLook;
    }

    std::vector<HWND> Dialogs() { return DialogsOf(m_kova->Pid()); }

    // Opens the pop-up with the radio key (or the tray's double click, which is "&Option")
    // and checks that it sits centred, at the size of its background.
    HWND Open(const Layout& layout, bool bByTray = false)
    {
        if (bByTray)
            ::PostMessageA(m_hFrame, WM_TRAY_CALLBACK, kTrayId, WM_LBUTTONDBLCLK);
        else if (!Stroke("0x04 ext"))
            return nullptr;
        HWND hDlg = nullptr;
        PumpUntil([&] {
            const std::vector<HWND> dialogs = Dialogs();
            hDlg = dialogs.empty() ? nullptr : dialogs[0];
            return hDlg != nullptr;
        }, kWaitMs);
        if (hDlg)
        {
            // Shown once, at its final place: the first sight of it must already be right.
            RECT rc = {};
            ::GetWindowRect(hDlg, &rc);
            const int x = (::GetSystemMetrics(SM_CXSCREEN) - layout.cx) / 2;
            const int y = (::GetSystemMetrics(SM_CYSCREEN) - layout.cy) / 2;
            EXPECT_EQ(rc.left, x);
            EXPECT_EQ(rc.top, y);
            EXPECT_EQ(rc.right - rc.left, layout.cx);
            EXPECT_EQ(rc.bottom - rc.top, layout.cy);
        }
        return hDlg;
    }

    bool WaitClosed(DWORD dwTimeoutMs = kWaitMs)
    {
        return PumpUntil([&] { return Dialogs().empty(); }, dwTimeoutMs);
    }

    bool WaitForTip(const wchar_t* pszTip)
    {
        return PumpUntil([&] {
            TrayIcon icon;
            return FindTrayIcon(CIconSelector::ByOwner(m_hFrame, kTrayId), icon) && icon.strTip == pszTip;
        }, kWaitMs);
    }

    void TearDown() override { ReleaseSkinArchive(m_archive); }

    CEmscState m_state{ 0x1F };
    kfw::CGdiplusSession m_gdiplus;
    SkinArchive m_archive;
    std::map<std::string, std::vector<uint32_t>> m_strips;
    std::map<std::string, std::unique_ptr<CCanvas>> m_captions;
    std::optional<CResidentKova> m_kova;
    HWND m_hFrame = nullptr;
};

TEST_F(KovaModePopup, EachRadioStateOpensWithItsLookAndNothingIsWrittenWithoutAChoice)
{
    enum Close { SpaceThenEsc, RefreshKey, Timer, EnterOnCurrent, Esc };
    const struct {
        BYTE byStatus;
        const Layout* pLayout;
        const char* pszLook;
        bool bByTray;
        Close eClose;
    } rows[] = {
        { 0x1F, &kThree, "4wifiandbt/1 4wifi_off/0 4bluetooth_off/0 | Current Status : Bluetooth & WiFi ON", false, SpaceThenEsc },
        { 0x1C, &kThree, "4wifiandbt/1 4wifi/0 4bluetooth/0 | Change Status to Bluetooth & WiFi ON", true, RefreshKey },
        { 0x1E, &kThree, "4alloff/0 4wifi_off/0 4bluetooth/1 | Current Status : Bluetooth ON", false, Timer },
        { 0x1D, &kThree, "4alloff/0 4wifi/1 4bluetooth_off/0 | Current Status : WiFi ON", true, EnterOnCurrent },
        { 0x18, &kOne, "4bluetooth/0 | Bluetooth ON", false, Esc },
        { 0x1A, &kOne, "4bluetooth/0 | Bluetooth ON", false, EnterOnCurrent },
        { 0x14, &kOne, "4wifi/0 | WiFi ON", false, Esc },
    };
    for (const auto& row : rows)
    {
        SCOPED_TRACE(testing::Message() << "status 0x" << std::hex << int(row.byStatus));
        ASSERT_TRUE(m_state.Set(row.byStatus));
        ASSERT_TRUE(m_state.ClearLog());
        HWND hDlg = Open(*row.pLayout, row.bByTray);
        ASSERT_NE(hDlg, nullptr) << "no pop-up: the frame's hook is not back, or the tray did nothing";
        EXPECT_EQ(WaitForLook(hDlg, *row.pLayout, row.pszLook), row.pszLook);

        switch (row.eClose)
        {
        case SpaceThenEsc: {
            // A second opening while this one is shown does nothing.
            DWORD_PTR dwResult = 0;
            ASSERT_TRUE(::SendMessageTimeoutA(m_hFrame, WM_TRAY_CALLBACK, kTrayId, WM_LBUTTONDBLCLK, SMTO_NORMAL,
                                              kWaitMs, &dwResult));
            EXPECT_EQ(Dialogs().size(), 1u);
            // The focused button (1002, WiFi only) would write if the space bar pressed it;
            // Esc comes after the space in the same input queue.
            ASSERT_TRUE(Stroke("0x39 vk=0x20"));
            ASSERT_TRUE(Stroke("0x01 vk=0x1B"));
            break;
        }
        case RefreshKey: ASSERT_TRUE(Stroke("0x71")); break;
        case Timer: break;
        case EnterOnCurrent: ASSERT_TRUE(Stroke("0x1C")); break;
        case Esc: ASSERT_TRUE(Stroke("0x01 vk=0x1B")); break;
        }
        ASSERT_TRUE(WaitClosed(row.eClose == Timer ? 4000 + kWaitMs : kWaitMs)) << "the pop-up stayed open";
        const std::vector<EmscDevLogEntry> log = m_state.Log();
        EXPECT_TRUE(WritesIn(log).empty());
        // The frame's read and the pop-up's; the refresh key makes the frame read once more.
        EXPECT_EQ(ReadsAfterLastWrite(log), row.eClose == RefreshKey ? 3 : 2);
    }
}

TEST_F(KovaModePopup, KeysStepWithWrapAroundAndEnterWritesTheChosenMode)
{
    ASSERT_TRUE(m_state.Set(0x1E));
    ASSERT_TRUE(m_state.ClearLog());
    HWND hDlg = Open(kThree);
    ASSERT_NE(hDlg, nullptr);
    const char kBt[] = "4alloff/0 4wifi_off/0 4bluetooth/1 | Current Status : Bluetooth ON";
    const char kBoth[] = "4alloff/1 4wifi_off/0 4bluetooth/0 | Change Status to Bluetooth & WiFi ON";
    const char kWifi[] = "4alloff/0 4wifi_off/1 4bluetooth/0 | Change Status to WiFi ON";
    EXPECT_EQ(WaitForLook(hDlg, kThree, kBt), kBt);

    // Releases, and the radio key without its extended flag, move nothing: were they taken
    // for steps, the next look would be another.
    const struct { const char* pszKeys[2]; const char* pszLook; } steps[] = {
        { { "0x4D ext" }, kBoth },                // right wraps past the last entry
        { { "0x4B ext" }, kBt },                  // left wraps back
        { { "0x4B" }, kWifi },                    // keypad 4
        { { "0x04", "0x04 ext" }, kBt },          // the radio key steps right
        { { "0x04 ext" }, kBoth },
        { { "0x4B", "0x4B" }, kWifi },
    };
    for (const auto& step : steps)
    {
        for (const char* pszKey : step.pszKeys)
        {
            if (pszKey)
            {
                ASSERT_TRUE(Stroke(pszKey));
            }
        }
        EXPECT_EQ(WaitForLook(hDlg, kThree, step.pszLook), step.pszLook) << "after " << step.pszKeys[0];
    }

    ASSERT_TRUE(Stroke("0x1C"));
    ASSERT_TRUE(WaitClosed());
    // WiFi only: Bluetooth off first, then WiFi on; then the frame reads and shows it.
    EXPECT_EQ(WritesIn(m_state.Log()), (std::vector<int>{ 0x1C, 0x1D }));
    EXPECT_TRUE(WaitForTip(L"Wireless LAN is enabled."));
    EXPECT_GE(ReadsAfterLastWrite(m_state.Log()), 1);
}

// With Bluetooth forbidden by the computer's policy and the radios on WiFi only, the choices
// that would switch it on are greyed, named for why, and passed over; the policy taken away
// while Kova runs counts from the next opening on.
TEST_F(KovaModePopup, ChoicesThePolicyForbidsArePassedOverUntilItIsTakenAway)
{
    ASSERT_TRUE(m_state.Set(0x1D));
    std::optional<CPolicySetting> policy(std::in_place, HKEY_LOCAL_MACHINE, KOVA_POLICY_ALLOW_BLUETOOTH, 0);
    ASSERT_TRUE(policy->IsSet());
    ASSERT_TRUE(m_state.ClearLog());
    const auto Available = [](HWND hDlg) {
        std::string str;
        for (int nId : { IDC_BTN_BOTH, IDC_BTN_WIFI, IDC_BTN_BT })
            str += ::IsWindowEnabled(::GetDlgItem(hDlg, nId)) ? '+' : '-';
        return str;
    };
    HWND hDlg = Open(kThree);
    ASSERT_NE(hDlg, nullptr);
    EXPECT_EQ("-+-", Available(hDlg));
    wchar_t szName[64] = L"";
    ::SendMessageW(::GetDlgItem(hDlg, IDC_BTN_BT), WM_GETTEXT, 64, reinterpret_cast<LPARAM>(szName));
    EXPECT_STREQ(L"Turned off by your organisation", szName);
    for (const char* pszKey : { "0x4D ext", "0x4D ext", "0x1C" })
        ASSERT_TRUE(Stroke(pszKey));
    ASSERT_TRUE(WaitClosed());
    EXPECT_TRUE(WritesIn(m_state.Log()).empty());

    policy.reset();
    hDlg = Open(kThree);
    ASSERT_NE(hDlg, nullptr);
    EXPECT_EQ("+++", Available(hDlg));
    ASSERT_TRUE(Stroke("0x01 vk=0x1B"));
    ASSERT_TRUE(WaitClosed());
}

TEST_F(KovaModePopup, HoverSelectsWithoutNewImagesAndClicksWrite)
{
    ASSERT_TRUE(m_state.Set(0x1F));
    ASSERT_TRUE(m_state.ClearLog());
    HWND hDlg = Open(kThree);
    ASSERT_NE(hDlg, nullptr);
    POINT pt = { 0, 0 };
    ::ClientToScreen(hDlg, &pt);
    // Near the top of 1003: its tool tip opens below the cursor, over the rest of the buttons.
    ASSERT_TRUE(kovatest::MovePointer({ pt.x + 168 + 37, pt.y + 87 + 3 }));
    const char kHoverBt[] = "4wifiandbt/0 4wifi_off/0 4bluetooth_off/1 | Change Status to Bluetooth ON";
    EXPECT_EQ(WaitForLook(hDlg, kThree, kHoverBt, 12), kHoverBt);
    // While the cursor rests on it, the pop-up stays.
    EXPECT_FALSE(WaitClosed(4000 + 1000));
    ASSERT_TRUE(Stroke("0x1C"));
    ASSERT_TRUE(WaitClosed());
    EXPECT_EQ(WritesIn(m_state.Log()), (std::vector<int>{ 0x1F, 0x1E })) << "not the hovered Bluetooth only";
    EXPECT_TRUE(WaitForTip(L"Bluetooth is enabled."));

    // A click on 1001 with both off.
    ASSERT_TRUE(kovatest::ParkPointer());
    ASSERT_TRUE(m_state.Set(0x1C));
    ASSERT_TRUE(m_state.ClearLog());
    hDlg = Open(kThree);
    ASSERT_NE(hDlg, nullptr);
    ASSERT_TRUE(ClickAt({ pt.x + 14 + 37, pt.y + 87 + 32 }));
    ASSERT_TRUE(WaitClosed());
    EXPECT_EQ(WritesIn(m_state.Log()), (std::vector<int>{ 0x1E, 0x1F }));
    EXPECT_TRUE(WaitForTip(L"Bluetooth and Wireless LAN are enabled."));

    // Leaving straight from a button to the outside lets the time-out run again.
    ASSERT_TRUE(kovatest::ParkPointer());
    ASSERT_TRUE(m_state.ClearLog());
    hDlg = Open(kThree);
    ASSERT_NE(hDlg, nullptr);
    ASSERT_TRUE(kovatest::MovePointer({ pt.x + 91 + 37, pt.y + 87 + 3 }));
    const char kHoverWifi[] = "4wifiandbt/0 4wifi_off/1 4bluetooth_off/0 | Change Status to WiFi ON";
    EXPECT_EQ(WaitForLook(hDlg, kThree, kHoverWifi, 12), kHoverWifi);
    ASSERT_TRUE(kovatest::ParkPointer());
    EXPECT_TRUE(WaitClosed(4000 + kWaitMs)) << "the pop-up stayed open after the cursor left";
    EXPECT_TRUE(WritesIn(m_state.Log()).empty());
}

TEST_F(KovaModePopup, OneRadioMachinesTouchOnlyTheirOwnRadio)
{
    const struct { BYTE byStatus; const char* pszLook; std::vector<int> writes; } rows[] = {
        { 0x18, "4bluetooth/0 | Bluetooth ON", { 0x1A } },
        { 0x1A, "4bluetooth/0 | Bluetooth ON", {} },
        { 0x14, "4wifi/0 | WiFi ON", { 0x15 } },
        { 0x15, "4wifi/0 | WiFi ON", {} },
    };
    for (const auto& row : rows)
    {
        SCOPED_TRACE(testing::Message() << "status 0x" << std::hex << int(row.byStatus));
        ASSERT_TRUE(m_state.Set(row.byStatus));
        ASSERT_TRUE(m_state.ClearLog());
        HWND hDlg = Open(kOne);
        ASSERT_NE(hDlg, nullptr);
        EXPECT_EQ(WaitForLook(hDlg, kOne, row.pszLook), row.pszLook);
        // The keys leave the single entry selected: Enter still chooses it.
        for (const char* pszKey : { "0x4B", "0x4D ext", "0x04 ext" })
            ASSERT_TRUE(Stroke(pszKey));
        ASSERT_TRUE(Stroke("0x1C"));
        ASSERT_TRUE(WaitClosed());
        EXPECT_EQ(WritesIn(m_state.Log()), row.writes);
    }
}

} // namespace

// At each display scale the pop-up is built at that DPI: its size, outline, buttons and
// caption are the 96-dpi ones scaled, and it sits centred on the screen.
TEST(KovaModePopupScale, OpensAtTheDisplayScale)
{
    RECT rcOutline96 = {};
    for (const int nDpi : { 96, 120, 144, 192 })
    {
        SCOPED_TRACE(nDpi);
        kovatest::CDisplayScale scale(static_cast<DWORD>(nDpi));
        ASSERT_TRUE(scale.IsSet());
        CResidentKova kova(0x1F, KovaStart().Parked());
        ASSERT_TRUE(kova.IsResident()) << kova.Describe();
        ASSERT_TRUE(Stroke("0x04 ext"));
        const HWND hDlg = WaitForDialogOf(kova.Pid(), kWaitMs);
        ASSERT_NE(hDlg, nullptr);
        auto s = [nDpi](int n) { return (n * nDpi + 48) / 96; };

        RECT rc = {}, rcButton = {}, rcOutline = {};
        ::GetWindowRect(hDlg, &rc);
        EXPECT_EQ(rc.right - rc.left, s(257));
        EXPECT_EQ(rc.bottom - rc.top, s(201));
        EXPECT_EQ(rc.left, (::GetSystemMetrics(SM_CXSCREEN) - s(257)) / 2);
        EXPECT_EQ(rc.top, (::GetSystemMetrics(SM_CYSCREEN) - s(201)) / 2);
        ::GetWindowRect(::GetDlgItem(hDlg, IDC_BTN_BT), &rcButton);
        EXPECT_EQ(rcButton.left - rc.left, s(168));
        EXPECT_EQ(rcButton.top - rc.top, s(87));
        EXPECT_EQ(rcButton.right - rcButton.left, s(75));
        EXPECT_EQ(rcButton.bottom - rcButton.top, s(64));

        // The outline is cut from the picture as shown: its bounds scale, give or take a pixel.
        kfw::CRgnH hRgn(::CreateRectRgn(0, 0, 0, 0));
        ASSERT_NE(::GetWindowRgn(hDlg, hRgn.Get()), ERROR);
        ::GetRgnBox(hRgn.Get(), &rcOutline);
        if (nDpi == 96)
            rcOutline96 = rcOutline;
        EXPECT_NEAR(rcOutline.left, s(rcOutline96.left), 1);
        EXPECT_NEAR(rcOutline.top, s(rcOutline96.top), 1);
        EXPECT_NEAR(rcOutline.right, s(rcOutline96.right), 1);
        EXPECT_NEAR(rcOutline.bottom, s(rcOutline96.bottom), 1);

        // The caption: white glyphs whose rows start under the scaled origin and are about
        // the scaled em size high.
        int nTop = INT_MAX, nBottom = -1;
        PumpUntil([&] {   // until the first paint has reached the screen
            CCanvas screen(s(257), s(201), 0);
            kfw::CWindowDC dcScreen(nullptr);
            ::BitBlt(screen.DC(), 0, 0, s(257), s(201), dcScreen.Get(), rc.left, rc.top, SRCCOPY);
            for (int y = s(160); y < s(201); ++y)
                for (int x = 0; x < s(257); ++x)
                    if ((screen.At(x, y) & 0xFFFFFF) == 0xFFFFFF)
                    {
                        nTop = std::min(nTop, y);
                        nBottom = std::max(nBottom, y);
                    }
            return nBottom >= 0;
        }, kWaitMs);
        EXPECT_GE(nTop, s(169));
        EXPECT_GE(nBottom - nTop + 1, s(8));
        EXPECT_LE(nBottom - nTop + 1, s(16));

        ASSERT_TRUE(Stroke("0x71"));
        ASSERT_TRUE(WaitForNoDialogOf(kova.Pid(), kWaitMs));
        ::PostMessageA(kova.Frame(), WM_CLOSE, 0, 0);
        EXPECT_EQ(kova.Wait(kWaitMs), 0u);
    }
}
