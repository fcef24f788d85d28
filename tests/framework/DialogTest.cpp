// Modal dialogs from a resource template, run by the framework's own loop.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FrameworkTestIds.h"
#include "framework/Button.h"
#include "framework/Dialog.h"
#include "framework/FrameWnd.h"
#include "framework/WinApp.h"

namespace {

const UINT_PTR kSafetyTimer = 99;
const int kTimedOut = -2;

// Each test dialog ends itself; the safety timer turns a hang into a failure.
class CTestDlg : public CDialog {
public:
    explicit CTestDlg(UINT nID = IDD_TEST) : CDialog(nID) {}

    int m_nEndInInit = 0;          // non-zero: EndDialog with it from OnInitDialog
    UINT m_uPostOnInit = 0;        // message posted to the dialog from OnInitDialog
    std::vector<UINT> m_preTranslated;
    int m_nAppMessages = 0;
    BOOL m_bOwnerEnabledInLoop = TRUE;
    HWND m_hWndOwnerInLoop = nullptr;

    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        ::SetTimer(m_hWnd, kSafetyTimer, 5000, nullptr);
        if (m_uPostOnInit)
            ::PostMessageA(m_hWnd, m_uPostOnInit, 0, 0);
        if (m_nEndInInit)
            EndDialog(m_nEndInInit);
        return TRUE;
    }

    BOOL PreTranslateMessage(MSG* pMsg) override
    {
        if (pMsg->message == WM_APP || pMsg->message == WM_KEYDOWN)
            m_preTranslated.push_back(pMsg->message);
        return CDialog::PreTranslateMessage(pMsg);
    }

    BEGIN_MSG_MAP(CTestDlg)
        ON_MESSAGE(WM_APP, OnApp)
        ON_WM_TIMER()
        CHAIN_MSG_MAP(CDialog)
    END_MSG_MAP()

    LRESULT OnApp(WPARAM, LPARAM)
    {
        ++m_nAppMessages;
        m_hWndOwnerInLoop = ::GetWindow(m_hWnd, GW_OWNER);
        m_bOwnerEnabledInLoop = m_hWndOwnerInLoop ? ::IsWindowEnabled(m_hWndOwnerInLoop) : TRUE;
        EndDialog(42);
        return 0;
    }
    void OnTimer(UINT_PTR) { EndDialog(kTimedOut); }
};

class CMainFrame : public CFrameWnd {};

} // namespace

TEST(ModalDialog, ReturnsTheEndResultWithTheMainWindowAsDisabledOwner)
{
    CWinApp app;
    CMainFrame frame;
    ASSERT_TRUE(frame.LoadFrame(0, WS_OVERLAPPEDWINDOW));
    app.m_pMainWnd = &frame;

    CTestDlg dlg;
    dlg.m_uPostOnInit = WM_APP;
    EXPECT_EQ(dlg.DoModal(), 42);
    EXPECT_EQ(dlg.m_preTranslated, std::vector<UINT>{ WM_APP });   // the loop's own pre-translation
    EXPECT_EQ(dlg.m_hWndOwnerInLoop, frame.m_hWnd);
    EXPECT_FALSE(dlg.m_bOwnerEnabledInLoop);
    EXPECT_TRUE(::IsWindowEnabled(frame));
    EXPECT_EQ(dlg.m_hWnd, nullptr);   // destroyed when DoModal returns

    app.m_pMainWnd = nullptr;
    frame.DestroyWindow();
}

TEST(ModalDialog, MinusOneWhenInitialisationEndsItOrTheTemplateIsMissing)
{
    CTestDlg ended;
    ended.m_nEndInInit = -1;
    ended.m_uPostOnInit = WM_APP;
    EXPECT_EQ(ended.DoModal(), -1);
    EXPECT_EQ(ended.m_nAppMessages, 0);   // the loop never ran
    EXPECT_EQ(ended.m_hWnd, nullptr);

    CTestDlg missing(IDD_MISSING);
    EXPECT_EQ(missing.DoModal(), -1);

    CTestDlg endedWithValue;
    endedWithValue.m_nEndInInit = 5;
    EXPECT_EQ(endedWithValue.DoModal(), 5);
}

TEST(ModalDialog, EscapeAndEnterGoThroughTheDialogManager)
{
    struct Case { WPARAM vk; INT_PTR result; } cases[] = { { VK_ESCAPE, IDCANCEL }, { VK_RETURN, IDOK } };
    for (const Case& c : cases)
    {
        struct CKeyDlg : CTestDlg {
            WPARAM m_vk = 0;
            BOOL OnInitDialog() override
            {
                CTestDlg::OnInitDialog();
                ::PostMessageA(::GetDlgItem(m_hWnd, IDOK), WM_KEYDOWN, m_vk, 0);
                return TRUE;
            }
        } dlg;
        dlg.m_vk = c.vk;
        EXPECT_EQ(dlg.DoModal(), c.result) << "key " << c.vk;
        EXPECT_EQ(dlg.m_preTranslated, std::vector<UINT>{ WM_KEYDOWN });
    }
}

TEST(ModalDialog, OwnerDrawnItemDrawsItselfWhenTheDialogPaints)
{
    struct CDrawButton : CButton {
        CDialog* m_pDlg = nullptr;
        int m_nDrawn = 0;
        void DrawItem(LPDRAWITEMSTRUCT) override
        {
            if (m_nDrawn++ == 0)
                m_pDlg->EndDialog(1);
        }
    };
    struct CDrawDlg : CTestDlg {
        CDrawButton m_button;
        BOOL OnInitDialog() override
        {
            m_button.m_pDlg = this;
            if (!m_button.SubclassDlgItem(IDC_OWNERDRAW, this))
                EndDialog(-3);
            return CTestDlg::OnInitDialog();
        }
    } dlg;
    EXPECT_EQ(dlg.DoModal(), 1);
    EXPECT_GE(dlg.m_button.m_nDrawn, 1);
    EXPECT_EQ(dlg.m_button.m_hWnd, nullptr);   // unbound with its window
}

TEST(ModalDialog, QuitEndsTheLoopAndIsLeftForTheOuterOne)
{
    struct CQuitDlg : CTestDlg {
        BOOL OnInitDialog() override
        {
            CTestDlg::OnInitDialog();
            ::PostQuitMessage(3);
            return TRUE;
        }
    } dlg;
    EXPECT_EQ(dlg.DoModal(), -1);
    MSG msg;
    ASSERT_TRUE(::PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 3u);
}
