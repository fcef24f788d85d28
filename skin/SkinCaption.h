// The painting of the skinned pop-ups: the background picture, then one caption drawn as a
// filled glyph path (white, bold "Times New Roman" 13, anti-aliased), smooth on any picture.
#pragma once

#include <windows.h>

#include "framework/GdiPlus.h"

class CCaptionFaces;   // skin/CaptionFaces.h

// How the caption is drawn: em size in pixels (13 at 96 dpi), the band it must fit (0: no
// limit, neither wrapped nor shortened), the family (null: "Times New Roman") and the colour.
constexpr Gdiplus::REAL CAPTION_EM_SIZE = 13.0f;
struct SkinCaptionStyle {
    Gdiplus::REAL fEmSize = CAPTION_EM_SIZE;
    // In a band, a caption too wide is drawn smaller, not below this, then cut with "…".
    Gdiplus::REAL fBandWidth = 0.0f;
    Gdiplus::REAL fMinEmSize = CAPTION_EM_SIZE * 9.0f / 13.0f;
    LPCWSTR pszFamily = nullptr;
    Gdiplus::ARGB argb = 0xFFFFFFFF;
    // Not transparent: the caption sits on a plain band of this colour (high contrast).
    Gdiplus::ARGB argbBand = 0;
    // Where the family is found (the picture store's); null: made for each drawing.
    CCaptionFaces* pFaces = nullptr;
};

// The WM_PAINT of a pop-up. pBackground (may be null) is drawn at (0, 0, nWidth, nHeight);
// pszCaption (may be null) is centred on pOrigin->X with its top at pOrigin->Y, on one line.
// No origin: the background only.
void PaintSkinCaption(HWND hWnd, Gdiplus::GpImage* pBackground, INT nWidth, INT nHeight, LPCWSTR pszCaption,
                      const Gdiplus::PointF* pOrigin, const SkinCaptionStyle& rStyle = SkinCaptionStyle());

// The same onto any device context. Ok, or the status of the first step that failed (that
// step drew nothing; the later ones still ran). pBounds, when given, gets where the caption's
// path ended up (empty when none).
Gdiplus::GpStatus DrawSkinCaption(HDC hDC, Gdiplus::GpImage* pBackground, INT nWidth, INT nHeight,
                                  LPCWSTR pszCaption, const Gdiplus::PointF* pOrigin,
                                  const SkinCaptionStyle& rStyle = SkinCaptionStyle(), Gdiplus::RectF* pBounds = nullptr);
// How far beyond its path's bounds a caption changes pixels: anti-aliasing reaches a pixel
// past the path, the high-contrast band its pad further.
Gdiplus::REAL SkinCaptionReach(const SkinCaptionStyle& rStyle);
