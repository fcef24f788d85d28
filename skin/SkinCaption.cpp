#include "skin/SkinCaption.h"

#include <string>

#include "framework/Handles.h"
#include "skin/CaptionFaces.h"
#include "skin/CaptionFit.h"

namespace {

// The plain band of high contrast reaches this far beyond the glyphs.
Gdiplus::REAL BandPad(const SkinCaptionStyle& rStyle)
{
    return rStyle.fEmSize / 6.0f;
}

// Keeps the first failure; later steps still run.
class CFirstFailure {
public:
    void operator<<(Gdiplus::GpStatus status)
    {
        if (m_status == Gdiplus::Ok)
            m_status = status;
    }
    Gdiplus::GpStatus Get() const { return m_status; }

private:
    Gdiplus::GpStatus m_status = Gdiplus::Ok;
};

// The family of the caption's face: kept by the style's faces when it has them, else made
// into rOwned for this drawing.
Gdiplus::GpFontFamily* CaptionFamily(const SkinCaptionStyle& rStyle, kfw::CGdipFontFamily& rOwned)
{
    constexpr WCHAR FALLBACK_FACE[] = L"Times New Roman";
    if (CCaptionFaces* pFaces = rStyle.pFaces)
    {
        Gdiplus::GpFontFamily* pFamily = rStyle.pszFamily ? pFaces->Find(rStyle.pszFamily) : nullptr;
        return pFamily ? pFamily : pFaces->Find(FALLBACK_FACE);
    }
    namespace gdip = kfw::gdip;
    if (!rStyle.pszFamily || gdip::GdipCreateFontFamilyFromName(rStyle.pszFamily, nullptr, rOwned.Put()) != Gdiplus::Ok)
        gdip::GdipCreateFontFamilyFromName(FALLBACK_FACE, nullptr, rOwned.Put());
    return rOwned.Get();
}

// The caption's path at fEmSize, and its width; false when GDI+ made none.
bool AddCaptionPath(CFirstFailure& rFailure, Gdiplus::GpPath* pPath, const std::wstring& strText,
                    Gdiplus::GpFontFamily* pFamily, Gdiplus::REAL fEmSize, const Gdiplus::PointF& origin,
                    Gdiplus::GpStringFormat* pFormat, Gdiplus::REAL* pfWidth)
{
    namespace gdip = kfw::gdip;
    gdip::GdipResetPath(pPath);
    // Width and height 0: no wrapping; centred on x, running down from y.
    const Gdiplus::RectF layout(origin.X, origin.Y, 0.0f, 0.0f);
    const Gdiplus::GpStatus status = gdip::GdipAddPathString(pPath, strText.c_str(), static_cast<INT>(strText.size()),
                                                             pFamily, Gdiplus::FontStyleBold, fEmSize, &layout, pFormat);
    rFailure << status;
    Gdiplus::RectF bounds;
    if (status != Gdiplus::Ok || gdip::GdipGetPathWorldBounds(pPath, &bounds, nullptr, nullptr) != Gdiplus::Ok)
        return false;
    *pfWidth = bounds.Width;
    return true;
}

// DrawSkinCaption, telling where the caption's path ended up.
Gdiplus::GpStatus DrawCaption(HDC hDC, Gdiplus::GpImage* pBackground, INT nWidth, INT nHeight, LPCWSTR pszCaption,
                              const Gdiplus::PointF* pOrigin, const SkinCaptionStyle& rStyle, Gdiplus::RectF& rBounds)
{
    namespace gdip = kfw::gdip;
    CFirstFailure failure;

    // Released in reverse: path, format, brush, family, graphics.
    kfw::CGdipGraphics graphics;
    failure << gdip::GdipCreateFromHDC(hDC, graphics.Put());
    if (!graphics)
        return failure.Get();
    failure << gdip::GdipSetSmoothingMode(graphics.Get(), Gdiplus::SmoothingModeAntiAlias);
    failure << gdip::GdipDrawImageRectRectI(graphics.Get(), pBackground, 0, 0, nWidth, nHeight, 0, 0, nWidth, nHeight,
                                            Gdiplus::UnitPixel, nullptr, nullptr, nullptr);

    kfw::CGdipFontFamily ownedFamily;
    Gdiplus::GpFontFamily* pFamily = CaptionFamily(rStyle, ownedFamily);
    if (!pFamily)
        failure << Gdiplus::FontFamilyNotFound;
    kfw::CGdipSolidFill brush;
    failure << gdip::GdipCreateSolidFill(rStyle.argb, brush.Put());
    kfw::CGdipStringFormat format;
    failure << gdip::GdipCreateStringFormat(0, LANG_NEUTRAL, format.Put());
    failure << gdip::GdipSetStringFormatAlign(format.Get(), Gdiplus::StringAlignmentCenter);
    kfw::CGdipPath path;
    failure << gdip::GdipCreatePath(Gdiplus::FillModeAlternate, path.Put());

    if (pOrigin && pszCaption && *pszCaption && path)
    {
        const std::wstring strText = pszCaption;
        Gdiplus::REAL fWidth = 0.0f;
        if (AddCaptionPath(failure, path.Get(), strText, pFamily, rStyle.fEmSize, *pOrigin, format.Get(), &fWidth)
            && rStyle.fBandWidth > 0.0f && fWidth > rStyle.fBandWidth)
        {
            const float fEm = FitCaptionEmSize(fWidth, rStyle.fEmSize, rStyle.fMinEmSize, rStyle.fBandWidth);
            AddCaptionPath(failure, path.Get(), strText, pFamily, fEm, *pOrigin, format.Get(), &fWidth);
            if (fWidth > rStyle.fBandWidth)
            {
                auto fits = [&](size_t n) {
                    Gdiplus::REAL fCut = 0.0f;
                    return AddCaptionPath(failure, path.Get(), strText.substr(0, n) + L"\u2026", pFamily, fEm,
                                          *pOrigin, format.Get(), &fCut) && fCut <= rStyle.fBandWidth;
                };
                auto isTrail = [&](size_t i) { return strText[i] >= 0xDC00 && strText[i] <= 0xDFFF; };
                const size_t n = LongestFittingPrefix(strText.size(), fits, isTrail);
                AddCaptionPath(failure, path.Get(), strText.substr(0, n) + L"\u2026", pFamily, fEm, *pOrigin,
                               format.Get(), &fWidth);
            }
        }
    }
    Gdiplus::RectF& bounds = rBounds;
    bounds = Gdiplus::RectF();
    if (path && gdip::GdipGetPathWorldBounds(path.Get(), &bounds, nullptr, nullptr) != Gdiplus::Ok)
        bounds = Gdiplus::RectF();
    if ((rStyle.argbBand >> 24) != 0 && bounds.Width > 0.0f)
    {
        const Gdiplus::REAL fPad = BandPad(rStyle);
        kfw::CGdipSolidFill band;
        failure << gdip::GdipCreateSolidFill(rStyle.argbBand, band.Put());
        failure << gdip::GdipFillRectangle(graphics.Get(), band.Get(), bounds.X - fPad, bounds.Y - fPad,
                                           bounds.Width + 2 * fPad, bounds.Height + 2 * fPad);
    }
    failure << gdip::GdipFillPath(graphics.Get(), brush.Get(), path.Get());
    return failure.Get();
}

} // namespace

Gdiplus::REAL SkinCaptionReach(const SkinCaptionStyle& rStyle)
{
    return 2.0f + ((rStyle.argbBand >> 24) != 0 ? BandPad(rStyle) : 0.0f);
}

Gdiplus::GpStatus DrawSkinCaption(HDC hDC, Gdiplus::GpImage* pBackground, INT nWidth, INT nHeight,
                                  LPCWSTR pszCaption, const Gdiplus::PointF* pOrigin, const SkinCaptionStyle& rStyle,
                                  Gdiplus::RectF* pBounds)
{
    Gdiplus::RectF bounds;
    return DrawCaption(hDC, pBackground, nWidth, nHeight, pszCaption, pOrigin, rStyle, pBounds ? *pBounds : bounds);
}

void PaintSkinCaption(HWND hWnd, Gdiplus::GpImage* pBackground, INT nWidth, INT nHeight, LPCWSTR pszCaption,
                      const Gdiplus::PointF* pOrigin, const SkinCaptionStyle& rStyle)
{
    kfw::CPaintDC dc(hWnd);
    DrawSkinCaption(dc.Get(), pBackground, nWidth, nHeight, pszCaption, pOrigin, rStyle);
}
