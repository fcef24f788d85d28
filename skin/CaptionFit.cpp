#include "skin/CaptionFit.h"

#include <algorithm>

float FitCaptionEmSize(float fWidth, float fEmSize, float fMinEmSize, float fBand)
{
    if (fBand <= 0.0f || fWidth <= fBand || fWidth <= 0.0f)
        return fEmSize;
    return std::max(fMinEmSize, fEmSize * fBand / fWidth);
}

size_t LongestFittingPrefix(size_t nLength, const std::function<bool(size_t)>& fits,
                            const std::function<bool(size_t)>& isTrail)
{
    size_t nLow = 0;   // known to fit (the empty prefix always counts)
    size_t nHigh = nLength;
    while (nLow < nHigh)
    {
        size_t nMid = nLow + (nHigh - nLow + 1) / 2;
        while (nMid > nLow + 1 && nMid < nLength && isTrail(nMid))
            --nMid;
        if (nMid < nLength && isTrail(nMid))
        {
            // Only a split pair lies above nLow: the prefix that takes it whole is the one
            // left to try.
            const size_t nPast = nMid + 1;
            if (nPast <= nHigh && (nPast == nLength || !isTrail(nPast)) && fits(nPast))
                nLow = nPast;
            else
                nHigh = nMid - 1;
            continue;
        }
        if (fits(nMid))
            nLow = nMid;
        else
            nHigh = nMid - 1;
    }
    return nLow;
}
