// The embedded skin archive against its sources: the member list and layout texts as
// res/skin holds them, read both by an independent walk (what we ship) and by the program's
// own reader (what Kova reads); the pictures as GDI+ decodes them (sizes, pixel formats, the
// backgrounds' hard alpha outline).
#include "support/ResTestUtil.h"
#include "res/resource.h"
#include "skin/SkinArchive.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

namespace {

// A file of the source tree, whole; empty when unreadable.
std::string SourceFile(const std::string& strRelative)
{
    std::ifstream in(std::string(KOVA_SOURCE_DIR) + "/res/skin/" + strRelative, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> MemberList()
{
    std::vector<std::string> names;
    std::string strLine;
    for (std::istringstream in(SourceFile("members.txt")); std::getline(in, strLine);)
        if (!strLine.empty())
            names.push_back(strLine.back() == '\r' ? strLine.substr(0, strLine.size() - 1) : strLine);
    return names;
}

// The pictures drawn again per larger scale: the two backgrounds, then the six strips.
const int kScales[] = {150, 200, 300};
const char* const kScaledBases[] = {"W1x_map", "W3x_map", "4alloff", "4bluetooth", "4bluetooth_off",
                                    "4wifi", "4wifi_off", "4wifiandbt"};

std::string Scaled(int scale, const std::string& base) { return "image/x" + std::to_string(scale) + "/" + base + ".png"; }

// Halves round up: 257 at 150 % is 386.
UINT ScaledSize(UINT n, int scale) { return (n * scale + 50) / 100; }

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
        ASSERT_TRUE(LoadSkinArchive(m_archive));
    }
    void TearDown() override { ReleaseSkinArchive(m_archive); }

    restest::Bytes m_tar;
    std::vector<restest::TarMember> m_members;
    std::map<std::string, restest::TarMember> m_byName;
    kfw::CGdiplusSession m_gdiplus;
    SkinArchive m_archive;
};

TEST_F(SkinTar, IsAGnuArchiveOfTheMembersInOrder)
{
    const std::vector<std::string> expected = MemberList();
    ASSERT_GT(expected.size(), 20u);
    EXPECT_EQ(0u, m_tar.size % 10240) << "GNU tar pads to whole records";
    std::vector<std::string> names, read;
    for (const restest::TarMember& m : m_members)
        names.push_back(m.name);
    EXPECT_EQ(expected, names);
    ASSERT_FALSE(m_members.empty());
    EXPECT_EQ('5', m_members[0].type);
    EXPECT_EQ(0u, m_members[0].size);
    for (size_t i = 1; i < m_members.size(); ++i) {
        EXPECT_EQ('0', m_members[i].type) << m_members[i].name;
        EXPECT_GT(m_members[i].size, 0u) << m_members[i].name;
    }

    // The program's walk and table agree, member by member.
    const TarWalkResult walk = WalkTar(m_tar.p, m_tar.size);
    for (const TarMember& m : walk.members)
        read.push_back(m.strName);
    EXPECT_EQ(expected, read);
    EXPECT_EQ(walk.eEnd, TarEnd::EndBlock);
    ASSERT_EQ(m_archive.size(), expected.size());
    for (const TarMember& m : walk.members) {
        const SkinArchiveEntry* pEntry = FindSkinEntry(m_archive, m.strName.c_str());
        ASSERT_NE(pEntry, nullptr) << m.strName;
        EXPECT_EQ(pEntry->cbBytes, m.cbData) << m.strName;
        EXPECT_EQ(GetSkinStream(m_archive, m.strName.c_str()) != nullptr, m.cbData != 0) << m.strName;
    }
    EXPECT_EQ(GetSkinStream(m_archive, "image/"), nullptr);
}

TEST_F(SkinTar, LayoutTextsAreByteExact)
{
    int nTexts = 0;   // the layouts of three, one and no fitted radios
    for (const std::string& name : MemberList()) {
        if (name.size() < 4 || name.compare(name.size() - 4, 4, ".txt") != 0)
            continue;
        ++nTexts;
        SCOPED_TRACE(name);
        const std::string text = SourceFile(name);
        ASSERT_FALSE(text.empty());
        auto it = m_byName.find(name);
        ASSERT_NE(m_byName.end(), it);
        EXPECT_EQ(text, std::string(reinterpret_cast<const char*>(it->second.data), it->second.size));
        const SkinArchiveEntry* pEntry = FindSkinEntry(m_archive, name.c_str());
        ASSERT_NE(pEntry, nullptr);
        uint32_t uSize = 0;
        ASSERT_TRUE(ParseTarSize(pEntry->abyHeader, &uSize));
        ASSERT_EQ(uSize, pEntry->cbBytes);
        EXPECT_EQ(text, std::string(reinterpret_cast<const char*>(pEntry->pbyBytes), pEntry->cbBytes));
    }
    EXPECT_EQ(nTexts, 7);
}

struct PictureCase {
    std::string name;
    bool png;
    UINT width, height;
    bool alpha = true;   // PNG only
};

const PictureCase k1xPictures[] = {
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

// Scaled backgrounds keep their alpha; scaled strips are opaque PNG of four whole slices.
std::vector<PictureCase> Pictures()
{
    std::vector<PictureCase> cases(std::begin(k1xPictures), std::end(k1xPictures));
    for (int scale : kScales) {
        cases.push_back({Scaled(scale, "W1x_map"), true, ScaledSize(104, scale), ScaledSize(156, scale)});
        cases.push_back({Scaled(scale, "W3x_map"), true, ScaledSize(257, scale), ScaledSize(201, scale)});
        for (size_t i = 2; i < std::size(kScaledBases); ++i)   // the strips
            cases.push_back({Scaled(scale, kScaledBases[i]), true, 4 * ScaledSize(75, scale), ScaledSize(64, scale),
                             false});
    }
    return cases;
}

TEST_F(SkinTar, PicturesHaveTheirFormatAndSize)
{
    for (const PictureCase& c : Pictures()) {
        SCOPED_TRACE(c.name);
        auto it = m_byName.find(c.name);
        ASSERT_NE(m_byName.end(), it);
        const restest::TarMember& m = it->second;
        ASSERT_GE(m.size, 54u);
        if (c.png) {
            // IHDR: 8 bits per channel, colour type 6 (RGBA) or 2 (RGB).
            ASSERT_EQ(0, std::memcmp(m.data, "\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16));
            EXPECT_EQ(8, m.data[24]);
            EXPECT_EQ(c.alpha ? 6 : 2, m.data[25]);
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
        EXPECT_EQ(c.png && c.alpha ? PixelFormat32bppARGB : PixelFormat24bppRGB, format);
    }
}

// Through the program's streams, twice each: the second decode must see the member from its
// first byte again.
TEST_F(SkinTar, EveryPictureDecodesFromItsStreamAtItsSize)
{
    for (const PictureCase& c : k1xPictures) {
        for (int nPass = 0; nPass < 2; ++nPass) {
            kfw::CGdipBitmap bitmap;
            ASSERT_EQ(kfw::gdip::GdipCreateBitmapFromStream(GetSkinStream(m_archive, c.name.c_str()), bitmap.Put()),
                      Gdiplus::Ok) << c.name;
            UINT cx = 0, cy = 0;
            kfw::gdip::GdipGetImageWidth(bitmap.Get(), &cx);
            kfw::gdip::GdipGetImageHeight(bitmap.Get(), &cy);
            EXPECT_EQ(cx, c.width) << c.name;
            EXPECT_EQ(cy, c.height) << c.name;
        }
    }
}

struct BackgroundCase {
    std::string name;
    int runs;                   // opaque runs over all rows (window-region rectangles); 0: any
    bool oneRunPerRow;
    std::vector<RECT> opaque;   // where buttons and captions sit
};

// Places of the scaled rectangles, rounded outwards.
RECT ScaledRect(const RECT& r, int scale)
{
    return {r.left * scale / 100, r.top * scale / 100, (r.right * scale + 99) / 100, (r.bottom * scale + 99) / 100};
}

TEST_F(SkinTar, BackgroundAlphaIsAHardOutlineAroundButtonsAndCaption)
{
    std::vector<BackgroundCase> cases = {
        {"image/W3x_map.png", 254, false,
         {{14, 87, 89, 151}, {91, 87, 166, 151}, {168, 87, 243, 151}, {20, 166, 237, 188}}},
        {"image/W1x_map.png", 156, true, {{14, 44, 89, 108}, {10, 124, 94, 144}}},
        {"image/3x_map.png", 0, false, {{14, 87, 243, 151}}},
        {"image/1x_map.png", 0, false, {{14, 44, 89, 108}}},
        {"image/W2x_map.png", 0, false, {}},
        {"image/Wmap2.png", 0, false, {}},
    };
    for (int scale : kScales) {
        for (size_t i = 0; i < 2; ++i) {
            BackgroundCase c = {Scaled(scale, i ? "W1x_map" : "W3x_map"), 0, i == 1, cases[i].opaque};
            for (RECT& r : c.opaque)
                r = ScaledRect(r, scale);
            cases.push_back(c);
        }
    }
    for (const BackgroundCase& c : cases) {
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

// Mean brightness of one w x h slice, and the largest blue excess (B - R) in it.
struct SliceStats {
    double mean = 0;
    int blueExcess = -255;
};

SliceStats Stats(const std::vector<uint32_t>& px, UINT slice, UINT w, UINT h)
{
    SliceStats s;
    for (UINT y = 0; y < h; ++y) {
        for (UINT x = slice * w; x < slice * w + w; ++x) {
            uint32_t p = px[y * 4 * w + x];
            int r = (p >> 16) & 255, g = (p >> 8) & 255, b = p & 255;
            s.mean += (r + g + b) / 3.0;
            s.blueExcess = std::max(s.blueExcess, b - r);
        }
    }
    s.mean /= w * h;
    return s;
}

TEST_F(SkinTar, StripsHaveNormalLighterDarkerDimmedSlicesInTheirColours)
{
    const std::pair<const char*, bool> kStrips[] = {   // base name, coloured
        {"4wifiandbt", true},  {"4wifi", true},      {"4bluetooth", true},
        {"4alloff", false},    {"4wifi_off", false}, {"4bluetooth_off", false},
    };
    for (int scale : {100, 150, 200, 300}) {
        for (const auto& [base, coloured] : kStrips) {
            std::string name = scale == 100 ? std::string("image/") + base + ".bmp" : Scaled(scale, base);
            SCOPED_TRACE(name);
            auto it = m_byName.find(name);
            ASSERT_NE(m_byName.end(), it);
            kfw::CGdipBitmap bitmap = restest::DecodeBitmap(it->second.data, it->second.size);
            ASSERT_TRUE(bitmap);
            UINT w = ScaledSize(75, scale), h = ScaledSize(64, scale);
            std::vector<uint32_t> px = restest::ReadArgb(bitmap.Get(), 4 * w, h);
            ASSERT_EQ(4u * w * h, px.size());
            SliceStats normal = Stats(px, 0, w, h), lighter = Stats(px, 1, w, h), darker = Stats(px, 2, w, h),
                       dimmed = Stats(px, 3, w, h);
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
}

} // namespace
