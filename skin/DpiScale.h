// Display scale as plain values: sizes from 96-dpi skin coordinates, which of the skin's
// picture scales to draw from, and where a pop-up goes on the monitor chosen for it.
// No Windows header here: this builds and tests natively as well.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr int DPI_BASE = 96;
constexpr int DPI_MAX = 480;   // 500 %, the most a display setting offers

// A DPI outside 96..480 (zero, negative or absurd when a call fails or lies) is clamped.
int ClampDpi(int nDpi);
// nValue (96-dpi pixels) at nDpi, rounded half away from zero; computed in 64 bits and
// clamped to the range of an int.
int ScaleForDpi(int nValue, int nDpi);

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

struct ScreenRect {
    int32_t left, top, right, bottom;
};

// The monitors a pop-up may open on, in the order they are tried.
enum class PopupMonitor { Foreground, Pointer, Primary };
// Top-left corner that centres cx x cy in the work area, halves rounded toward zero.
void CentreIn(const ScreenRect& rcWork, int cx, int cy, int32_t& rx, int32_t& ry);
