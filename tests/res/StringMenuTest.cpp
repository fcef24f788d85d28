// The string table and the tray menu, read back through the ANSI functions the program uses.
#include "support/ResTestUtil.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <set>

namespace {

struct StringCase {
    UINT id;
    const char* text;   // Windows-1252 bytes, as LoadStringA returns them
};

// 0x93/0x94 are the typographic quotes; "\n" is the line break the tool tips wrap at.
const StringCase kStrings[] = {
    {IDS_APP_TITLE, "Kova"},
    {IDR_MAINFRAME, "Kova"},
    {IDS_OFF_BOTH, "BT/WiFi OFF"},
    {IDS_WIFI_ON, "WiFi ON"},
    {IDS_BT_ON, "Bluetooth ON"},
    {IDS_CHANGE_BOTH, "Change Status to Bluetooth & WiFi ON"},
    {IDS_CHANGE_WIFI, "Change Status to WiFi ON"},
    {IDS_CHANGE_BT, "Change Status to Bluetooth ON"},
    {IDI_TRAY_BOTH_ON, "Bluetooth and Wireless LAN are enabled."},
    {IDI_TRAY_BOTH_OFF, "Bluetooth and Wireless LAN are disabled."},
    {IDI_TRAY_BT_ON, "Bluetooth is enabled."},
    {IDI_TRAY_BT_OFF, "Bluetooth is disabled."},
    {IDI_TRAY_WLAN_ON, "Wireless LAN is enabled."},
    {IDI_TRAY_WLAN_OFF, "Wireless LAN is disabled."},
    {IDS_TIP_BOTH, "Press to set both Bluetooth and WiFi \x93On\x94\nNote. The hard switch must be \x93ON\x94."},
    {IDS_TIP_WIFI, "Press to set WiFi \x93On\x94\nNote. The hard switch must be \x93ON\x94."},
    {IDS_TIP_BT, "Press to set Bluetooth \x93On\x94\nNote. The hard switch must be \x93ON\x94."},
    {IDS_TIP_OFF, "Press to set both Bluetooth and WiFi \x93Off\x94\nNote. The hard switch must be \x93ON\x94."},
    {IDS_CURRENT_BOTH, "Current Status : Bluetooth & WiFi ON"},
    {IDS_CURRENT_WIFI, "Current Status : WiFi ON"},
    {IDS_CURRENT_BT, "Current Status : Bluetooth ON"},
    {IDS_OFF_WIFI, "WiFi OFF"},
    {IDS_OFF_BT, "BT OFF"},
    {IDS_CAPTION_FONT, "Times New Roman"},
    {IDS_POLICY_OFF, "Turned off by your organisation"},
    {IDS_POLICY_TIP_WIFI, "WiFi: turned off by your organisation"},
    {IDS_POLICY_TIP_BT, "Bluetooth: turned off by your organisation"},
};

TEST(ResourceStrings, LoadStringAReturnsTheExactBytes)
{
    for (const StringCase& c : kStrings) {
        char buffer[512] = {};
        int n = ::LoadStringA(::GetModuleHandleA(nullptr), c.id, buffer, sizeof buffer);
        EXPECT_EQ(std::string(c.text), std::string(buffer, n > 0 ? n : 0)) << "string " << c.id;
    }
}

// Every string bundle holds 16 counted UTF-16 strings; empty ones are absent strings.
BOOL CALLBACK CollectStringIds(HMODULE hModule, LPCSTR, LPSTR lpName, LONG_PTR lParam)
{
    auto* ids = reinterpret_cast<std::set<UINT>*>(lParam);
    if (!IS_INTRESOURCE(lpName))
        return TRUE;
    UINT bundle = static_cast<UINT>(reinterpret_cast<ULONG_PTR>(lpName));
    restest::Bytes b = restest::ResourceBytes(hModule, lpName, MAKEINTRESOURCEA(6) /* RT_STRING */);
    const BYTE* p = b.p;
    for (UINT i = 0; i < 16 && p && p + 2 <= b.p + b.size; ++i) {
        uint16_t length = restest::Le16(p);
        if (length)
            ids->insert((bundle - 1) * 16 + i);
        p += 2 + 2 * length;
    }
    return TRUE;
}

TEST(ResourceStrings, NoStringsBeyondTheKnownOnes)
{
    std::set<UINT> found;
    ::EnumResourceNamesA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(6), CollectStringIds,
                         reinterpret_cast<LONG_PTR>(&found));
    std::set<UINT> expected;
    for (const StringCase& c : kStrings)
        expected.insert(c.id);
    EXPECT_EQ(expected, found);
}

TEST(ResourceMenu, OnePopupWithOptionAboutSeparatorExit)
{
    kfw::CMenuH hMenu(::LoadMenuA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME)));
    ASSERT_TRUE(hMenu);
    ASSERT_EQ(1, ::GetMenuItemCount(hMenu.Get()));
    char text[64] = {};
    ::GetMenuStringA(hMenu.Get(), 0, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ("Menu", text);
    HMENU hPopup = ::GetSubMenu(hMenu.Get(), 0);   // owned by hMenu
    ASSERT_NE(nullptr, hPopup);

    struct Item {
        UINT id;
        const char* text;   // null for the separator
    };
    const Item kItems[] = {
        {ID_OPTION, "&Option"}, {ID_APP_ABOUT, "&About Kova"}, {0, nullptr}, {ID_APP_EXIT, "E&xit"}};
    ASSERT_EQ(4, ::GetMenuItemCount(hPopup));
    for (UINT pos = 0; pos < 4; ++pos) {
        MENUITEMINFOA info{};
        char buffer[64] = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING | MIIM_SUBMENU;
        info.dwTypeData = buffer;
        info.cch = sizeof buffer;
        ASSERT_TRUE(::GetMenuItemInfoA(hPopup, pos, TRUE, &info)) << pos;
        EXPECT_EQ(nullptr, info.hSubMenu) << pos;
        if (!kItems[pos].text) {
            EXPECT_TRUE(info.fType & MFT_SEPARATOR) << pos;
            continue;
        }
        EXPECT_FALSE(info.fType & MFT_SEPARATOR) << pos;
        EXPECT_EQ(kItems[pos].id, info.wID) << pos;
        EXPECT_STREQ(kItems[pos].text, buffer) << pos;
    }
}

} // namespace
