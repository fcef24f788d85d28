// When a pop-up's pixels on the screen are final, decided from a few points read over and
// over from the key press on. No Windows header.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <vector>

namespace kovabench {

// One colour per sampled point, always in the same order.
using Colours = std::vector<uint32_t>;

// A reading of the points, kept only when it differs from the one before; frames[0] is the
// desktop, read before the key.
struct PixelFrame {
    double dMs;
    Colours colours;
};

// What a pop-up finally shows, learned on an untimed opening.
struct FinalColours {
    Colours desktop;               // before the key
    Colours colours;               // at the end
    std::vector<size_t> points;    // those the pop-up changes and that then keep still
};

// Learned from frames read until dEndMs: a point counts when its last colour differs from
// the desktop's and it has not changed for dQuietMs before the end. A point still changing
// then is animated and left out.
FinalColours LearnFinal(const std::vector<PixelFrame>& frames, double dEndMs, double dQuietMs);

// Every learned point shows its final colour / its desktop colour.
bool IsFinal(const Colours& colours, const FinalColours& final);
bool IsDesktop(const Colours& colours, const FinalColours& final);

struct FinalTiming {
    bool bFinal = false;        // the last frame shows the final colours
    double dFinalMs = 0;        // from when on, without a change since
    double dFirstChangeMs = 0;  // the first frame in which a learned point left the desktop's colour
    int nLeft = 0;              // times the final colours were reached and then left again
    // Frames from the first change on that were not final: nPartial showed each learned
    // point in its desktop or its final colour (part of the pop-up not drawn yet); nForeign
    // showed one in a colour of neither (drawn first in another look: a fill, a background
    // before its buttons, a button before its state).
    int nPartial = 0;
    int nForeign = 0;
};
FinalTiming TimeFinal(const std::vector<PixelFrame>& frames, const FinalColours& final);

} // namespace kovabench
