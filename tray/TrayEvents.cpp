#include "tray/TrayEvents.h"

TrayAction TrayActionFor(unsigned uEvent, bool bVersioned, TrayEventState& rState)
{
    // A versioned shell follows a left button's release with NIN_SELECT and a right one's
    // with WM_CONTEXTMENU (Windows and Wine alike). A click keeps doing what it did
    // unversioned: the left one nothing, the right one the menu, once.
    const bool bEcho = rState.bSelectEchoDue;
    if (uEvent != TRAY_EV_MOUSEMOVE)
        rState.bSelectEchoDue = bVersioned && uEvent == TRAY_EV_LBUTTONUP;
    switch (uEvent)
    {
    case TRAY_EV_LBUTTONDBLCLK:
    case TRAY_EV_KEYSELECT:
        return TrayAction::DefaultCommand;
    case TRAY_EV_SELECT:
        // Without a click before it, Enter on the icon the pointer chose.
        return bEcho ? TrayAction::None : TrayAction::DefaultCommand;
    case TRAY_EV_RBUTTONUP:
        return bVersioned ? TrayAction::None : TrayAction::Menu;
    case TRAY_EV_CONTEXTMENU:
        return TrayAction::Menu;
    default:
        return TrayAction::None;
    }
}
