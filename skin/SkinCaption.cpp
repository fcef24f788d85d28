#include "skin/SkinCaption.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <string>
#include <vector>

#include "framework/Handles.h"
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

// The family of the caption's face: kept by the application's store when there is one, else
// made into rOwned for this drawing.
Gdiplus::GpFontFamily* CaptionFamily(const SkinCaptionStyle& rStyle, kfw::CGdipFontFamily& rOwned)
{
    constexpr WCHAR kFallback[] = L"Times New Roman";
    if (CSkinPictureStore* pStore = GetSkinPictureStore())
    {
        Gdiplus::GpFontFamily* pFamily = rStyle.pszFamily ? pStore->Faces().Find(rStyle.pszFamily) : nullptr;
        return pFamily ? pFamily : pStore->Faces().Find(kFallback);
    }
    namespace gdip = kfw::gdip;
    if (!rStyle.pszFamily || gdip::GdipCreateFontFamilyFromName(rStyle.pszFamily, nullptr, rOwned.Put()) != Gdiplus::Ok)
        gdip::GdipCreateFontFamilyFromName(kFallback, nullptr, rOwned.Put());
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

// DrawSkinCaption, also telling where the caption's path ended up (empty when none).
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

// What a caption's pixels depend on besides its background picture (which keeps them).
struct CaptionKey {
    std::wstring strText;
    std::wstring strFamily;
    bool bAt = false;
    Gdiplus::REAL afAt[2] = {};
    Gdiplus::REAL afSizes[3] = {};   // em size, band width, smallest em size
    Gdiplus::ARGB aArgb[2] = {};     // glyphs, band

    CaptionKey(LPCWSTR pszCaption, const Gdiplus::PointF* pOrigin, const SkinCaptionStyle& rStyle)
        : strText(pszCaption ? pszCaption : L""), strFamily(rStyle.pszFamily ? rStyle.pszFamily : L""),
          bAt(pOrigin != nullptr), afAt{ pOrigin ? pOrigin->X : 0.0f, pOrigin ? pOrigin->Y : 0.0f },
          afSizes{ rStyle.fEmSize, rStyle.fBandWidth, rStyle.fMinEmSize }, aArgb{ rStyle.argb, rStyle.argbBand }
    {
    }
    // Exact: the same figures give the same pixels.
    bool operator==(const CaptionKey& r) const
    {
        return strText == r.strText && strFamily == r.strFamily && bAt == r.bAt
            && std::equal(std::begin(afAt), std::end(afAt), std::begin(r.afAt))
            && std::equal(std::begin(afSizes), std::end(afSizes), std::begin(r.afSizes))
            && std::equal(std::begin(aArgb), std::end(aArgb), std::begin(r.aArgb));
    }
};

// The rectangle a caption changed on the picture, and those pixels as painted.
struct CaptionBand {
    CaptionKey key;
    RECT rc;
    kfw::CBitmapH hBitmap;
};

} // namespace

// Bitmaps in the format of the DC painted first, so that a copy is the very pixels GDI+ would
// have blended there.
struct SkinPaintCache {
    kfw::CBitmapH hPainted;            // the picture alone, painted over black
    std::vector<CaptionBand> bands;    // most recently painted first
};

namespace {

// A bitmap like hDC's, black, selected into a memory DC while the canvas lives.
class CBlackCanvas {
public:
    CBlackCanvas(HDC hDC, int cx, int cy)
        : m_hDC(::CreateCompatibleDC(hDC)), m_hBitmap(::CreateCompatibleBitmap(hDC, cx, cy))
    {
        if (!m_hDC || !m_hBitmap)
            return;
        m_hOld = ::SelectObject(m_hDC.Get(), m_hBitmap.Get());
        const RECT rc = { 0, 0, cx, cy };
        ::FillRect(m_hDC.Get(), &rc, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
    }
    ~CBlackCanvas() { Deselect(); }
    CBlackCanvas(const CBlackCanvas&) = delete;
    CBlackCanvas& operator=(const CBlackCanvas&) = delete;

    bool IsValid() const { return m_hOld != nullptr; }
    HDC DC() const { return m_hDC.Get(); }
    // The bitmap, to be kept after the canvas goes.
    kfw::CBitmapH Take()
    {
        Deselect();
        return std::move(m_hBitmap);
    }

private:
    void Deselect()
    {
        if (m_hOld)
            ::SelectObject(m_hDC.Get(), m_hOld);
        m_hOld = nullptr;
    }

    kfw::CMemDC m_hDC;
    kfw::CBitmapH m_hBitmap;
    HGDIOBJ m_hOld = nullptr;
};

// Copies hBitmap (the memory DC's for the call) to hDC at (x, y).
void Blit(HDC hDC, HDC hMemDC, HBITMAP hBitmap, const RECT& rc)
{
    kfw::CScopedSelect select(hMemDC, hBitmap);
    ::BitBlt(hDC, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, hMemDC, 0, 0, SRCCOPY);
}

} // namespace

Gdiplus::GpStatus DrawSkinCaption(HDC hDC, Gdiplus::GpImage* pBackground, INT nWidth, INT nHeight,
                                  LPCWSTR pszCaption, const Gdiplus::PointF* pOrigin, const SkinCaptionStyle& rStyle)
{
    Gdiplus::RectF bounds;
    return DrawCaption(hDC, pBackground, nWidth, nHeight, pszCaption, pOrigin, rStyle, bounds);
}

void PaintSkinCaption(HWND hWnd, Gdiplus::GpImage* pBackground, INT nWidth, INT nHeight, LPCWSTR pszCaption,
                      const Gdiplus::PointF* pOrigin, const SkinCaptionStyle& rStyle)
{
    kfw::CPaintDC dc(hWnd);
    DrawSkinCaption(dc.Get(), pBackground, nWidth, nHeight, pszCaption, pOrigin, rStyle);
}

SkinCaptionPaint DrawKeptSkinCaption(HDC hDC, SkinPicture& rPicture, LPCWSTR pszCaption,
                                     const Gdiplus::PointF* pOrigin, const SkinCaptionStyle& rStyle)
{
    const int cx = rPicture.nWidth, cy = rPicture.nHeight;
    Gdiplus::GpImage* pImage = rPicture.image.Get();
    auto drawDirectly = [&] {
        const RECT rc = { 0, 0, cx, cy };
        ::FillRect(hDC, &rc, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
        DrawSkinCaption(hDC, pImage, cx, cy, pszCaption, pOrigin, rStyle);
        return SkinCaptionPaint::Failed;
    };
    kfw::CMemDC hMemDC(::CreateCompatibleDC(hDC));
    if (!hMemDC)
        return drawDirectly();
    if (!rPicture.pPainted)
        rPicture.pPainted = std::make_shared<SkinPaintCache>();
    SkinPaintCache& cache = *rPicture.pPainted;
    Gdiplus::RectF bounds;
    if (!cache.hPainted)
    {
        CBlackCanvas painted(hDC, cx, cy);
        if (!painted.IsValid() || DrawCaption(painted.DC(), pImage, cx, cy, nullptr, nullptr, rStyle, bounds) != Gdiplus::Ok)
            return drawDirectly();
        cache.hPainted = painted.Take();
    }

    SkinCaptionPaint eResult = SkinCaptionPaint::Copied;
    const bool bCaption = pOrigin && pszCaption && *pszCaption;
    const CaptionKey key(pszCaption, pOrigin, rStyle);
    auto it = std::find_if(cache.bands.begin(), cache.bands.end(), [&](const CaptionBand& b) { return b.key == key; });
    if (bCaption && it == cache.bands.end())
    {
        // Drawn whole as DrawSkinCaption draws it, then only the rectangle it can have
        // changed kept: anti-aliasing reaches a pixel past the path, the high-contrast band
        // its pad further.
        CBlackCanvas whole(hDC, cx, cy);
        if (!whole.IsValid() || DrawCaption(whole.DC(), pImage, cx, cy, pszCaption, pOrigin, rStyle, bounds) != Gdiplus::Ok)
            return drawDirectly();
        const Gdiplus::REAL fReach = 2.0f + ((rStyle.argbBand >> 24) != 0 ? BandPad(rStyle) : 0.0f);
        CaptionBand band{ key, RECT{}, kfw::CBitmapH() };
        if (bounds.Width > 0.0f && bounds.Height > 0.0f)
        {
            band.rc = { std::max(0, static_cast<int>(std::floor(bounds.X - fReach))),
                        std::max(0, static_cast<int>(std::floor(bounds.Y - fReach))),
                        std::min(cx, static_cast<int>(std::ceil(bounds.GetRight() + fReach))),
                        std::min(cy, static_cast<int>(std::ceil(bounds.GetBottom() + fReach))) };
        }
        if (band.rc.right > band.rc.left && band.rc.bottom > band.rc.top)
        {
            CBlackCanvas copy(hDC, band.rc.right - band.rc.left, band.rc.bottom - band.rc.top);
            if (!copy.IsValid())
                return drawDirectly();
            ::BitBlt(copy.DC(), 0, 0, band.rc.right - band.rc.left, band.rc.bottom - band.rc.top, whole.DC(),
                     band.rc.left, band.rc.top, SRCCOPY);
            band.hBitmap = copy.Take();
        }
        if (cache.bands.size() >= SKIN_KEPT_CAPTIONS)
            cache.bands.pop_back();
        cache.bands.insert(cache.bands.begin(), std::move(band));
        it = cache.bands.begin();
        eResult = SkinCaptionPaint::Drawn;
    }
    else if (bCaption)
    {
        std::rotate(cache.bands.begin(), it, it + 1);   // the most recent first
        it = cache.bands.begin();
    }

    Blit(hDC, hMemDC.Get(), cache.hPainted.Get(), RECT{ 0, 0, cx, cy });
    if (bCaption && it->hBitmap)
        Blit(hDC, hMemDC.Get(), it->hBitmap.Get(), it->rc);
    return eResult;
}
