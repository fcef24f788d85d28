// Sizes from 96-dpi figures, by table.
#include <gtest/gtest.h>

#include "framework/DpiScale.h"

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
}

} // namespace
