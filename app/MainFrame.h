// CMainFrame: the hidden main window. It owns the radio state as the tray shows it and
// receives every trigger: hot keys, named events, the shell, power and session changes.
#pragma once

#include <windows.h>

#include "app/AppKit.h"
#include "app/DisplayState.h"
#include "app/Messages.h"
#include "app/ScanHook.h"
#include "framework/FrameWnd.h"
#include "framework/Handles.h"
#include "radio/SystemController.h"
#include "res/resource.h"
#include "tray/TrayIcon.h"

extern ScanHook g_frameHook;
extern BOOL g_bDialogShown;
extern BOOL g_bConsoleDisconnected;
extern const UINT g_uTaskbarCreatedMsg;

class CMainFrame : public CFrameWnd {
public:
    CMainFrame();
    ~CMainFrame() override;

    // Re-reads the status byte into the cached flags; a StatusClass value.
    int GetCurrentStatus();
    // Shows the tray picture of the cached flags; dwMessage is NIM_ADD or NIM_MODIFY.
    void UpdateTrayIcon(DWORD dwMessage);
    // Shows the pop-up that fits the current state, modally.
    void ShowStatusDialog();
    // Loads EMSC.dll and resolves its entry point; ends the process when it cannot.
    void LoadEMSC();

    BOOL DestroyWindow() override;

    // The cached flags as one value, for the display rules.
    RadioFlags CachedFlags() const;

    BEGIN_MSG_MAP(CMainFrame)
        ON_WM_CLOSE()
        ON_WM_CREATE()
        ON_WM_SETFOCUS()
        ON_COMMAND(ID_APP_EXIT, OnAppExit)
        ON_COMMAND(ID_OPTION, OnOption)
        ON_MESSAGE(WM_CLOSE_REQUEST, OnCloseRequest)
        ON_MESSAGE(WM_MODE_CHANGED, OnModeChanged)
        ON_MESSAGE(WM_SCANCODE_EVENT, OnScanCode)
        ON_WM_POWERBROADCAST()
        ON_WM_WTSSESSION_CHANGE()
        ON_MESSAGE(WM_TRAY_CALLBACK, OnTrayCallback)
        ON_MESSAGE(g_uTaskbarCreatedMsg, OnTaskbarCreated)
    END_MSG_MAP()

protected:
    BOOL PreCreateWindow(CREATESTRUCTA& cs) override;

    // The two pop-ups. Each runs modally and returns the modal result (-1: not created).
    virtual INT_PTR RunModeSelection();
    virtual INT_PTR RunSwitchOffNotice();
    // Called when EMSC.dll is missing or unusable, after the message box: ends the process.
    virtual void OnEmscMissing();

    void OnClose();
    int OnCreate(LPCREATESTRUCTA lpCreateStruct);
    void OnSetFocus(HWND) {}
    void OnAppExit();
    void OnOption();
    LRESULT OnCloseRequest(WPARAM wParam, LPARAM lParam);
    LRESULT OnModeChanged(WPARAM wParam, LPARAM lParam);
    LRESULT OnScanCode(WPARAM wParam, LPARAM lParam);
    LRESULT OnPowerBroadcast(UINT nPowerEvent, LPARAM lParam);
    void OnSessionChange(UINT nSessionState, UINT nId);
    LRESULT OnTrayCallback(WPARAM wParam, LPARAM lParam);
    LRESULT OnTaskbarCreated(WPARAM wParam, LPARAM lParam);

    SystemController m_sysController;
    CAppKit m_appKit;
    BOOL m_bBluetoothOn = FALSE;
    BOOL m_bWirelessOn = FALSE;
    BOOL m_bBluetoothExist = FALSE;
    BOOL m_bWirelessExist = FALSE;
    BOOL m_bKillSwitchOn = FALSE;
    CTrayIcon m_trayIcon;
    kfw::CHandle m_hSemaphore;
    kfw::CModule m_hEMSC;   // set only when this frame loaded the library itself

private:
    void Refresh(DWORD dwMessage);
    void InstallHook();
    bool m_bSessionRegistered = false;
};
