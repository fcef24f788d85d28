// Display scale as plain values: sizes from 96-dpi figures. No Windows header here: this
// builds and tests natively as well. framework/Dpi asks Windows for the DPI.
#pragma once

constexpr int DPI_BASE = 96;
constexpr int DPI_MAX = 480;   // 500 %, the most a display setting offers

// A DPI outside 96..480 (zero, negative or absurd when a call fails or lies) is clamped.
int ClampDpi(int nDpi);
// nValue (96-dpi pixels) at nDpi, rounded half away from zero; computed in 64 bits and
// clamped to the range of an int.
int ScaleForDpi(int nValue, int nDpi);
