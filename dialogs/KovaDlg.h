// CKovaDlg: the skinned pop-up in which the user picks the radio mode, with the mouse or with
// the keys its own keyboard hook brings in (arrows and the radio hot key step, Enter applies).
// It closes by itself 4 seconds after the last activity.
#pragma once

#include <windows.h>

#include <string>

#include "app/Messages.h"
#include "app/ScanHook.h"
#include "dialogs/ModeSelection.h"
#include "framework/ToolTipCtrl.h"
#include "radio/SystemController.h"
#include "res/resource.h"
#include "skin/TPButton.h"
#include "skin/TPDialog.h"

constexpr UINT_PTR ID_TIMER_AUTOCLOSE = 1;
constexpr UINT AUTOCLOSE_MS = 4000;

// Mode code of each entry index; rewritten at every opening for the entries it uses.
extern int g_modeCodes[MODE_BUTTON_COUNT];
// TRUE after an arrow-key event, FALSE after a click: only key events move the selection.
extern BOOL g_bKeyNavigation;
// Direction of the last arrow-key event.
extern BOOL g_bMoveLeft;
// The keyboard hook the pop-up installs for itself while it is open.
extern ScanHook g_dialogHook;

class CKovaDlg : public CTPDialog {
public:
    explicit CKovaDlg(CWnd* pParent);
    ~CKovaDlg() override;

    // Called with WM_INITDIALOG: hook, timer, status read, layout, first selection, base
    // initialisation, centring. The window first shows after this, at its final place.
    BOOL OnInitDialog() override;
    // Called for every message of the modal loop for the dialog and its buttons.
    BOOL PreTranslateMessage(MSG* pMsg) override;

    // What the pop-up shows, for tests.
    int GetSelected() const { return m_nSelected; }
    int GetCurrent() const { return m_nCurrent; }
    int GetModeCount() const { return m_nModeCount; }
    const std::string& GetStatus() const { return m_strStatus; }

    BEGIN_MSG_MAP(CKovaDlg)
        ON_WM_CREATE()
        ON_WM_TIMER()
        ON_CONTROL(BN_CLICKED, IDC_BTN_BOTH, OnBtn1)
        ON_CONTROL(BN_CLICKED, IDC_BTN_WIFI, OnBtn2)
        ON_CONTROL(BN_CLICKED, IDC_BTN_BT, OnBtn3)
        ON_MESSAGE(WM_SCANCODE_EVENT, OnScanCode)
        ON_WM_MOUSEHOVER()
        ON_WM_MOUSELEAVE()
        ON_WM_PAINT()
        ON_MESSAGE(WM_HELP, OnHelpInfo)
        if (uMsg == WM_NCHITTEST) { lResult = OnNcHitTest(); return TRUE; }
        ON_WM_MOUSEMOVE()
        if (uMsg == WM_WINDOWPOSCHANGING) { OnWindowPosChanging(reinterpret_cast<WINDOWPOS*>(lParam)); }
        CHAIN_MSG_MAP(CTPDialog)
    END_MSG_MAP()

protected:
    int OnCreate(LPCREATESTRUCTA lpCreateStruct);
    void OnTimer(UINT_PTR nIDEvent);
    void OnBtn1() { OnButton(0); }
    void OnBtn2() { OnButton(1); }
    void OnBtn3() { OnButton(2); }
    LRESULT OnScanCode(WPARAM wParam, LPARAM lParam);
    void OnMouseHover(UINT, POINT) {}
    void OnMouseLeave();
    void OnPaint();
    LRESULT OnHelpInfo(WPARAM, LPARAM);
    LRESULT OnNcHitTest();
    void OnMouseMove(UINT nFlags, POINT point);
    void OnWindowPosChanging(WINDOWPOS* pWindowPos);

private:
    void OnButton(int nEntry);
    void ReadRadioStatus();
    void InitLayout();
    void SetButtonImages();
    void UpdateSelection(BOOL bInitial);
    void SetStatus(const ModeStatus& status);
    void SetButtonHighlights(BYTE a, BYTE b, BYTE c);
    void ApplyModeCode();
    void CloseDialog();
    void NotifyMainFrame();
    void RestartAutoClose();
    void StopAutoClose();
    bool IsCursorOverDialog() const;
    RadioFlags Flags() const;

    int m_nModeCount = 0;
    int m_nSelected = 0;
    int m_nCurrent = MODE_ENTRY_NONE;
    BOOL m_bBluetoothOn = FALSE;
    BOOL m_bWirelessOn = FALSE;
    BOOL m_bBluetoothExist = FALSE;
    BOOL m_bWirelessExist = FALSE;
    BOOL m_bKillSwitchOn = FALSE;
    SystemController m_sysController;
    CTPButton m_btnBoth;
    CTPButton m_btnWifi;
    CTPButton m_btnBluetooth;
    CTPButton* m_pButtons[MODE_BUTTON_COUNT] = {};
    std::string m_strTip;
    std::string m_strStatus;
    CToolTipCtrl m_toolTip;
    BYTE m_bTracking = 0;

    ModeLayoutChoice m_layout;           // what InitLayout chose, reused at every key step
    bool m_bInitialising = false;        // OnInitDialog runs: the window must not show yet
};
