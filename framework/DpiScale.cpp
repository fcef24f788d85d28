#include "framework/DpiScale.h"

#include <algorithm>
#include <climits>
#include <cstdint>

int ClampDpi(int nDpi)
{
    return std::clamp(nDpi, DPI_BASE, DPI_MAX);
}

int ScaleForDpi(int nValue, int nDpi)
{
    const int64_t nScaled = static_cast<int64_t>(nValue) * ClampDpi(nDpi);
    const int64_t nHalf = DPI_BASE / 2;
    const int64_t nRounded = nScaled >= 0 ? (nScaled + nHalf) / DPI_BASE : (nScaled - nHalf) / DPI_BASE;
    // Up to 5x an int's range: held to what an int can say rather than wrapped.
    return static_cast<int>(std::clamp<int64_t>(nRounded, INT_MIN, INT_MAX));
}
