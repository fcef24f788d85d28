// The window outline as runs of an alpha grid: rectangles, bounds, and the record's room.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "skin/RegionRuns.h"

namespace {

// '.' alpha 0, '1' alpha 1, '#' alpha 255.
std::vector<uint8_t> Grid(const std::vector<std::string>& rows)
{
    std::vector<uint8_t> alpha;
    for (const std::string& row : rows)
        for (char ch : row)
            alpha.push_back(ch == '.' ? 0 : ch == '1' ? 1 : 255);
    return alpha;
}

const RegionRect kStartBounds = { REGION_BOUND_START, REGION_BOUND_START, 0, 0 };

std::vector<int32_t> Words(const CRegionData& data)
{
    std::vector<int32_t> words(data.Size() / 4);
    std::memcpy(words.data(), data.Data(), data.Size());
    return words;
}

} // namespace

TEST(RegionRuns, RunsOfNonKeyAlphaAreOnePixelHighAndNeverMerged)
{
    struct Case {
        const char* pszWhat;
        std::vector<std::string> rows;
        uint8_t byKey;
        std::vector<RegionRect> rects;
        RegionRect bounds;
    };
    const Case cases[] = {
        { "alpha 1 is inside, 0 outside", { ".1#.#" }, 0, { { 1, 0, 3, 1 }, { 4, 0, 5, 1 } }, { 1, 0, 5, 1 } },
        { "equal rows stay separate", { "##", "##" }, 0, { { 0, 0, 2, 1 }, { 0, 1, 2, 2 } }, { 0, 0, 2, 2 } },
        { "an empty row gives nothing", { "#..", "...", ".##" }, 0, { { 0, 0, 1, 1 }, { 1, 2, 3, 3 } }, { 0, 0, 3, 3 } },
        { "bounds from the opaque extent", { "....", ".#..", "..#.", "...." }, 0, { { 1, 1, 2, 2 }, { 2, 2, 3, 3 } },
          { 1, 1, 3, 3 } },
        { "fully transparent", { "...", "..." }, 0, {}, kStartBounds },
        { "another key", { "#1.#" }, 255, { { 1, 0, 3, 1 } }, { 1, 0, 3, 1 } },
    };
    for (const Case& c : cases)
    {
        const std::vector<uint8_t> alpha = Grid(c.rows);
        const int32_t nWidth = static_cast<int32_t>(c.rows[0].size());
        bool bComplete = false;
        const CRegionData data = CollectAlphaRuns(alpha.data(), nWidth, static_cast<int32_t>(c.rows.size()),
                                                  static_cast<size_t>(nWidth), c.byKey, &bComplete);
        EXPECT_TRUE(bComplete) << c.pszWhat;
        EXPECT_EQ(data.Rects(), c.rects) << c.pszWhat;
        EXPECT_EQ(data.Bounds(), c.bounds) << c.pszWhat;
        const std::vector<int32_t> words = Words(data);
        // RGNDATAHEADER: size, RDH_RECTANGLES, count, region size 0, bounds.
        EXPECT_EQ(std::vector<int32_t>(words.begin(), words.begin() + 4),
                  (std::vector<int32_t>{ 32, 1, static_cast<int32_t>(c.rects.size()), 0 })) << c.pszWhat;
    }
}

TEST(RegionRuns, PaddingBetweenRowsIsNotRead)
{
    const uint8_t alpha[] = { 0, 255, 9, 9, 255, 0, 9, 9 };   // width 2, stride 4
    const CRegionData data = CollectAlphaRuns(alpha, 2, 2, 4, 0);
    EXPECT_EQ(data.Rects(), (std::vector<RegionRect>{ { 1, 0, 2, 1 }, { 0, 1, 1, 2 } }));
}

TEST(RegionRuns, RoomGrowsInStepsOfHundredAndTheWholeRecordIsHandedOver)
{
    struct Case {
        int32_t nRuns;
        uint32_t uCapacity;
    };
    for (const Case& c : { Case{ 0, 100 }, Case{ 1, 100 }, Case{ 100, 100 }, Case{ 101, 200 }, Case{ 200, 200 },
                           Case{ 201, 300 } })
    {
        const std::vector<uint8_t> alpha(static_cast<size_t>(c.nRuns), 255);   // one column, one run a row
        const CRegionData data = CollectAlphaRuns(alpha.data(), 1, c.nRuns, 1, 0);
        EXPECT_EQ(data.Count(), static_cast<uint32_t>(c.nRuns));
        EXPECT_EQ(data.Capacity(), c.uCapacity) << c.nRuns;
        EXPECT_EQ(data.Size(), 32 + 16 * c.uCapacity) << c.nRuns;
        const std::vector<int32_t> words = Words(data);
        if (c.nRuns > 0)
        {
            EXPECT_EQ(data.Rect(static_cast<uint32_t>(c.nRuns - 1)),
                      (RegionRect{ 0, c.nRuns - 1, 1, c.nRuns })) << c.nRuns;
            EXPECT_EQ(data.Bounds(), (RegionRect{ 0, 0, 1, c.nRuns })) << c.nRuns;
        }
        // Unused room is zero, not left-over memory.
        for (size_t i = 8 + 4 * static_cast<size_t>(c.nRuns); i < words.size(); ++i)
            ASSERT_EQ(words[i], 0) << c.nRuns << " word " << i;
    }
}

TEST(RegionRuns, NoPixelsGiveAnEmptyRecordWithStartingBounds)
{
    for (const CRegionData& data : { CollectAlphaRuns(nullptr, 5, 5, 5, 0), CollectAlphaRuns(nullptr, 0, 0, 0, 0) })
    {
        EXPECT_TRUE(data.IsValid());
        EXPECT_EQ(data.Count(), 0u);
        EXPECT_EQ(data.Bounds(), kStartBounds);
        EXPECT_EQ(data.Size(), 1632u);
    }
}

TEST(RegionRuns, SizesAreCountedIn64BitsAndAbsurdGridsAreNotRead)
{
    // Row equal to stride: a packed alpha grid. 65536 x 65536 wraps a 32-bit size_t to 0.
    struct Span { uint64_t uRow, uRows, uStride; size_t cb; bool bOk; };
    for (const Span& c : { Span{ 257, 201, 257, 51657, true }, Span{ 16384, 16384, 16384, 1u << 28, true },
                           Span{ 16385, 1, 16385, 0, false }, Span{ 65536, 65536, 65536, 0, false },
                           Span{ 4, 2, 3, 0, false }, Span{ 1, 3, PTRDIFF_MAX / 2, PTRDIFF_MAX, true },
                           Span{ 2, 3, PTRDIFF_MAX / 2, 0, false } })
    {
        size_t cb = 7;
        const bool bOk = c.uRow == c.uStride ? AlphaGridBytes(c.uRow, c.uRows, &cb)
                                             : GridSpanBytes(c.uRow, c.uRows, c.uStride, &cb);
        EXPECT_EQ(bOk, c.bOk) << c.uRow << " " << c.uRows << " " << c.uStride;
        EXPECT_EQ(cb, c.cb) << c.uRow << " " << c.uRows << " " << c.uStride;
    }
    // Refused grids are not read at all: ASan sees any read past the 16384 bytes, and a stride
    // of SIZE_MAX would wrap the second row to before them on 32 bits.
    const std::vector<uint8_t> alpha(16384, 255);
    struct Grid { int32_t nWidth, nHeight; size_t cbStride; uint32_t cRuns; };
    for (const Grid& g : { Grid{ 16384, 1, 16384, 1 }, Grid{ 16385, 1, 16385, 0 }, Grid{ 1, 16385, 1, 0 },
                           Grid{ -1, 1, 1, 0 }, Grid{ 2, 2, 1, 0 }, Grid{ 1, 2, SIZE_MAX, 0 } })
    {
        bool bComplete = false;
        const CRegionData data = CollectAlphaRuns(alpha.data(), g.nWidth, g.nHeight, g.cbStride, 0, &bComplete);
        EXPECT_EQ(data.Count(), g.cRuns) << g.nWidth << "x" << g.nHeight << " stride " << g.cbStride;
        EXPECT_EQ(bComplete, g.cRuns == 1) << g.nWidth << "x" << g.nHeight << " stride " << g.cbStride;
    }
}
