#include "PixelFinal.h"

#include <math.h>

#include <algorithm>

namespace kovabench {

namespace {

bool Matches(const Colours& colours, const Colours& wanted, const std::vector<size_t>& points)
{
    for (const size_t i : points)
        if (i >= colours.size() || i >= wanted.size() || colours[i] != wanted[i])
            return false;
    return !points.empty();
}

} // namespace

FinalColours LearnFinal(const std::vector<PixelFrame>& frames, double dEndMs, double dQuietMs)
{
    FinalColours final;
    if (frames.empty())
        return final;
    final.desktop = frames.front().colours;
    final.colours = frames.back().colours;
    for (size_t i = 0; i < final.colours.size() && i < final.desktop.size(); ++i)
    {
        // The last frame in which this point took its present colour.
        double dSettledMs = frames.front().dMs;
        for (size_t f = 1; f < frames.size(); ++f)
            if (frames[f].colours[i] != frames[f - 1].colours[i])
                dSettledMs = frames[f].dMs;
        if (final.colours[i] != final.desktop[i] && dEndMs - dSettledMs >= dQuietMs)
            final.points.push_back(i);
    }
    return final;
}

bool IsFinal(const Colours& colours, const FinalColours& final)
{
    return Matches(colours, final.colours, final.points);
}

bool IsDesktop(const Colours& colours, const FinalColours& final)
{
    return Matches(colours, final.desktop, final.points);
}

FinalTiming TimeFinal(const std::vector<PixelFrame>& frames, const FinalColours& final)
{
    FinalTiming timing;
    timing.dFinalMs = timing.dFirstChangeMs = NAN;
    bool bWasFinal = false;
    for (const PixelFrame& frame : frames)
    {
        if (isnan(timing.dFirstChangeMs))
            for (const size_t i : final.points)
                if (i < frame.colours.size() && frame.colours[i] != final.desktop[i])
                {
                    timing.dFirstChangeMs = frame.dMs;
                    break;
                }
        const bool bFinal = IsFinal(frame.colours, final);
        if (!bFinal && !isnan(timing.dFirstChangeMs))
        {
            const bool bForeign = std::any_of(final.points.begin(), final.points.end(), [&](size_t i) {
                return i < frame.colours.size() && frame.colours[i] != final.desktop[i] &&
                       frame.colours[i] != final.colours[i];
            });
            ++(bForeign ? timing.nForeign : timing.nPartial);
        }
        if (bFinal && !bWasFinal)
            timing.dFinalMs = frame.dMs;
        else if (!bFinal && bWasFinal)
            ++timing.nLeft;
        bWasFinal = bFinal;
    }
    timing.bFinal = bWasFinal;
    if (!bWasFinal)
        timing.dFinalMs = NAN;
    return timing;
}

} // namespace kovabench
