// CKeyHolder: who holds the keys of the process's keyboard hook (CKeyHook): the frame, or
// the pop-up open over it; and whether a lock holds them off. One place keeps it, so the
// keys are handed over in one order whatever comes between. The user-interface thread's
// only.
#pragma once

#include <windows.h>

#include "framework/KeyHook.h"

namespace kfw {

class CKeyHolder {
public:
    CKeyHolder() = delete;

    // The frame is made: it takes the keys, and nothing is held off or lent yet.
    static BOOL FrameTakes(const KeyHookNames& names, HWND hWndFrame, HINSTANCE hMod);
    // The frame opens a pop-up: until it takes the keys back, a resume gives them to the
    // pop-up open then, or to no one.
    static void FrameLends();
    // The frame's pop-up has gone: the frame takes the keys again, unless they are held off.
    static void FrameTakesBack();
    // The frame gives up what others see of it: the hook goes.
    static BOOL FrameLeaves();

    // A pop-up takes the keys, remembering who had them; one that holds them already (built
    // again for a new DPI) keeps whom it remembered.
    static BOOL PopupOpens(const KeyHookNames& names, HWND hWndPopup, HINSTANCE hMod);
    // The pop-up hands the keys back in place to whoever had them; unhooks when it cannot
    // (that window is gone, or the hook was taken away meanwhile).
    static void PopupCloses(HWND hWndPopup);

    // A lock: no hook until Resume, whoever held the keys.
    static void HoldOff();
    // An unlock or a connect: the keys go to the frame, or to the frame's open pop-up; a
    // hook kept meanwhile is put in place anew, as Windows may have dropped it.
    static void Resume();
};

} // namespace kfw
