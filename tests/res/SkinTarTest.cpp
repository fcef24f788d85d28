// The embedded skin archive: its format, member order, the layout texts byte for byte, and the
// pictures as GDI+ decodes them (sizes, pixel formats, the backgrounds' hard alpha outline).
#include "ResTestUtil.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

namespace {

const char* const kMemberOrder[] = {
    "image/",
    "image/1x_map.png",
    "image/3x_map.png",
    "image/4alloff.bmp",
    "image/4bluetooth.bmp",
    "image/4bluetooth_off.bmp",
    "image/4wifi.bmp",
    "image/4wifiandbt.bmp",
    "image/4wifi_off.bmp",
    "image/btonly_kon_main.txt",
    "image/koff_main.pos.txt",
    "image/kon_main.pos.txt",
    "image/kon_main.txt",
    "image/nall_main.txt",
    "image/nbt_main.txt",
    "image/nwl_main.txt",
    "image/W1x_map.png",
    "image/W2x_map.png",
    "image/W3x_map.png",
    "image/Wmap2.png",
};

class SkinTar : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Found by the type name in lower case, as the program asks for it.
        m_tar = restest::ResourceBytes(nullptr, MAKEINTRESOURCEA(IDR_SKIN_TAR), "tar");
        ASSERT_NE(nullptr, m_tar.p);
        std::string error;
        ASSERT_TRUE(restest::WalkGnuTar(m_tar, m_members, error)) << error;
        for (const restest::TarMember& m : m_members)
            m_byName[m.name] = m;
        ASSERT_TRUE(m_gdiplus.IsStarted());
    }

    restest::Bytes m_tar;
    std::vector<restest::TarMember> m_members;
    std::map<std::string, restest::TarMember> m_byName;
    kfw::CGdiplusSession m_gdiplus;
};

TEST_F(SkinTar, IsAGnuArchiveOfTheTwentyMembersInOrder)
{
    EXPECT_EQ(0u, m_tar.size % 10240) << "GNU tar pads to whole records";
    std::vector<std::string> names;
    for (const restest::TarMember& m : m_members)
        names.push_back(m.name);
    EXPECT_EQ(std::vector<std::string>(std::begin(kMemberOrder), std::end(kMemberOrder)), names);
    ASSERT_FALSE(m_members.empty());
    EXPECT_EQ('5', m_members[0].type);
    EXPECT_EQ(0u, m_members[0].size);
    for (size_t i = 1; i < m_members.size(); ++i) {
        EXPECT_EQ('0', m_members[i].type) << m_members[i].name;
        EXPECT_GT(m_members[i].size, 0u) << m_members[i].name;
    }
}

TEST_F(SkinTar, LayoutTextsAreByteExact)
{
    const std::pair<const char*, const char*> kTexts[] = {
        {"image/kon_main.txt", "1001\timage/4wifiandbt.bmp\r\n1002\timage/4wifi.bmp\r\n1003\timage/4bluetooth.bmp"},
        {"image/btonly_kon_main.txt",
         "1001\timage/4wifiandbt.bmp\r\n1002\timage/4bluetooth.bmp\r\n1003\timage/4wifi.bmp"},
        {"image/kon_main.pos.txt", "1001\t14\t87\t-1\t-1\r\n1002\t91\t87\t-1\t-1\r\n1003\t168\t87\t-1\t-1"},
        {"image/koff_main.pos.txt", "1005\t14\t44\t-1\t-1"},
        {"image/nall_main.txt", "1005\timage/4alloff.bmp"},
        {"image/nbt_main.txt", "1005\timage/4bluetooth_off.bmp"},
        {"image/nwl_main.txt", "1005\timage/4wifi_off.bmp"},
    };
    for (const auto& [name, text] : kTexts) {
        auto it = m_byName.find(name);
        ASSERT_NE(m_byName.end(), it) << name;
        EXPECT_EQ(std::string(text), std::string(reinterpret_cast<const char*>(it->second.data), it->second.size))
            << name;
    }
}

struct PictureCase {
    const char* name;
    bool png;
    UINT width, height;
};

const PictureCase kPictures[] = {
    {"image/1x_map.png", true, 104, 156},
    {"image/3x_map.png", true, 257, 201},
    {"image/W1x_map.png", true, 104, 156},
    {"image/W2x_map.png", true, 182, 186},
    {"image/W3x_map.png", true, 257, 201},
    {"image/Wmap2.png", true, 373, 229},
    {"image/4alloff.bmp", false, 300, 64},
    {"image/4bluetooth.bmp", false, 300, 64},
    {"image/4bluetooth_off.bmp", false, 300, 64},
    {"image/4wifi.bmp", false, 300, 64},
    {"image/4wifiandbt.bmp", false, 300, 64},
    {"image/4wifi_off.bmp", false, 300, 64},
};

TEST_F(SkinTar, PicturesHaveTheirFormatAndSize)
{
    for (const PictureCase& c : kPictures) {
        SCOPED_TRACE(c.name);
        auto it = m_byName.find(c.name);
        ASSERT_NE(m_byName.end(), it);
        const restest::TarMember& m = it->second;
        ASSERT_GE(m.size, 54u);
        if (c.png) {
            // IHDR: 8 bits per channel, colour type 6 (RGBA).
            ASSERT_EQ(0, std::memcmp(m.data, "\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16));
            EXPECT_EQ(8, m.data[24]);
            EXPECT_EQ(6, m.data[25]);
        } else {
            ASSERT_EQ('B', m.data[0]);
            ASSERT_EQ('M', m.data[1]);
            BITMAPINFOHEADER bih;
            std::memcpy(&bih, m.data + sizeof(BITMAPFILEHEADER), sizeof bih);
            EXPECT_EQ(24, bih.biBitCount);
            EXPECT_EQ(static_cast<DWORD>(BI_RGB), bih.biCompression);
        }
        kfw::CGdipBitmap bitmap = restest::DecodeBitmap(m.data, m.size);
        ASSERT_TRUE(bitmap);
        UINT width = 0, height = 0;
        Gdiplus::PixelFormat format = 0;
        kfw::gdip::GdipGetImageWidth(bitmap.Get(), &width);
        kfw::gdip::GdipGetImageHeight(bitmap.Get(), &height);
        kfw::gdip::GdipGetImagePixelFormat(bitmap.Get(), &format);
        EXPECT_EQ(c.width, width);
        EXPECT_EQ(c.height, height);
        EXPECT_EQ(c.png ? PixelFormat32bppARGB : PixelFormat24bppRGB, format);
    }
}

struct BackgroundCase {
    const char* name;
    int runs;                   // opaque runs over all rows (window-region rectangles); 0: any
    bool oneRunPerRow;
    std::vector<RECT> opaque;   // where buttons and captions sit
};

TEST_F(SkinTar, BackgroundAlphaIsAHardOutlineAroundButtonsAndCaption)
{
    const BackgroundCase kCases[] = {
        {"image/W3x_map.png", 254, false,
         {{14, 87, 89, 151}, {91, 87, 166, 151}, {168, 87, 243, 151}, {20, 166, 237, 188}}},
        {"image/W1x_map.png", 156, true, {{14, 44, 89, 108}, {10, 124, 94, 144}}},
        {"image/3x_map.png", 0, false, {{14, 87, 243, 151}}},
        {"image/1x_map.png", 0, false, {{14, 44, 89, 108}}},
        {"image/W2x_map.png", 0, false, {}},
        {"image/Wmap2.png", 0, false, {}},
    };
    for (const BackgroundCase& c : kCases) {
        SCOPED_TRACE(c.name);
        auto it = m_byName.find(c.name);
        ASSERT_NE(m_byName.end(), it);
        kfw::CGdipBitmap bitmap = restest::DecodeBitmap(it->second.data, it->second.size);
        ASSERT_TRUE(bitmap);
        UINT w = 0, h = 0;
        kfw::gdip::GdipGetImageWidth(bitmap.Get(), &w);
        kfw::gdip::GdipGetImageHeight(bitmap.Get(), &h);
        std::vector<uint32_t> px = restest::ReadArgb(bitmap.Get(), w, h);
        ASSERT_EQ(static_cast<size_t>(w) * h, px.size());

        int partial = 0, runs = 0, emptyRows = 0, rowsNotOne = 0;
        for (UINT y = 0; y < h; ++y) {
            int rowRuns = 0;
            bool inside = false;
            for (UINT x = 0; x < w; ++x) {
                uint32_t a = px[y * w + x] >> 24;
                if (a != 0 && a != 255)
                    ++partial;
                if (a && !inside)
                    ++rowRuns;
                inside = a != 0;
            }
            runs += rowRuns;
            emptyRows += rowRuns == 0;
            rowsNotOne += rowRuns != 1;
        }
        EXPECT_EQ(0, partial) << "partial alpha would fray the window region";
        EXPECT_EQ(0, emptyRows);
        if (c.runs) {
            EXPECT_EQ(c.runs, runs);
        }
        if (c.oneRunPerRow) {
            EXPECT_EQ(0, rowsNotOne);
        }
        for (const RECT& r : c.opaque) {
            int holes = 0;
            for (LONG y = r.top; y < r.bottom; ++y)
                for (LONG x = r.left; x < r.right; ++x)
                    holes += (px[y * w + x] >> 24) != 255;
            EXPECT_EQ(0, holes) << r.left << "," << r.top;
        }
    }
}

// Mean brightness of one 75 x 64 slice, and the largest blue excess (B - R) in it.
struct SliceStats {
    double mean = 0;
    int blueExcess = -255;
};

SliceStats Stats(const std::vector<uint32_t>& px, UINT slice)
{
    SliceStats s;
    for (UINT y = 0; y < 64; ++y) {
        for (UINT x = slice * 75; x < slice * 75 + 75; ++x) {
            uint32_t p = px[y * 300 + x];
            int r = (p >> 16) & 255, g = (p >> 8) & 255, b = p & 255;
            s.mean += (r + g + b) / 3.0;
            s.blueExcess = std::max(s.blueExcess, b - r);
        }
    }
    s.mean /= 75 * 64;
    return s;
}

TEST_F(SkinTar, StripsHaveNormalLighterDarkerDimmedSlicesInTheirColours)
{
    const std::pair<const char*, bool> kStrips[] = {   // name, coloured
        {"image/4wifiandbt.bmp", true},  {"image/4wifi.bmp", true},      {"image/4bluetooth.bmp", true},
        {"image/4alloff.bmp", false},    {"image/4wifi_off.bmp", false}, {"image/4bluetooth_off.bmp", false},
    };
    for (const auto& [name, coloured] : kStrips) {
        SCOPED_TRACE(name);
        auto it = m_byName.find(name);
        ASSERT_NE(m_byName.end(), it);
        kfw::CGdipBitmap bitmap = restest::DecodeBitmap(it->second.data, it->second.size);
        ASSERT_TRUE(bitmap);
        std::vector<uint32_t> px = restest::ReadArgb(bitmap.Get(), 300, 64);
        ASSERT_EQ(300u * 64u, px.size());
        SliceStats normal = Stats(px, 0), lighter = Stats(px, 1), darker = Stats(px, 2), dimmed = Stats(px, 3);
        EXPECT_GT(lighter.mean, normal.mean + 5);
        EXPECT_LT(darker.mean, normal.mean - 5);
        EXPECT_LT(dimmed.mean, normal.mean);
        // Coloured buttons are blue; grey ones, and every dimmed slice, are not.
        if (coloured) {
            EXPECT_GT(normal.blueExcess, 100);
        } else {
            EXPECT_LT(normal.blueExcess, 40);
        }
        EXPECT_LT(dimmed.blueExcess, 40);
    }
}

} // namespace
