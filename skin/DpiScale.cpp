#include "skin/DpiScale.h"

#include <algorithm>
#include <climits>

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

std::vector<int> PictureScaleOrder(int nDpi)
{
    const int64_t nWanted = static_cast<int64_t>(ClampDpi(nDpi)) * 100;   // percent x 96
    std::vector<int> order;
    for (const int nPct : PICTURE_SCALES)
    {
        if (int64_t(nPct) * DPI_BASE >= nWanted)
            order.push_back(nPct);
    }
    for (auto it = std::rbegin(PICTURE_SCALES); it != std::rend(PICTURE_SCALES); ++it)
    {
        if (int64_t(*it) * DPI_BASE < nWanted)
            order.push_back(*it);
    }
    return order;
}

std::string ScaledMemberName(const std::string& strName, int nScalePct)
{
    if (nScalePct == 100)
        return strName;
    const size_t nSlash = strName.rfind('/');
    const size_t nBase = nSlash == std::string::npos ? 0 : nSlash + 1;
    const size_t nDot = strName.rfind('.');
    const size_t nEnd = nDot == std::string::npos || nDot < nBase ? strName.size() : nDot;
    // The scaled strips are PNGs: a 24-bit BMP at 3x would triple the program.
    return strName.substr(0, nBase) + "x" + std::to_string(nScalePct) + "/" + strName.substr(nBase, nEnd - nBase)
           + ".png";
}

int UnscaledSize(int nPixels, int nScalePct)
{
    if (nScalePct <= 0)
        return nPixels;
    return static_cast<int>((static_cast<int64_t>(nPixels) * 100 + nScalePct / 2) / nScalePct);
}

void CentreIn(const ScreenRect& rcWork, int cx, int cy, int32_t& rx, int32_t& ry)
{
    rx = static_cast<int32_t>(rcWork.left + (static_cast<int64_t>(rcWork.right) - rcWork.left - cx) / 2);
    ry = static_cast<int32_t>(rcWork.top + (static_cast<int64_t>(rcWork.bottom) - rcWork.top - cy) / 2);
}
