// The radio-off notice of the real Kova.exe as the user meets it: the switch off in the
// development EMSC.dll, opened by the hot key or the tray's "&Option", read back from the
// screen, closed by time, pointer, click and keys.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>

#include "dialogs/ModeSelection.h"
#include "framework/GdiPlus.h"
#include "skin/SkinCaption.h"
#include "support/KovaSession.h"
#include "support/SkinDialogKit.h"

using namespace kovatest;
using namespace kovae2e;

namespace {

// Closing by itself: never before 3.5 s, and well within this.
const DWORD kCloseWaitMs = 15000;
const ULONGLONG kNotBeforeMs = 3500;
const RECT kNoticeRect = { 460, 306, 564, 462 };   // 104 x 156, centred on 1024 x 768
const POINT kParked = { 900, 700 };                // away from the notice and the tray
// In the notice's client area: its background around the picture, and the picture.
const POINT kOnBackground[] = { { 7, 60 }, { 95, 70 }, { 52, 30 }, { 8, 118 } };
const POINT kOnPicture = { 51, 76 };
const POINT kPictureAt = { 14, 44 };

ULONGLONG Now()
{
    return ::GetTickCount64();
}

bool IsShown(HWND hNotice)
{
    return ::IsWindow(hNotice) && ::IsWindowVisible(hNotice);
}

void PointAt(HWND hNotice, POINT pt)
{
    ::ClientToScreen(hNotice, &pt);
    kovatest::MovePointer(pt);
}

// Holds the notice's close timer: the pointer rests on its background, so whatever closes
// the notice next is not the timer.
void RestPointerOn(HWND hNotice)
{
    for (const POINT& pt : kOnBackground)
        PointAt(hNotice, pt);
}

class SwitchOffNoticeTest : public ::testing::Test {
protected:
    void SetUp() override { kovatest::MovePointer(kParked); }
    void TearDown() override { kovatest::MovePointer(kParked); }
};

struct Look {
    int cPictureWrong = 0;   // pixels of the picture unlike the strip's normal slice
    int cCaptionWrong = 0;   // opaque pixels of the caption band unlike the expected painting
};

// The notice on the screen against the strip's first slice at (14, 44) and against the
// background with the caption painted by the skin's own routine.
Look LookAt(const CCanvas& shot, Gdiplus::GpImage* pStrip, Gdiplus::GpImage* pBackground, const CCanvas& expected)
{
    Look look;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 75; ++x)
            look.cPictureWrong += shot.At(kNoticeRect.left + kPictureAt.x + x, kNoticeRect.top + kPictureAt.y + y) !=
                                  (PixelOf(pStrip, x, y) & 0xFFFFFF);
    for (int y = 120; y < 150; ++y)
        for (int x = 0; x < 104; ++x)
            if ((PixelOf(pBackground, x, y) >> 24) == 0xFF)
                look.cCaptionWrong += shot.At(kNoticeRect.left + x, kNoticeRect.top + y) != expected.At(x, y);
    return look;
}

} // namespace

TEST_F(SwitchOffNoticeTest, ShowsThePictureAndCaptionOfTheFittedRadiosCentred)
{
    kfw::CGdiplusSession gdiplus;
    SkinArchive archive;
    ASSERT_TRUE(LoadSkinArchive(archive));
    kfw::CGdipImage background = DecodeMember(archive, "image/W1x_map.png");
    ASSERT_TRUE(background);

    const struct {
        BYTE byStatus;
        const char* pszStrip;
        const char* pszCaption;
        const wchar_t* pszShot;
    } rows[] = {
        { 0x05, "image/4wifi_off.bmp", "WiFi OFF", L"Z:\\tmp\\kova-notice-wifi.png" },
        { 0x0A, "image/4bluetooth_off.bmp", "BT OFF", L"Z:\\tmp\\kova-notice-bt.png" },
        { 0x0F, "image/4alloff.bmp", "BT/WiFi OFF", L"Z:\\tmp\\kova-notice-both.png" },
    };
    CResidentKova kova(rows[0].byStatus);
    ASSERT_TRUE(kova.IsResident()) << kova.Describe();

    for (const auto& row : rows)
    {
        SCOPED_TRACE(row.pszCaption);
        ASSERT_TRUE(kova.State().Set(row.byStatus));
        kfw::CGdipImage strip = DecodeMember(archive, row.pszStrip);
        ASSERT_TRUE(strip);
        CCanvas expected(104, 156, 0);
        const Gdiplus::PointF origin(CAPTION_AT_ONE.x, CAPTION_AT_ONE.y);
        const std::string strCaption = row.pszCaption;
        DrawSkinCaption(expected.DC(), background.Get(), 104, 156, std::wstring(strCaption.begin(), strCaption.end()).c_str(),
                        &origin);
        ASSERT_GT(expected.ChangedFrom(0).cWhite, 20) << "the expected caption has no white glyphs";

        HWND hNotice = OpenByHotKey(kova);
        ASSERT_NE(hNotice, nullptr) << "no notice from the hot key";
        RECT rc = {};
        EXPECT_TRUE(PumpUntil([&] { return ::GetWindowRect(hNotice, &rc) && ::EqualRect(&rc, &kNoticeRect); }, kWaitMs))
            << "at " << rc.left << "," << rc.top << " size " << rc.right - rc.left << "x" << rc.bottom - rc.top;

        std::unique_ptr<CCanvas> pShot;
        Look look;
        const bool bLooksRight = PumpUntil([&] {
            pShot = CaptureScreen();
            look = LookAt(*pShot, strip.Get(), background.Get(), expected);
            return look.cPictureWrong == 0 && look.cCaptionWrong == 0;
        }, kWaitMs);
        EXPECT_TRUE(bLooksRight) << look.cPictureWrong << " picture pixels and " << look.cCaptionWrong
                                 << " caption pixels differ";
        // For people to look at.
        EXPECT_TRUE(SavePng(pShot->Bitmap(), row.pszShot));

        ASSERT_TRUE(Scan("0x1C"));
        ASSERT_TRUE(Scan("0x1C up"));
        ASSERT_TRUE(kovatest::WaitGone(hNotice, kWaitMs));
    }
}

TEST_F(SwitchOffNoticeTest, ClosesFourSecondsAfterItIsShownOrThePointerLeftIt)
{
    CResidentKova kova(0x0F);
    ASSERT_TRUE(kova.IsResident()) << kova.Describe();

    // Untouched, opened from the tray menu.
    TrayIcon icon;
    ASSERT_TRUE(FindTrayIcon(kova.Icon(), icon));
    std::string strError;
    ASSERT_TRUE(ClickTrayIcon(icon, ClickKind::Right, ClickMethod::Input, &strError)) << strError;
    ASSERT_TRUE(WaitForPopupMenu(kWaitMs, nullptr, kova.Pid()));
    kovatest::MovePointer(kParked);
    ASSERT_TRUE(PressKey("o", &strError)) << strError;
    HWND hNotice = WaitForDialogOf(kova.Pid(), kWaitMs);
    ASSERT_NE(hNotice, nullptr) << "no notice from \"&Option\"";
    ULONGLONG ullShown = Now();
    ASSERT_TRUE(kovatest::WaitGone(hNotice, kCloseWaitMs)) << "still open after 15 s";
    EXPECT_GE(Now() - ullShown, kNotBeforeMs);

    // The pointer moving over the background and the picture for 6 s keeps it open.
    hNotice = OpenByHotKey(kova);
    ASSERT_NE(hNotice, nullptr);
    ullShown = Now();
    size_t iStep = 0;
    ULONGLONG ullNextStep = ullShown;
    PumpUntil([&] {
        if (!IsShown(hNotice) || Now() - ullShown >= 6000)
            return true;
        if (Now() >= ullNextStep)
        {
            PointAt(hNotice, iStep % 3 == 2 ? kOnPicture : kOnBackground[iStep % 4]);
            ++iStep;
            ullNextStep += 300;
        }
        return false;
    }, 8000);
    ASSERT_TRUE(IsShown(hNotice)) << "closed under the moving pointer";

    // Moved onto the picture and resting there: it is still over the notice.
    PointAt(hNotice, kOnBackground[0]);
    PointAt(hNotice, kOnPicture);
    EXPECT_FALSE(kovatest::WaitGone(hNotice, 5000)) << "closed under the pointer resting on the picture";

    // Straight from the picture out: 4 s later it goes.
    kovatest::MovePointer(kParked);
    const ULONGLONG ullLeft = Now();
    ASSERT_TRUE(kovatest::WaitGone(hNotice, kCloseWaitMs)) << "still open 15 s after the pointer left";
    EXPECT_GE(Now() - ullLeft, kNotBeforeMs);
}

TEST_F(SwitchOffNoticeTest, ClickAndEnterCloseItAnEnterReleaseDoesNot)
{
    CResidentKova kova(0x0F);
    ASSERT_TRUE(kova.IsResident()) << kova.Describe();

    HWND hNotice = OpenByHotKey(kova);
    ASSERT_NE(hNotice, nullptr);
    RestPointerOn(hNotice);
    // No virtual key, so the dialog manager cannot take these for Enter: only the notice's
    // keyboard hook can.
    ASSERT_TRUE(Scan("0x1C up"));
    // Handled once Kova has refreshed the tip: the refresh is queued behind the key.
    ASSERT_TRUE(kova.State().Set(0x05));
    ASSERT_TRUE(SignalFromAnotherProcess(kNotifyEvent));
    ASSERT_TRUE(kova.WaitForIcon(kTipWlanOff));
    EXPECT_TRUE(IsShown(hNotice)) << "closed by the release of Enter";
    ASSERT_TRUE(Scan("0x1C"));
    EXPECT_TRUE(kovatest::WaitGone(hNotice, kWaitMs)) << "Enter did not close it";
    ASSERT_TRUE(Scan("0x1C up"));

    hNotice = OpenByHotKey(kova);
    ASSERT_NE(hNotice, nullptr);
    PointAt(hNotice, kOnPicture);
    ASSERT_TRUE(kovatest::ClickHere());
    EXPECT_TRUE(kovatest::WaitGone(hNotice, kWaitMs)) << "a click on the picture did not close it";
}

TEST_F(SwitchOffNoticeTest, RefreshKeyEitherWayRefreshesTheTrayAndClosesIt)
{
    CResidentKova kova(0x0F, KovaStart().Tip(kTipBothOff));
    ASSERT_TRUE(kova.IsResident()) << kova.Describe();

    // While the notice is up the frame's own hook is off: only the notice passes the key on.
    HWND hNotice = OpenByHotKey(kova);
    ASSERT_NE(hNotice, nullptr);
    RestPointerOn(hNotice);
    ASSERT_TRUE(kova.State().Set(0x0A));
    ASSERT_TRUE(Scan("0x71 up"));
    EXPECT_TRUE(kova.WaitForIcon(kTipBtOff)) << "the release did not refresh the tray";
    EXPECT_TRUE(kovatest::WaitGone(hNotice, kWaitMs)) << "the release did not close it";

    hNotice = OpenByHotKey(kova);
    ASSERT_NE(hNotice, nullptr);
    RestPointerOn(hNotice);
    ASSERT_TRUE(kova.State().Set(0x05));
    ASSERT_TRUE(Scan("0x71"));
    EXPECT_TRUE(kova.WaitForIcon(kTipWlanOff)) << "the press did not refresh the tray";
    EXPECT_TRUE(kovatest::WaitGone(hNotice, kWaitMs)) << "the press did not close it";
    ASSERT_TRUE(Scan("0x71 up"));
}
