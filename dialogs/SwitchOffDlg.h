// CSwitchOffDlg: the radio-off notice. A small skinned pop-up with the greyed picture of the
// fitted radios and a caption, shown while the hardware switch is off. It closes 4 s after
// the pointer last left it, on a click on the picture, on Enter or on the refresh key.
#pragma once

#include <windows.h>

#include "dialogs/SkinPopup.h"
#include "radio/SystemController.h"
#include "res/resource.h"
#include "skin/TPButton.h"

class CSwitchOffDlg : public CSkinPopup {
public:
    CSwitchOffDlg(CWnd* pParentWnd, CSkinPictureStore& rPictures);
    ~CSwitchOffDlg() override;

    BEGIN_MSG_MAP(CSwitchOffDlg)
        ON_CONTROL(BN_CLICKED, IDC_BTN_NOTICE, CloseDialog)
        ON_MESSAGE(WM_SCANCODE_EVENT, OnScanCode)
        CHAIN_MSG_MAP(CSkinPopup)
    END_MSG_MAP()

protected:
    // The picture strip, tip and caption for the radios that are fitted.
    void OnInitPopup() override;
    // The picture's strip and place again, at the new DPI.
    void OnScaleChanged() override;
    void OnAddTips() override;
    // Its two-line tip.
    bool WrapsTips() const override { return true; }
    LRESULT OnScanCode(WPARAM wParam, LPARAM lParam);

private:
    SystemController m_sysController;
    CTPButton m_btnNotice;
    const char* m_pszImageMap = nullptr;   // the picture of the fitted radios
};
