// Skin pictures decoded once and kept with their archive entry, so that a pop-up opened
// again shares or copies them instead of decoding, resampling and cutting them again. An
// entry keeps one picture, at the DPI last asked for, so the memory is bounded by the skin's
// pictures at one scale: the pop-ups' eight take about 0.8 MiB at 96 dpi and 1.7 MiB at 144.
// A background its pop-up painted also keeps that painting and its last few captions
// (skin/SkinCaption.h): at most about 0.4 MiB more at 96 dpi and 0.85 MiB at 144.
#pragma once

#include <windows.h>
#include <objidl.h>

#include <memory>

#include "framework/GdiPlus.h"
#include "framework/Handles.h"

struct SkinPaintCache;   // skin/SkinCaption.cpp

struct SkinPicture {
    kfw::CGdipImage image;   // drawn and copied, never changed
    int nWidth = 0;          // a background's size as shown; a strip's button reads it
    int nHeight = 0;
    int nShownDpi = 0;       // the DPI it was resampled for; 0: as drawn
    kfw::CRgnH hOutline;     // a background's outline, cut at its first showing, copied after
    // A background as its pop-up paints it, with its captions; made at its first paint.
    mutable std::shared_ptr<SkinPaintCache> pPainted;
};

// The picture filed for pStream at nShownDpi; null when none is, or pStream is no member of
// the application's archive.
std::shared_ptr<SkinPicture> FindSkinPicture(const IStream* pStream, int nShownDpi);
// Files pPicture for pStream, replacing the one filed before; nothing when pStream is no
// member of the application's archive.
void FileSkinPicture(const IStream* pStream, std::shared_ptr<SkinPicture> pPicture);
// A copy of pImage (a bitmap), for a window that changes it or for filing; null when GDI+
// cannot make one.
kfw::CGdipBitmap CopySkinBitmap(Gdiplus::GpImage* pImage);
// Files a copy of still picture pImage, as drawn, for pStream when it is a member of the
// application's archive and has none filed yet.
void FileSkinStill(const IStream* pStream, Gdiplus::GpImage* pImage);
