// The painting of the skinned pop-ups: the background picture, then one caption drawn as a
// filled glyph path (white, bold "Times New Roman" 13, anti-aliased), smooth on any picture.
#pragma once

#include <windows.h>

#include "framework/GdiPlus.h"

// The WM_PAINT of a pop-up. pBackground (may be null) is drawn at (0, 0, nWidth, nHeight);
// pszCaption (ANSI, may be null) is centred on pOrigin->X with its top at pOrigin->Y, on one
// line, neither wrapped nor shortened. No origin: the background only. fEmSize: the
// caption's em size in pixels (13 at 96 dpi).
constexpr Gdiplus::REAL CAPTION_EM_SIZE = 13.0f;
void PaintSkinCaption(HWND hWnd, Gdiplus::GpImage* pBackground, INT nWidth, INT nHeight, LPCSTR pszCaption,
                      const Gdiplus::PointF* pOrigin, Gdiplus::REAL fEmSize = CAPTION_EM_SIZE);

// The same onto any device context. Ok, or the status of the first step that failed (that
// step drew nothing; the later ones still ran).
Gdiplus::GpStatus DrawSkinCaption(HDC hDC, Gdiplus::GpImage* pBackground, INT nWidth, INT nHeight,
                                  LPCSTR pszCaption, const Gdiplus::PointF* pOrigin,
                                  Gdiplus::REAL fEmSize = CAPTION_EM_SIZE);
