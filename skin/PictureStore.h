// The skin's pictures: decoded, resampled to the DPI they are shown at, outlined and kept,
// one per member at the DPI last asked for (docs/ARCHITECTURE.md gives the memory it takes).
#pragma once

#include <windows.h>
#include <objidl.h>

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "framework/GdiPlus.h"
#include "framework/Handles.h"
#include "skin/CaptionFaces.h"
#include "skin/SkinArchive.h"

struct SkinPaintCache;   // skin/SkinCaption.cpp

struct SkinPicture {
    kfw::CGdipImage image;   // drawn and copied, never changed
    int nWidth = 0;          // a background's size as shown; a strip's button reads it
    int nHeight = 0;
    int nShownDpi = 0;       // the DPI it was resampled for; 0: a still strip, as drawn
    kfw::CRgnH hOutline;     // a background's outline, cut at its first showing, copied after
    // A background as its pop-up paints it, with its captions; made at its first paint.
    std::shared_ptr<SkinPaintCache> pPainted;
};

// The pictures of one archive's members, filed by member stream (the archive hands out one
// stream per member), and the faces their captions are drawn in. Owned beside the archive
// and emptied before it is released: GDI+ may still read a picture's stream.
class CSkinPictureStore {
public:
    std::shared_ptr<SkinPicture> Find(const IStream* pStream, int nShownDpi) const;
    // Files pPicture for pStream, replacing the one filed before.
    void File(const IStream* pStream, std::shared_ptr<SkinPicture> pPicture) { m_pictures[pStream] = std::move(pPicture); }
    CCaptionFaces& Faces() { return m_faces; }
    void Clear()
    {
        m_pictures.clear();
        m_faces.Clear();
    }

private:
    std::map<const IStream*, std::shared_ptr<SkinPicture>> m_pictures;
    CCaptionFaces m_faces;
};

// Background pStream, drawn at nPicturePct, for showing at nDpi: the one kept when the stream
// is a member of the application's archive, else decoded, resampled and kept there. Null when
// it does not decode; at the size it was drawn at when it cannot be resampled.
std::shared_ptr<SkinPicture> GetSkinBackground(IStream* pStream, int nPicturePct, int nDpi);
// A copy of rPicture's outline for a window to own, cut at the first call; null when none
// can be made.
kfw::CRgnH CopySkinOutline(SkinPicture& rPicture);
// Decodes background pszName of the application's archive for nDpi and cuts its outline,
// unless that is kept already, so that the pop-up showing it first finds both ready. False
// when there is no such picture or it does not decode.
bool PrepareSkinBackground(const char* pszName, int nDpi);

// The still strip kept for pStream, or null.
std::shared_ptr<SkinPicture> FindSkinStill(const IStream* pStream);
// Keeps a copy of still strip pImage, as drawn, for pStream when it is a member of the
// application's archive and has none kept yet.
void FileSkinStill(const IStream* pStream, Gdiplus::GpImage* pImage);

// The stream of skin picture pszName (its 1x member name) for nDpi: the nearest scale at or
// above it, else the next one the archive holds; *pnPct gets the scale found. Null when none.
IStream* GetSkinPictureStream(const SkinArchive& rArchive, const char* pszName, int nDpi, int* pnPct);
IStream* GetSkinPictureStream(const char* pszName, int nDpi, int* pnPct);

// The region of the pixels of pImage whose alpha differs from byKeyAlpha, built from
// one-pixel-high runs; null when pImage has no pixels to read or no record can be made.
kfw::CRgnH CreateSkinOutline(Gdiplus::GpImage* pImage, BYTE byKeyAlpha);
// The alpha of every pixel of pImage, row by row, into rAlpha (resized to width x height).
// ReadImageAlphaLocked locks the bits once (false when the image is no bitmap or cannot be
// locked); ReadImageAlphaPerPixel reads pixel by pixel, and a pixel that cannot be read
// counts as the one before it (opaque black before any). Both are false for a side beyond
// REGION_SIDE_MAX.
bool ReadImageAlphaLocked(Gdiplus::GpImage* pImage, std::vector<uint8_t>& rAlpha, UINT& ruWidth, UINT& ruHeight);
bool ReadImageAlphaPerPixel(Gdiplus::GpImage* pImage, std::vector<uint8_t>& rAlpha, UINT& ruWidth, UINT& ruHeight);

