// The pop-ups' caption painting, rendered into memory and read back pixel by pixel.
#include "support/SkinDialogKit.h"

#include "dialogs/ModeSelection.h"
#include "skin/SkinCaption.h"

using namespace kovatest;

namespace {

const uint32_t kBackground = 0x203040;   // the test picture, RGB
const uint32_t kMagenta = 0xFF00FF;

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
    const Gdiplus::PointF origin(CAPTION_AT_ONE.x, CAPTION_AT_ONE.y);
    const bool bSmoothed = FilledPathsAreSmoothed();
    for (const wchar_t* pszCaption : { L"BT/WiFi OFF", L"WiFi OFF", L"BT OFF" })
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

    // Any character of the text's UTF-16: an accent reaches higher.
    CCanvas plain(104, 156, kMagenta), accented(104, 156, kMagenta);
    DrawSkinCaption(plain.DC(), m_picture.Get(), 104, 156, L"E", &origin);
    DrawSkinCaption(accented.DC(), m_picture.Get(), 104, 156, L"\u00C9", &origin);
    EXPECT_LT(accented.ChangedFrom(kBackground).nTop, plain.ChangedFrom(kBackground).nTop);
}

TEST_F(SkinCaption, ALongCaptionIsNeitherWrappedNorShortenedUnlessItHasABand)
{
    const Gdiplus::PointF origin(CAPTION_AT_ONE.x, CAPTION_AT_ONE.y);
    CCanvas canvas(104, 156, kMagenta);
    DrawSkinCaption(canvas.DC(), m_picture.Get(), 104, 156, L"BT/WiFi OFF BT/WiFi OFF BT/WiFi OFF", &origin);
    const CCanvas::Changes ch = canvas.ChangedFrom(kBackground);
    EXPECT_EQ(ch.nLeft, 0);
    EXPECT_EQ(ch.nRight, 104);
    EXPECT_LE(ch.nBottom - ch.nTop, 16);   // one line

    // In a band 96 wide: one that fits is drawn as without it; longer ones smaller, then cut.
    SkinCaptionStyle band;
    band.fBandWidth = 96.0f;
    for (const wchar_t* pszCaption : { L"BT/WiFi OFF", L"BT/WiFi OFF BT/WiFi", L"BT/WiFi OFF BT/WiFi OFF BT/WiFi OFF" })
    {
        CCanvas free(104, 156, kMagenta), banded(104, 156, kMagenta);
        DrawSkinCaption(free.DC(), m_picture.Get(), 104, 156, pszCaption, &origin);
        DrawSkinCaption(banded.DC(), m_picture.Get(), 104, 156, pszCaption, &origin, band);
        const CCanvas::Changes inBand = banded.ChangedFrom(kBackground);
        EXPECT_GT(inBand.cWhite, 0);
        EXPECT_GE(inBand.nLeft, 4);
        EXPECT_LE(inBand.nRight, 100);
        EXPECT_LE(inBand.nBottom - inBand.nTop, 16);
        const CCanvas::Changes unbanded = free.ChangedFrom(kBackground);
        if (unbanded.nLeft >= 4 && unbanded.nRight <= 100)
        {
            EXPECT_EQ(inBand.cChanged, unbanded.cChanged) << "a caption that fits is drawn as it is";
        }
    }
}

TEST_F(SkinCaption, WithoutCaptionOrOriginOnlyThePictureIsPainted)
{
    const Gdiplus::PointF origin(CAPTION_AT_ONE.x, CAPTION_AT_ONE.y);
    struct Case {
        const wchar_t* pszCaption;
        const Gdiplus::PointF* pOrigin;
    };
    for (const Case& c : { Case{ L"", &origin }, Case{ nullptr, &origin }, Case{ L"BT/WiFi OFF", nullptr } })
    {
        CCanvas canvas(104, 156, kMagenta);
        DrawSkinCaption(canvas.DC(), m_picture.Get(), 104, 156, c.pszCaption, c.pOrigin);
        EXPECT_EQ(canvas.ChangedFrom(kBackground).cChanged, 0) << (c.pszCaption ? c.pszCaption : L"null");
    }
}

TEST_F(SkinCaption, WithoutAPictureTheCaptionIsStillDrawn)
{
    const Gdiplus::PointF origin(CAPTION_AT_ONE.x, CAPTION_AT_ONE.y);
    CCanvas canvas(104, 156, kMagenta);
    EXPECT_NE(DrawSkinCaption(canvas.DC(), nullptr, 0, 0, L"BT/WiFi OFF", &origin), Gdiplus::Ok);
    const CCanvas::Changes ch = canvas.ChangedFrom(kMagenta);
    EXPECT_GT(ch.cWhite, 0);
    EXPECT_GE(ch.nTop, 127);
    EXPECT_EQ(canvas.At(0, 0), kMagenta);
}

TEST_F(SkinCaption, InHighContrastTheCaptionSitsOnAPlainBandInTheSystemColours)
{
    const Gdiplus::PointF origin(CAPTION_AT_ONE.x, CAPTION_AT_ONE.y);
    SkinCaptionStyle style;
    style.argb = 0xFF000000;
    style.argbBand = 0xFFFFFFFF;
    CCanvas canvas(104, 156, kMagenta);
    DrawSkinCaption(canvas.DC(), m_picture.Get(), 104, 156, L"BT OFF", &origin, style);
    int nBlack = 0, nWhite = 0;
    for (int y = 120; y < 150; ++y)
        for (int x = 0; x < 104; ++x)
        {
            nBlack += (canvas.At(x, y) & 0xFFFFFF) == 0;
            nWhite += (canvas.At(x, y) & 0xFFFFFF) == 0xFFFFFF;
        }
    EXPECT_GT(nBlack, 20);
    EXPECT_GT(nWhite, 200);   // the band around the glyphs
    CCanvas plain(104, 156, kMagenta);
    DrawSkinCaption(plain.DC(), m_picture.Get(), 104, 156, L"BT OFF", &origin);
    EXPECT_EQ(canvas.At(52, 60), plain.At(52, 60));   // the picture elsewhere untouched
}

TEST_F(SkinCaption, APopupDrawsEachOfItsLastFourCaptionsOnceThenCopiesTheSamePixels)
{
    // Partly transparent: the pop-up's paint shows it over the black its window is erased to.
    SkinPicture picture;
    picture.image = ImageFromArgb(104, 156, std::vector<Gdiplus::ARGB>(104 * 156, 0xC0000000 | kBackground));
    picture.nWidth = 104;
    picture.nHeight = 156;
    const Gdiplus::PointF origin(CAPTION_AT_ONE.x, CAPTION_AT_ONE.y);
    SkinCaptionStyle plain, contrast;
    contrast.argb = 0xFF000000;
    contrast.argbBand = 0xFFFFFFFF;
    using P = SkinCaptionPaint;
    const struct {
        const wchar_t* pszCaption;
        const SkinCaptionStyle& rStyle;
        P eWanted;
    } rows[] = { { L"BT OFF", plain, P::Drawn },   { L"BT OFF", plain, P::Copied },      { L"BT OFF", contrast, P::Drawn },
                 { L"WiFi OFF", plain, P::Drawn }, { L"BT/WiFi OFF", plain, P::Drawn }, { L"BT OFF", plain, P::Copied },
                 { L"E", plain, P::Drawn },        { L"BT OFF", contrast, P::Drawn },   { L"", plain, P::Copied } };
    for (const auto& row : rows)
    {
        CCanvas expected(104, 156, 0), kept(104, 156, kMagenta);
        DrawSkinCaption(expected.DC(), picture.image.Get(), 104, 156, row.pszCaption, &origin, row.rStyle);
        EXPECT_EQ(DrawKeptSkinCaption(kept.DC(), picture, row.pszCaption, &origin, row.rStyle), row.eWanted) << row.pszCaption;
        EXPECT_EQ(kept.CountDiffering(expected), 0) << row.pszCaption;
    }
}

TEST_F(SkinCaption, TheApplicationKeepsItsFaceInACollectionOfItsOwnWithTheSamePixels)
{
    const Gdiplus::PointF origin(CAPTION_AT_ONE.x, CAPTION_AT_ONE.y);
    CCanvas installed(104, 156, 0), own(104, 156, 0);
    DrawSkinCaption(installed.DC(), m_picture.Get(), 104, 156, L"Current Status : WiFi ON", &origin);
    CSkinPictureStore store;
    SkinCaptionStyle style;
    style.pFaces = &store.Faces();
    EXPECT_EQ(DrawSkinCaption(own.DC(), m_picture.Get(), 104, 156, L"Current Status : WiFi ON", &origin, style), Gdiplus::Ok);
    CCaptionFaces& faces = store.Faces();
    EXPECT_NE(faces.Find(L"Times New Roman"), nullptr);
    const int nOwn = faces.OwnFamilyCount();   // read out once, by the drawing
    EXPECT_GT(nOwn, 0);
    faces.Find(L"No Such Face Kova");          // another face stands in: not read out as this one
    EXPECT_EQ(faces.OwnFamilyCount(), nOwn);
    store.Clear();
    EXPECT_EQ(own.CountDiffering(installed), 0);
}
