// The three-button mode pop-up opened step by step, for a profile of its opening: the real
// CKovaDlg, timed after each step it reports (OnInitStep). Openings after the first copy the
// pictures and outline kept from it, as the program's do.
#include "bench/micro/MicroPieces.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "dialogs/KovaDlg.h"
#include "dialogs/ScanHook.h"
#include "skin/TPDialog.h"

namespace {

constexpr UINT kMsgShown = WM_APP + 0x3A2;
constexpr UINT_PTR kTimeoutTimer = 0x4B4E;
constexpr UINT kTimeoutMs = 10000;

struct StepStamps {
    std::vector<std::pair<std::string, int64_t>> marks;   // step name, time at its end
    bool bShownAndPainted = false;

    void Mark(std::string strStep) { marks.emplace_back(std::move(strStep), CRepTimer::Now()); }
};

// The real pop-up, noting the time after each step of its opening as it reports them.
class CModeStepsDlg : public CKovaDlg {
public:
    CModeStepsDlg(StepStamps& rStamps, CSkinPictureStore& rPictures) : CKovaDlg(nullptr, rPictures), m_rStamps(rStamps)
    {
        m_rStamps.Mark("construct");
    }

    BEGIN_MSG_MAP(CModeStepsDlg)
        ON_MESSAGE(kMsgShown, OnShown)
        if (uMsg == WM_TIMER && wParam == kTimeoutTimer)
        {
            EndDialog(-2);
            lResult = 0;
            return TRUE;
        }
        CHAIN_MSG_MAP(CKovaDlg)
    END_MSG_MAP()

    BOOL OnInitDialog() override
    {
        // FALSE may only mean that the pop-up set its own focus.
        const BOOL bResult = CKovaDlg::OnInitDialog();
        ::SetTimer(m_hWnd, kTimeoutTimer, kTimeoutMs, nullptr);
        ::PostMessageA(m_hWnd, kMsgShown, 0, 0);
        return bResult;
    }

protected:
    void OnInitStep(const char* pszStep) override
    {
        m_rStamps.Mark(pszStep);
    }

private:
    LRESULT OnShown(WPARAM, LPARAM)
    {
        m_rStamps.Mark("show");
        const bool bVisible = ::IsWindowVisible(m_hWnd) != FALSE;
        ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        m_rStamps.Mark("paint");
        m_rStamps.bShownAndPainted = bVisible;
        ::KillTimer(m_hWnd, kTimeoutTimer);
        EndDialog(IDOK);
        return 0;
    }

    StepStamps& m_rStamps;
};

} // namespace

MicroPiece ModeStepsPiece(CMicroContext& rContext)
{
    MicroPiece piece;
    piece.strName = "popup_mode_three_steps";
    piece.fnSetUp = [&rContext](std::string& rstrError) {
        if (FindSkinEntry(rContext.Archive(), "image/W3x_map.png") && rContext.SetRadioStatus(MICRO_STATUS_BOTH_ON))
            return true;
        rstrError = "the skin archive has no member \"image/W3x_map.png\", or the status byte cannot be set";
        return false;
    };
    piece.fnRep = [&rContext](CRepTimer& rTimer, std::string& rstrError) {
        StepStamps stamps;
        std::optional<CModeStepsDlg> dialog;
        const int64_t tStart = CRepTimer::Now();
        dialog.emplace(stamps, rContext.Pictures());
        const INT_PTR nResult = dialog->DoModal();
        ScanHook().Remove();   // ended from outside: the hook is still the pop-up's
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
