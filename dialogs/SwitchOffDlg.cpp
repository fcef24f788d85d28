#include "dialogs/SwitchOffDlg.h"

#include "dialogs/ModeSelection.h"
#include "dialogs/NoticeLayout.h"
#include "dialogs/Popups.h"
#include "skin/SkinArchive.h"

namespace {

const Gdiplus::PointF CAPTION_ORIGIN(CAPTION_AT_ONE.x, CAPTION_AT_ONE.y);

} // namespace

CSwitchOffDlg::CSwitchOffDlg(CWnd* pParentWnd, CSkinPictureStore& rPictures)
    : CSkinPopup(IDD_SWITCHOFF_DIALOG, pParentWnd, SKIN_BACKGROUND_ONE, rPictures)
{
    m_pCaptionAt = &CAPTION_ORIGIN;
}

CSwitchOffDlg::~CSwitchOffDlg() = default;

void CSwitchOffDlg::OnInitPopup()
{
    m_strTip = LoadResString(IDS_TIP_OFF);
    const RadioFlags flags = ReadRadioFlags(m_sysController);
    const NoticeLayout layout = ChooseNoticeLayout(flags.bWirelessExist, flags.bBluetoothExist);
    m_pszImageMap = layout.pszImageMap;
    OnScaleChanged();
    m_strCaption = LoadResString(layout.uCaptionId, LoadResString(IDS_OFF_BOTH));
    ::SetWindowTextW(m_hWnd, m_strCaption.c_str());   // what a screen reader announces
}

void CSwitchOffDlg::OnAddTips()
{
    // The tool is the picture's window, which is ours only once the layout has attached it.
    if (m_btnNotice.m_hWnd)
        m_toolTip.AddTool(&m_btnNotice, m_strTip.c_str());
}

void CSwitchOffDlg::OnScaleChanged()
{
    // A picture that cannot be loaded leaves the button blank; the notice still says why.
    if (const SkinArchive* pArchive = Pictures().GetArchive())
        LoadControlSkin(&m_btnNotice, IDC_BTN_NOTICE, *pArchive, m_pszImageMap, "image/koff_main.pos.txt");
}

LRESULT CSwitchOffDlg::OnScanCode(WPARAM wParam, LPARAM lParam)
{
    switch (ClassifyNoticeKey(static_cast<unsigned>(wParam), static_cast<unsigned>(lParam)))
    {
    case NoticeKeyAction::RefreshAndClose:
        NotifyMainFrame();
        CloseDialog();
        break;
    case NoticeKeyAction::Close:
        CloseDialog();
        break;
    case NoticeKeyAction::Ignore:
        break;
    }
    return 1;
}

INT_PTR RunSwitchOffNoticeDialog(CSkinPictureStore& rPictures)
{
    CSwitchOffDlg dlg(nullptr, rPictures);
    return dlg.DoModal();
}
