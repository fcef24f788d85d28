// A small radio-off notice put together from the pieces as the real one will be: template 127,
// the single background, one image button through the layout files, the caption painted on
// every WM_PAINT. Read back from the screen, and saved for people to look at.
#include "support/SkinDialogKit.h"

#include "dialogs/ModeSelection.h"
#include "skin/SkinCaption.h"
#include "skin/TPButton.h"

using namespace kovatest;

namespace {

const POINT kAt = { 160, 120 };

class CNoticeSample : public CTPDialog {
public:
    CNoticeSample(const SkinArchive& rArchive)
        : CTPDialog(IDD_SWITCHOFF_DIALOG, nullptr, GetSkinStream(rArchive, "image/W1x_map.png")), m_rArchive(rArchive)
    {
    }

    std::function<void(CNoticeSample&)> m_fnInLoop;
    CTPButton m_btnNotice;
    BOOL m_bSkinned = FALSE;

    BOOL OnInitDialog() override
    {
        m_bSkinned = LoadControlSkin(&m_btnNotice, IDC_BTN_NOTICE, m_rArchive, "image/nall_main.txt",
                                     "image/koff_main.pos.txt");
        if (!CTPDialog::OnInitDialog())
            return FALSE;
        ::SetWindowPos(m_hWnd, HWND_TOPMOST, kAt.x, kAt.y, 0, 0, SWP_NOSIZE);
        ::SetTimer(m_hWnd, 1, 15000, nullptr);
        ::PostMessageA(m_hWnd, WM_APP, 0, 0);
        return TRUE;
    }

    BEGIN_MSG_MAP(CNoticeSample)
        ON_WM_PAINT()
        ON_MESSAGE(WM_APP, OnRunCheck)
        ON_WM_TIMER()
        CHAIN_MSG_MAP(CTPDialog)
    END_MSG_MAP()

    void OnPaint()
    {
        const Gdiplus::PointF origin(CAPTION_AT_ONE.x, CAPTION_AT_ONE.y);
        PaintSkinCaption(m_hWnd, GetBackground(), GetBackgroundWidth(), GetBackgroundHeight(), L"BT/WiFi OFF", &origin);
    }
    LRESULT OnRunCheck(WPARAM, LPARAM)
    {
        if (m_fnInLoop)
            m_fnInLoop(*this);
        EndDialog(IDOK);
        return 0;
    }
    void OnTimer(UINT_PTR) { EndDialog(kDialogTimedOut); }

private:
    const SkinArchive& m_rArchive;
};

} // namespace

TEST_F(SkinDialogFixture, NoticeSampleShowsPictureButtonAndCaptionOnScreen)
{
    kfw::CGdipImage strip = DecodeMember(m_archive, "image/4alloff.bmp");
    kfw::CGdipImage picture = DecodeMember(m_archive, "image/W1x_map.png");
    ASSERT_TRUE(strip && picture);
    auto Pixel = [](Gdiplus::GpImage* pImage, int x, int y) { return PixelOf(pImage, x, y) & 0xFFFFFF; };

    CNoticeSample dlg(m_archive);
    std::unique_ptr<CCanvas> pShot;
    int cCaptionWhite = 0;
    dlg.m_fnInLoop = [&](CNoticeSample& d) {
        EXPECT_TRUE(d.m_bSkinned);
        // Drawn once the caption's white shows below y 127 and the button's face at (14, 44).
        const bool bDrawn = PumpUntil([&] {
            pShot = CaptureScreen();
            cCaptionWhite = 0;
            for (int y = 127; y < 127 + 16; ++y)
                for (int x = 0; x < 104; ++x)
                    cCaptionWhite += pShot->At(kAt.x + x, kAt.y + y) == 0xFFFFFF;
            return cCaptionWhite > 20 && pShot->At(kAt.x + 14 + 37, kAt.y + 44 + 32) == Pixel(strip.Get(), 37, 32);
        });
        EXPECT_TRUE(bDrawn) << cCaptionWhite << " white caption pixels";
    };
    EXPECT_EQ(dlg.DoModal(), IDOK);
    ASSERT_TRUE(pShot);

    // The picture where neither button nor caption covers it; slice 0 of the strip on the button.
    for (const POINT& pt : { POINT{ 52, 20 }, POINT{ 10, 110 }, POINT{ 95, 60 } })
        EXPECT_EQ(pShot->At(kAt.x + pt.x, kAt.y + pt.y), Pixel(picture.Get(), pt.x, pt.y)) << pt.x << "," << pt.y;
    for (const POINT& pt : { POINT{ 0, 0 }, POINT{ 74, 63 }, POINT{ 40, 10 } })
        EXPECT_EQ(pShot->At(kAt.x + 14 + pt.x, kAt.y + 44 + pt.y), Pixel(strip.Get(), pt.x, pt.y)) << pt.x << "," << pt.y;

    // For people: Wine maps Z: to the Unix root.
    const wchar_t* pszPath = ::GetFileAttributesA("Z:\\tmp") != INVALID_FILE_ATTRIBUTES ? L"Z:\\tmp\\kova-skin-test.png"
                                                                                          : L"kova-skin-test.png";
    EXPECT_TRUE(SavePng(pShot->Bitmap(), pszPath));
}
