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

TEST(TrayLook, LightPicturesSitBesideTheirDarkOnes)
{
    EXPECT_EQ(TrayPictureId(IDI_TRAY_WLAN_OFF, TaskbarTheme::Dark), unsigned(IDI_TRAY_WLAN_OFF));
    EXPECT_EQ(TrayPictureId(IDI_TRAY_WLAN_OFF, TaskbarTheme::Light), unsigned(IDI_TRAY_WLAN_OFF_LIGHT));
}
