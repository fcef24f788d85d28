// The picture scale to draw from at a DPI, and its member names, by table.
#include <gtest/gtest.h>

#include <vector>

#include "skin/PictureScale.h"

namespace {

TEST(PictureScale, TheScaleIsTheNearestAtOrAboveThenLargerThenSmaller)
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
    EXPECT_EQ(UnscaledSize(386, 150), 257);
    EXPECT_EQ(UnscaledSize(113, 150), 75);
    EXPECT_EQ(UnscaledSize(225, 300), 75);
}

} // namespace
