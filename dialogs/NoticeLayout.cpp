#include "dialogs/NoticeLayout.h"

#include "res/KovaNames.h"
#include "res/resource.h"

NoticeLayout ChooseNoticeLayout(bool bWirelessFitted, bool bBluetoothFitted)
{
    if (bWirelessFitted && !bBluetoothFitted)
        return { "image/nwl_main.txt", IDS_OFF_WIFI };
    if (bBluetoothFitted && !bWirelessFitted)
        return { "image/nbt_main.txt", IDS_OFF_BT };
    return { "image/nall_main.txt", IDS_OFF_BOTH };
}

NoticeKeyAction ClassifyNoticeKey(unsigned uFlags, unsigned uScanCode)
{
    if (uScanCode == SCAN_REFRESH)
        return NoticeKeyAction::RefreshAndClose;
    // Only a press: the release of the Enter that chose "&Option" in the tray menu comes
    // after the notice is up, and must not close it.
    if (uScanCode == SCAN_ENTER && !(uFlags & KEY_RELEASED))
        return NoticeKeyAction::Close;
    return NoticeKeyAction::Ignore;
}
