#include "dialogs/KovaDlg.h"

#include "dialogs/Popups.h"
#include "radio/PolicyRead.h"
#include "skin/SkinArchive.h"

namespace {

// VK_SPACE and the space character: a message carrying it is never passed on.
constexpr WPARAM SPACE = 0x20;

const char IMAGE_MAP[] = "image/kon_main.txt";
const char POSITIONS[] = "image/kon_main.pos.txt";
const UINT BUTTON_IDS[MODE_BUTTON_COUNT] = { IDC_BTN_BOTH, IDC_BTN_WIFI, IDC_BTN_BT };

// Where the single button of a one-radio machine sits on the small background.
const POINT SINGLE_BUTTON_AT = { 14, 44 };
// The status line, under the buttons of each background.
const Gdiplus::PointF STATUS_AT_THREE(CAPTION_AT_THREE.x, CAPTION_AT_THREE.y);
const Gdiplus::PointF STATUS_AT_ONE(CAPTION_AT_ONE.x, CAPTION_AT_ONE.y);

} // namespace

CKovaDlg::CKovaDlg(CWnd* pParent, CSkinPictureStore& rPictures)
    : CSkinPopup(IDD_KOVA_DIALOG, pParent, SKIN_BACKGROUND_THREE, rPictures)
{
}

CKovaDlg::~CKovaDlg() = default;

void CKovaDlg::OnInitPopup()
{
    m_flags = ReadRadioFlags(m_sysController);
    OnInitStep("init_radio_read");
    InitLayout();
    UpdateSelection(TRUE);
    OnInitStep("init_status_invalidate");
    ::SetActiveWindow(m_hWnd);
    OnInitStep("init_activate");
}

void CKovaDlg::InitLayout()
{
    // Read at each opening: a change of policy counts from the next pop-up on.
    m_layout = ChooseModeLayout(m_flags, ReadRadioPolicy());
    if (m_layout.eLayout == ModeLayout::None)
        return;

    m_nSelected = m_layout.nSelected;
    for (int i = 0; i < m_layout.nModeCount; ++i)
        m_anModeCodes[i] = m_layout.anModeCodes[i];
    m_nModeCount = m_layout.nModeCount;
    m_nCurrent = m_layout.nCurrent;
    m_pCaptionAt = m_layout.eLayout == ModeLayout::Three ? &STATUS_AT_THREE : &STATUS_AT_ONE;
    LayOutControls();
}

void CKovaDlg::OnAddTips()
{
    for (int i = 0; i < MODE_BUTTON_COUNT; ++i)
    {
        if (!m_layout.auTipId[i])
            continue;
        m_strTip = LoadResString(m_layout.auTipId[i]);
        m_toolTip.AddTool(m_pButtons[i], m_strTip.c_str());
    }
}

bool CKovaDlg::WrapsTips() const
{
    // The three-button layout's tips have two lines.
    return m_layout.bWideTips;
}

void CKovaDlg::LayOutControls()
{
    // The result is not needed: a control without its image or place still works.
    if (const SkinArchive* pArchive = Pictures().GetArchive())
    {
        for (int i = 0; i < MODE_BUTTON_COUNT; ++i)
            LoadControlSkin(m_pButtons[i], BUTTON_IDS[i], *pArchive, IMAGE_MAP, POSITIONS);
    }
    OnInitStep("init_control_skins");
    SetBackground(m_layout.pszBackground);
    OnInitStep("init_change_background_setwindowrgn_place");
    SetButtonImages();
    // A choice the organisation forbids is greyed and takes no pointer, and a screen reader
    // hears why.
    for (int i = 0; i < m_nModeCount; ++i)
    {
        const HWND hButton = m_pButtons[ModeButtonForEntry(m_layout.eLayout, i)]->m_hWnd;
        ::EnableWindow(hButton, m_layout.abAvailable[i]);
        if (!m_layout.abAvailable[i])
            ::SetWindowTextW(hButton, LoadResString(IDS_POLICY_OFF).c_str());
    }
    if (m_nModeCount == 1)
    {
        HWND hSingle = m_btnWifi.m_hWnd;
        ::ShowWindow(hSingle, SW_HIDE);
        ::SetWindowPos(hSingle, HWND_TOP, Scaled(SINGLE_BUTTON_AT.x), Scaled(SINGLE_BUTTON_AT.y), 0, 0, SWP_NOSIZE);
        ::ShowWindow(m_btnBoth.m_hWnd, SW_HIDE);
        ::ShowWindow(m_btnBluetooth.m_hWnd, SW_HIDE);
        ::ShowWindow(hSingle, SW_SHOW);
    }
    OnInitStep("init_button_images");
}

void CKovaDlg::OnScaleChanged()
{
    if (m_layout.eLayout != ModeLayout::None)
        LayOutControls();
}

void CKovaDlg::SetButtonImages()
{
    for (int i = 0; i < MODE_BUTTON_COUNT; ++i)
    {
        if (m_layout.apszImage[i])
            SetButtonImage(*m_pButtons[i], m_layout.apszImage[i]);
    }
}

void CKovaDlg::UpdateSelection(BOOL bInitial)
{
    RestartAutoClose();
    if (!bInitial)
    {
        if (m_layout.eLayout == ModeLayout::Three)
            SetButtonImages();
        if (m_bKeyNavigation)
            m_nSelected = StepAvailable(m_nSelected, m_layout, m_bMoveLeft);
    }
    if (m_layout.eLayout == ModeLayout::None)
        return;
    const ModeStatus status = ModeStatusFor(m_layout.eLayout, m_flags, m_nSelected);
    if (status.uStringId)
        m_strCaption = LoadResString(status.uStringId);
    if (status.bSetHighlights)
        SetButtonHighlights(status.abHighlight[0], status.abHighlight[1], status.abHighlight[2]);
    // A screen reader announces the title and follows the focus: the title is the status
    // line, and a step moves the focus to the newly selected button.
    ::SetWindowTextW(m_hWnd, m_strCaption.c_str());
    if (HWND hSelected = bInitial ? nullptr : SelectedButton())
        FocusControl(hSelected);
    // The buttons as well: the dialog paints over its children, and new images or
    // highlights must show at once.
    ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

HWND CKovaDlg::SelectedButton() const
{
    switch (m_layout.eLayout)
    {
    case ModeLayout::Three:
        return m_nSelected >= 0 && m_nSelected < MODE_BUTTON_COUNT ? m_pButtons[m_nSelected]->m_hWnd : nullptr;
    case ModeLayout::BluetoothOnly:
    case ModeLayout::WirelessOnly:
        return m_btnWifi.m_hWnd;   // the single button
    case ModeLayout::None:
        break;
    }
    return nullptr;
}

void CKovaDlg::SetButtonHighlights(BYTE a, BYTE b, BYTE c)
{
    m_btnBoth.SetHighlight(a);
    m_btnWifi.SetHighlight(b);
    m_btnBluetooth.SetHighlight(c);
}

void CKovaDlg::OnButton(UINT nID)
{
    // The entry behind the button: on a one-radio machine the single button is entry 0.
    const int nEntry = ModeEntryForControl(m_layout.eLayout, nID);
    m_bKeyNavigation = false;
    if (nEntry >= 0 && m_layout.abAvailable[nEntry])
        m_nSelected = nEntry;
    UpdateSelection(FALSE);
    ApplyModeCode();
    CloseDialog();
}

LRESULT CKovaDlg::OnScanCode(WPARAM wParam, LPARAM lParam)
{
    ::SetActiveWindow(m_hWnd);
    const auto uFlags = static_cast<unsigned>(wParam);
    const auto uScanCode = static_cast<unsigned>(lParam);
    if (uFlags & KEY_RELEASED)
        return 1;
    switch (uScanCode)
    {
    case SCAN_RADIO_KEY:
        // The hot key that opened the pop-up steps right when pressed again; without the
        // extended flag it is another key.
        if (!(uFlags & KEY_EXTENDED))
            break;
        [[fallthrough]];
    case SCAN_LEFT:
    case SCAN_RIGHT:
        m_bKeyNavigation = true;
        m_bMoveLeft = uScanCode == SCAN_LEFT;
        UpdateSelection(FALSE);
        break;
    case SCAN_ENTER:
        ApplyModeCode();
        CloseDialog();
        break;
    case SCAN_REFRESH:
        NotifyMainFrame();
        CloseDialog();
        break;
    default:
        break;
    }
    return 1;
}

BOOL CKovaDlg::PreTranslateMessage(MSG* pMsg)
{
    // The space bar would press the focused button: its key and character messages go,
    // and only those (a hook event's flags or a mouse message's buttons may be 0x20 too).
    const bool bKeyOrChar = pMsg->message == WM_KEYDOWN || pMsg->message == WM_KEYUP || pMsg->message == WM_CHAR;
    if (bKeyOrChar && pMsg->wParam == SPACE)
        return TRUE;

    const bool bOurs = pMsg->hwnd == m_hWnd || ::IsChild(m_hWnd, pMsg->hwnd);
    if (bOurs && pMsg->message == WM_MOUSEHOVER && m_layout.eLayout == ModeLayout::Three)
    {
        const int nEntry = ModeEntryForControl(m_layout.eLayout, static_cast<unsigned>(::GetDlgCtrlID(pMsg->hwnd)));
        if (nEntry >= 0 && m_layout.abAvailable[nEntry])
        {
            m_strCaption = LoadResString(ModeStatusFor(m_layout.eLayout, m_flags, nEntry).uStringId);
            m_nSelected = nEntry;
        }
        // The hovered button draws its own hover slice; resting on the background clears all.
        SetButtonHighlights(0, 0, 0);
        ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    }
    return CSkinPopup::PreTranslateMessage(pMsg);
}

void CKovaDlg::ApplyModeCode()
{
    if (!ShouldApplyMode(m_flags.bKillSwitchOn, m_nSelected, m_nCurrent, m_nModeCount) ||
        !m_layout.abAvailable[m_nSelected])
        return;
    ::ApplyModeCode(m_sysController, m_anModeCodes[m_nSelected], m_flags.bBluetoothExist && m_flags.bWirelessExist);
    NotifyMainFrame();
}

INT_PTR RunModeSelectionDialog(CSkinPictureStore& rPictures)
{
    CKovaDlg dlg(nullptr, rPictures);
    return dlg.DoModal();
}
