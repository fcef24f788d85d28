// The image button's decisions, without windows.
#include <gtest/gtest.h>

#include <cstdint>

#include "skin/ButtonLogic.h"

TEST(ButtonLogic, SliceForStateAndHighlight)
{
    struct Row { int nState; uint8_t bHighlight; int nSlice; };
    const Row rows[] = {
        { TPBUTTON_NORMAL, 0, 0 },  { TPBUTTON_NORMAL, 1, 1 },
        { TPBUTTON_HOVERED, 0, 1 }, { TPBUTTON_HOVERED, 1, 1 },
        { TPBUTTON_PRESSED, 0, 2 }, { TPBUTTON_PRESSED, 1, 2 },
        { 3, 0, 0 },                { -1, 1, 1 },   // never the greyed fourth slice
    };
    for (const Row& r : rows)
        EXPECT_EQ(ButtonSliceForState(r.nState, r.bHighlight), r.nSlice)
            << "state " << r.nState << " highlight " << int(r.bHighlight);
    // A one-slice strip wider than INT_MAX / 2 is held within int at the pressed slice.
    EXPECT_EQ(ButtonSliceLeft(2, 26), 52);
    EXPECT_EQ(ButtonSliceLeft(2, 2147483647), 2147483647);
}

TEST(ButtonLogic, SelectedDrawPressesOnlyWithEvenParity)
{
    struct Row { int nState; uint32_t dwParity; bool bSelected; int nAfter; };
    const Row rows[] = {
        { TPBUTTON_NORMAL, 0, true, TPBUTTON_PRESSED },
        { TPBUTTON_HOVERED, 0, true, TPBUTTON_PRESSED },
        { TPBUTTON_NORMAL, 1, true, TPBUTTON_NORMAL },
        { TPBUTTON_HOVERED, 1, true, TPBUTTON_HOVERED },
        { TPBUTTON_PRESSED, 0, false, TPBUTTON_PRESSED },   // an unselected draw releases nothing
        { TPBUTTON_HOVERED, 0, false, TPBUTTON_HOVERED },
    };
    for (const Row& r : rows)
        EXPECT_EQ(ButtonStateForDraw(r.nState, r.dwParity, r.bSelected), r.nAfter)
            << "state " << r.nState << " parity " << r.dwParity << " selected " << r.bSelected;
}

TEST(ButtonLogic, FramesWrapAndDelaysNeverSpin)
{
    EXPECT_EQ(NextAnimationFrame(0, 3), 1u);
    EXPECT_EQ(NextAnimationFrame(2, 3), 0u);
    EXPECT_EQ(NextAnimationFrame(5, 0), 0u);

    const uint32_t adw[] = { 10, 20, 30, 0, 1, 2, 0xFFFFFFFFu };
    struct Row { uint32_t nIndex; size_t cDelays; uint32_t dwMs; };
    const Row rows[] = {
        { 0, 7, 100 }, { 1, 7, 200 }, { 2, 7, 300 },
        { 3, 7, FRAME_DELAY_DEFAULT_MS }, { 4, 7, FRAME_DELAY_DEFAULT_MS },   // 0 and 1 cs
        { 5, 7, 20 },
        { 6, 7, 4294967290u },                         // clamped, not wrapped to a short delay
        { 2, 2, FRAME_DELAY_DEFAULT_MS },              // list shorter than the frames
    };
    for (const Row& r : rows)
        EXPECT_EQ(AnimationFrameDelayMs(adw, r.cDelays, r.nIndex), r.dwMs) << "index " << r.nIndex;
    EXPECT_EQ(AnimationFrameDelayMs(nullptr, 3, 0), FRAME_DELAY_DEFAULT_MS);
}
