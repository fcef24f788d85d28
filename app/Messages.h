// Kova's private window messages. All of them go to the main frame, whose peers find it by
// its window class.
#pragma once

#include <windows.h>

// Keyboard hook -> its target: wParam the hook record's flags, lParam the scan code.
constexpr UINT WM_SCANCODE_EVENT = WM_APP + 0x64;
// Quit: posted by the event watcher on the close event, sent by the frame on WM_CLOSE.
constexpr UINT WM_CLOSE_REQUEST = WM_APP + 0x78;
// Re-read the radio state and refresh the tray icon.
constexpr UINT WM_MODE_CHANGED = WM_APP + 0x82;
// The shell's tray icon callback: wParam the icon id, lParam the mouse message.
constexpr UINT WM_TRAY_CALLBACK = WM_USER + 0xC4;

static_assert(WM_SCANCODE_EVENT == 0x8064 && WM_CLOSE_REQUEST == 0x8078 &&
              WM_MODE_CHANGED == 0x8082 && WM_TRAY_CALLBACK == 0x4C4,
              "other processes and the shell rely on these values");

// The window class of the main frame, by which other processes and the pop-ups find it.
#define KOVA_WINDOW_CLASS "KovamodeClass"
// Serialises hot-key handling with other processes that know the name.
#define KOVA_SEMAPHORE_NAME "Dorn_Semaphore"
