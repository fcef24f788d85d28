// Asking Windows for a DPI: of the screen, of a monitor, of the taskbar. The arithmetic is in
// framework/DpiScale.h.
#pragma once

#include <windows.h>

#include "framework/DpiScale.h"

namespace kfw {

// The screen's DPI as this process sees it, as Windows says it; 0 without a screen DC.
int ScreenDpi();
// The monitor's DPI as this process sees it. Only a per-monitor aware process is told each
// monitor's own (shcore, Windows 8.1 on); any other sees the system's on every monitor, and
// the system scales its windows. As Windows says it; 96 when nothing answers.
int MonitorDpi(HMONITOR hMonitor);
// The taskbar's DPI, which the tray icon is drawn at. A per-monitor aware program reads the
// system DPI once per process: after a change of scale without signing out only the
// taskbar's own window tells the new one. Windows gives a program without DPI awareness 96
// whatever the scale (hence the manifest); Wine 8 scales nothing and reports the real DPI.
// Clamped to 96..480.
int TaskbarDpi();

} // namespace kfw
