// Windows functions bound at run time: a system Kova runs on may lack them, or the resident
// program should not map their DLL before it needs it. One list per DLL, each function bound
// once; beside each, what its callers do without it. Entries are null where missing. Tests
// may put fakes in any entry, those of a list bound at first use included: the list is bound
// by the first call, and the fake replaces what that bound. The functions linked as imports
// that tests replace are in LinkedCalls.h.
#pragma once

#include <windows.h>
#include <dwmapi.h>
#include <shellapi.h>

using PFN_GETNATIVESYSTEMINFO = void(WINAPI*)(LPSYSTEM_INFO lpSystemInfo);
using PFN_GETDPIFORSYSTEM = UINT(WINAPI*)();
using PFN_GETSYSTEMMETRICSFORDPI = int(WINAPI*)(int nIndex, UINT dpi);
using PFN_GETDPIFORWINDOW = UINT(WINAPI*)(HWND hWnd);

namespace kfw {

// kernel32, user32 and ntdll are mapped before any code of ours runs: bound at start.
struct Kernel32Calls {
    // Without it Windows does not start Kova again after an installer closed it.
    HRESULT(WINAPI* pfnRegisterApplicationRestart)(PCWSTR pwzCommandline, DWORD dwFlags);
    // Windows XP before SP1: the processor reads as x86.
    PFN_GETNATIVESYSTEMINFO pfnGetNativeSystemInfo;
    // The diagnosis: without it the system is 32-bit, older than any 64-bit Windows.
    BOOL(WINAPI* pfnIsWow64Process)(HANDLE hProcess, PBOOL pbWow64);
    // The diagnosis: without it the locale name is not reported.
    int(WINAPI* pfnLCIDToLocaleName)(LCID lcid, LPWSTR pszName, int cchName, DWORD dwFlags);
    // Windows 10 1607 and later; without it a debugger shows the threads unnamed.
    HRESULT(WINAPI* pfnSetThreadDescription)(HANDLE hThread, PCWSTR pszDescription);
};
extern Kernel32Calls g_kernel32;

// Names the calling thread for debuggers and crash dumps, where the system can.
void NameCurrentThread(PCWSTR pszName);
// A DLL of the system folder, never one of the program's folder or the search path; null
// when it cannot be loaded.
HMODULE LoadSystemLibrary(const char* pszName);

struct User32Calls {
    // Windows 7 and later; without it a uiAccess build misses the shell's restart notice.
    BOOL(WINAPI* pfnChangeWindowMessageFilterEx)(HWND hWnd, UINT uMsg, DWORD dwAction, void* pFilter);
    // Windows 10 1607 and later; without them the system's DPI, then the screen's.
    PFN_GETDPIFORWINDOW pfnGetDpiForWindow;
    PFN_GETDPIFORSYSTEM pfnGetDpiForSystem;
    // Windows 10 1607 and later; without it GetSystemMetrics, scaled.
    PFN_GETSYSTEMMETRICSFORDPI pfnGetSystemMetricsForDpi;
    // The diagnosis: without it the screen's DPI is reported as an unaware process sees it.
    BOOL(WINAPI* pfnSetProcessDPIAware)();
};
extern User32Calls g_user32;

struct NtdllCalls {
    // The diagnosis: without it the Windows version is not reported.
    LONG(WINAPI* pfnRtlGetVersion)(OSVERSIONINFOW* pVersion);
};
extern NtdllCalls g_ntdll;

// The rest are mapped at their first use, from the system folder, and kept for the process,
// as an import would be.

// Windows 8.1 and later; without them a pop-up takes the system's DPI on every monitor.
struct ShcoreCalls {
    HRESULT(WINAPI* pfnGetProcessDpiAwareness)(HANDLE hProcess, int* pnAwareness);
    HRESULT(WINAPI* pfnGetDpiForMonitor)(HMONITOR hMonitor, int nType, UINT* puDpiX, UINT* puDpiY);
};
ShcoreCalls& Shcore();

// Without it no skin stream is made, and no pop-up can show.
struct Ole32Calls {
    HRESULT(WINAPI* pfnCreateStreamOnHGlobal)(HGLOBAL hGlobal, BOOL bDeleteOnRelease, LPSTREAM* ppStream);
};
Ole32Calls& Ole32();

// By bare name, so that the manifest's version 6 is mapped. Without it tool tips may not show.
struct ComCtl32Calls {
    BOOL(WINAPI* pfnInitCommonControlsEx)(const INITCOMMONCONTROLSEX* pInit);
};
ComCtl32Calls& ComCtl32();

// Vista and later; without them the Vista set-up of a pop-up does nothing.
struct DwmApiCalls {
    HRESULT(WINAPI* pfnEnableComposition)(UINT uCompositionAction);   // ordinal 102, no name
    HRESULT(WINAPI* pfnSetWindowAttribute)(HWND hWnd, DWORD dwAttribute, LPCVOID pvAttribute, DWORD cbAttribute);
    HRESULT(WINAPI* pfnEnableBlurBehindWindow)(HWND hWnd, const DWM_BLURBEHIND* pBlurBehind);
};
DwmApiCalls& DwmApi();

// For kovactl, which does not link shell32. Windows 7 and later
// (Wine's answers E_NOTIMPL); without it the tray icon's place is not reported.
struct Shell32Calls {
    HRESULT(WINAPI* pfnShellNotifyIconGetRect)(const NOTIFYICONIDENTIFIER* pIdentifier, RECT* pRect);
};
Shell32Calls& Shell32();

} // namespace kfw
