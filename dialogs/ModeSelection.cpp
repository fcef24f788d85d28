#include "dialogs/ModeSelection.h"

#include "radio/RadioBits.h"
#include "res/resource.h"

const char SKIN_BACKGROUND_THREE[] = "image/W3x_map.png";
const char SKIN_BACKGROUND_ONE[] = "image/W1x_map.png";

namespace {

// Whether the mode of each three-button entry is the one in force.
bool InForce(const RadioFlags& flags, int nEntry)
{
    switch (nEntry)
    {
    case 0: return flags.bBluetoothOn && flags.bWirelessOn;
    case 1: return flags.bWirelessOn && !flags.bBluetoothOn;
    case 2: return flags.bBluetoothOn && !flags.bWirelessOn;
    default: return false;
    }
}

} // namespace

ModeLayout ModeLayoutFor(const RadioFlags& flags)
{
    if (flags.bWirelessExist && flags.bBluetoothExist)
        return ModeLayout::Three;
    if (flags.bBluetoothExist)
        return ModeLayout::BluetoothOnly;
    if (flags.bWirelessExist)
        return ModeLayout::WirelessOnly;
    return ModeLayout::None;
}

ModeLayoutChoice ChooseModeLayout(const RadioFlags& flags, const RadioPolicy& policy)
{
    ModeLayoutChoice choice;
    choice.eLayout = ModeLayoutFor(flags);
    switch (choice.eLayout)
    {
    case ModeLayout::Three: {
        static const char* const s_apszColour[] = { "image/4wifiandbt.bmp", "image/4wifi.bmp", "image/4bluetooth.bmp" };
        static const char* const s_apszGrey[] = { "image/4alloff.bmp", "image/4wifi_off.bmp", "image/4bluetooth_off.bmp" };
        choice.nModeCount = 3;
        choice.anModeCodes[0] = MODE_BOTH_ON;
        choice.anModeCodes[1] = MODE_WIFI_ONLY;
        choice.anModeCodes[2] = MODE_BT_ONLY;
        choice.pszBackground = SKIN_BACKGROUND_THREE;
        choice.auTipId[0] = IDS_TIP_BOTH;
        choice.auTipId[1] = IDS_TIP_WIFI;
        choice.auTipId[2] = IDS_TIP_BT;
        choice.bWideTips = true;
        // The entry in force shows in colour, the others grey. With both radios off no entry
        // is in force and all three keep the colour strips of the layout file.
        for (int i = 0; i < MODE_BUTTON_COUNT; ++i)
        {
            if (InForce(flags, i))
                choice.nSelected = choice.nCurrent = i;
        }
        if (choice.nCurrent != MODE_ENTRY_NONE)
        {
            for (int i = 0; i < MODE_BUTTON_COUNT; ++i)
                choice.apszImage[i] = i == choice.nCurrent ? s_apszColour[i] : s_apszGrey[i];
        }
        break;
    }
    case ModeLayout::BluetoothOnly:
        choice.nModeCount = 1;
        choice.anModeCodes[0] = MODE_BT_ONLY;
        choice.pszBackground = SKIN_BACKGROUND_ONE;
        choice.apszImage[1] = "image/4bluetooth.bmp";
        choice.auTipId[1] = IDS_TIP_BT;
        // Only the fitted radio counts: a stray "on" bit of the missing one must not make
        // the single entry look current and so block turning Bluetooth on.
        choice.nCurrent = flags.bBluetoothOn ? 0 : MODE_ENTRY_NONE;
        break;
    case ModeLayout::WirelessOnly:
        choice.nModeCount = 1;
        choice.anModeCodes[0] = MODE_WIFI_ONLY;
        choice.pszBackground = SKIN_BACKGROUND_ONE;
        choice.auTipId[1] = IDS_TIP_WIFI;   // 1002 keeps the WiFi strip of the layout file
        choice.nCurrent = flags.bWirelessOn ? 0 : MODE_ENTRY_NONE;
        break;
    case ModeLayout::None:
        break;
    }
    for (int i = 0; i < choice.nModeCount; ++i)
    {
        choice.abAvailable[i] = ModeAllowedByPolicy(choice.anModeCodes[i], flags, policy);
        if (!choice.abAvailable[i])
            choice.auTipId[ModeButtonForEntry(choice.eLayout, i)] = IDS_POLICY_OFF;
    }
    // The selection starts on an entry that can be chosen, if one can.
    if (choice.nSelected < choice.nModeCount && !choice.abAvailable[choice.nSelected])
        choice.nSelected = StepAvailable(choice.nSelected, choice, false);
    return choice;
}

int ModeButtonForEntry(ModeLayout eLayout, int nEntry)
{
    return eLayout == ModeLayout::Three ? nEntry : 1;   // a single entry shows on 1002
}

ModeStatus ModeStatusFor(ModeLayout eLayout, const RadioFlags& flags, int nSelected)
{
    ModeStatus status;
    switch (eLayout)
    {
    case ModeLayout::Three: {
        static const unsigned s_auCurrent[] = { IDS_CURRENT_BOTH, IDS_CURRENT_WIFI, IDS_CURRENT_BT };
        static const unsigned s_auChange[] = { IDS_CHANGE_BOTH, IDS_CHANGE_WIFI, IDS_CHANGE_BT };
        if (nSelected < 0 || nSelected >= MODE_BUTTON_COUNT)
            break;
        status.uStringId = InForce(flags, nSelected) ? s_auCurrent[nSelected] : s_auChange[nSelected];
        status.bSetHighlights = true;
        status.abHighlight[nSelected] = true;
        break;
    }
    case ModeLayout::BluetoothOnly:
        status.uStringId = IDS_BT_ON;
        break;
    case ModeLayout::WirelessOnly:
        status.uStringId = IDS_WIFI_ON;
        break;
    case ModeLayout::None:
        break;
    }
    return status;
}

int ModeEntryForControl(ModeLayout eLayout, unsigned uControlId)
{
    switch (eLayout)
    {
    case ModeLayout::Three:
        for (int i = 0; i < MODE_BUTTON_COUNT; ++i)
        {
            static const unsigned s_auIds[] = { IDC_BTN_BOTH, IDC_BTN_WIFI, IDC_BTN_BT };
            if (uControlId == s_auIds[i])
                return i;
        }
        return -1;
    case ModeLayout::BluetoothOnly:
    case ModeLayout::WirelessOnly:
        return uControlId == IDC_BTN_WIFI ? 0 : -1;
    case ModeLayout::None:
        break;
    }
    return -1;
}

int StepSelection(int nSelected, int nModeCount, bool bLeft)
{
    if (nModeCount <= 0)
        return nSelected;
    if (bLeft)
        return (nSelected > 0 && nSelected <= nModeCount - 1) ? nSelected - 1 : nModeCount - 1;
    return (nSelected >= 0 && nSelected < nModeCount - 1) ? nSelected + 1 : 0;
}

int StepAvailable(int nSelected, const ModeLayoutChoice& choice, bool bLeft)
{
    int nStep = nSelected;
    for (int i = 0; i < choice.nModeCount; ++i)
    {
        nStep = StepSelection(nStep, choice.nModeCount, bLeft);
        if (choice.abAvailable[nStep])
            return nStep;
    }
    return nSelected;
}

bool ShouldApplyMode(bool bKillSwitchOn, int nSelected, int nCurrent, int nModeCount)
{
    // The entry count also guards the mode-code table, whose unused slots keep codes of an
    // earlier opening.
    return bKillSwitchOn && nSelected != nCurrent && nSelected >= 0 && nSelected < nModeCount;
}
