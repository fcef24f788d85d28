// The two pop-ups as the main frame runs them: constructed with no parent, shown modally,
// destroyed when they close. Each returns the modal result (-1: it could not be created).
#pragma once

#include <windows.h>

#include "framework/WinApp.h"

class CSkinPictureStore;   // skin/PictureStore.h

// rPictures: the store the pop-up's pictures come from.
INT_PTR RunModeSelectionDialog(CSkinPictureStore& rPictures);
INT_PTR RunSwitchOffNoticeDialog(CSkinPictureStore& rPictures);
// Ends the open pop-up without a choice; false when none is open.
bool CloseOpenPopup();
// Idle preparation of what the first pop-up would load, into rPictures: the two backgrounds
// decoded and cut for the monitor in use, a piece each; the caption's face opened and its
// outlines read.
class CPopupBackgroundsTask : public CIdleTask {
public:
    explicit CPopupBackgroundsTask(CSkinPictureStore& rPictures) : m_rPictures(rPictures) {}
    bool DoPiece() override;

private:
    CSkinPictureStore& m_rPictures;
    int m_nDone = 0;
};
class CCaptionFaceTask : public CIdleTask {
public:
    explicit CCaptionFaceTask(CSkinPictureStore& rPictures) : m_rPictures(rPictures) {}
    bool DoPiece() override;

private:
    CSkinPictureStore& m_rPictures;
};

// While one lives, the pop-ups made open on the monitor in use when it was made. Made
// before Kova activates anything of its own: the window the user types in counts then.
class CPopupMonitorPin {
public:
    CPopupMonitorPin();
    ~CPopupMonitorPin();
    CPopupMonitorPin(const CPopupMonitorPin&) = delete;
    CPopupMonitorPin& operator=(const CPopupMonitorPin&) = delete;
};
