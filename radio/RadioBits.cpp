#include "radio/RadioBits.h"

int StatusBit(uint8_t byStatus, uint8_t byMask)
{
    return (byStatus & byMask) != 0 ? 1 : 0;
}

uint8_t WithRadioBit(uint8_t byStatus, uint8_t byMask, bool bOn)
{
    return static_cast<uint8_t>(bOn ? (byStatus | byMask) : (byStatus & ~byMask));
}

std::vector<RadioWrite> ModeCodeWrites(int nModeCode, bool bBothFitted)
{
    // A radio is only switched off when the other one is chosen alone, and only when both are
    // fitted: on a single-radio machine the one button must never cut the radio it shows.
    switch (nModeCode)
    {
    case MODE_BT_ONLY:
        if (bBothFitted)
            return { { Radio::Bluetooth, true }, { Radio::Wlan, false } };
        return { { Radio::Bluetooth, true } };
    case MODE_BOTH_ON:
        return { { Radio::Bluetooth, true }, { Radio::Wlan, true } };
    case MODE_WIFI_ONLY:
        if (bBothFitted)
            return { { Radio::Bluetooth, false }, { Radio::Wlan, true } };
        return { { Radio::Wlan, true } };
    default:
        return {};
    }
}

RadioFlags RadioFlagsFromStatus(uint8_t byStatus)
{
    RadioFlags flags;
    flags.bWirelessOn = StatusBit(byStatus, STATUS_WLAN_ON) != 0;
    flags.bBluetoothOn = StatusBit(byStatus, STATUS_BT_ON) != 0;
    flags.bWirelessExist = StatusBit(byStatus, STATUS_WLAN_PRESENT) != 0;
    flags.bBluetoothExist = StatusBit(byStatus, STATUS_BT_PRESENT) != 0;
    flags.bKillSwitchOn = StatusBit(byStatus, STATUS_KILLSWITCH_ON) != 0;
    return flags;
}
