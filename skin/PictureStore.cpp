#include "skin/PictureStore.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <iterator>
#include <new>
#include <utility>

#include "framework/LinkedCalls.h"
#include "framework/DpiScale.h"
#include "skin/PictureScale.h"
#include "skin/RegionRuns.h"


namespace {

// Unlocks bits locked by GdipBitmapLockBits at the end of the scope.
class CScopedBitsLock {
public:
    CScopedBitsLock(Gdiplus::GpBitmap* pBitmap, UINT uWidth, UINT uHeight) : m_pBitmap(pBitmap), m_data{}
    {
        Gdiplus::Rect rc(0, 0, static_cast<INT>(uWidth), static_cast<INT>(uHeight));
        m_bLocked = kfw::gdip::GdipBitmapLockBits(pBitmap, &rc, Gdiplus::ImageLockModeRead,
                                                  PixelFormat32bppARGB, &m_data) == Gdiplus::Ok;
    }
    ~CScopedBitsLock()
    {
        if (m_bLocked)
            kfw::gdip::GdipBitmapUnlockBits(m_pBitmap, &m_data);
    }
    CScopedBitsLock(const CScopedBitsLock&) = delete;
    CScopedBitsLock& operator=(const CScopedBitsLock&) = delete;

    bool IsLocked() const { return m_bLocked; }
    const Gdiplus::BitmapData& Data() const { return m_data; }

private:
    Gdiplus::GpBitmap* m_pBitmap;
    Gdiplus::BitmapData m_data;
    bool m_bLocked = false;
};

void GetImageSize(Gdiplus::GpImage* pImage, UINT& ruWidth, UINT& ruHeight)
{
    ruWidth = ruHeight = 0;
    if (kfw::gdip::GdipGetImageWidth(pImage, &ruWidth) != Gdiplus::Ok
        || kfw::gdip::GdipGetImageHeight(pImage, &ruHeight) != Gdiplus::Ok)
        ruWidth = ruHeight = 0;
}

// The picture drawn at nPicturePct, shown at nDpi: reduced once here, so that the outline
// is cut from the picture as it is shown and every paint is a plain copy. Null when it does
// not decode; at the size it was drawn at when it cannot be resampled.
std::shared_ptr<SkinPicture> DecodeBackground(IStream* pStream, int nPicturePct, int nDpi)
{
    auto pPicture = std::make_shared<SkinPicture>();
    if (kfw::gdip::GdipLoadImageFromStream(pStream, pPicture->image.Put()) != Gdiplus::Ok || !pPicture->image)
        return nullptr;
    UINT uWidth = 0, uHeight = 0;
    GetImageSize(pPicture->image.Get(), uWidth, uHeight);
    pPicture->nWidth = static_cast<int>(uWidth);
    pPicture->nHeight = static_cast<int>(uHeight);
    pPicture->nShownDpi = nDpi;

    const int cx = ScaleForDpi(UnscaledSize(pPicture->nWidth, nPicturePct), nDpi);
    const int cy = ScaleForDpi(UnscaledSize(pPicture->nHeight, nPicturePct), nDpi);
    if ((cx == pPicture->nWidth && cy == pPicture->nHeight) || cx <= 0 || cy <= 0)
        return pPicture;
    kfw::CGdipBitmap scaled;
    kfw::CGdipGraphics graphics;
    if (kfw::gdip::GdipCreateBitmapFromScan0(cx, cy, 0, PixelFormat32bppARGB, nullptr, scaled.Put()) != Gdiplus::Ok
        || kfw::gdip::GdipGetImageGraphicsContext(scaled.Get(), graphics.Put()) != Gdiplus::Ok)
        return pPicture;
    kfw::gdip::GdipSetInterpolationMode(graphics.Get(), Gdiplus::InterpolationModeHighQualityBicubic);
    kfw::gdip::GdipSetPixelOffsetMode(graphics.Get(), Gdiplus::PixelOffsetModeHighQuality);
    if (kfw::gdip::GdipDrawImageRectRectI(graphics.Get(), pPicture->image.Get(), 0, 0, cx, cy, 0, 0,
                                          pPicture->nWidth, pPicture->nHeight, Gdiplus::UnitPixel, nullptr, nullptr,
                                          nullptr) != Gdiplus::Ok)
        return pPicture;
    graphics.Reset();
    pPicture->image = kfw::CGdipImage(scaled.Release());
    pPicture->nWidth = cx;
    pPicture->nHeight = cy;
    return pPicture;
}

// Cut once per picture; every window after the first gets a copy.
void CutOutline(SkinPicture& rPicture)
{
    if (!rPicture.hOutline)
        rPicture.hOutline = CreateSkinOutline(rPicture.image.Get(), 0);
}

// PropertyTagFrameDelay: one 32-bit delay per frame, in hundredths of a second.
constexpr PROPID PROPERTY_TAG_FRAME_DELAY = 0x5100;

// rStrip's size, frames and, for two or more, their delays. An allocation that fails means no
// animation, never an exception out of a window procedure (the layout loader runs inside
// WM_INITDIALOG).
void MeasureStrip(SkinStrip& rStrip)
{
    namespace gdip = kfw::gdip;
    Gdiplus::GpImage* const pImage = rStrip.Image();
    UINT cx = 0;
    UINT cy = 0;
    gdip::GdipGetImageWidth(pImage, &cx);
    gdip::GdipGetImageHeight(pImage, &cy);
    // GDI+ draws with int sizes; a larger one is held to INT_MAX rather than turned negative.
    rStrip.nWidth = static_cast<int>(std::min<UINT>(cx, INT_MAX));
    rStrip.nHeight = static_cast<int>(std::min<UINT>(cy, INT_MAX));
    try
    {
        UINT nDims = 0;
        gdip::GdipImageGetFrameDimensionsCount(pImage, &nDims);
        if (nDims == 0)
            return;
        std::vector<GUID> aDims(nDims);
        if (gdip::GdipImageGetFrameDimensionsList(pImage, aDims.data(), nDims) != Gdiplus::Ok)
            return;
        gdip::GdipImageGetFrameCount(pImage, aDims.data(), &rStrip.nFrames);
        rStrip.bStill = rStrip.nFrames < 2 && rStrip.image;
        if (rStrip.nFrames < 2)
            return;

        UINT cbItem = 0;
        if (gdip::GdipGetPropertyItemSize(pImage, PROPERTY_TAG_FRAME_DELAY, &cbItem) != Gdiplus::Ok ||
            cbItem < sizeof(Gdiplus::PropertyItem))
            return;
        // PropertyItem wants pointer alignment; its value follows it in the same buffer.
        std::vector<uint64_t> aBuffer((cbItem + sizeof(uint64_t) - 1) / sizeof(uint64_t));
        auto* pItem = reinterpret_cast<Gdiplus::PropertyItem*>(aBuffer.data());
        if (gdip::GdipGetPropertyItem(pImage, PROPERTY_TAG_FRAME_DELAY, cbItem, pItem) != Gdiplus::Ok ||
            !pItem->value)
            return;
        // A short list is fine (missing frames get the default delay); never read past it.
        const size_t cDelays = pItem->length / sizeof(uint32_t);
        rStrip.adwFrameDelays.resize(cDelays);
        if (cDelays)
            std::memcpy(rStrip.adwFrameDelays.data(), pItem->value, cDelays * sizeof(uint32_t));
    }
    catch (const std::bad_alloc&)
    {
        rStrip.adwFrameDelays.clear();
    }
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

std::shared_ptr<SkinPicture> CSkinPictureStore::Find(const std::string& strName, int nShownDpi) const
{
    const auto it = m_pictures.find(strName);
    return it != m_pictures.end() && it->second->nShownDpi == nShownDpi ? it->second : nullptr;
}

SkinPictureRef CSkinPictureStore::FindPicture(const char* pszName, int nDpi)
{
    SkinPictureRef picture = m_pArchive && pszName ? FindSkinPicture(*m_pArchive, pszName, nDpi) : SkinPictureRef();
    if (picture.pStream)
        picture.pStore = this;
    return picture;
}

std::shared_ptr<SkinPicture> CSkinPictureStore::Background(const SkinPictureRef& rPicture, int nDpi)
{
    std::shared_ptr<SkinPicture> pPicture = Find(rPicture.strName, nDpi);
    if (!pPicture)
    {
        pPicture = DecodeSkinBackground(rPicture.pStream, rPicture.nPct, nDpi);
        if (pPicture)
            m_pictures[rPicture.strName] = pPicture;
    }
    return pPicture;
}

SkinStrip CSkinPictureStore::Strip(const SkinPictureRef& rPicture)
{
    // A still strip shown before is drawn from where it is kept, not decoded again: no
    // button changes its strip, and all draw on the one UI thread.
    if (std::shared_ptr<SkinPicture> pStill = Find(rPicture.strName, 0))
    {
        SkinStrip strip;
        strip.pStill = std::move(pStill);
        MeasureStrip(strip);
        return strip;
    }
    SkinStrip strip = DecodeSkinStrip(rPicture.pStream);
    // A copy is filed, so that the one decoded stays the button's own.
    Gdiplus::GpImage* pCopy = nullptr;
    if (strip.bStill && kfw::gdip::GdipCloneImage(strip.image.Get(), &pCopy) == Gdiplus::Ok)
    {
        auto pPicture = std::make_shared<SkinPicture>();
        pPicture->image = kfw::CGdipImage(pCopy);
        m_pictures[rPicture.strName] = std::move(pPicture);
    }
    return strip;
}

bool CSkinPictureStore::PrepareBackground(const char* pszName, int nDpi)
{
    nDpi = ClampDpi(nDpi);
    const SkinPictureRef picture = FindPicture(pszName, nDpi);
    const std::shared_ptr<SkinPicture> pPicture = picture.pStream ? Background(picture, nDpi) : nullptr;
    if (!pPicture)
        return false;
    CutOutline(*pPicture);
    return true;
}

std::shared_ptr<SkinPicture> DecodeSkinBackground(IStream* pStream, int nPicturePct, int nDpi)
{
    return pStream ? DecodeBackground(pStream, nPicturePct, nDpi) : nullptr;
}

SkinStrip DecodeSkinStrip(IStream* pStream)
{
    SkinStrip strip;
    // GDI+ keeps reading from the stream for as long as the bitmap lives (every frame
    // change of a GIF decodes again). The archive hands out one stream per member, so two
    // buttons showing the same member would move each other's seek pointer, possibly from
    // two animation threads at once: give the bitmap a clone with a pointer of its own.
    if (pStream && (FAILED(pStream->Clone(strip.pImageStream.Put())) || !strip.pImageStream))
    {
        pStream->AddRef();
        strip.pImageStream = kfw::CComPtr<IStream>(pStream);
    }
    // A null or undecodable stream leaves no picture. Only GDI+ itself failing (not started,
    // out of memory) means no bitmap object.
    const Gdiplus::GpStatus status = strip.pImageStream
        ? kfw::gdip::GdipCreateBitmapFromStream(strip.pImageStream.Get(), strip.image.Put())
        : Gdiplus::InvalidParameter;
    if (!strip.image)
    {
        strip.pImageStream.Reset();
        strip.bMade = status != Gdiplus::GdiplusNotInitialized && status != Gdiplus::OutOfMemory;
        return strip;
    }
    MeasureStrip(strip);
    return strip;
}

kfw::CRgnH CopySkinOutline(SkinPicture& rPicture)
{
    CutOutline(rPicture);
    kfw::CRgnH hRgn(rPicture.hOutline ? ::CreateRectRgn(0, 0, 0, 0) : nullptr);
    if (!hRgn || ::CombineRgn(hRgn.Get(), rPicture.hOutline.Get(), nullptr, RGN_COPY) == ERROR)
        return kfw::CRgnH();
    return hRgn;
}

SkinPictureRef FindSkinPicture(const SkinArchive& rArchive, const char* pszName, int nDpi)
{
    SkinPictureRef picture;
    for (const int nPct : PictureScaleOrder(nDpi))
    {
        std::string strName = ScaledMemberName(pszName, nPct);
        if (IStream* pStream = GetSkinStream(rArchive, strName.c_str()))
        {
            picture.pStream = pStream;
            picture.nPct = nPct;
            picture.strName = std::move(strName);
            break;
        }
    }
    return picture;
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
        if (!painted.IsValid() || DrawSkinCaption(painted.DC(), pImage, cx, cy, nullptr, nullptr, rStyle, &bounds) != Gdiplus::Ok)
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
        if (!whole.IsValid() || DrawSkinCaption(whole.DC(), pImage, cx, cy, pszCaption, pOrigin, rStyle, &bounds) != Gdiplus::Ok)
            return drawDirectly();
        const Gdiplus::REAL fReach = SkinCaptionReach(rStyle);
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

bool ReadImageAlphaLocked(Gdiplus::GpImage* pImage, std::vector<uint8_t>& rAlpha, UINT& ruWidth, UINT& ruHeight)
{
    ruWidth = ruHeight = 0;
    Gdiplus::ImageType eType = Gdiplus::ImageTypeUnknown;
    if (!pImage || kfw::gdip::GdipGetImageType(pImage, &eType) != Gdiplus::Ok || eType != Gdiplus::ImageTypeBitmap)
        return false;
    UINT uWidth = 0, uHeight = 0;
    GetImageSize(pImage, uWidth, uHeight);
    size_t cbAlpha = 0;
    if (!AlphaGridBytes(uWidth, uHeight, &cbAlpha))
        return false;
    rAlpha.assign(cbAlpha, 0);
    if (rAlpha.empty())
        return true;

    CScopedBitsLock lock(static_cast<Gdiplus::GpBitmap*>(pImage), uWidth, uHeight);
    if (!lock.IsLocked())
        return false;
    const Gdiplus::BitmapData& bits = lock.Data();
    // The stride is negative for bottom-up bits; either way each row offset must fit.
    const int64_t nStride = bits.Stride;
    const auto cbStride = static_cast<uint64_t>(nStride < 0 ? -nStride : nStride);
    size_t cbBits = 0;
    if (!GridSpanBytes(4 * static_cast<uint64_t>(uWidth), uHeight, cbStride, &cbBits))
        return false;
    for (UINT y = 0; y < uHeight; ++y)
    {
        const auto* pRow = static_cast<const uint8_t*>(bits.Scan0) + static_cast<ptrdiff_t>(y * nStride);
        uint8_t* pOut = rAlpha.data() + static_cast<size_t>(y) * uWidth;
        for (UINT x = 0; x < uWidth; ++x)
            pOut[x] = pRow[4 * x + 3];   // ARGB in memory is B, G, R, A
    }
    ruWidth = uWidth;
    ruHeight = uHeight;
    return true;
}

bool ReadImageAlphaPerPixel(Gdiplus::GpImage* pImage, std::vector<uint8_t>& rAlpha, UINT& ruWidth, UINT& ruHeight)
{
    GetImageSize(pImage, ruWidth, ruHeight);
    size_t cbAlpha = 0;
    if (!AlphaGridBytes(ruWidth, ruHeight, &cbAlpha))
    {
        ruWidth = ruHeight = 0;
        return false;
    }
    rAlpha.assign(cbAlpha, 0);
    auto* pBitmap = static_cast<Gdiplus::GpBitmap*>(pImage);
    Gdiplus::ARGB argbLast = 0xFF000000;   // before any pixel was read: opaque black
    for (UINT y = 0; y < ruHeight; ++y)
    {
        for (UINT x = 0; x < ruWidth; ++x)
        {
            Gdiplus::ARGB argb = 0;
            if (kfw::gdip::GdipBitmapGetPixel(pBitmap, static_cast<INT>(x), static_cast<INT>(y), &argb) == Gdiplus::Ok)
                argbLast = argb;
            rAlpha[static_cast<size_t>(y) * ruWidth + x] = static_cast<uint8_t>(argbLast >> 24);
        }
    }
    return true;
}

kfw::CRgnH CreateSkinOutline(Gdiplus::GpImage* pImage, BYTE byKeyAlpha)
{
    if (!pImage)
        return kfw::CRgnH();
    std::vector<uint8_t> alpha;
    UINT uWidth = 0, uHeight = 0;
    try
    {
        // One lock for the whole picture; per pixel only where the bits cannot be locked.
        // A picture too large to outline gets no region, as if it could not be read.
        if (!ReadImageAlphaLocked(pImage, alpha, uWidth, uHeight)
            && !ReadImageAlphaPerPixel(pImage, alpha, uWidth, uHeight))
            return kfw::CRgnH();
    }
    catch (const std::bad_alloc&)
    {
        return kfw::CRgnH();
    }

    // When the record cannot grow, the rectangles gathered so far still make the region.
    const CRegionData data = CollectAlphaRuns(alpha.data(), static_cast<int32_t>(uWidth),
                                              static_cast<int32_t>(uHeight), uWidth, byKeyAlpha);
    if (!data.IsValid())
        return kfw::CRgnH();
    // The size of the whole record, unused room included, as Windows allows.
    return kfw::CRgnH(kfw::g_linked.pfnExtCreateRegion(nullptr, data.Size(), static_cast<const RGNDATA*>(data.Data())));
}

