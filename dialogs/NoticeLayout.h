// The radio-off notice's decisions, free of Windows: which picture and caption suit the
// fitted radios, and what a key event seen by the keyboard hook does to the notice.
#pragma once

struct NoticeLayout {
    const char* pszImageMap;   // skin archive member mapping control 1005 to its strip
    unsigned uCaptionId;       // string resource drawn under the picture
};

// The picture and caption for the radios that are fitted. With none fitted (the notice is
// not shown then) the combined one.
NoticeLayout ChooseNoticeLayout(bool bWirelessFitted, bool bBluetoothFitted);

enum class NoticeKeyAction {
    Ignore,
    Close,             // Enter pressed
    RefreshAndClose,   // the refresh key, pressed or released
};

// uFlags: the low-level hook's flags (0x80 set on a release); uScanCode: the key's scan code.
NoticeKeyAction ClassifyNoticeKey(unsigned uFlags, unsigned uScanCode);
