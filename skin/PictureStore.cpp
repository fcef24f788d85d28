#include "skin/PictureStore.h"

#include <algorithm>
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

// The application's store, and pStream's place in it; null when either is missing.
CSkinPictureStore* StoreFor(const IStream* pStream)
{
    return pStream && FindSkinEntryByStream(pStream) ? GetSkinPictureStore() : nullptr;
}

// Cut once per picture; every window after the first gets a copy.
void CutOutline(SkinPicture& rPicture)
{
    if (!rPicture.hOutline)
        rPicture.hOutline = CreateSkinOutline(rPicture.image.Get(), 0);
}

} // namespace

std::shared_ptr<SkinPicture> CSkinPictureStore::Find(const IStream* pStream, int nShownDpi) const
{
    const auto it = m_pictures.find(pStream);
    return it != m_pictures.end() && it->second->nShownDpi == nShownDpi ? it->second : nullptr;
}

std::shared_ptr<SkinPicture> GetSkinBackground(IStream* pStream, int nPicturePct, int nDpi)
{
    CSkinPictureStore* pStore = StoreFor(pStream);
    std::shared_ptr<SkinPicture> pPicture = pStore ? pStore->Find(pStream, nDpi) : nullptr;
    if (!pPicture && pStream)
    {
        pPicture = DecodeBackground(pStream, nPicturePct, nDpi);
        if (pPicture && pStore)
            pStore->File(pStream, pPicture);
    }
    return pPicture;
}

kfw::CRgnH CopySkinOutline(SkinPicture& rPicture)
{
    CutOutline(rPicture);
    kfw::CRgnH hRgn(rPicture.hOutline ? ::CreateRectRgn(0, 0, 0, 0) : nullptr);
    if (!hRgn || ::CombineRgn(hRgn.Get(), rPicture.hOutline.Get(), nullptr, RGN_COPY) == ERROR)
        return kfw::CRgnH();
    return hRgn;
}

std::shared_ptr<SkinPicture> FindSkinStill(const IStream* pStream)
{
    const CSkinPictureStore* pStore = StoreFor(pStream);
    return pStore ? pStore->Find(pStream, 0) : nullptr;
}

void FileSkinStill(const IStream* pStream, Gdiplus::GpImage* pImage)
{
    CSkinPictureStore* pStore = StoreFor(pStream);
    Gdiplus::GpImage* pCopy = nullptr;
    if (!pStore || pStore->Find(pStream, 0) || !pImage || kfw::gdip::GdipCloneImage(pImage, &pCopy) != Gdiplus::Ok)
        return;
    auto pPicture = std::make_shared<SkinPicture>();
    pPicture->image = kfw::CGdipImage(pCopy);
    pStore->File(pStream, std::move(pPicture));
}

IStream* GetSkinPictureStream(const SkinArchive& rArchive, const char* pszName, int nDpi, int* pnPct)
{
    for (const int nPct : PictureScaleOrder(nDpi))
    {
        if (IStream* pStream = GetSkinStream(rArchive, ScaledMemberName(pszName, nPct).c_str()))
        {
            *pnPct = nPct;
            return pStream;
        }
    }
    *pnPct = 100;
    return nullptr;
}

IStream* GetSkinPictureStream(const char* pszName, int nDpi, int* pnPct)
{
    const SkinArchive* pArchive = GetSkinArchive();
    if (!pArchive || !pszName)
    {
        *pnPct = 100;
        return nullptr;
    }
    return GetSkinPictureStream(*pArchive, pszName, nDpi, pnPct);
}

bool PrepareSkinBackground(const char* pszName, int nDpi)
{
    nDpi = ClampDpi(nDpi);
    int nPct = 100;
    IStream* pStream = GetSkinPictureStream(pszName, nDpi, &nPct);
    if (!pStream)
        return false;
    const std::shared_ptr<SkinPicture> pPicture = GetSkinBackground(pStream, nPct, nDpi);
    if (!pPicture)
        return false;
    CutOutline(*pPicture);
    return true;
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

