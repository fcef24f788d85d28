// Display scale by tables: sizes from 96-dpi figures, the picture scale to draw from, and
// centring in a work area.
#include <gtest/gtest.h>

#include <vector>

#include "skin/DpiScale.h"

namespace {

TEST(DpiScale, SizesScaleRoundedAndTheDpiIsClamped)
{
    const struct { int nValue, nDpi, nExpected; } rows[] = {
        { 257, 96, 257 },  { 257, 120, 321 }, { 257, 144, 386 }, { 257, 192, 514 }, { 75, 110, 86 },
        { 75, 168, 131 },  { 14, 144, 21 },   { -100, 144, -150 }, { 0, 480, 0 },
        { 100, 0, 100 },   { 100, -5, 100 },  { 100, 1000, 500 },  { 2147483647, 96, 2147483647 },
        // Beyond an int once scaled: held at its ends, not wrapped.
        { 2147483647, 480, 2147483647 }, { 1073741824, 192, 2147483647 }, { -2147483647 - 1, 480, -2147483647 - 1 },
        { -1073741825, 192, -2147483647 - 1 },
    };
    for (const auto& row : rows)
        EXPECT_EQ(ScaleForDpi(row.nValue, row.nDpi), row.nExpected) << row.nValue << " at " << row.nDpi;
    EXPECT_EQ(UnscaledSize(386, 150), 257);
    EXPECT_EQ(UnscaledSize(113, 150), 75);
    EXPECT_EQ(UnscaledSize(225, 300), 75);
}

TEST(DpiScale, ThePictureScaleIsTheNearestAtOrAboveThenLargerThenSmaller)
{
    const struct { int nDpi; std::vector<int> order; } rows[] = {
        { 96, { 100, 150, 200, 300 } },  { 110, { 150, 200, 300, 100 } }, { 144, { 150, 200, 300, 100 } },
        { 168, { 200, 300, 150, 100 } }, { 192, { 200, 300, 150, 100 } }, { 240, { 300, 200, 150, 100 } },
        { 480, { 300, 200, 150, 100 } }, { 20, { 100, 150, 200, 300 } },
    };
    for (const auto& row : rows)
        EXPECT_EQ(PictureScaleOrder(row.nDpi), row.order) << row.nDpi;
    EXPECT_EQ(ScaledMemberName("image/4wifi.bmp", 100), "image/4wifi.bmp");
    EXPECT_EQ(ScaledMemberName("image/4wifi.bmp", 200), "image/x200/4wifi.png");
    EXPECT_EQ(ScaledMemberName("image/W3x_map.png", 150), "image/x150/W3x_map.png");
    EXPECT_EQ(ScaledMemberName("noslash", 300), "x300/noslash.png");
}

TEST(DpiScale, CentresInTheWorkAreaHalvesTowardZero)
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
