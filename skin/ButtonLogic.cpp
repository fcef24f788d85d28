#include "skin/ButtonLogic.h"

#include <algorithm>
#include <climits>

int ButtonSliceForState(int nState, uint8_t bHighlight)
{
    switch (nState)
    {
    case TPBUTTON_HOVERED:
        return 1;
    case TPBUTTON_PRESSED:
        return 2;
    default:
        return bHighlight ? 1 : 0;
    }
}

int ButtonSliceLeft(int nSlice, int nSliceWidth)
{
    // A one-slice strip wider than INT_MAX / 2 would overflow at the pressed slice.
    const int64_t nLeft = static_cast<int64_t>(nSlice) * nSliceWidth;
    return static_cast<int>(std::clamp<int64_t>(nLeft, INT_MIN, INT_MAX));
}

int ButtonStateForDraw(int nState, uint32_t dwPressParity, bool bSelected)
{
    // A mouse press has already set the pressed state itself; a selected draw with the
    // parity even comes from the keyboard (space bar) or the first press of a pair.
    return (bSelected && dwPressParity == 0) ? TPBUTTON_PRESSED : nState;
}

uint32_t NextAnimationFrame(uint32_t nIndex, uint32_t nFrameCount)
{
    return nFrameCount ? (nIndex + 1) % nFrameCount : 0;
}

uint32_t AnimationFrameDelayMs(const uint32_t* pdwDelays, size_t cDelays, uint32_t nIndex)
{
    if (!pdwDelays || nIndex >= cDelays || pdwDelays[nIndex] <= 1)
        return FRAME_DELAY_DEFAULT_MS;
    // Centiseconds to milliseconds; a delay beyond ~49 days cannot be meant, clamp it.
    const uint32_t dwMax = UINT32_MAX / 10;
    return pdwDelays[nIndex] > dwMax ? dwMax * 10 : pdwDelays[nIndex] * 10;
}
