#include "skin/PictureScale.h"

#include <cstdint>
#include <iterator>

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
