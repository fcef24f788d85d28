#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "radio/RadioBits.h"

namespace {

using Writes = std::vector<RadioWrite>;
constexpr RadioWrite BT_ON{ Radio::Bluetooth, true };
constexpr RadioWrite BT_OFF{ Radio::Bluetooth, false };
constexpr RadioWrite WLAN_ON{ Radio::Wlan, true };
constexpr RadioWrite WLAN_OFF{ Radio::Wlan, false };

} // namespace

TEST(RadioBits, OneBitChangesAndEveryOtherBitGoesBackAsRead)
{
    struct Case { uint8_t byRead; uint8_t byMask; bool bOn; uint8_t byWritten; };
    const Case aCases[] = {
        { 0x14, STATUS_WLAN_ON, true, 0x15 },
        { 0x1F, STATUS_BT_ON, false, 0x1D },
        { 0x1F, STATUS_WLAN_ON, false, 0x1E },
        { 0x1C, STATUS_BT_ON, true, 0x1E },
        { 0xF4, STATUS_WLAN_ON, true, 0xF5 },   // bits 5-7 are not ours
        { 0xE3, STATUS_BT_ON, false, 0xE1 },
        { 0xFF, STATUS_WLAN_ON, true, 0xFF },   // already on: unchanged
        { 0x00, STATUS_BT_ON, false, 0x00 },
        { 0x00, STATUS_BT_ON, true, 0x02 },
    };
    for (const Case& c : aCases)
        EXPECT_EQ(WithRadioBit(c.byRead, c.byMask, c.bOn), c.byWritten)
            << std::hex << "read 0x" << +c.byRead << " mask 0x" << +c.byMask << " on " << c.bOn;
}

TEST(RadioBits, StatusBitIsOneOrZero)
{
    EXPECT_EQ(StatusBit(0x1F, STATUS_KILLSWITCH_ON), 1);   // 1, not 0x10
    EXPECT_EQ(StatusBit(0x1F, STATUS_BT_PRESENT), 1);
    EXPECT_EQ(StatusBit(0xEF, STATUS_KILLSWITCH_ON), 0);
    EXPECT_EQ(StatusBit(0x00, STATUS_WLAN_ON), 0);
}

TEST(RadioBits, ModeCodesGiveTheirWritesInOrder)
{
    struct Case { int nCode; bool bBothFitted; Writes writes; };
    const Case aCases[] = {
        { MODE_BT_ONLY, true, { BT_ON, WLAN_OFF } },
        { MODE_BT_ONLY, false, { BT_ON } },            // never cuts the only other radio
        { MODE_BOTH_ON, true, { BT_ON, WLAN_ON } },
        { MODE_BOTH_ON, false, { BT_ON, WLAN_ON } },
        { MODE_WIFI_ONLY, true, { BT_OFF, WLAN_ON } },
        { MODE_WIFI_ONLY, false, { WLAN_ON } },
        // Not modes: neighbours of the codes, a button index, nothing, junk.
        { 0, true, {} },   { 1, true, {} },   { 2, false, {} },   { 131, true, {} },
        { 133, true, {} }, { 135, true, {} }, { 141, true, {} }, { 143, false, {} },
        { -132, true, {} }, { 132 + 256, true, {} },
    };
    for (const Case& c : aCases)
        EXPECT_EQ(ModeCodeWrites(c.nCode, c.bBothFitted), c.writes)
            << "code " << c.nCode << " both fitted " << c.bBothFitted;
}


#include "radio/RadioPolicy.h"

// Each place's value, and which place decides: the first that forbids, in the order
// computer, user, device.
TEST(RadioPolicy, ZeroAnywhereForbidsAndTheFirstPlaceThatSaysSoDecides)
{
    using K = PolicyValue::Kind;
    const PolicyValue absent{}, zero{ K::Dword, 0 }, one{ K::Dword, 1 }, two{ K::Dword, 2 }, seven{ K::Dword, 7 },
        text{ K::OtherType, 0 };
    const struct { PolicyValue a[POLICY_PLACE_COUNT]; bool bForbidden; int nDecidedBy; } cases[] = {
        { { absent, absent, absent }, false, -1 }, { { one, two, seven }, false, -1 },
        { { text, text, text }, false, -1 },       { { zero, absent, absent }, true, 0 },
        { { one, zero, absent }, true, 1 },        { { absent, one, zero }, true, 2 },
        { { zero, zero, zero }, true, 0 },         { { text, seven, zero }, true, 2 },
    };
    for (const auto& c : cases)
    {
        const RadioPolicyDecision decision = DecideRadioPolicy(c.a);
        EXPECT_EQ(c.bForbidden, decision.bForbidden);
        EXPECT_EQ(c.nDecidedBy, decision.nDecidedBy);
    }
    for (const auto& [value, bUnexpected] : { std::pair{ absent, false }, { zero, false }, { one, false }, { two, false },
                                              { seven, true }, { text, true } })
        EXPECT_EQ(bUnexpected, PolicyUnexpected(value)) << int(value.eKind) << " " << value.dwValue;
}
