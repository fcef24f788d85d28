// Stand-in until the skinned pop-up exists: the plain template, closed by a click or
// after a few seconds.
#include "dialogs/Popups.h"

#include "framework/Dialog.h"
#include "res/resource.h"

namespace {
class CPlaceholderDlg : public CDialog {
public:
    CPlaceholderDlg() : CDialog(IDD_SWITCHOFF_DIALOG) {}
    BOOL OnInitDialog() override
    {
        ::SetTimer(m_hWnd, 1, 4000, nullptr);
        return CDialog::OnInitDialog();
    }
    BEGIN_MSG_MAP(CPlaceholderDlg)
        if (uMsg == WM_TIMER) { EndDialog(IDCANCEL); return TRUE; }
        if (uMsg == WM_LBUTTONDOWN) { EndDialog(IDOK); return TRUE; }
        CHAIN_MSG_MAP(CDialog)
    END_MSG_MAP()
};
} // namespace

INT_PTR RunSwitchOffNoticeDialog()
{
    CPlaceholderDlg dlg;
    return dlg.DoModal();
}
