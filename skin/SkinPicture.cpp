#include "skin/SkinPicture.h"

#include <utility>

#include "skin/SkinArchive.h"

std::shared_ptr<SkinPicture> FindSkinPicture(const IStream* pStream, int nShownDpi)
{
    const SkinArchiveEntry* pEntry = FindSkinEntryByStream(pStream);
    if (!pEntry || !pEntry->pPicture || pEntry->pPicture->nShownDpi != nShownDpi)
        return nullptr;
    return pEntry->pPicture;
}

void FileSkinPicture(const IStream* pStream, std::shared_ptr<SkinPicture> pPicture)
{
    if (const SkinArchiveEntry* pEntry = FindSkinEntryByStream(pStream))
        pEntry->pPicture = std::move(pPicture);
}

kfw::CGdipBitmap CopySkinBitmap(Gdiplus::GpImage* pImage)
{
    Gdiplus::GpImage* pCopy = nullptr;
    if (!pImage || kfw::gdip::GdipCloneImage(pImage, &pCopy) != Gdiplus::Ok)
        return kfw::CGdipBitmap();
    return kfw::CGdipBitmap(static_cast<Gdiplus::GpBitmap*>(pCopy));
}

void FileSkinStill(const IStream* pStream, Gdiplus::GpImage* pImage)
{
    const SkinArchiveEntry* pEntry = FindSkinEntryByStream(pStream);
    if (!pEntry || (pEntry->pPicture && pEntry->pPicture->nShownDpi == 0))
        return;
    auto pPicture = std::make_shared<SkinPicture>();
    pPicture->image = kfw::CGdipImage(CopySkinBitmap(pImage).Release());
    if (pPicture->image)
        pEntry->pPicture = std::move(pPicture);
}
