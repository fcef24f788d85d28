// Icon groups: which sizes and bit depths each holds, what the stored images really are, and
// that the tray pictures follow the colour rule (white marks on, red marks off; dark marks on in
// the light-taskbar set) at every size they hold.
#include "support/ResTestUtil.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <map>
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

// Every tray icon, dark and light: the 16-pixel art and one drawn picture per high-DPI size.
const int kTraySizes[] = {16, 20, 24, 28, 30, 32, 36, 40, 48, 64};
const int kTrayIds[] = {IDI_TRAY_BOTH_ON,       IDI_TRAY_BOTH_OFF,       IDI_TRAY_BT_ON,
                        IDI_TRAY_BT_OFF,        IDI_TRAY_WLAN_ON,        IDI_TRAY_WLAN_OFF,
                        IDI_TRAY_BOTH_ON_LIGHT, IDI_TRAY_BOTH_OFF_LIGHT, IDI_TRAY_BT_ON_LIGHT,
                        IDI_TRAY_BT_OFF_LIGHT,  IDI_TRAY_WLAN_ON_LIGHT,  IDI_TRAY_WLAN_OFF_LIGHT};

TEST(ResourceIcons, GroupsHoldTheSizesAndDepthsAndTheImagesMatchTheirEntries)
{
    std::set<Entry> app = Entries({16, 24, 32, 48}, {4, 8, 32});
    app.insert({256, 32});
    std::set<Entry> tray = Entries({16}, {4, 8});
    for (int size : kTraySizes)
        tray.insert({size, 32});
    std::vector<std::pair<int, std::set<Entry>>> groups = {{IDR_MAINFRAME, app}};
    for (int id : kTrayIds)
        groups.push_back({id, tray});
    for (const auto& [id, expected] : groups) {
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

enum class Colour { Other, White, Black, Red, DarkBlue, LightBlue };

Colour Classify(BYTE r, BYTE g, BYTE b)
{
    if (r >= 230 && g >= 230 && b >= 230)
        return Colour::White;
    if (r < 60 && g < 60 && b < 60)
        return Colour::Black;
    if (r >= 200 && g < 90 && b < 90)
        return Colour::Red;
    if (b >= 130 && r < 60 && g < 90)
        return Colour::DarkBlue;
    if (b >= 190 && g >= 130 && r < 110)
        return Colour::LightBlue;
    return Colour::Other;
}

// The 32-bit picture of a tray icon at one size, top row first, as (B, G, R, A) quads.
std::vector<RGBQUAD> TrayPixels(int id, int size)
{
    for (const IconImage& img : GroupImages(id)) {
        if (img.size != size || img.bits != 32 || img.png)
            continue;
        std::vector<RGBQUAD> px(size * size);
        const BYTE* bits = img.data.p + sizeof(BITMAPINFOHEADER);
        if (img.data.size < sizeof(BITMAPINFOHEADER) + px.size() * 4)
            return {};
        for (int y = 0; y < size; ++y)   // stored bottom-up
            std::memcpy(&px[y * size], bits + (size - 1 - y) * size * 4, size * 4);
        return px;
    }
    return {};
}

TEST(ResourceIcons, TrayPicturesShowOnInWhiteAndOffInRedOnTheirRadiosColours)
{
    struct Case {
        int id;
        bool on;
        POINT darkAt, lightAt;   // a background pixel of each blue on the 16-pixel grid; {-1,-1} when absent
    };
    const Case kCases[] = {
        {IDI_TRAY_BOTH_ON, true, {7, 1}, {14, 8}},
        {IDI_TRAY_BOTH_OFF, false, {7, 1}, {14, 8}},
        {IDI_TRAY_BT_ON, true, {13, 13}, {-1, -1}},
        {IDI_TRAY_BT_OFF, false, {13, 13}, {-1, -1}},
        {IDI_TRAY_WLAN_ON, true, {-1, -1}, {14, 1}},
        {IDI_TRAY_WLAN_OFF, false, {-1, -1}, {14, 1}},
    };
    // The light-taskbar set draws its "on" marks dark instead of white.
    for (bool light : {false, true}) {
        for (const Case& c : kCases) {
            const int id = c.id + (light ? IDI_TRAY_LIGHT_OFFSET : 0);
            const Colour onMark = light ? Colour::Black : Colour::White;
            for (int size : kTraySizes) {
                SCOPED_TRACE("icon " + std::to_string(id) + " at " + std::to_string(size));
                std::vector<RGBQUAD> px = TrayPixels(id, size);
                ASSERT_EQ(static_cast<size_t>(size * size), px.size());
                std::map<Colour, int> count;
                for (const RGBQUAD& q : px) {
                    if (q.rgbReserved == 255)
                        ++count[Classify(q.rgbRed, q.rgbGreen, q.rgbBlue)];
                }
                EXPECT_GE(count[c.on ? onMark : Colour::Red], 15 * size * size / 256);
                for (Colour wrong : {Colour::White, Colour::Black, Colour::Red}) {
                    if (wrong != (c.on ? onMark : Colour::Red)) {
                        EXPECT_EQ(0, count[wrong]) << static_cast<int>(wrong);
                    }
                }
                auto at = [&](POINT p) {
                    const RGBQUAD& q = px[(2 * p.y + 1) * size / 32 * size + (2 * p.x + 1) * size / 32];
                    return Classify(q.rgbRed, q.rgbGreen, q.rgbBlue);
                };
                // Soft edges of the drawn sizes blend into other blues: absence is a 16-pixel rule.
                if (c.darkAt.x >= 0) {
                    EXPECT_EQ(Colour::DarkBlue, at(c.darkAt));
                } else if (size == 16) {
                    EXPECT_EQ(0, count[Colour::DarkBlue]);
                }
                if (c.lightAt.x >= 0) {
                    EXPECT_EQ(Colour::LightBlue, at(c.lightAt));
                } else if (size == 16) {
                    EXPECT_EQ(0, count[Colour::LightBlue]);
                }
            }
        }
    }
}

TEST(ResourceIcons, TrayIconsLoadAtTheirOwnSize)
{
    for (int id : kTrayIds) {
        for (int size : kTraySizes) {
            kfw::CIcon hIcon(static_cast<HICON>(::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id),
                                                             IMAGE_ICON, size, size, 0)));
            ASSERT_TRUE(hIcon) << id << " at " << size;
            ICONINFO info{};
            ASSERT_TRUE(::GetIconInfo(hIcon.Get(), &info));
            kfw::CBitmapH hColour(info.hbmColor), hMask(info.hbmMask);
            BITMAP bm{};
            ASSERT_TRUE(::GetObjectA(hColour.Get(), sizeof bm, &bm));
            EXPECT_EQ(size, bm.bmWidth) << id;
            EXPECT_EQ(size, bm.bmHeight) << id;
        }
    }
}

} // namespace
