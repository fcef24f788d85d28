// What an event of the icon's callback does. Values in, values out; no Windows header.
#pragma once

// The callback's lParam as the shell sends it, unversioned or at NOTIFYICON_VERSION (3).
constexpr unsigned TRAY_EV_CONTEXTMENU = 0x007B;    // WM_CONTEXTMENU
constexpr unsigned TRAY_EV_MOUSEMOVE = 0x0200;      // WM_MOUSEMOVE
constexpr unsigned TRAY_EV_LBUTTONUP = 0x0202;      // WM_LBUTTONUP
constexpr unsigned TRAY_EV_LBUTTONDBLCLK = 0x0203;  // WM_LBUTTONDBLCLK
constexpr unsigned TRAY_EV_RBUTTONUP = 0x0205;      // WM_RBUTTONUP
constexpr unsigned TRAY_EV_SELECT = 0x0400;         // NIN_SELECT
constexpr unsigned TRAY_EV_KEYSELECT = 0x0401;      // NIN_KEYSELECT

enum class TrayAction { None, Menu, DefaultCommand };

// What the events before this one leave behind.
struct TrayEventState {
    bool bSelectEchoDue = false;   // a left click's NIN_SELECT is still to come
};

// uEvent for an icon whose shell took version 3 (bVersioned) or not.
TrayAction TrayActionFor(unsigned uEvent, bool bVersioned, TrayEventState& rState);
