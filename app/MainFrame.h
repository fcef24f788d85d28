// CMainFrame: the hidden main window. It owns the radio state as the tray shows it and
// receives every trigger: hot keys, named events, the shell, power and session changes.
#pragma once

#include <windows.h>

#include <functional>
#include <utility>

#include "app/AppKit.h"
#include "app/DisplayState.h"
#include "app/SingleInstance.h"
#include "framework/FrameWnd.h"
#include "framework/Handles.h"
#include "radio/EmscAccess.h"
#include "radio/SystemController.h"
#include "res/KovaNames.h"
#include "res/resource.h"
#include "tray/TrayIcon.h"

class CSkinPictureStore;   // skin/PictureStore.h

extern const UINT g_uTaskbarCreatedMsg;

// At logon the shell and the session service may not be ready: what failed at creation is
// tried again every 2 s for 2 minutes.
constexpr UINT_PTR ID_TIMER_LOGON_RETRY = 1;
constexpr UINT LOGON_RETRY_MS = 2000;
constexpr int LOGON_RETRY_COUNT = 60;

class CMainFrame : public CFrameWnd {
public:
    CMainFrame();
    ~CMainFrame() override;

    // Re-reads the status byte into the cached flags; a StatusClass value.
    int GetCurrentStatus();
    // Shows the tray picture of the cached flags; dwMessage is NIM_ADD or NIM_MODIFY. The
    // shell's answer.
    BOOL UpdateTrayIcon(DWORD dwMessage);
    // Shows the pop-up that fits the current state, modally.
    void ShowStatusDialog();
    // Called before each pop-up is made: whatever the pop-ups need and start-up left for
    // later must be ready by then.
    void SetPopupPreparation(std::function<void()> fnPrepare) { m_fnPreparePopup = std::move(fnPrepare); }
    // The store the pop-ups' pictures come from; without one no pop-up can be made.
    void SetPictureStore(CSkinPictureStore* pPictures) { m_pPictures = pPictures; }
    // Called with the frame's window as soon as it exists, before anything can keep it
    // waiting (the error box at start): who posts to the frame can do so from then on.
    void SetWindowMade(std::function<void(HWND)> fnMade) { m_fnWindowMade = std::move(fnMade); }
    // Loads EMSC.dll and resolves its entry point; ends the process when it cannot.
    void LoadEMSC();
    // The single-instance mutex, given back with the rest of what other processes see.
    void KeepInstance(CSingleInstance instance) { m_instance = std::move(instance); }

    BOOL DestroyWindow() override;

    // A pop-up of the frame's is open.
    bool IsDialogShown() const { return m_bDialogShown; }
    // The console was disconnected and has not been connected since.
    bool IsConsoleDisconnected() const { return m_bConsoleDisconnected; }

    BEGIN_MSG_MAP(CMainFrame)
        ON_WM_CLOSE()
        ON_WM_CREATE()
        ON_WM_SETFOCUS()
        ON_WM_TIMER()
        ON_COMMAND(ID_APP_EXIT, OnAppExit)
        ON_COMMAND(ID_OPTION, OnOption)
        ON_MESSAGE(WM_CLOSE_REQUEST, OnCloseRequest)
        ON_MESSAGE(WM_MODE_CHANGED, OnModeChanged)
        ON_MESSAGE(WM_SCANCODE_EVENT, OnScanCode)
        ON_WM_POWERBROADCAST()
        ON_WM_WTSSESSION_CHANGE()
        ON_WM_ENDSESSION()
        ON_MESSAGE(WM_TRAY_CALLBACK, OnTrayCallback)
        ON_MESSAGE(g_uTaskbarCreatedMsg, OnTaskbarCreated)
        ON_WM_SETTINGCHANGE()
        ON_WM_DPICHANGED()
        ON_WM_DISPLAYCHANGE()
    END_MSG_MAP()

protected:
    BOOL PreCreateWindow(CREATESTRUCTA& cs) override;
    // "&About Kova" while a pop-up is open waits for it; every other command goes on.
    BOOL OnCmdMsg(UINT uMsg, WPARAM wParam, LPARAM lParam) override;

    // The two pop-ups. Each runs modally and returns the modal result (-1: not created).
    virtual INT_PTR RunModeSelection();
    virtual INT_PTR RunSwitchOffNotice();
    // Called when EMSC.dll is missing or unusable, after the message box: ends the process.
    virtual void OnEmscMissing();
    // Ends the open pop-up without a choice.
    virtual void ClosePopup();

    void OnClose();
    int OnCreate(LPCREATESTRUCTA lpCreateStruct);
    void OnSetFocus(HWND) {}
    void OnTimer(UINT_PTR nIDEvent);
    void OnAppExit();
    void OnOption();
    LRESULT OnCloseRequest(WPARAM wParam, LPARAM lParam);
    LRESULT OnModeChanged(WPARAM wParam, LPARAM lParam);
    LRESULT OnScanCode(WPARAM wParam, LPARAM lParam);
    LRESULT OnPowerBroadcast(UINT nPowerEvent, LPARAM lParam);
    void OnSessionChange(UINT nSessionState, UINT nId);
    void OnEndSession(BOOL bEnding, UINT uReason);
    LRESULT OnTrayCallback(WPARAM wParam, LPARAM lParam);
    LRESULT OnTaskbarCreated(WPARAM wParam, LPARAM lParam);
    void OnSettingChange(UINT uFlags, LPCWSTR lpszSection);
    void OnDpiChanged(UINT, UINT, RECT*) { RepaintTrayIcon(false); }
    void OnDisplayChange(UINT, int, int);

    SystemController m_sysController;
    CAppKit m_appKit;
    RadioFlags m_flags;     // as the last GetCurrentStatus read them
    CTrayIcon m_trayIcon;
    kfw::CHandle m_hSemaphore;
    CEmscAccess m_emsc;

private:
    BOOL Refresh(DWORD dwMessage);
    // Gives back what other processes see of Kova: session notifications, hook, icon,
    // library, the semaphore's unit and the single-instance name. Safe to call again.
    void ReleaseResidence();
    void PreparePopup();
    // One of Kova's two error boxes, which a close request ends as OK would.
    void ShowErrorBox(LPCWSTR pszText, HWND hWndOwner);
    void CloseErrorBox();
    // Tries again what failed at creation: the tray icon and the session notifications.
    void RetryLogonSetUp();
    // The shown icon again, at the size of the scale now and, if asked, in the set of the
    // taskbar's theme read again; the radio state is the one last read.
    void RepaintTrayIcon(bool bRereadTheme);

    bool m_bSessionRegistered = false;
    bool m_bIconAdded = false;
    int m_nLogonRetries = 0;
    bool m_bSemaphoreHeld = false;   // a hot key is being handled
    bool m_bQuitPending = false;     // asked to quit while a pop-up was open
    bool m_bAboutPending = false;    // asked for the About box while a pop-up was open
    std::function<void()> m_fnPreparePopup;
    CSkinPictureStore* m_pPictures = nullptr;
    std::function<void(HWND)> m_fnWindowMade;
    bool m_bErrorBoxShown = false;   // one of the two error boxes runs its loop
    CSingleInstance m_instance;
    bool m_bDialogShown = false;
    bool m_bConsoleDisconnected = false;
};
