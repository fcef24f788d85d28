// Resource ids of the tray tests' own resources.
#pragma once

#define IDR_TEST_TRAY       128   // icon, string "Kova" and the four-line menu
#define IDI_TEST_BOTH_ON    143
#define IDI_TEST_BT_ON      145
#define IDI_TEST_BOTH_ON_LIGHT 163   // a light twin of 143 only; 145 has none
#define IDI_TEST_LONG_TIP   160   // a 200-character string
#define IDI_TEST_NO_STRING  170   // an icon without a string
#define IDS_TEST_NO_ICON    171   // a string without an icon
#define IDS_TEST_SCRIPTS    175   // an icon and a string in three scripts, one character past the BMP
#define IDR_TEST_NO_POPUP   180   // a menu bar without a pop-up
#define IDR_TEST_NOTHING    190   // no resource of any kind
