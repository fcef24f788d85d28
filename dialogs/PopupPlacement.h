// Where a pop-up goes on the monitor chosen for it. No Windows header here: this builds and
// tests natively as well.
#pragma once

#include <cstdint>

struct ScreenRect {
    int32_t left, top, right, bottom;
};

// The monitors a pop-up may open on, in the order they are tried.
enum class PopupMonitor { Foreground, Pointer, Primary };
// Top-left corner that centres cx x cy in the work area, halves rounded toward zero.
void CentreIn(const ScreenRect& rcWork, int cx, int cy, int32_t& rx, int32_t& ry);
