// The pop-ups' caption painting, rendered into memory and read back pixel by pixel.
#include "SkinDialogKit.h"

#include "skin/SkinCaption.h"

using namespace kovatest;

namespace {

const uint32_t kBackground = 0x203040;   // the test picture, RGB
const uint32_t kWhite = 0xFFFFFF;
const uint32_t kMagenta = 0xFF00FF;

// A top-down 32-bit DIB selected into a memory DC, filled with one colour.
class CCanvas {
public:
    CCanvas(int nWidth, int nHeight, uint32_t rgbFill) : m_nWidth(nWidth), m_nHeight(nHeight)
    {
        BITMAPINFO bmi = {};
        bmi.bmiHeader = { sizeof(BITMAPINFOHEADER), nWidth, -nHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0 };
        m_hBitmap.Reset(::CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, reinterpret_cast<void**>(&m_pBits), nullptr, 0));
        m_hDC.Reset(::CreateCompatibleDC(nullptr));
        m_hOld = ::SelectObject(m_hDC.Get(), m_hBitmap.Get());
        std::fill_n(m_pBits, nWidth * nHeight, rgbFill);
    }
    ~CCanvas() { ::SelectObject(m_hDC.Get(), m_hOld); }
    CCanvas(const CCanvas&) = delete;
    CCanvas& operator=(const CCanvas&) = delete;

    HDC DC() const { return m_hDC.Get(); }
    uint32_t At(int x, int y) const
    {
        ::GdiFlush();
        return m_pBits[y * m_nWidth + x] & 0xFFFFFF;
    }

    // The box of the pixels that are not rgb, and how many there are.
    struct Changes {
        int nLeft = INT_MAX, nTop = INT_MAX, nRight = -1, nBottom = -1;
        int cChanged = 0, cWhite = 0, cBlended = 0, cOffLine = 0;
    };
    Changes ChangedFrom(uint32_t rgb) const
    {
        Changes ch;
        for (int y = 0; y < m_nHeight; ++y)
            for (int x = 0; x < m_nWidth; ++x)
            {
                const uint32_t px = At(x, y);
                if (px == rgb)
                    continue;
                ++ch.cChanged;
                ch.nLeft = std::min(ch.nLeft, x);
                ch.nTop = std::min(ch.nTop, y);
                ch.nRight = std::max(ch.nRight, x + 1);
                ch.nBottom = std::max(ch.nBottom, y + 1);
                if (px == kWhite)
                    ++ch.cWhite;
                else
                    ++ch.cBlended;
                // White over the picture blends every channel up from the picture's.
                for (int shift : { 0, 8, 16 })
                    if (((px >> shift) & 0xFF) < ((rgb >> shift) & 0xFF))
                        ++ch.cOffLine;
            }
        return ch;
    }

private:
    int m_nWidth, m_nHeight;
    uint32_t* m_pBits = nullptr;
    kfw::CBitmapH m_hBitmap;
    kfw::CMemDC m_hDC;
    HGDIOBJ m_hOld = nullptr;
};

// Whether GDI+ here smooths the edges of a filled path at all: Wine's fills paths as GDI
// regions, without anti-aliasing, whatever the smoothing mode.
bool FilledPathsAreSmoothed()
{
    CCanvas canvas(40, 40, 0);
    kfw::CGdipGraphics graphics;
    kfw::CGdipPath path;
    kfw::CGdipSolidFill brush;
    kfw::gdip::GdipCreateFromHDC(canvas.DC(), graphics.Put());
    kfw::gdip::GdipSetSmoothingMode(graphics.Get(), Gdiplus::SmoothingModeAntiAlias);
    kfw::gdip::GdipCreatePath(Gdiplus::FillModeAlternate, path.Put());
    kfw::gdip::GdipAddPathEllipse(path.Get(), 5.3f, 5.3f, 29.0f, 29.0f);
    kfw::gdip::GdipCreateSolidFill(0xFFFFFFFF, brush.Put());
    kfw::gdip::GdipFillPath(graphics.Get(), brush.Get(), path.Get());
    graphics.Reset();
    const CCanvas::Changes ch = canvas.ChangedFrom(0);
    return ch.cBlended > 0;
}

class SkinCaption : public SkinDialogFixture {
protected:
    void SetUp() override
    {
        SkinDialogFixture::SetUp();
        m_picture = ImageFromArgb(104, 156, std::vector<Gdiplus::ARGB>(104 * 156, 0xFF000000 | kBackground));
        ASSERT_TRUE(m_picture);
    }
    kfw::CGdipImage m_picture;
};

} // namespace

TEST_F(SkinCaption, IsWhiteAntiAliasedCentredOnXBelowY)
{
    const Gdiplus::PointF origin(52.0f, 127.0f);
    const bool bSmoothed = FilledPathsAreSmoothed();
    for (const char* pszCaption : { "BT/WiFi OFF", "WiFi OFF", "BT OFF" })
    {
        CCanvas canvas(104, 156, kMagenta);
        EXPECT_EQ(DrawSkinCaption(canvas.DC(), m_picture.Get(), 104, 156, pszCaption, &origin), Gdiplus::Ok);
        const CCanvas::Changes ch = canvas.ChangedFrom(kBackground);
        ASSERT_GT(ch.cChanged, 20) << pszCaption;
        EXPECT_GT(ch.cWhite, 0) << pszCaption;
        EXPECT_TRUE(!bSmoothed || ch.cBlended > 0) << pszCaption;   // smooth edges where GDI+ smooths
        EXPECT_EQ(ch.cOffLine, 0) << pszCaption;   // nothing but white blended into the picture
        EXPECT_GE(ch.nTop, 127) << pszCaption;
        EXPECT_LE(ch.nBottom, 127 + 16) << pszCaption;
        EXPECT_NEAR((ch.nLeft + ch.nRight) / 2.0, 52.0, 1.5) << pszCaption << " " << ch.nLeft << ".." << ch.nRight;
    }

    // Characters beyond ASCII come through the ANSI code page: an accent reaches higher.
    CCanvas plain(104, 156, kMagenta), accented(104, 156, kMagenta);
    DrawSkinCaption(plain.DC(), m_picture.Get(), 104, 156, "E", &origin);
    DrawSkinCaption(accented.DC(), m_picture.Get(), 104, 156, "\xC9", &origin);
    EXPECT_LT(accented.ChangedFrom(kBackground).nTop, plain.ChangedFrom(kBackground).nTop);
}

TEST_F(SkinCaption, ALongCaptionIsNeitherWrappedNorShortened)
{
    const Gdiplus::PointF origin(52.0f, 127.0f);
    CCanvas canvas(104, 156, kMagenta);
    DrawSkinCaption(canvas.DC(), m_picture.Get(), 104, 156, "BT/WiFi OFF BT/WiFi OFF BT/WiFi OFF", &origin);
    const CCanvas::Changes ch = canvas.ChangedFrom(kBackground);
    EXPECT_EQ(ch.nLeft, 0);
    EXPECT_EQ(ch.nRight, 104);
    EXPECT_LE(ch.nBottom - ch.nTop, 16);   // one line
}

TEST_F(SkinCaption, WithoutCaptionOrOriginOnlyThePictureIsPainted)
{
    const Gdiplus::PointF origin(52.0f, 127.0f);
    struct Case {
        const char* pszCaption;
        const Gdiplus::PointF* pOrigin;
    };
    for (const Case& c : { Case{ "", &origin }, Case{ nullptr, &origin }, Case{ "BT/WiFi OFF", nullptr } })
    {
        CCanvas canvas(104, 156, kMagenta);
        DrawSkinCaption(canvas.DC(), m_picture.Get(), 104, 156, c.pszCaption, c.pOrigin);
        EXPECT_EQ(canvas.ChangedFrom(kBackground).cChanged, 0) << (c.pszCaption ? c.pszCaption : "null");
    }
}

TEST_F(SkinCaption, WithoutAPictureTheCaptionIsStillDrawn)
{
    const Gdiplus::PointF origin(52.0f, 127.0f);
    CCanvas canvas(104, 156, kMagenta);
    EXPECT_NE(DrawSkinCaption(canvas.DC(), nullptr, 0, 0, "BT/WiFi OFF", &origin), Gdiplus::Ok);
    const CCanvas::Changes ch = canvas.ChangedFrom(kMagenta);
    EXPECT_GT(ch.cWhite, 0);
    EXPECT_GE(ch.nTop, 127);
    EXPECT_EQ(canvas.At(0, 0), kMagenta);
}
