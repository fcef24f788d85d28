// Centring a pop-up in a work area, by table.
#include <gtest/gtest.h>

#include "dialogs/PopupPlacement.h"

namespace {

TEST(PopupPlacement, CentresInTheWorkAreaHalvesTowardZero)
{
    const struct { ScreenRect rc; int cx, cy; int32_t x, y; } rows[] = {
        { { 0, 0, 1024, 768 }, 257, 201, 383, 283 },     // one monitor: as on the screen
        { { 0, 0, 1024, 768 }, 104, 156, 460, 306 },
        { { 1920, 0, 3840, 1040 }, 386, 302, 2687, 369 },
        { { -1280, 100, 0, 1124 }, 104, 156, -692, 534 },
        { { 0, 0, 100, 100 }, 257, 201, -78, -50 },     // larger than the area
    };
    for (const auto& row : rows)
    {
        int32_t x = 0, y = 0;
        CentreIn(row.rc, row.cx, row.cy, x, y);
        EXPECT_EQ(x, row.x);
        EXPECT_EQ(y, row.y);
    }
}

} // namespace
