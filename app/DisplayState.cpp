#include "app/DisplayState.h"

#include "res/resource.h"

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

int PolicyTipLines(const RadioFlags& flags, const RadioPolicy& policy, unsigned (&auIds)[2])
{
    // Off as the tray shows it: the switch off cuts a radio whatever its bit says.
    int n = 0;
    if (flags.bWirelessExist && policy.bWirelessForbidden && !(flags.bWirelessOn && flags.bKillSwitchOn))
        auIds[n++] = IDS_POLICY_TIP_WIFI;
    if (flags.bBluetoothExist && policy.bBluetoothForbidden && !(flags.bBluetoothOn && flags.bKillSwitchOn))
        auIds[n++] = IDS_POLICY_TIP_BT;
    return n;
}
