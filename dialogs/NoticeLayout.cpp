#include "dialogs/NoticeLayout.h"

#include "res/resource.h"

namespace {

const unsigned kKeyReleased = 0x80;   // LLKHF_UP
const unsigned kScanRefresh = 0x71;
const unsigned kScanEnter = 0x1C;

} // namespace

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
    if (uScanCode == kScanRefresh)
        return NoticeKeyAction::RefreshAndClose;
    // Only a press: the release of the Enter that chose "&Option" in the tray menu comes
    // after the notice is up, and must not close it.
    if (uScanCode == kScanEnter && !(uFlags & kKeyReleased))
        return NoticeKeyAction::Close;
    return NoticeKeyAction::Ignore;
}
