#include "app/DisplayState.h"

#include "radio/RadioBits.h"
#include "res/resource.h"

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

RadioFlags MakeRadioFlags(int bWirelessOn, int bBluetoothOn, int bWirelessExist, int bBluetoothExist,
                          int bKillSwitchOn)
{
    RadioFlags flags;
    flags.bWirelessOn = bWirelessOn != 0;
    flags.bBluetoothOn = bBluetoothOn != 0;
    flags.bWirelessExist = bWirelessExist != 0;
    flags.bBluetoothExist = bBluetoothExist != 0;
    flags.bKillSwitchOn = bKillSwitchOn != 0;
    return flags;
}

StatusClass ClassifyStatus(const RadioFlags& flags)
{
    if (!flags.bWirelessExist && !flags.bBluetoothExist)
        return STATUS_CLASS_NO_DEVICE;
    return flags.bKillSwitchOn ? STATUS_CLASS_SWITCH_ON : STATUS_CLASS_SWITCH_OFF;
}

unsigned TrayIdFor(const RadioFlags& flags)
{
    // A radio that is not fitted never counts as on, and the switch off cuts both.
    const bool bWlan = flags.bWirelessExist && flags.bKillSwitchOn && flags.bWirelessOn;
    const bool bBt = flags.bBluetoothExist && flags.bKillSwitchOn && flags.bBluetoothOn;

    if (flags.bWirelessExist && flags.bBluetoothExist)
    {
        if (bWlan && bBt)
            return IDI_TRAY_BOTH_ON;
        if (bWlan)
            return IDI_TRAY_WLAN_ON;
        if (bBt)
            return IDI_TRAY_BT_ON;
        return IDI_TRAY_BOTH_OFF;
    }
    if (flags.bWirelessExist)
        return bWlan ? IDI_TRAY_WLAN_ON : IDI_TRAY_WLAN_OFF;
    if (flags.bBluetoothExist)
        return bBt ? IDI_TRAY_BT_ON : IDI_TRAY_BT_OFF;
    return IDI_TRAY_BOTH_OFF;
}
