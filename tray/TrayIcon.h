// CTrayIcon: the one notification-area icon, its tip and its context menu.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <shellapi.h>

#include "framework/Handles.h"
#include "framework/Wnd.h"
#include "tray/TrayEvents.h"
#include "tray/TrayLook.h"

// The full record, balloon-icon handle included, as the shell of Vista and later takes it.
static_assert(sizeof(NOTIFYICONDATAW) == 956, "NOTIFYICONDATAW must be the 956-byte record");

// The taskbar's theme now (HKCU ...\Themes\Personalize, SystemUsesLightTheme).
TaskbarTheme ReadTaskbarTheme();
// The small-icon size the shell asks for at the taskbar's DPI (kfw::TaskbarDpi).
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
    // The shell request; a null hicon always means removal. hicon stays the caller's. An
    // added icon is asked for version 3 at once: the keyboard's events come only with it.
    BOOL SetIcon(HICON hicon, LPCWSTR lpTip, DWORD dwMessage);
    // The picture set of the next SetIcon(uID, ...).
    void SetTaskbarTheme(TaskbarTheme eTheme) { m_eTheme = eTheme; }
    // Lines the tip of the next SetIcon(uID, ...) gains below the string uID; empty for none.
    void SetTipNote(std::wstring strNote) { m_strTipNote = std::move(strNote); }
    TaskbarTheme GetTaskbarTheme() const { return m_eTheme; }

    // Called by the notification window with its callback message's wParam and lParam;
    // 1 when the event was handled. The menu, or the default command sent to the window.
    virtual LRESULT OnTrayNotification(WPARAM wID, LPARAM lEvent);

    const NOTIFYICONDATAW& GetNotifyIconData() const { return m_nid; }
    BOOL IsShown() const { return m_nid.hIcon != nullptr; }
    // The shell took version 3 for the icon shown.
    bool IsVersioned() const { return m_bVersioned; }

protected:
    NOTIFYICONDATAW m_nid;

private:
    bool m_bVersioned = false;
    bool m_bActing = false;           // a menu or command of an event is running
    TrayEventState m_events;
    kfw::CIcon m_hIcon;   // the icon SetIcon(uID, ...) loaded, while the shell may use it
    std::wstring m_strTipNote;
    TaskbarTheme m_eTheme = TaskbarTheme::Dark;
};
