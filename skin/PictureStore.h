// The skin's pictures: decoded, resampled to the DPI they are shown at, outlined and kept,
// one per member at the DPI last asked for (docs/ARCHITECTURE.md gives the memory it takes).
#pragma once

#include <windows.h>
#include <objidl.h>

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "framework/GdiPlus.h"
#include "framework/Handles.h"
#include "skin/CaptionFaces.h"
#include "skin/SkinArchive.h"
#include "skin/SkinCaption.h"

struct SkinPaintCache;   // skin/PictureStore.cpp

struct SkinPicture {
    kfw::CGdipImage image;   // drawn and copied, never changed
    int nWidth = 0;          // a background's size as shown; a strip's button reads it
    int nHeight = 0;
    int nShownDpi = 0;       // the DPI it was resampled for; 0: a still strip, as drawn
    kfw::CRgnH hOutline;     // a background's outline, cut at its first showing, copied after
    // A background as its pop-up paints it, with its captions; made at its first paint.
    std::shared_ptr<SkinPaintCache> pPainted;
};

// A button's strip as a button takes it: a still strip shared from the store, or one decoded
// for the button alone (an animation changes its frame, a strip of no store is nobody's).
struct SkinStrip {
    std::shared_ptr<SkinPicture> pStill;
    kfw::CGdipBitmap image;
    kfw::CComPtr<IStream> pImageStream;    // the image's own seek pointer on the borrowed stream
    int nWidth = 0;                        // held to INT_MAX
    int nHeight = 0;
    UINT nFrames = 0;
    std::vector<uint32_t> adwFrameDelays;  // centiseconds, one per frame; only for two or more
    bool bMade = true;                     // false: GDI+ itself failed (not started, no memory)
    bool bStill = false;                   // decoded here and fewer than two frames: may be shared
    Gdiplus::GpImage* Image() const { return pStill ? pStill->image.Get() : image.Get(); }
};

class CSkinPictureStore;

// A picture member as it is asked for: its stream (borrowed from the archive), the scale it was
// drawn at and, found through a store, that store and the member name it is filed under.
// Without a store it is decoded at each use.
struct SkinPictureRef {
    SkinPictureRef() = default;
    // A stream of no store, drawn at nPicturePct.
    explicit SkinPictureRef(IStream* pPicture, int nPicturePct = 100) : pStream(pPicture), nPct(nPicturePct) {}

    IStream* pStream = nullptr;
    int nPct = 100;
    CSkinPictureStore* pStore = nullptr;
    std::string strName;
};

// The pictures of one archive's members, filed by member name, and the faces their captions
// are drawn in. Whoever makes a pop-up hands it the store. Emptied before the archive is
// released: GDI+ may still read a picture's stream.
class CSkinPictureStore {
public:
    // The archive whose members it serves, or null: then it finds none.
    void SetArchive(const SkinArchive* pArchive) { m_pArchive = pArchive; }
    const SkinArchive* GetArchive() const { return m_pArchive; }

    // Picture pszName (its 1x member name) for nDpi, as FindSkinPicture finds it, to be filed here.
    SkinPictureRef FindPicture(const char* pszName, int nDpi);
    // rPicture's background for showing at nDpi: the one kept, else decoded, resampled and kept.
    // Null when it does not decode; at the size it was drawn at when it cannot be resampled.
    std::shared_ptr<SkinPicture> Background(const SkinPictureRef& rPicture, int nDpi);
    // rPicture's strip: a still one kept is shared; one decoded is the caller's, and a copy
    // of it is kept when it is still.
    SkinStrip Strip(const SkinPictureRef& rPicture);
    // Decodes background pszName for nDpi and cuts its outline, unless that is kept already,
    // so that the pop-up showing it first finds both ready. False when there is no such
    // picture or it does not decode.
    bool PrepareBackground(const char* pszName, int nDpi);

    CCaptionFaces& Faces() { return m_faces; }
    // Lets go of every picture and face.
    void Clear()
    {
        m_pictures.clear();
        m_faces.Clear();
    }

private:
    std::shared_ptr<SkinPicture> Find(const std::string& strName, int nShownDpi) const;

    const SkinArchive* m_pArchive = nullptr;
    std::unordered_map<std::string, std::shared_ptr<SkinPicture>> m_pictures;
    CCaptionFaces m_faces;
};

// Background pStream, drawn at nPicturePct, decoded and resampled for showing at nDpi, kept by
// nobody. Null when it does not decode; at the size it was drawn at when it cannot be resampled.
std::shared_ptr<SkinPicture> DecodeSkinBackground(IStream* pStream, int nPicturePct, int nDpi);
// Strip pStream decoded, its frames counted, kept by nobody.
SkinStrip DecodeSkinStrip(IStream* pStream);
// A copy of rPicture's outline for a window to own, cut at the first call; null when none
// can be made.
kfw::CRgnH CopySkinOutline(SkinPicture& rPicture);

// A pop-up's paint with its background, over all of (0, 0, width, height) whatever was there:
// the same pixels as DrawSkinCaption onto black, copied from what rPicture keeps (its painting,
// and the band each of its last SKIN_KEPT_CAPTIONS captions changed on it). A caption it does
// not keep is drawn once and kept, the least recently painted one dropped.
constexpr size_t SKIN_KEPT_CAPTIONS = 4;
enum class SkinCaptionPaint { Copied, Drawn, Failed };
SkinCaptionPaint DrawKeptSkinCaption(HDC hDC, SkinPicture& rPicture, LPCWSTR pszCaption,
                                     const Gdiplus::PointF* pOrigin, const SkinCaptionStyle& rStyle = SkinCaptionStyle());

// Skin picture pszName (its 1x member name) of rArchive for nDpi: the nearest scale at or above
// it, else the next one the archive holds, with the scale found. No stream when none.
SkinPictureRef FindSkinPicture(const SkinArchive& rArchive, const char* pszName, int nDpi);

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

