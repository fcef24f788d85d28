#include "framework/Dpi.h"

#include <algorithm>

#include "framework/DynCalls.h"
#include "framework/Handles.h"

namespace kfw {

int ScreenDpi()
{
    CWindowDC screen(nullptr);
    return screen.Get() ? ::GetDeviceCaps(screen.Get(), LOGPIXELSX) : 0;
}

int MonitorDpi(HMONITOR hMonitor)
{
    const ShcoreCalls& shcore = Shcore();
    int nAwareness = 0;
    UINT uDpiX = 0, uDpiY = 0;
    if (shcore.pfnGetProcessDpiAwareness && shcore.pfnGetDpiForMonitor
        && SUCCEEDED(shcore.pfnGetProcessDpiAwareness(nullptr, &nAwareness))
        && nAwareness == 2 /*PROCESS_PER_MONITOR_DPI_AWARE*/
        && SUCCEEDED(shcore.pfnGetDpiForMonitor(hMonitor, 0 /*MDT_EFFECTIVE_DPI*/, &uDpiX, &uDpiY)))
        return static_cast<int>(uDpiX);
    const int nDpi = ScreenDpi();
    return nDpi ? nDpi : DPI_BASE;
}

int TaskbarDpi()
{
    UINT uDpi = 0;
    if (g_user32.pfnGetDpiForWindow)
    {
        if (HWND hTaskbar = ::FindWindowA("Shell_TrayWnd", nullptr))
            uDpi = g_user32.pfnGetDpiForWindow(hTaskbar);
    }
    if (uDpi == 0 && g_user32.pfnGetDpiForSystem)
        uDpi = g_user32.pfnGetDpiForSystem();
    if (uDpi == 0)
        uDpi = static_cast<UINT>(ScreenDpi());
    return ClampDpi(static_cast<int>(std::min<UINT>(uDpi, DPI_MAX)));
}

} // namespace kfw
