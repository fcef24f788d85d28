// CDialog: a modal dialog from a resource template, run by a loop of our own so that
// PreTranslateMessage sees every message.
#pragma once

#include "framework/Wnd.h"

class CDialog : public CWnd {
public:
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);

    // Creates the dialog, runs it until EndDialog and destroys it. Returns the EndDialog
    // result, or -1 when the window cannot be created or initialisation ended it with -1.
    virtual INT_PTR DoModal();
    // Called with WM_INITDIALOG; TRUE lets the system set the focus.
    virtual BOOL OnInitDialog();
    // Called on IDOK / IDCANCEL; the base ends the dialog with that result.
    virtual void OnOK();
    virtual void OnCancel();

    // Ends the modal loop with nResult; may be called from OnInitDialog.
    void EndDialog(int nResult);

    // The dialog manager's keyboard handling (tab, arrows, Enter, Esc).
    BOOL PreTranslateMessage(MSG* pMsg) override;

    BEGIN_MSG_MAP(CDialog)
        ON_WM_INITDIALOG()
        ON_COMMAND(IDOK, OnOK)
        ON_COMMAND(IDCANCEL, OnCancel)
    END_MSG_MAP()

protected:
    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;

private:
    static INT_PTR CALLBACK DialogProc(HWND, UINT, WPARAM, LPARAM);

    bool m_bEnded = false;
    int m_nModalResult = -1;
};
