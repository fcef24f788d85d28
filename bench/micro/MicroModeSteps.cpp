// The three-button mode pop-up opened step by step, for a profile of its opening. CKovaDlg
// keeps its steps private, so this dialog makes the same calls on the same public pieces
// (template, hook, controller, layout decisions, LoadControlSkin, ChangeBackground, tool
// tips, ReplaceImage, the base initialisation, centring) in the order CKovaDlg::OnInitDialog
// makes them, and notes the time after each. popup_mode_three remains the figure of the
// real pop-up; this one shows where its time goes and must stay close to it.
#include "bench/micro/MicroPieces.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/ScanHook.h"
#include "dialogs/KovaDlg.h"
#include "dialogs/ModeSelection.h"
#include "framework/ToolTipCtrl.h"
#include "radio/SystemController.h"
#include "res/resource.h"
#include "skin/SkinCaption.h"
#include "skin/TPButton.h"
#include "skin/TPDialog.h"

namespace {

constexpr UINT kMsgShown = WM_APP + 0x3A2;
constexpr UINT_PTR kTimeoutTimer = 0x4B4E;
constexpr UINT kTimeoutMs = 10000;
const Gdiplus::PointF kStatusAt(128.0f, 169.0f);
const UINT kButtonIds[MODE_BUTTON_COUNT] = { IDC_BTN_BOTH, IDC_BTN_WIFI, IDC_BTN_BT };

struct StepStamps {
    std::vector<std::pair<std::string, int64_t>> marks;   // step name, time at its end
    bool bShownAndPainted = false;
    // The step that makes an outline, split at ExtCreateRegion: "<step>_to_outline" up to
    // the call, "<step>_extcreateregion" the call.
    std::string strRegionStep;

    void Mark(std::string strStep) { marks.emplace_back(std::move(strStep), CRepTimer::Now()); }
};

// Splits the steps that make an outline at ExtCreateRegion (through the seam CTPDialog calls
// it by): before it the picture is decoded and read, after it the window takes the region.
StepStamps* g_pRegionStamps = nullptr;
PFN_EXTCREATEREGION g_pfnRealExtCreateRegion = nullptr;

HRGN WINAPI MarkingExtCreateRegion(const XFORM* lpx, DWORD nCount, const RGNDATA* lpData)
{
    if (g_pRegionStamps)
        g_pRegionStamps->Mark(g_pRegionStamps->strRegionStep + "_to_outline");
    HRGN hRgn = g_pfnRealExtCreateRegion(lpx, nCount, lpData);
    if (g_pRegionStamps)
        g_pRegionStamps->Mark(g_pRegionStamps->strRegionStep + "_extcreateregion");
    return hRgn;
}

class CModeStepsDlg : public CTPDialog {
public:
    explicit CModeStepsDlg(StepStamps& rStamps)
        : CTPDialog(IDD_KOVA_DIALOG, nullptr, GetSkinStream("image/W3x_map.png")), m_rStamps(rStamps)
    {
        m_rStamps.Mark("construct");
    }

    BEGIN_MSG_MAP(CModeStepsDlg)
        ON_WM_CREATE()
        ON_WM_PAINT()
        ON_MESSAGE(kMsgShown, OnShown)
        if (uMsg == WM_WINDOWPOSCHANGING && m_bInitialising)
            reinterpret_cast<WINDOWPOS*>(lParam)->flags &= ~SWP_SHOWWINDOW;
        if (uMsg == WM_TIMER && wParam == kTimeoutTimer)
        {
            EndDialog(-2);
            lResult = 0;
            return TRUE;
        }
        CHAIN_MSG_MAP(CTPDialog)
    END_MSG_MAP()

    BOOL OnInitDialog() override
    {
        m_rStamps.Mark("create_dialog_and_buttons");
        m_bInitialising = true;
        g_dialogHook.Install(m_hWnd, ::GetModuleHandleA(nullptr));
        m_rStamps.Mark("init_hook");
        ::SetTimer(m_hWnd, ID_TIMER_AUTOCLOSE, AUTOCLOSE_MS, nullptr);
        m_rStamps.Mark("init_timer");
        ::SetActiveWindow(m_hWnd);
        m_rStamps.Mark("init_activate");

        m_controller.QueryWsBlStatus();
        m_flags = MakeRadioFlags(m_controller.IsWirelessOn(), m_controller.IsBluetoothOn(),
                                 m_controller.IsWirelessExist(), m_controller.IsBluetoothExist(),
                                 m_controller.IsKillSwitchOn());
        m_layout = ChooseModeLayout(m_flags);
        m_rStamps.Mark("init_radio_read");

        for (int i = 0; i < MODE_BUTTON_COUNT; ++i)
            LoadControlSkin(&m_buttons[i], kButtonIds[i], *GetSkinArchive(), "image/kon_main.txt",
                            "image/kon_main.pos.txt");
        m_rStamps.Mark("init_control_skins");

        m_rStamps.strRegionStep = "init_change_background";
        ChangeBackground(GetSkinStream(m_layout.pszBackground));
        m_rStamps.Mark("init_change_background_setwindowrgn_place");

        m_toolTip.SetMaxTipWidth(260);
        for (int i = 0; i < MODE_BUTTON_COUNT; ++i)
        {
            char sz[512] = "";
            ::LoadStringA(::GetModuleHandleA(nullptr), m_layout.auTipId[i], sz, sizeof sz);
            m_strTip = sz;
            m_toolTip.AddTool(&m_buttons[i], m_strTip.c_str());
        }
        m_rStamps.Mark("init_tooltips");

        for (int i = 0; i < MODE_BUTTON_COUNT; ++i)
        {
            if (m_layout.apszImage[i])
                m_buttons[i].ReplaceImage(GetSkinStream(m_layout.apszImage[i]));
        }
        m_rStamps.Mark("init_button_images");

        const ModeStatus status = ModeStatusFor(m_layout.eLayout, m_flags, m_layout.nSelected);
        char sz[512] = "";
        ::LoadStringA(::GetModuleHandleA(nullptr), status.uStringId, sz, sizeof sz);
        m_strStatus = sz;
        for (int i = 0; i < MODE_BUTTON_COUNT; ++i)
            m_buttons[i].SetHighlight(status.abHighlight[i] ? 1 : 0);
        ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
        m_rStamps.Mark("init_status_invalidate");

        m_rStamps.strRegionStep = "init_base";
        const BOOL bResult = CTPDialog::OnInitDialog();
        m_rStamps.Mark("init_base_setwindowrgn_place");

        RECT rc = {};
        ::GetWindowRect(m_hWnd, &rc);
        ::SetWindowPos(m_hWnd, nullptr, (::GetSystemMetrics(SM_CXSCREEN) - (rc.right - rc.left)) / 2,
                       (::GetSystemMetrics(SM_CYSCREEN) - (rc.bottom - rc.top)) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        ::ShowWindow(m_hWnd, SW_HIDE);
        m_bInitialising = false;
        m_rStamps.Mark("init_centre_hide");
        if (bResult)
        {
            ::SetTimer(m_hWnd, kTimeoutTimer, kTimeoutMs, nullptr);
            ::PostMessageA(m_hWnd, kMsgShown, 0, 0);
        }
        return bResult;
    }

private:
    int OnCreate(LPCREATESTRUCTA)
    {
        if (Default() == -1)
            return -1;
        m_rStamps.Mark("create_dialog_window");
        m_toolTip.Create(this, 0);
        m_rStamps.Mark("create_tooltip");
        return 0;
    }
    void OnPaint()
    {
        PaintSkinCaption(m_hWnd, GetBackground(), GetBackgroundWidth(), GetBackgroundHeight(), m_strStatus.c_str(),
                         &kStatusAt);
    }
    LRESULT OnShown(WPARAM, LPARAM)
    {
        m_rStamps.Mark("show");
        const bool bVisible = ::IsWindowVisible(m_hWnd) != FALSE;
        ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        m_rStamps.Mark("paint");
        m_rStamps.bShownAndPainted = bVisible;
        ::KillTimer(m_hWnd, kTimeoutTimer);
        ::KillTimer(m_hWnd, ID_TIMER_AUTOCLOSE);
        EndDialog(IDOK);
        return 0;
    }

    StepStamps& m_rStamps;
    bool m_bInitialising = false;
    SystemController m_controller;
    RadioFlags m_flags = {};
    ModeLayoutChoice m_layout;
    CTPButton m_buttons[MODE_BUTTON_COUNT];
    CToolTipCtrl m_toolTip;
    std::string m_strTip;
    std::string m_strStatus;
};

} // namespace

MicroPiece ModeStepsPiece(CMicroContext& rContext)
{
    MicroPiece piece;
    piece.strName = "popup_mode_three_steps";
    piece.fnSetUp = [&rContext](std::string& rstrError) {
        if (FindSkinEntry("image/W3x_map.png") && rContext.SetRadioStatus(MICRO_STATUS_BOTH_ON))
            return true;
        rstrError = "the skin archive has no member \"image/W3x_map.png\", or the status byte cannot be set";
        return false;
    };
    piece.fnRep = [](CRepTimer& rTimer, std::string& rstrError) {
        StepStamps stamps;
        std::optional<CModeStepsDlg> dialog;
        g_pfnRealExtCreateRegion = std::exchange(g_pfnExtCreateRegion, &MarkingExtCreateRegion);
        g_pRegionStamps = &stamps;
        const int64_t tStart = CRepTimer::Now();
        dialog.emplace(stamps);
        const INT_PTR nResult = dialog->DoModal();
        g_pRegionStamps = nullptr;
        g_pfnExtCreateRegion = g_pfnRealExtCreateRegion;
        g_dialogHook.Remove();
        dialog.reset();
        stamps.Mark("close");
        if (nResult != IDOK || !stamps.bShownAndPainted)
        {
            rstrError = "the step-by-step pop-up did not show and paint (" +
                        std::to_string(static_cast<long long>(nResult)) + ")";
            return false;
        }
        int64_t tPainted = tStart;
        int64_t tPrevious = tStart;
        for (const auto& mark : stamps.marks)
        {
            rTimer.Stage(mark.first.c_str(), tPrevious, mark.second);
            tPrevious = mark.second;
            if (mark.first == "paint")
                tPainted = mark.second;
        }
        rTimer.SetSpan(tStart, tPainted);
        return true;
    };
    return piece;
}
