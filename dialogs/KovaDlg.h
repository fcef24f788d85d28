// CKovaDlg: the skinned pop-up in which the user picks the radio mode, with the mouse or with
// the keys its keyboard hook brings in (arrows and the radio hot key step, Enter applies).
#pragma once

#include <windows.h>

#include <string>

#include "dialogs/ModeSelection.h"
#include "dialogs/SkinPopup.h"
#include "radio/SystemController.h"
#include "res/resource.h"
#include "skin/TPButton.h"

class CKovaDlg : public CSkinPopup {
public:
    CKovaDlg(CWnd* pParent, CSkinPictureStore& rPictures);
    ~CKovaDlg() override;

    // Called for every message of the modal loop: keeps the space bar from the buttons, and
    // a hovered button selects its entry.
    BOOL PreTranslateMessage(MSG* pMsg) override;

    // What the pop-up shows, for tests.
    int GetSelected() const { return m_nSelected; }

    BEGIN_MSG_MAP(CKovaDlg)
        ON_CONTROL(BN_CLICKED, IDC_BTN_BOTH, OnBtn1)
        ON_CONTROL(BN_CLICKED, IDC_BTN_WIFI, OnBtn2)
        ON_CONTROL(BN_CLICKED, IDC_BTN_BT, OnBtn3)
        ON_MESSAGE(WM_SCANCODE_EVENT, OnScanCode)
        CHAIN_MSG_MAP(CSkinPopup)
    END_MSG_MAP()

protected:
    // Reads the radios, lays out the buttons for them and shows the first selection.
    void OnInitPopup() override;
    // The buttons' strips and places again, at the new DPI.
    void OnScaleChanged() override;
    void OnAddTips() override;
    bool WrapsTips() const override;
    HWND SelectedButton() const override;

    void OnBtn1() { OnButton(IDC_BTN_BOTH); }
    void OnBtn2() { OnButton(IDC_BTN_WIFI); }
    void OnBtn3() { OnButton(IDC_BTN_BT); }
    LRESULT OnScanCode(WPARAM wParam, LPARAM lParam);

private:
    void OnButton(UINT nID);
    void InitLayout();
    // Strips, background and places of the chosen layout at the pop-up's DPI.
    void LayOutControls();
    void SetButtonImages();
    void UpdateSelection(BOOL bInitial);
    void SetButtonHighlights(BYTE a, BYTE b, BYTE c);
    void ApplyModeCode();

    int m_nModeCount = 0;
    int m_nSelected = 0;
    int m_nCurrent = MODE_ENTRY_NONE;
    // Mode code of each entry index, for the entries this opening uses.
    int m_anModeCodes[MODE_BUTTON_COUNT] = {};
    // Set by an arrow-key event, cleared by a click: only key events move the selection.
    bool m_bKeyNavigation = false;
    bool m_bMoveLeft = false;   // direction of the last arrow-key event
    RadioFlags m_flags;                  // as read at opening; not read again
    SystemController m_sysController;
    CTPButton m_btnBoth;
    CTPButton m_btnWifi;
    CTPButton m_btnBluetooth;
    CTPButton* m_pButtons[MODE_BUTTON_COUNT] = { &m_btnBoth, &m_btnWifi, &m_btnBluetooth };
    ModeLayoutChoice m_layout;           // what InitLayout chose, reused at every key step
};
