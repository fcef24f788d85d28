// The skin archive Kova ships, read through the same path as the program: resource 149,
// the walk, the table, the streams GDI+ decodes.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "framework/GdiPlus.h"
#include "skin/SkinArchive.h"

namespace {

const char* const kArchiveOrder[] = {
    "image/", "image/1x_map.png", "image/3x_map.png", "image/4alloff.bmp", "image/4bluetooth.bmp",
    "image/4bluetooth_off.bmp", "image/4wifi.bmp", "image/4wifiandbt.bmp", "image/4wifi_off.bmp",
    "image/btonly_kon_main.txt", "image/koff_main.pos.txt", "image/kon_main.pos.txt", "image/kon_main.txt",
    "image/nall_main.txt", "image/nbt_main.txt", "image/nwl_main.txt", "image/W1x_map.png",
    "image/W2x_map.png", "image/W3x_map.png", "image/Wmap2.png",
};
// Then, for each larger scale, the pictures the pop-ups show, drawn at that scale.
const char* const kScaledPictures[] = { "W1x_map", "W3x_map", "4alloff", "4bluetooth", "4bluetooth_off",
                                        "4wifi", "4wifi_off", "4wifiandbt" };

std::vector<std::string> ArchiveOrder()
{
    std::vector<std::string> names(std::begin(kArchiveOrder), std::end(kArchiveOrder));
    for (const char* pszScale : { "x150", "x200", "x300" })
        for (const char* pszPicture : kScaledPictures)
            names.push_back(std::string("image/") + pszScale + "/" + pszPicture + ".png");
    return names;
}

class RealSkinArchiveTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(LoadSkinArchive(m_archive)); }
    void TearDown() override { ReleaseSkinArchive(m_archive); }

    SkinArchive m_archive;
};

} // namespace

TEST_F(RealSkinArchiveTest, HoldsItsMembersInArchiveOrder)
{
    HRSRC hRes = ::FindResourceA(nullptr, MAKEINTRESOURCEA(SKIN_ARCHIVE_RESOURCE_ID), SKIN_ARCHIVE_RESOURCE_TYPE);
    ASSERT_NE(hRes, nullptr);
    const auto* pData = static_cast<const uint8_t*>(::LockResource(::LoadResource(nullptr, hRes)));
    const TarWalkResult walk = WalkTar(pData, ::SizeofResource(nullptr, hRes));
    std::vector<std::string> names;
    for (const TarMember& m : walk.members)
        names.push_back(m.strName);
    EXPECT_EQ(names, ArchiveOrder());
    EXPECT_EQ(walk.eEnd, TarEnd::EndBlock);

    ASSERT_EQ(m_archive.size(), ArchiveOrder().size());
    for (const TarMember& m : walk.members)
    {
        const SkinArchiveEntry* pEntry = FindSkinEntry(m_archive, m.strName.c_str());
        ASSERT_NE(pEntry, nullptr) << m.strName;
        EXPECT_EQ(pEntry->cbBytes, m.cbData) << m.strName;
        EXPECT_EQ(GetSkinStream(m_archive, m.strName.c_str()) != nullptr, m.cbData != 0) << m.strName;
    }
    EXPECT_EQ(GetSkinStream(m_archive, "image/"), nullptr);
}

TEST_F(RealSkinArchiveTest, LayoutTextsAreByteExact)
{
    struct Case {
        const char* pszName;
        const char* pszText;
    };
    const Case cases[] = {
        { "image/kon_main.txt", "1001\timage/4wifiandbt.bmp\r\n1002\timage/4wifi.bmp\r\n1003\timage/4bluetooth.bmp" },
        { "image/btonly_kon_main.txt", "1001\timage/4wifiandbt.bmp\r\n1002\timage/4bluetooth.bmp\r\n1003\timage/4wifi.bmp" },
        { "image/kon_main.pos.txt", "1001\t14\t87\t-1\t-1\r\n1002\t91\t87\t-1\t-1\r\n1003\t168\t87\t-1\t-1" },
        { "image/koff_main.pos.txt", "1005\t14\t44\t-1\t-1" },
        { "image/nall_main.txt", "1005\timage/4alloff.bmp" },
        { "image/nbt_main.txt", "1005\timage/4bluetooth_off.bmp" },
        { "image/nwl_main.txt", "1005\timage/4wifi_off.bmp" },
    };
    for (const Case& c : cases)
    {
        const SkinArchiveEntry* pEntry = FindSkinEntry(m_archive, c.pszName);
        ASSERT_NE(pEntry, nullptr) << c.pszName;
        uint32_t uSize = 0;
        ASSERT_TRUE(ParseTarSize(pEntry->abyHeader, &uSize));
        ASSERT_EQ(uSize, pEntry->cbBytes);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(pEntry->pbyBytes), pEntry->cbBytes), c.pszText);
    }
}

TEST_F(RealSkinArchiveTest, EveryPictureDecodesFromItsStreamAtItsSize)
{
    kfw::CGdiplusSession gdiplus;
    ASSERT_TRUE(gdiplus.IsStarted());
    struct Case {
        const char* pszName;
        UINT cx, cy;
    };
    const Case cases[] = {
        { "image/1x_map.png", 104, 156 }, { "image/3x_map.png", 257, 201 },
        { "image/W1x_map.png", 104, 156 }, { "image/W2x_map.png", 182, 186 },
        { "image/W3x_map.png", 257, 201 }, { "image/Wmap2.png", 373, 229 },
        { "image/4alloff.bmp", 300, 64 }, { "image/4bluetooth.bmp", 300, 64 },
        { "image/4bluetooth_off.bmp", 300, 64 }, { "image/4wifi.bmp", 300, 64 },
        { "image/4wifiandbt.bmp", 300, 64 }, { "image/4wifi_off.bmp", 300, 64 },
    };
    for (const Case& c : cases)
    {
        // Twice each: the second decode must see the member from its first byte again.
        for (int nPass = 0; nPass < 2; ++nPass)
        {
            kfw::CGdipBitmap bitmap;
            ASSERT_EQ(kfw::gdip::GdipCreateBitmapFromStream(GetSkinStream(m_archive, c.pszName), bitmap.Put()),
                      Gdiplus::Ok) << c.pszName;
            UINT cx = 0, cy = 0;
            kfw::gdip::GdipGetImageWidth(bitmap.Get(), &cx);
            kfw::gdip::GdipGetImageHeight(bitmap.Get(), &cy);
            EXPECT_EQ(cx, c.cx) << c.pszName;
            EXPECT_EQ(cy, c.cy) << c.pszName;
        }
    }
}
