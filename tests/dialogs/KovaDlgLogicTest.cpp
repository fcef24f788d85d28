// The mode pop-up's rules without a window: layout per radio state, status line and
// highlight per selection, stepping, and when a choice is written.
#include <gtest/gtest.h>

#include <string>

#include "dialogs/ModeSelection.h"
#include "radio/RadioBits.h"
#include "res/resource.h"

namespace {

std::string Name(const char* psz)
{
    return psz ? psz : "-";
}

TEST(ModeLayout, EachRadioStateGivesItsButtonsCurrentEntryAndCodes)
{
    // Status byte: bit 0 WiFi on, 1 BT on, 2 WiFi fitted, 3 BT fitted, 4 switch on.
    const struct {
        uint8_t byStatus;
        ModeLayout eLayout;
        int nSelected, nCurrent;
        const char* apszImage[3];   // "-": the layout file's strip stays
        int nFirstCode;
    } rows[] = {
        { 0x1F, ModeLayout::Three, 0, 0, { "image/4wifiandbt.bmp", "image/4wifi_off.bmp", "image/4bluetooth_off.bmp" }, MODE_BOTH_ON },
        { 0x1E, ModeLayout::Three, 2, 2, { "image/4alloff.bmp", "image/4wifi_off.bmp", "image/4bluetooth.bmp" }, MODE_BOTH_ON },
        { 0x1D, ModeLayout::Three, 1, 1, { "image/4alloff.bmp", "image/4wifi.bmp", "image/4bluetooth_off.bmp" }, MODE_BOTH_ON },
        { 0x1C, ModeLayout::Three, 0, MODE_ENTRY_NONE, { "-", "-", "-" }, MODE_BOTH_ON },
        { 0x18, ModeLayout::BluetoothOnly, 0, MODE_ENTRY_NONE, { "-", "image/4bluetooth.bmp", "-" }, MODE_BT_ONLY },
        { 0x1A, ModeLayout::BluetoothOnly, 0, 0, { "-", "image/4bluetooth.bmp", "-" }, MODE_BT_ONLY },
        // A stray "on" bit of the radio that is not fitted does not make the entry current.
        { 0x19, ModeLayout::BluetoothOnly, 0, MODE_ENTRY_NONE, { "-", "image/4bluetooth.bmp", "-" }, MODE_BT_ONLY },
        { 0x14, ModeLayout::WirelessOnly, 0, MODE_ENTRY_NONE, { "-", "-", "-" }, MODE_WIFI_ONLY },
        { 0x17, ModeLayout::WirelessOnly, 0, 0, { "-", "-", "-" }, MODE_WIFI_ONLY },
        { 0x13, ModeLayout::None, 0, MODE_ENTRY_NONE, { "-", "-", "-" }, 0 },
    };
    for (const auto& row : rows)
    {
        SCOPED_TRACE(testing::Message() << "status 0x" << std::hex << int(row.byStatus));
        const ModeLayoutChoice choice = ChooseModeLayout(RadioFlagsFromStatus(row.byStatus));
        EXPECT_EQ(choice.eLayout, row.eLayout);
        EXPECT_EQ(choice.nSelected, row.nSelected);
        EXPECT_EQ(choice.nCurrent, row.nCurrent);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(Name(choice.apszImage[i]), row.apszImage[i]) << "button " << i;
        EXPECT_EQ(choice.anModeCodes[0], row.nFirstCode);
    }

    const ModeLayoutChoice three = ChooseModeLayout(RadioFlagsFromStatus(0x1C));
    EXPECT_EQ(three.nModeCount, 3);
    EXPECT_EQ(three.anModeCodes[1], MODE_WIFI_ONLY);
    EXPECT_EQ(three.anModeCodes[2], MODE_BT_ONLY);
    EXPECT_EQ(Name(three.pszBackground), "image/W3x_map.png");
    EXPECT_TRUE(three.bWideTips);
    EXPECT_EQ(three.auTipId[0], unsigned(IDS_TIP_BOTH));
    EXPECT_EQ(three.auTipId[1], unsigned(IDS_TIP_WIFI));
    EXPECT_EQ(three.auTipId[2], unsigned(IDS_TIP_BT));

    const ModeLayoutChoice bt = ChooseModeLayout(RadioFlagsFromStatus(0x18));
    const ModeLayoutChoice wifi = ChooseModeLayout(RadioFlagsFromStatus(0x14));
    for (const ModeLayoutChoice* p : { &bt, &wifi })
    {
        EXPECT_EQ(p->nModeCount, 1);
        EXPECT_EQ(Name(p->pszBackground), "image/W1x_map.png");
        EXPECT_FALSE(p->bWideTips);
        EXPECT_EQ(p->auTipId[0] + p->auTipId[2], 0u) << "only the single button has a tip";
    }
    EXPECT_EQ(bt.auTipId[1], unsigned(IDS_TIP_BT));
    EXPECT_EQ(wifi.auTipId[1], unsigned(IDS_TIP_WIFI));
    EXPECT_EQ(ChooseModeLayout(RadioFlagsFromStatus(0x13)).nModeCount, 0);
}

TEST(ModeStatus, SelectionNamesTheCurrentStateOrTheChangeAndHighlightsItsButton)
{
    const struct {
        uint8_t byStatus;
        int nSelected;
        unsigned uStringId;
        int nHighlighted;   // -1: highlights left alone
    } rows[] = {
        { 0x1F, 0, IDS_CURRENT_BOTH, 0 }, { 0x1F, 1, IDS_CHANGE_WIFI, 1 }, { 0x1F, 2, IDS_CHANGE_BT, 2 },
        { 0x1C, 0, IDS_CHANGE_BOTH, 0 },  { 0x1D, 1, IDS_CURRENT_WIFI, 1 }, { 0x1E, 2, IDS_CURRENT_BT, 2 },
        { 0x1E, 0, IDS_CHANGE_BOTH, 0 },  { 0x1F, 3, 0, -1 },               { 0x1F, -1, 0, -1 },
        { 0x18, 0, IDS_BT_ON, -1 },       { 0x1A, 0, IDS_BT_ON, -1 },       { 0x15, 0, IDS_WIFI_ON, -1 },
        { 0x10, 0, 0, -1 },
    };
    for (const auto& row : rows)
    {
        SCOPED_TRACE(testing::Message() << "status 0x" << std::hex << int(row.byStatus) << " entry " << row.nSelected);
        const RadioFlags flags = RadioFlagsFromStatus(row.byStatus);
        const ModeStatus status = ModeStatusFor(ModeLayoutFor(flags), flags, row.nSelected);
        EXPECT_EQ(status.uStringId, row.uStringId);
        EXPECT_EQ(status.bSetHighlights, row.nHighlighted >= 0);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(status.abHighlight[i], i == row.nHighlighted) << "button " << i;
    }
}

TEST(ModeSelectionStep, WrapsAtBothEndsAndStaysPutWithOneEntry)
{
    const struct { int nSelected, nCount; bool bLeft; int nExpected; } rows[] = {
        { 0, 3, false, 1 }, { 1, 3, false, 2 }, { 2, 3, false, 0 },
        { 0, 3, true, 2 },  { 2, 3, true, 1 },  { 1, 3, true, 0 },
        // Out of range (a selection of 3) comes back inside.
        { 3, 3, false, 0 }, { 3, 3, true, 2 },
        { 0, 1, false, 0 }, { 0, 1, true, 0 },
        // Nothing to choose: never a negative index.
        { 0, 0, true, 0 },  { 0, 0, false, 0 },
    };
    for (const auto& row : rows)
        EXPECT_EQ(StepSelection(row.nSelected, row.nCount, row.bLeft), row.nExpected)
            << row.nSelected << (row.bLeft ? " left" : " right") << " of " << row.nCount;
}

TEST(ModeEntryForControl, EachButtonIsItsEntryAndTheSingleButtonIsEntryZero)
{
    const struct { ModeLayout eLayout; unsigned uId; int nEntry; } rows[] = {
        { ModeLayout::Three, IDC_BTN_BOTH, 0 },          { ModeLayout::Three, IDC_BTN_WIFI, 1 },
        { ModeLayout::Three, IDC_BTN_BT, 2 },            { ModeLayout::Three, 0, -1 },
        { ModeLayout::BluetoothOnly, IDC_BTN_WIFI, 0 },  { ModeLayout::WirelessOnly, IDC_BTN_WIFI, 0 },
        { ModeLayout::WirelessOnly, IDC_BTN_BOTH, -1 },  { ModeLayout::None, IDC_BTN_WIFI, -1 },
    };
    for (const auto& row : rows)
        EXPECT_EQ(ModeEntryForControl(row.eLayout, row.uId), row.nEntry) << int(row.eLayout) << " " << row.uId;
}

TEST(ModeApplyGuard, WritesOnlyWithTheSwitchOnForAnotherExistingEntry)
{
    const struct { bool bSwitchOn; int nSelected, nCurrent, nCount; bool bApply; } rows[] = {
        { true, 1, 0, 3, true },
        { true, 0, MODE_ENTRY_NONE, 3, true },
        { false, 1, 0, 3, false },                  // switch off at the read
        { true, 0, 0, 3, false },                   // already the state
        { true, 3, 0, 3, false },                   // no entry
        { true, 0, MODE_ENTRY_NONE, 1, true },
        { true, 0, 0, 1, false },
        { true, 0, MODE_ENTRY_NONE, 0, false },     // no radio: stale codes must not be used
        { true, -1, 0, 3, false },
    };
    for (const auto& row : rows)
        EXPECT_EQ(ShouldApplyMode(row.bSwitchOn, row.nSelected, row.nCurrent, row.nCount), row.bApply)
            << "switch " << row.bSwitchOn << " selected " << row.nSelected << " current " << row.nCurrent
            << " count " << row.nCount;
}

} // namespace

// Which entries a policy leaves to choose, for each state of the radios: never one that
// switches a forbidden radio on, always one that leaves a forbidden radio as it is. The
// selection starts on, and steps over to, available entries only.
TEST(ModePolicy, ChoicesThatSwitchAForbiddenRadioOnAreNotAvailable)
{
    const RadioPolicy none{}, noBt{ false, true }, noWifi{ true, false }, neither{ true, true };
    const struct { uint8_t byStatus; RadioPolicy policy; const char* pszAvailable; int nSelected; int nRight; } cases[] = {
        // both on, WiFi only, Bluetooth only: "+" available, "-" not.
        { 0x1D, none, "+++", 1, 2 },    { 0x1D, noBt, "-+-", 1, 1 },     { 0x1E, noBt, "+++", 2, 0 },
        { 0x1F, noBt, "+++", 0, 1 },    { 0x1E, noWifi, "--+", 2, 2 },   { 0x1C, neither, "---", 0, 0 },
        { 0x1C, noBt, "-+-", 1, 1 },    { 0x1F, neither, "+++", 0, 1 },
        { 0x19, noBt, "-", 0, 0 },      { 0x1A, noBt, "+", 0, 0 },       { 0x14, noBt, "+", 0, 0 },
    };
    for (const auto& c : cases)
    {
        const ModeLayoutChoice choice = ChooseModeLayout(RadioFlagsFromStatus(c.byStatus), c.policy);
        std::string strAvailable;
        for (int i = 0; i < choice.nModeCount; ++i)
            strAvailable += choice.abAvailable[i] ? '+' : '-';
        EXPECT_EQ(c.pszAvailable, strAvailable) << std::hex << int(c.byStatus);
        EXPECT_EQ(c.nSelected, choice.nSelected) << std::hex << int(c.byStatus);
        EXPECT_EQ(c.nRight, StepAvailable(choice.nSelected, choice, false)) << std::hex << int(c.byStatus);
        for (int i = 0; i < choice.nModeCount; ++i)
        {
            const unsigned uTip = choice.auTipId[ModeButtonForEntry(choice.eLayout, i)];
            EXPECT_EQ(!choice.abAvailable[i], uTip == unsigned(IDS_POLICY_OFF)) << i;
        }
    }
}
