// Resource ids, shared by the resource script and the code.
#pragma once

// Menu, application icon and its string ("Kova").
#define IDR_MAINFRAME            128
// Tray pictures; each string of the same id is the icon's tool tip.
#define IDI_TRAY_BOTH_ON         143
#define IDI_TRAY_BOTH_OFF        144
#define IDI_TRAY_BT_ON           145
#define IDI_TRAY_BT_OFF          146
#define IDI_TRAY_WLAN_ON         147
#define IDI_TRAY_WLAN_OFF        148
// The same pictures with dark marks, for a light taskbar: each dark id + IDI_TRAY_LIGHT_OFFSET.
#define IDI_TRAY_LIGHT_OFFSET    20
#define IDI_TRAY_BOTH_ON_LIGHT   163
#define IDI_TRAY_BOTH_OFF_LIGHT  164
#define IDI_TRAY_BT_ON_LIGHT     165
#define IDI_TRAY_BT_OFF_LIGHT    166
#define IDI_TRAY_WLAN_ON_LIGHT   167
#define IDI_TRAY_WLAN_OFF_LIGHT  168
// The skin archive, resource type "TAR".
#define IDR_SKIN_TAR             149

// Dialog templates.
#define IDD_ABOUTBOX             125
#define IDD_KOVA_DIALOG          126
#define IDD_SWITCHOFF_DIALOG     127

// Controls.
#define IDC_BTN_BOTH             1001
#define IDC_BTN_WIFI             1002
#define IDC_BTN_BT               1003
#define IDC_BTN_NOTICE           1005
#define IDC_ABOUT_VERSION        1007

// Commands.
#define ID_OPTION                129
#define ID_APP_ABOUT             57664
#define ID_APP_EXIT              57665

// Strings.
#define IDS_APP_TITLE            57344
#define IDS_OFF_BOTH             131
#define IDS_WIFI_ON              133
#define IDS_BT_ON                135
#define IDS_CHANGE_BOTH          137
#define IDS_CHANGE_WIFI          139
#define IDS_CHANGE_BT            141
#define IDS_TIP_BOTH             150
#define IDS_TIP_WIFI             151
#define IDS_TIP_BT               152
#define IDS_TIP_OFF              153
#define IDS_CURRENT_BOTH         154
#define IDS_CURRENT_WIFI         155
#define IDS_CURRENT_BT           156
#define IDS_OFF_WIFI             158
#define IDS_OFF_BT               159
#define IDS_CAPTION_FONT         160
#define IDS_POLICY_OFF           161
#define IDS_POLICY_TIP_WIFI      162
#define IDS_POLICY_TIP_BT        163
