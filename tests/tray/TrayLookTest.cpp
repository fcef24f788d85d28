// The taskbar theme's value, the picture id for a theme and the DPI bounds, by table.
#include <gtest/gtest.h>

#include <vector>

#include "res/resource.h"
#include "tray/TrayLook.h"

TEST(TrayLook, OnlyADwordOfOneMeansALightTaskbar)
{
    using B = std::vector<unsigned char>;
    constexpr std::uint32_t kSz = 1, kBinary = 3, kBigEndian = 5, kQword = 11;
    const struct {
        bool bFound;
        std::uint32_t uType;
        B data;
        TaskbarTheme eTheme;
    } rows[] = {
        { true, TRAY_REG_DWORD, B{ 1, 0, 0, 0 }, TaskbarTheme::Light },
        { true, TRAY_REG_DWORD, B{ 0, 0, 0, 0 }, TaskbarTheme::Dark },
        { true, TRAY_REG_DWORD, B{ 2, 0, 0, 0 }, TaskbarTheme::Dark },
        { true, TRAY_REG_DWORD, B{ 1, 0, 0, 1 }, TaskbarTheme::Dark },        // every byte counts
        { true, TRAY_REG_DWORD, B{ 0xFF, 0xFF, 0xFF, 0xFF }, TaskbarTheme::Dark },
        { false, TRAY_REG_DWORD, B{ 1, 0, 0, 0 }, TaskbarTheme::Dark },       // missing
        { true, TRAY_REG_DWORD, B{ 1, 0, 0 }, TaskbarTheme::Dark },           // short
        { true, TRAY_REG_DWORD, B{ 1, 0, 0, 0, 0 }, TaskbarTheme::Dark },     // long
        { true, TRAY_REG_DWORD, B{}, TaskbarTheme::Dark },
        { true, kBigEndian, B{ 0, 0, 0, 1 }, TaskbarTheme::Dark },
        { true, kBinary, B{ 1, 0, 0, 0 }, TaskbarTheme::Dark },
        { true, kQword, B{ 1, 0, 0, 0, 0, 0, 0, 0 }, TaskbarTheme::Dark },
        { true, kSz, B{ '1', 0 }, TaskbarTheme::Dark },
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i)
    {
        const auto& r = rows[i];
        EXPECT_EQ(TaskbarThemeFromValue(r.bFound, r.uType, r.data.empty() ? nullptr : r.data.data(), r.data.size()),
                  r.eTheme)
            << "row " << i;
    }
}

TEST(TrayLook, LightPicturesSitTwentyAboveTheDarkOnesAndTheScaleIsBounded)
{
    EXPECT_EQ(IDI_TRAY_LIGHT_OFFSET, 20);
    const struct { unsigned uDark; unsigned uLight; } ids[] = {
        { IDI_TRAY_BOTH_ON, 163 }, { IDI_TRAY_BOTH_OFF, 164 }, { IDI_TRAY_BT_ON, 165 },
        { IDI_TRAY_BT_OFF, 166 },  { IDI_TRAY_WLAN_ON, 167 },  { IDI_TRAY_WLAN_OFF, 168 },
    };
    for (const auto& id : ids)
    {
        EXPECT_EQ(TrayPictureId(id.uDark, TaskbarTheme::Dark), id.uDark);
        EXPECT_EQ(TrayPictureId(id.uDark, TaskbarTheme::Light), id.uLight);
    }
    const struct { unsigned uIn, uOut; } dpis[] = {
        { 0, 96 }, { 72, 96 }, { 95, 96 }, { 96, 96 }, { 120, 120 }, { 144, 144 },
        { 480, 480 }, { 481, 480 }, { 0xFFFFFFFFu, 480 },
    };
    for (const auto& d : dpis)
        EXPECT_EQ(ClampTrayDpi(d.uIn), d.uOut) << d.uIn;
}
