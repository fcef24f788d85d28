// The two pop-ups as the main frame runs them: constructed with no parent, shown modally,
// destroyed when they close. Each returns the modal result (-1: it could not be created).
#pragma once

#include <windows.h>

#include "framework/WinApp.h"

INT_PTR RunModeSelectionDialog();
INT_PTR RunSwitchOffNoticeDialog();
// Ends the open pop-up without a choice; false when none is open.
bool CloseOpenPopup();
// Idle preparation of what the first pop-up would load: the two backgrounds decoded and cut
// for the monitor in use, a piece each; the caption's face opened and its outlines read.
CIdleTask& PopupBackgroundsTask();
CIdleTask& CaptionFaceTask();

// While one lives, the pop-ups made open on the monitor in use when it was made. Made
// before Kova activates anything of its own: the window the user types in counts then.
class CPopupMonitorPin {
public:
    CPopupMonitorPin();
    ~CPopupMonitorPin();
    CPopupMonitorPin(const CPopupMonitorPin&) = delete;
    CPopupMonitorPin& operator=(const CPopupMonitorPin&) = delete;
};
