// CTrayIcon: the one notification-area icon, its tip and its context menu.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include "framework/Handles.h"
#include "framework/Wnd.h"
#include "tray/TrayLook.h"

// The full record, balloon-icon handle included, as the shell of Vista and later takes it.
static_assert(sizeof(NOTIFYICONDATAA) == 508, "NOTIFYICONDATAA must be the 508-byte record");

// The shell call, replaceable so tests can record every request and fail some.
using PFN_SHELLNOTIFYICONA = BOOL(WINAPI*)(DWORD dwMessage, PNOTIFYICONDATAA lpData);
extern PFN_SHELLNOTIFYICONA g_pfnShellNotifyIcon;   // Shell_NotifyIconA

// The theme's registry read and the scale, replaceable by tests. The two user32 calls are
// looked up at start: null before Windows 10 1607, and then the older calls are used.
using PFN_REGGETVALUEA = LSTATUS(WINAPI*)(HKEY hkey, LPCSTR lpSubKey, LPCSTR lpValue, DWORD dwFlags,
                                          LPDWORD pdwType, PVOID pvData, LPDWORD pcbData);
using PFN_GETDPIFORSYSTEM = UINT(WINAPI*)();
using PFN_GETSYSTEMMETRICSFORDPI = int(WINAPI*)(int nIndex, UINT dpi);
extern PFN_REGGETVALUEA g_pfnRegGetValue;                        // RegGetValueA
extern PFN_GETDPIFORSYSTEM g_pfnGetDpiForSystem;                 // GetDpiForSystem
extern PFN_GETSYSTEMMETRICSFORDPI g_pfnGetSystemMetricsForDpi;   // GetSystemMetricsForDpi

// The taskbar's theme now (HKCU ...\Themes\Personalize, SystemUsesLightTheme).
TaskbarTheme ReadTaskbarTheme();
// The primary monitor's DPI, 96..480, and the small-icon size the shell asks for there.
UINT TrayDpi();
SIZE TrayIconSize(UINT uDpi);

// Run-time class name "CTrayIcon". Hidden while m_nid.hIcon is null, shown otherwise.
class CTrayIcon : public CCmdTarget {
public:
    // uID names the icon to the shell, the menu resource and the first tip (string uID).
    explicit CTrayIcon(UINT uID);
    // Removes the icon if it is still shown.
    ~CTrayIcon() override;

    // Window and message for the shell's mouse callbacks; used from the next SetIcon.
    void SetNotificationWnd(CWnd* pNotifyWnd, UINT uCbMsg);
    // Icon and tip of resource uID (0: no icon, which removes a shown one). The icon is
    // loaded at the tray's size for the current DPI, in the set of the taskbar's theme.
    BOOL SetIcon(UINT uID, DWORD dwMessage);
    // The shell request; a null hicon always means removal. hicon stays the caller's.
    BOOL SetIcon(HICON hicon, LPCSTR lpTip, DWORD dwMessage);
    // The picture set of the next SetIcon(uID, ...).
    void SetTaskbarTheme(TaskbarTheme eTheme) { m_eTheme = eTheme; }
    TaskbarTheme GetTaskbarTheme() const { return m_eTheme; }

    // Called by the notification window with its callback message's wParam and lParam;
    // 1 when the event was handled.
    virtual LRESULT OnTrayNotification(WPARAM wID, LPARAM lEvent);

    const NOTIFYICONDATAA& GetNotifyIconData() const { return m_nid; }
    BOOL IsShown() const { return m_nid.hIcon != nullptr; }

protected:
    NOTIFYICONDATAA m_nid;

private:
    kfw::CIcon m_hIcon;   // the icon SetIcon(uID, ...) loaded, while the shell may use it
    TaskbarTheme m_eTheme = TaskbarTheme::Dark;
};
