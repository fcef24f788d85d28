// CSwitchOffDlg: the radio-off notice. A small skinned pop-up with the greyed picture of the
// fitted radios and a caption, shown while the hardware switch is off. It closes 4 s after
// the pointer last left it, on a click on the picture, on Enter or on the refresh key.
#pragma once

#include <windows.h>

#include <string>

#include "app/Messages.h"
#include "app/ScanHook.h"
#include "framework/ToolTipCtrl.h"
#include "radio/SystemController.h"
#include "res/resource.h"
#include "skin/TPButton.h"
#include "skin/TPDialog.h"

// The notice's keyboard hook, installed for its window while it is open.
extern ScanHook g_noticeHook;

class CSwitchOffDlg : public CTPDialog {
public:
    explicit CSwitchOffDlg(CWnd* pParentWnd);
    ~CSwitchOffDlg() override;

    // Called for every message the modal loop takes: feeds the tool tip and holds the
    // auto-close while the pointer moves over the notice.
    BOOL PreTranslateMessage(MSG* pMsg) override;
    // Called with WM_INITDIALOG: hook, timer, tool tip, picture and caption, then centred.
    BOOL OnInitDialog() override;

    BEGIN_MSG_MAP(CSwitchOffDlg)
        ON_WM_TIMER()
        ON_CONTROL(BN_CLICKED, IDC_BTN_NOTICE, CloseDialog)
        ON_MESSAGE(WM_SCANCODE_EVENT, OnScanCode)
        ON_WM_MOUSEHOVER()
        ON_WM_MOUSELEAVE()
        if (uMsg == WM_HELP) { lResult = OnHelpInfo(reinterpret_cast<HELPINFO*>(lParam)); return TRUE; }
        ON_WM_CREATE()
        ON_WM_PAINT()
        if (uMsg == WM_NCHITTEST) { lResult = OnNcHitTest(kfw::PointFromLParam(lParam)); return TRUE; }
        ON_WM_MOUSEMOVE()
        CHAIN_MSG_MAP(CTPDialog)
    END_MSG_MAP()

protected:
    void OnTimer(UINT_PTR nIDEvent);
    // Removes the notice's hook and ends the dialog with IDOK.
    void CloseDialog();
    LRESULT OnScanCode(WPARAM wParam, LPARAM lParam);
    void OnMouseHover(UINT nFlags, POINT point);
    void OnMouseLeave();
    BOOL OnHelpInfo(HELPINFO* pHelpInfo);
    int OnCreate(LPCREATESTRUCTA lpCreateStruct);
    void OnPaint();
    LRESULT OnNcHitTest(POINT point);
    void OnMouseMove(UINT nFlags, POINT point);

private:
    // Picture strip and caption by the radios that are fitted.
    void ChooseLayout();
    void StartCloseTimer();
    void StopCloseTimer();
    // Runs the 4 s anew once the pointer is over neither the notice nor its picture.
    void RestartCloseTimerIfPointerOutside();
    bool IsPointerOverNotice() const;

    SystemController m_sysController;
    CTPButton m_btnNotice;
    CTPButton* m_pButtons;
    CToolTipCtrl m_toolTip;
    std::string m_strTip;
    std::string m_strCaption;
    bool m_bTracking;
};
