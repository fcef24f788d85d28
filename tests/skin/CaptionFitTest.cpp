// How a caption fits its band: smaller down to the floor, then cut with no pair split.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "skin/CaptionFit.h"

namespace {

TEST(CaptionFit, ShrinksToTheBandDownToTheFloor)
{
    const struct { float fWidth, fEm, fMin, fBand, fFitted; } rows[] = {
        { 200, 13, 9, 240, 13 },     // fits: unchanged
        { 240, 13, 9, 240, 13 },     // exactly
        { 260, 13, 9, 240, 12 },     // 13 x 240 / 260
        { 520, 13, 9, 240, 9 },      // would be 6: the floor
        { 500, 13, 9, 0, 13 },       // no band
        { 0, 13, 9, 240, 13 },
    };
    for (const auto& row : rows)
        EXPECT_FLOAT_EQ(FitCaptionEmSize(row.fWidth, row.fEm, row.fMin, row.fBand), row.fFitted) << row.fWidth;
}

TEST(CaptionFit, TakesTheLongestPrefixThatFitsWithoutSplittingAPair)
{
    // "ab" + a surrogate pair (2 units) + "cd": widths 1 per unit.
    const std::u16string text = u"ab\U0001F4F6cd";
    auto isTrail = [&](size_t i) { return text[i] >= 0xDC00 && text[i] <= 0xDFFF; };
    const struct { size_t nMax; size_t nLongest; } rows[] = {
        { 0, 0 }, { 1, 1 }, { 2, 2 }, { 3, 2 }, { 4, 4 }, { 5, 5 }, { 6, 6 }, { 9, 6 },
    };
    for (const auto& row : rows)
        EXPECT_EQ(LongestFittingPrefix(text.size(), [&](size_t n) { return n <= row.nMax; }, isTrail), row.nLongest)
            << row.nMax;

    // The pair after "abc": the search narrows onto its lead unit with the pair's end still
    // to try.
    const std::u16string later = u"abc\U0001F600def";
    auto isLaterTrail = [&](size_t i) { return later[i] >= 0xDC00 && later[i] <= 0xDFFF; };
    for (const auto& row : { std::pair<size_t, size_t>{ 4, 3 }, { 5, 5 }, { 6, 6 }, { 8, 8 } })
        EXPECT_EQ(LongestFittingPrefix(later.size(), [&](size_t n) { return n <= row.first; }, isLaterTrail),
                  row.second)
            << row.first;
}

} // namespace
