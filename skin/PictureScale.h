// The skin's pictures at several scales: which to draw from at a DPI, and their member
// names. No Windows header here: this builds and tests natively as well.
#pragma once

#include <string>
#include <vector>

#include "framework/DpiScale.h"

// The skin's picture scales, in percent: "image/x150/..." and so on beside the 1x members.
constexpr int PICTURE_SCALES[] = { 100, 150, 200, 300 };
// The order to try them at nDpi: the nearest at or above first (sharp when reduced), then
// the larger ones, then the smaller ones, nearest first.
std::vector<int> PictureScaleOrder(int nDpi);
// The member name at a scale: "image/4wifi.bmp" at 200 is "image/x200/4wifi.png"; at 100
// the name as it is.
std::string ScaledMemberName(const std::string& strName, int nScalePct);
// The 96-dpi size of a picture of nPixels drawn at nScalePct, rounded to nearest.
int UnscaledSize(int nPixels, int nScalePct);
