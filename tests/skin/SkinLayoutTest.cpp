// The layout-record scanner: the lenient grammar, first record wins, and broken records.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "skin/SkinLayout.h"

namespace {

struct ImageMapScan {
    std::vector<std::pair<int, std::string>> records;
    LayoutScan eLast;
};

ImageMapScan ScanImageMap(const std::string& strText)
{
    ImageMapScan scan;
    CLayoutScanner scanner(strText.data(), strText.size());
    ImageMapRecord record;
    while ((scan.eLast = scanner.NextImageMap(record)) == LayoutScan::Record)
        scan.records.emplace_back(record.nId, record.strImage);
    return scan;
}

std::vector<std::vector<int>> ScanPositions(const std::string& strText, LayoutScan& reLast)
{
    std::vector<std::vector<int>> records;
    CLayoutScanner scanner(strText.data(), strText.size());
    PositionRecord r;
    while ((reLast = scanner.NextPosition(r)) == LayoutScan::Record)
        records.push_back({ r.nId, r.nLeft, r.nTop, r.nRight, r.nBottom });
    return records;
}

} // namespace

TEST(LayoutScanner, AnyWhiteSpaceSeparatesFieldsAndRecords)
{
    const std::vector<std::pair<int, std::string>> stored = {
        { 1001, "image/4wifiandbt.bmp" }, { 1002, "image/4wifi.bmp" }, { 1003, "image/4bluetooth.bmp" } };
    for (const char* pszText : {
             "1001\timage/4wifiandbt.bmp\r\n1002\timage/4wifi.bmp\r\n1003\timage/4bluetooth.bmp",
             "1001\timage/4wifiandbt.bmp\n1002\timage/4wifi.bmp\n1003\timage/4bluetooth.bmp\n",
             "1001 image/4wifiandbt.bmp 1002 image/4wifi.bmp 1003 image/4bluetooth.bmp",
             "\r\n  1001\t\t\timage/4wifiandbt.bmp\r\n\r\n1002\r\nimage/4wifi.bmp\f1003\vimage/4bluetooth.bmp \t\r\n",
             "+1001image/4wifiandbt.bmp 1002image/4wifi.bmp\t1003\timage/4bluetooth.bmp",
         })
    {
        const ImageMapScan scan = ScanImageMap(pszText);
        EXPECT_EQ(scan.records, stored) << pszText;
        EXPECT_EQ(scan.eLast, LayoutScan::End) << pszText;
    }

    LayoutScan eLast;
    EXPECT_EQ(ScanPositions("1001\t14\t87\t-1\t-1\r\n1002\t91\t87\t-1\t-1\r\n1003 +10\n20 110\t\t70", eLast),
              (std::vector<std::vector<int>>{ { 1001, 14, 87, -1, -1 }, { 1002, 91, 87, -1, -1 }, { 1003, 10, 20, 110, 70 } }));
    EXPECT_EQ(eLast, LayoutScan::End);
    EXPECT_EQ(ScanPositions("-2147483648 2147483647 0 -0 +0", eLast),
              (std::vector<std::vector<int>>{ { -2147483647 - 1, 2147483647, 0, 0, 0 } }));
}

TEST(LayoutScanner, EmptyTextHasNoRecords)
{
    for (const char* pszText : { "", " \t\r\n" })
    {
        EXPECT_TRUE(ScanImageMap(pszText).records.empty());
        EXPECT_EQ(ScanImageMap(pszText).eLast, LayoutScan::End);
    }
    CLayoutScanner scanner(nullptr, 0);
    PositionRecord r;
    EXPECT_EQ(scanner.NextPosition(r), LayoutScan::End);
}

TEST(LayoutScanner, FirstRecordWithTheIdWins)
{
    const std::string strText = "1005\timage/first.bmp\r\n1001\tx\r\n1005\timage/second.bmp";
    ImageMapRecord record;
    ASSERT_EQ(FindImageMapRecord(strText.data(), strText.size(), 1005, record), LayoutScan::Record);
    EXPECT_EQ(record.strImage, "image/first.bmp");
    EXPECT_EQ(FindImageMapRecord(strText.data(), strText.size(), 1002, record), LayoutScan::End);
}

TEST(LayoutScanner, NamesUpTo255CharactersAreReadWholeLongerOnesAreRefused)
{
    const std::string strName255(255, 'n');
    ImageMapScan scan = ScanImageMap("7\t" + strName255 + "\r\n8\tnext");
    ASSERT_EQ(scan.records.size(), 2u);
    EXPECT_EQ(scan.records[0].second, strName255);
    EXPECT_EQ(scan.records[1].second, "next");

    scan = ScanImageMap("6\tok\r\n7\t" + std::string(256, 'n') + "\r\n8\tnext");
    EXPECT_EQ(scan.records, (std::vector<std::pair<int, std::string>>{ { 6, "ok" } }));
    EXPECT_EQ(scan.eLast, LayoutScan::Malformed);
    scan = ScanImageMap("7\t" + std::string(100000, 'n'));
    EXPECT_EQ(scan.eLast, LayoutScan::Malformed);
}

TEST(LayoutScanner, ABrokenRecordEndsTheScanWithoutReusingEarlierValues)
{
    struct Case {
        const char* pszText;
        size_t cGood;
    };
    // Image maps: an id without a name, a name without an id, a sign without digits, an id
    // that does not fit an int.
    for (const Case& c : { Case{ "1001\ta\r\n1002", 1 }, Case{ "image/a.bmp 1001", 0 }, Case{ "1 a - b", 1 },
                           Case{ "1 a 2147483648 b", 1 }, Case{ "99999999999999999999 a", 0 } })
    {
        const std::string strText = c.pszText;
        CLayoutScanner scanner(strText.data(), strText.size());
        ImageMapRecord record{ -5, "untouched" };
        size_t cGood = 0;
        LayoutScan eScan;
        while ((eScan = scanner.NextImageMap(record)) == LayoutScan::Record)
            ++cGood;
        EXPECT_EQ(eScan, LayoutScan::Malformed) << c.pszText;
        EXPECT_EQ(cGood, c.cGood) << c.pszText;
        if (cGood == 0)
        {
            EXPECT_EQ(record.strImage, "untouched") << c.pszText;
        }
        // It stays broken: no loop on the same input.
        EXPECT_EQ(scanner.NextImageMap(record), LayoutScan::Malformed) << c.pszText;

        ImageMapRecord found;
        EXPECT_EQ(FindImageMapRecord(strText.data(), strText.size(), 424242, found), LayoutScan::Malformed) << c.pszText;
    }

    // Positions: a field missing at the end, a letter in a number, a second record cut short.
    for (const Case& c : { Case{ "1005\t14\t44\t-1", 0 }, Case{ "1005 14x 44 -1 -1", 0 },
                           Case{ "1001 1 2 3 4\n1002 5", 1 } })
    {
        LayoutScan eLast;
        EXPECT_EQ(ScanPositions(c.pszText, eLast).size(), c.cGood) << c.pszText;
        EXPECT_EQ(eLast, LayoutScan::Malformed) << c.pszText;
    }
}

TEST(LayoutScanner, PlacementKeepsOrSetsTheSizeAndRefusesSizesAndCornersNoControlCanHave)
{
    struct Case { PositionRecord r; std::vector<int> place; };   // x, y, cx, cy, keep size; none: refused
    for (const Case& c : { Case{ { 1001, 14, 87, -1, -1 }, { 14, 87, 0, 0, 1 } },
                           Case{ { 1, -16384, 16384, -1, -1 }, { -16384, 16384, 0, 0, 1 } },
                           // A corner beyond any picture would wrap once scaled for the display.
                           Case{ { 1, INT_MIN, INT_MAX, -1, INT_MIN }, {} }, Case{ { 1, 16385, 0, -1, -1 }, {} },
                           Case{ { 1, 0, -16385, 10, 10 }, {} },
                           Case{ { 1003, 10, 20, 110, 70 }, { 10, 20, 100, 50, 0 } },
                           Case{ { 1, -4, 5, 16380, 5 }, { -4, 5, 16384, 0, 0 } },
                           Case{ { 1, 0, 0, 16385, 1 }, {} }, Case{ { 1, 0, 50, 10, 10 }, {} },
                           Case{ { 1, INT_MIN, 0, INT_MAX, 10 }, {} }, Case{ { 1, 0, INT_MAX, 0, INT_MIN }, {} } })
    {
        ControlPlacement p = {};
        const std::vector<int> place = PlacementFromRecord(c.r, p)
            ? std::vector<int>{ p.x, p.y, p.cx, p.cy, p.bKeepSize } : std::vector<int>{};
        EXPECT_EQ(place, c.place)
            << c.r.nLeft << " " << c.r.nTop << " " << c.r.nRight << " " << c.r.nBottom;
    }
}
