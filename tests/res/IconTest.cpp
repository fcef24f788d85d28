// Icon groups: which sizes and bit depths each holds, what the stored images really are, and
// that the tray pictures follow the colour rule (white marks on, red marks off).
#include "ResTestUtil.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>

namespace {

using Entry = std::pair<int, int>;   // size in pixels, bits per pixel

struct IconImage {
    int size = 0, bits = 0;
    bool png = false;
    restest::Bytes data;
};

// GRPICONDIR: 6-byte header, then 14-byte entries whose last WORD is the RT_ICON id.
std::vector<IconImage> GroupImages(int id)
{
    std::vector<IconImage> images;
    restest::Bytes g = restest::ResourceBytes(nullptr, MAKEINTRESOURCEA(id), RT_GROUP_ICON);
    if (!g.p || g.size < 6 || restest::Le16(g.p + 2) != 1)
        return images;
    UINT count = restest::Le16(g.p + 4);
    for (UINT i = 0; i < count && 6 + 14 * (i + 1) <= g.size; ++i) {
        const BYTE* e = g.p + 6 + 14 * i;
        IconImage img;
        img.size = e[0] ? e[0] : 256;
        EXPECT_EQ(e[0], e[1]) << "icon " << id << " entry " << i << " is not square";
        img.bits = restest::Le16(e + 6);
        img.data = restest::ResourceBytes(nullptr, MAKEINTRESOURCEA(restest::Le16(e + 12)), RT_ICON);
        img.png = img.data.size > 8 && std::memcmp(img.data.p, "\x89PNG\r\n\x1a\n", 8) == 0;
        images.push_back(img);
    }
    return images;
}

std::set<Entry> Entries(std::initializer_list<int> sizes, std::initializer_list<int> depths)
{
    std::set<Entry> s;
    for (int size : sizes)
        for (int bits : depths)
            s.insert({size, bits});
    return s;
}

TEST(ResourceIcons, GroupsHoldTheSizesAndDepthsAndTheImagesMatchTheirEntries)
{
    std::set<Entry> app = Entries({16, 24, 32, 48}, {4, 8, 32});
    app.insert({256, 32});
    const std::pair<int, std::set<Entry>> kGroups[] = {
        {IDR_MAINFRAME, app},
        {IDI_TRAY_BOTH_ON, Entries({16}, {4, 8, 32})},
        {IDI_TRAY_BOTH_OFF, Entries({16}, {4, 8, 32})},
        {IDI_TRAY_BT_ON, Entries({16}, {4, 8, 32})},
        {IDI_TRAY_BT_OFF, Entries({16}, {4, 8, 32})},
        {IDI_TRAY_WLAN_ON, Entries({16}, {4, 8, 32})},
        {IDI_TRAY_WLAN_OFF, Entries({16}, {4, 8, 32})},
    };
    for (const auto& [id, expected] : kGroups) {
        SCOPED_TRACE("icon " + std::to_string(id));
        std::vector<IconImage> images = GroupImages(id);
        std::set<Entry> got;
        for (const IconImage& img : images) {
            got.insert({img.size, img.bits});
            ASSERT_NE(nullptr, img.data.p);
            if (img.png) {
                // Only the 256-pixel picture is stored as PNG: 8-bit RGBA.
                ASSERT_GE(img.data.size, 33u);
                EXPECT_EQ(256, img.size);
                EXPECT_EQ(256u, restest::Be32(img.data.p + 16));
                EXPECT_EQ(256u, restest::Be32(img.data.p + 20));
                EXPECT_EQ(8, img.data.p[24]);
                EXPECT_EQ(6, img.data.p[25]);
                continue;
            }
            ASSERT_GE(img.data.size, sizeof(BITMAPINFOHEADER));
            BITMAPINFOHEADER bih;
            std::memcpy(&bih, img.data.p, sizeof bih);
            EXPECT_EQ(img.size, bih.biWidth);
            EXPECT_EQ(2 * img.size, bih.biHeight);   // XOR picture and AND mask
            EXPECT_EQ(img.bits, bih.biBitCount);
            EXPECT_EQ(static_cast<DWORD>(BI_RGB), bih.biCompression);
        }
        EXPECT_EQ(images.size(), got.size()) << "duplicate entries";
        EXPECT_EQ(expected, got);
    }
}

enum class Colour { Other, White, Red, DarkBlue, LightBlue };

Colour Classify(BYTE r, BYTE g, BYTE b)
{
    if (r >= 230 && g >= 230 && b >= 230)
        return Colour::White;
    if (r >= 200 && g < 90 && b < 90)
        return Colour::Red;
    if (b >= 130 && r < 60 && g < 90)
        return Colour::DarkBlue;
    if (b >= 190 && g >= 130 && r < 110)
        return Colour::LightBlue;
    return Colour::Other;
}

// The 16-pixel, 32-bit picture of a tray icon, top row first, as (B, G, R, A) quads.
std::vector<RGBQUAD> TrayPixels(int id)
{
    for (const IconImage& img : GroupImages(id)) {
        if (img.size != 16 || img.bits != 32 || img.png)
            continue;
        std::vector<RGBQUAD> px(256);
        const BYTE* bits = img.data.p + sizeof(BITMAPINFOHEADER);
        if (img.data.size < sizeof(BITMAPINFOHEADER) + 256 * 4)
            return {};
        for (int y = 0; y < 16; ++y)   // stored bottom-up
            std::memcpy(&px[y * 16], bits + (15 - y) * 16 * 4, 16 * 4);
        return px;
    }
    return {};
}

TEST(ResourceIcons, TrayPicturesShowOnInWhiteAndOffInRedOnTheirRadiosColours)
{
    struct Case {
        int id;
        bool on;
        POINT darkAt, lightAt;   // a background pixel of each blue; {-1,-1} when absent
    };
    const Case kCases[] = {
        {IDI_TRAY_BOTH_ON, true, {7, 1}, {14, 8}},
        {IDI_TRAY_BOTH_OFF, false, {7, 1}, {14, 8}},
        {IDI_TRAY_BT_ON, true, {13, 13}, {-1, -1}},
        {IDI_TRAY_BT_OFF, false, {13, 13}, {-1, -1}},
        {IDI_TRAY_WLAN_ON, true, {-1, -1}, {14, 1}},
        {IDI_TRAY_WLAN_OFF, false, {-1, -1}, {14, 1}},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE("icon " + std::to_string(c.id));
        std::vector<RGBQUAD> px = TrayPixels(c.id);
        ASSERT_EQ(256u, px.size());
        int white = 0, red = 0, dark = 0, light = 0;
        for (const RGBQUAD& q : px) {
            if (q.rgbReserved != 255)
                continue;
            switch (Classify(q.rgbRed, q.rgbGreen, q.rgbBlue)) {
            case Colour::White: ++white; break;
            case Colour::Red: ++red; break;
            case Colour::DarkBlue: ++dark; break;
            case Colour::LightBlue: ++light; break;
            default: break;
            }
        }
        EXPECT_GE(c.on ? white : red, 20);
        EXPECT_EQ(0, c.on ? red : white);
        auto at = [&](POINT p) {
            const RGBQUAD& q = px[p.y * 16 + p.x];
            return Classify(q.rgbRed, q.rgbGreen, q.rgbBlue);
        };
        if (c.darkAt.x >= 0) {
            EXPECT_EQ(Colour::DarkBlue, at(c.darkAt));
        } else {
            EXPECT_EQ(0, dark);
        }
        if (c.lightAt.x >= 0) {
            EXPECT_EQ(Colour::LightBlue, at(c.lightAt));
        } else {
            EXPECT_EQ(0, light);
        }
    }
}

TEST(ResourceIcons, TrayIconsLoadAtTheirOwnSize)
{
    for (int id = IDI_TRAY_BOTH_ON; id <= IDI_TRAY_WLAN_OFF; ++id) {
        kfw::CIcon hIcon(static_cast<HICON>(
            ::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), IMAGE_ICON, 16, 16, 0)));
        EXPECT_TRUE(hIcon) << id;
    }
}

} // namespace
