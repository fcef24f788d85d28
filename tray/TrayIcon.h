// CTrayIcon: the one notification-area icon, its tip and its context menu.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include "framework/Wnd.h"

// The full record, balloon-icon handle included, as the shell of Vista and later takes it.
static_assert(sizeof(NOTIFYICONDATAA) == 508, "NOTIFYICONDATAA must be the 508-byte record");

// The shell call, replaceable so tests can record every request and fail some.
using PFN_SHELLNOTIFYICONA = BOOL(WINAPI*)(DWORD dwMessage, PNOTIFYICONDATAA lpData);
extern PFN_SHELLNOTIFYICONA g_pfnShellNotifyIcon;   // Shell_NotifyIconA

// Run-time class name "CTrayIcon". Hidden while m_nid.hIcon is null, shown otherwise.
class CTrayIcon : public CCmdTarget {
public:
    // uID names the icon to the shell, the menu resource and the first tip (string uID).
    explicit CTrayIcon(UINT uID);
    // Removes the icon if it is still shown.
    ~CTrayIcon() override;

    // Window and message for the shell's mouse callbacks; used from the next SetIcon.
    void SetNotificationWnd(CWnd* pNotifyWnd, UINT uCbMsg);
    // Icon and tip of resource uID (0: no icon, which removes a shown one).
    BOOL SetIcon(UINT uID, DWORD dwMessage);
    // The shell request; a null hicon always means removal.
    BOOL SetIcon(HICON hicon, LPCSTR lpTip, DWORD dwMessage);

    // Called by the notification window with its callback message's wParam and lParam;
    // 1 when the event was handled.
    virtual LRESULT OnTrayNotification(WPARAM wID, LPARAM lEvent);

    const NOTIFYICONDATAA& GetNotifyIconData() const { return m_nid; }
    BOOL IsShown() const { return m_nid.hIcon != nullptr; }

protected:
    NOTIFYICONDATAA m_nid;
};
