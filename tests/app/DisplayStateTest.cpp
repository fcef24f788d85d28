// The tray picture and the pop-up class for each status byte.
#include <gtest/gtest.h>

#include "app/DisplayState.h"
#include "res/resource.h"

namespace {

struct Row {
    uint8_t byStatus;
    unsigned uTrayId;
    StatusClass eClass;
};

const Row kRows[] = {
    // Nothing fitted: the "both off" picture, no pop-up, whatever else the byte says.
    { 0x00, IDI_TRAY_BOTH_OFF, STATUS_CLASS_NO_DEVICE },
    { 0x13, IDI_TRAY_BOTH_OFF, STATUS_CLASS_NO_DEVICE },
    { 0xE3, IDI_TRAY_BOTH_OFF, STATUS_CLASS_NO_DEVICE },
    // Both fitted, switch off: both off, the notice.
    { 0x0F, IDI_TRAY_BOTH_OFF, STATUS_CLASS_SWITCH_OFF },
    { 0x0C, IDI_TRAY_BOTH_OFF, STATUS_CLASS_SWITCH_OFF },
    // Both fitted, switch on: by the radios that are on.
    { 0x1F, IDI_TRAY_BOTH_ON, STATUS_CLASS_SWITCH_ON },
    { 0x1D, IDI_TRAY_WLAN_ON, STATUS_CLASS_SWITCH_ON },
    { 0x1E, IDI_TRAY_BT_ON, STATUS_CLASS_SWITCH_ON },
    { 0x1C, IDI_TRAY_BOTH_OFF, STATUS_CLASS_SWITCH_ON },
    // Only wireless LAN fitted; a Bluetooth "on" bit without the module counts for nothing.
    { 0x15, IDI_TRAY_WLAN_ON, STATUS_CLASS_SWITCH_ON },
    { 0x14, IDI_TRAY_WLAN_OFF, STATUS_CLASS_SWITCH_ON },
    { 0x05, IDI_TRAY_WLAN_OFF, STATUS_CLASS_SWITCH_OFF },
    { 0x16, IDI_TRAY_WLAN_OFF, STATUS_CLASS_SWITCH_ON },
    // Only Bluetooth fitted.
    { 0x1A, IDI_TRAY_BT_ON, STATUS_CLASS_SWITCH_ON },
    { 0x18, IDI_TRAY_BT_OFF, STATUS_CLASS_SWITCH_ON },
    { 0x0A, IDI_TRAY_BT_OFF, STATUS_CLASS_SWITCH_OFF },
    { 0x19, IDI_TRAY_BT_OFF, STATUS_CLASS_SWITCH_ON },
    // The unread preset: WLAN fitted and off, switch off.
    { 0x66, IDI_TRAY_WLAN_OFF, STATUS_CLASS_SWITCH_OFF },
    // Bits 5 to 7 change nothing.
    { 0xFF, IDI_TRAY_BOTH_ON, STATUS_CLASS_SWITCH_ON },
    { 0xE5, IDI_TRAY_WLAN_OFF, STATUS_CLASS_SWITCH_OFF },
};

} // namespace

TEST(DisplayState, TrayPictureAndPopupForEachStatus)
{
    for (const Row& row : kRows)
    {
        const RadioFlags flags = RadioFlagsFromStatus(row.byStatus);
        EXPECT_EQ(TrayIdFor(flags), row.uTrayId) << "status 0x" << std::hex << int(row.byStatus);
        EXPECT_EQ(ClassifyStatus(flags), row.eClass) << "status 0x" << std::hex << int(row.byStatus);
    }
}

TEST(DisplayState, EveryByteGivesOneOfTheSixPicturesAndUpperBitsNeverMatter)
{
    for (unsigned b = 0; b < 0x100; ++b)
    {
        const unsigned uId = TrayIdFor(RadioFlagsFromStatus(static_cast<uint8_t>(b)));
        EXPECT_GE(uId, unsigned(IDI_TRAY_BOTH_ON));
        EXPECT_LE(uId, unsigned(IDI_TRAY_WLAN_OFF));
        EXPECT_EQ(uId, TrayIdFor(RadioFlagsFromStatus(static_cast<uint8_t>(b & 0x1F))));
        // With the switch off nothing is ever shown as on.
        if (!(b & 0x10))
        {
            EXPECT_TRUE(uId == IDI_TRAY_BOTH_OFF || uId == IDI_TRAY_WLAN_OFF || uId == IDI_TRAY_BT_OFF) << b;
        }
    }
}

// A line for each fitted radio that is off, as the tray shows it, and forbidden.
TEST(DisplayState, TheTipGainsALineForEachRadioThePolicyKeepsOff)
{
    const RadioPolicy noBt{ false, true }, both{ true, true };
    const struct { uint8_t byStatus; RadioPolicy policy; int nLines; unsigned uFirst; } cases[] = {
        { 0x1D, {}, 0, 0 },   { 0x1D, noBt, 1, IDS_POLICY_TIP_BT },   { 0x1F, noBt, 0, 0 },
        { 0x1C, both, 2, IDS_POLICY_TIP_WIFI }, { 0x0F, both, 2, IDS_POLICY_TIP_WIFI },   // the switch off cuts both
        { 0x15, noBt, 0, 0 },                   // Bluetooth not fitted
    };
    for (const auto& c : cases)
    {
        unsigned auIds[2] = {};
        EXPECT_EQ(c.nLines, PolicyTipLines(RadioFlagsFromStatus(c.byStatus), c.policy, auIds)) << int(c.byStatus);
        EXPECT_EQ(c.uFirst, auIds[0]) << int(c.byStatus);
    }
}
