// What Kova's windows, its peers, its installers and the shell agree on: the private
// messages, the key events of the keyboard hook, and the names of the shared objects. Ids
// only, no Windows header: the platform-free decisions read the scan codes too. CMake reads
// each `#define KOVA_NAME "text"` line for the installers (cmake/KovaNames.cmake): keep
// those one plain string on one line.
#pragma once

// Private window messages; other processes and the shell rely on these values.
constexpr unsigned WM_SCANCODE_EVENT = 0x8064;   // WM_APP + 0x64, hook -> target: wParam the flags, lParam the scan code
constexpr unsigned WM_CLOSE_REQUEST = 0x8078;    // WM_APP + 0x78: quit
constexpr unsigned WM_MODE_CHANGED = 0x8082;     // WM_APP + 0x82: re-read the radios, refresh the tray
constexpr unsigned WM_TRAY_CALLBACK = 0x4C4;     // WM_USER + 0xC4: wParam the icon id, lParam the mouse message

// Flags of a key event as the low-level hook reports them (LLKHF_EXTENDED, LLKHF_UP).
constexpr unsigned KEY_EXTENDED = 0x01;
constexpr unsigned KEY_RELEASED = 0x80;

// Scan codes.
constexpr unsigned SCAN_RADIO_KEY = 0x04;   // with KEY_EXTENDED: opens the pop-up, steps right in it
constexpr unsigned SCAN_ENTER = 0x1C;       // main and keypad Enter
constexpr unsigned SCAN_LEFT = 0x4B;        // arrow, or keypad 4
constexpr unsigned SCAN_RIGHT = 0x4D;       // arrow, or keypad 6
constexpr unsigned SCAN_REFRESH = 0x71;     // re-read the radios; closes an open pop-up

// The main frame's window class (also the single-instance mutex), by which peers find it.
#define KOVA_WINDOW_CLASS "KovamodeClass"
// Serialises hot-key handling with other processes that know the name.
#define KOVA_SEMAPHORE_NAME "Dorn_Semaphore"
// Set by other processes: re-read the radio state / quit.
#define KOVA_NOTIFY_EVENT_NAME "KovamodeNotifyEvent"
#define KOVA_CLOSE_EVENT_NAME "KovamodeCloseEvent"

// What the installers write and Kova finds again. The maker, whose folder in Program Files
// holds Kova's; Kova opens its help document there.
#define KOVA_PUBLISHER "Pravo"
#define KOVA_INSTALL_FOLDER KOVA_PUBLISHER "\\Kova"
#define KOVA_HELP_NAME "kovaHelp.mht"
// Under HKLM: "Version" (the About box shows it) and "StartAtLogon".
#define KOVA_REG_KEY "SOFTWARE\\KOVA"
// The Run entry's value, for every user's logon.
#define KOVA_RUN_VALUE "Kova"

// The organisation's policy, read never written. Kova's own: REG_DWORD values of this key
// under HKLM (computer) and HKCU (user); 0 forbids switching that radio on.
#define KOVA_POLICY_KEY "SOFTWARE\\Policies\\Pravo\\Kova"
#define KOVA_POLICY_ALLOW_WIFI "AllowWiFi"
#define KOVA_POLICY_ALLOW_BLUETOOTH "AllowBluetooth"
// Windows' device policies (Policy CSP) under HKLM, with the same value names. The WiFi key
// follows the Bluetooth key's pattern; no published source confirms it.
#define KOVA_DEVICE_POLICY_BLUETOOTH_KEY "SOFTWARE\\Microsoft\\PolicyManager\\current\\device\\Connectivity"
#define KOVA_DEVICE_POLICY_WIFI_KEY "SOFTWARE\\Microsoft\\PolicyManager\\current\\device\\Wifi"

// The keyboard hook's key path, as kfw::KeyHookNames: the message each key comes as, the
// window classes of its input and key-watch threads, its requests' registered messages, the
// threads' names and what its trace lines call it.
#define KOVA_KEY_PATH_NAMES                                                                         \
    { WM_SCANCODE_EVENT, "KovaInputSink", "KovaKeyWatch", "KovaKeyPathRequest", "KovaKeyPathQuit", \
      L"Kova input", L"Kova key watch", "ScanHook" }
