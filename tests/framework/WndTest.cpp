// Window binding, message maps, reflection and command routing, with real windows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FrameworkTestIds.h"
#include "framework/Button.h"
#include "framework/FrameWnd.h"
#include "framework/WinApp.h"

namespace {

using Log = std::vector<std::string>;

class CBaseTestWnd : public CWnd {
public:
    Log m_log;
    BEGIN_MSG_MAP(CBaseTestWnd)
        ON_MESSAGE(WM_APP + 1, OnBase)
    END_MSG_MAP()
    LRESULT OnBase(WPARAM, LPARAM) { m_log.push_back("base"); return 11; }
};

class CTestWnd : public CBaseTestWnd {
public:
    int m_nPostNcDestroy = 0;
    BEGIN_MSG_MAP(CTestWnd)
        if (uMsg == WM_NCCREATE) m_log.push_back("nccreate");
        ON_WM_CREATE()
        ON_MESSAGE(WM_APP, OnFirst)
        ON_MESSAGE(WM_APP, OnSecond)
        ON_MESSAGE(WM_SETTEXT, OnSetText)
        CHAIN_MSG_MAP(CBaseTestWnd)
    END_MSG_MAP()

    int OnCreate(LPCREATESTRUCTA) { m_log.push_back("create"); return 0; }
    LRESULT OnFirst(WPARAM, LPARAM) { m_log.push_back("first"); return 1; }
    LRESULT OnSecond(WPARAM, LPARAM) { m_log.push_back("second"); return 2; }
    LRESULT OnSetText(WPARAM, LPARAM) { m_log.push_back("settext"); return Default(); }

protected:
    void PostNcDestroy() override { ++m_nPostNcDestroy; }
};

HWND CreatePopup(CWnd& wnd, HWND hWndOwner = nullptr)
{
    wnd.CreateEx(0, CFrameWnd::s_szDefaultClass, "t", WS_POPUP, 0, 0, 200, 100, hWndOwner, nullptr);
    return wnd.m_hWnd;
}

// Registers the default frame class once, so plain CWnd tests can use it.
struct CRegisterDefault : CFrameWnd {
    CRegisterDefault() { CREATESTRUCTA cs = {}; cs.hInstance = AfxGetInstanceHandle(); PreCreateWindow(cs); }
};

} // namespace

TEST(MessageMap, FirstMatchWinsThenBaseThenDefault)
{
    CRegisterDefault reg;
    CTestWnd wnd;
    ASSERT_TRUE(CreatePopup(wnd));

    EXPECT_EQ(::SendMessageA(wnd, WM_APP, 0, 0), 1);
    EXPECT_EQ(::SendMessageA(wnd, WM_APP + 1, 0, 0), 11);
    EXPECT_EQ(::SendMessageA(wnd, WM_APP + 2, 0, 0), 0);   // nobody: DefWindowProc
    ::SetWindowTextA(wnd, "changed");                       // handler adds to the default
    char szText[16] = "";
    ::GetWindowTextA(wnd, szText, sizeof szText);
    EXPECT_STREQ(szText, "changed");

    EXPECT_EQ(wnd.m_log, (Log{ "nccreate", "create", "first", "base", "settext" }));
    wnd.DestroyWindow();
}

TEST(WindowBinding, BoundBeforeNcCreateAndReleasedAfterNcDestroy)
{
    CRegisterDefault reg;
    CTestWnd wnd;
    HWND hWnd = CreatePopup(wnd);
    ASSERT_TRUE(hWnd);
    EXPECT_EQ(wnd.m_log.front(), "nccreate");
    EXPECT_EQ(CWnd::FromHandlePermanent(hWnd), &wnd);

    EXPECT_TRUE(wnd.DestroyWindow());
    EXPECT_EQ(wnd.m_hWnd, nullptr);
    EXPECT_EQ(wnd.m_nPostNcDestroy, 1);
    EXPECT_FALSE(::IsWindow(hWnd));
    EXPECT_EQ(CWnd::FromHandlePermanent(hWnd), nullptr);
}

TEST(WindowBinding, CreationRefusedInCreateFailsAndUnbinds)
{
    struct CRefuse : CTestWnd {
        BEGIN_MSG_MAP(CRefuse)
            if (uMsg == WM_CREATE) { lResult = -1; return TRUE; }
            CHAIN_MSG_MAP(CTestWnd)
        END_MSG_MAP()
    };
    CRegisterDefault reg;
    CRefuse wnd;
    EXPECT_EQ(CreatePopup(wnd), nullptr);
    EXPECT_EQ(wnd.m_hWnd, nullptr);
    EXPECT_EQ(wnd.m_nPostNcDestroy, 1);
}

TEST(WindowBinding, SubclassExistingWindowAndGiveItBack)
{
    HWND hStatic = ::CreateWindowExA(0, "STATIC", "old", WS_POPUP, 0, 0, 50, 20, nullptr, nullptr,
                                     ::GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(hStatic);
    const LONG_PTR pfnOriginal = ::GetWindowLongPtrA(hStatic, GWLP_WNDPROC);
    {
        CTestWnd wnd;
        ASSERT_TRUE(wnd.SubclassWindow(hStatic));
        EXPECT_FALSE(CTestWnd().SubclassWindow(hStatic));   // one object per window
        EXPECT_EQ(::SendMessageA(hStatic, WM_APP, 0, 0), 1);
        ::SetWindowTextA(hStatic, "new");                    // the static's own procedure still runs
        char szText[16] = "";
        ::GetWindowTextA(hStatic, szText, sizeof szText);
        EXPECT_STREQ(szText, "new");
        EXPECT_EQ(wnd.UnsubclassWindow(), hStatic);
        EXPECT_EQ(::GetWindowLongPtrA(hStatic, GWLP_WNDPROC), pfnOriginal);

        ASSERT_TRUE(wnd.SubclassWindow(hStatic));
    }   // the object dies first: the window must not keep pointing at it
    EXPECT_EQ(::GetWindowLongPtrA(hStatic, GWLP_WNDPROC), pfnOriginal);
    EXPECT_EQ(CWnd::FromHandlePermanent(hStatic), nullptr);
    EXPECT_EQ(::SendMessageA(hStatic, WM_APP, 0, 0), 0);
    ::DestroyWindow(hStatic);
}

namespace {

class COwnerDrawButton : public CButton {
public:
    int m_nDrawn = 0;
    int m_nClickReflected = 0;
    void DrawItem(LPDRAWITEMSTRUCT lpDis) override
    {
        ++m_nDrawn;
        ::FillRect(lpDis->hDC, &lpDis->rcItem, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
    }
    BEGIN_MSG_MAP(COwnerDrawButton)
        ON_REFLECT(WM_COMMAND, OnReflectedCommand)
    END_MSG_MAP()
    LRESULT OnReflectedCommand(WPARAM wParam, LPARAM) { m_nClickReflected += HIWORD(wParam) == BN_CLICKED; return 0; }
};

class CParentWnd : public CWnd {
public:
    int m_nParentDraw = 0;
    int m_nParentPlainClick = 0;
    int m_nParentOwnerClick = 0;
    BEGIN_MSG_MAP(CParentWnd)
        ON_MESSAGE(WM_DRAWITEM, OnDrawItem)
        ON_COMMAND(IDC_PLAIN, OnPlain)
        ON_COMMAND(IDC_OWNERDRAW, OnOwner)
    END_MSG_MAP()
    LRESULT OnDrawItem(WPARAM, LPARAM) { ++m_nParentDraw; return TRUE; }
    void OnPlain() { ++m_nParentPlainClick; }
    void OnOwner() { ++m_nParentOwnerClick; }
};

} // namespace

TEST(Reflection, ControlsHandleTheirOwnNotificationsFirst)
{
    CRegisterDefault reg;
    CParentWnd parent;
    ASSERT_TRUE(CreatePopup(parent));
    COwnerDrawButton owner;
    CButton plain;
    const RECT rc = { 0, 0, 60, 20 };
    const RECT rc2 = { 0, 30, 60, 50 };
    ASSERT_TRUE(owner.Create("", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, rc, &parent, IDC_OWNERDRAW));
    ASSERT_TRUE(plain.Create("Plain", WS_CHILD | WS_VISIBLE, rc2, &parent, IDC_PLAIN));

    // Real painting: the system sends WM_DRAWITEM to the parent, which hands it on.
    ::ShowWindow(parent, SW_SHOWNOACTIVATE);
    ::RedrawWindow(parent, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    EXPECT_GE(owner.m_nDrawn, 1);
    EXPECT_EQ(parent.m_nParentDraw, 0);

    // A click on the owner-drawn button is taken by its reflection entry; the plain
    // button has none, so the parent's command entry runs.
    ::SendMessageA(owner, BM_CLICK, 0, 0);
    ::SendMessageA(plain, BM_CLICK, 0, 0);
    EXPECT_EQ(owner.m_nClickReflected, 1);
    EXPECT_EQ(parent.m_nParentOwnerClick, 0);
    EXPECT_EQ(parent.m_nParentPlainClick, 1);

    // A draw request for a window with no object stays with the parent.
    DRAWITEMSTRUCT dis = {};
    dis.CtlType = ODT_BUTTON;
    dis.hwndItem = parent;   // bound, but to the parent itself: never reflected to itself
    ::SendMessageA(parent, WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&dis));
    dis.hwndItem = nullptr;
    ::SendMessageA(parent, WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&dis));
    EXPECT_EQ(parent.m_nParentDraw, 2);
    parent.DestroyWindow();
}

namespace {

enum { ID_FRAME_ONLY = 300, ID_BOTH = 301, ID_APP_ONLY = 302, ID_NOBODY = 303 };

class CTestApp : public CWinApp {
public:
    Log m_log;
    int m_nExit = 7;
    BEGIN_MSG_MAP(CTestApp)
        ON_COMMAND(ID_BOTH, OnBoth)
        ON_COMMAND(ID_APP_ONLY, OnAppOnly)
    END_MSG_MAP()
    void OnBoth() { m_log.push_back("app both"); }
    void OnAppOnly() { m_log.push_back("app only"); }
    int ExitInstance() override { return m_nExit; }
    // With a frame: idle call 1 posts a command, call 2 closes the frame and ends idle work.
    HWND m_hIdleFrame = nullptr;
    BOOL OnIdle(LONG lCount) override
    {
        if (!m_hIdleFrame)
            return FALSE;
        m_log.push_back("idle " + std::to_string(lCount));
        if (lCount == 1)
            ::PostMessageA(m_hIdleFrame, WM_COMMAND, MAKEWPARAM(ID_APP_ONLY, 0), 0);
        if (lCount == 2)
            ::PostMessageA(m_hIdleFrame, WM_CLOSE, 0, 0);
        return lCount < 2;
    }
};

class CTestFrame : public CFrameWnd {
public:
    Log* m_pLog = nullptr;
    int m_nPreTranslated = 0;
    BEGIN_MSG_MAP(CTestFrame)
        ON_COMMAND(ID_FRAME_ONLY, OnFrameOnly)
        ON_COMMAND(ID_BOTH, OnBoth)
    END_MSG_MAP()
    void OnFrameOnly() { m_pLog->push_back("frame only"); }
    void OnBoth() { m_pLog->push_back("frame both"); }
    BOOL PreTranslateMessage(MSG* pMsg) override
    {
        m_nPreTranslated += pMsg->message == WM_APP + 5;
        return pMsg->message == WM_APP + 5;   // swallowed: never dispatched
    }
    BOOL PreCreateWindow(CREATESTRUCTA& cs) override
    {
        if (!CFrameWnd::PreCreateWindow(cs))
            return FALSE;
        cs.lpszClass = "KfwTestFrameClass";
        return TRUE;
    }
};

void RegisterTestFrameClass()
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = ::DefWindowProcA;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = "KfwTestFrameClass";
    ::RegisterClassA(&wc);
}

} // namespace

TEST(CommandRouting, FrameFirstThenApplication)
{
    RegisterTestFrameClass();
    CTestApp app;
    CTestFrame frame;
    frame.m_pLog = &app.m_log;
    ASSERT_TRUE(frame.LoadFrame(IDS_FRAME_TITLE, WS_OVERLAPPEDWINDOW));
    char szClass[64] = "", szTitle[64] = "";
    ::GetClassNameA(frame, szClass, sizeof szClass);
    ::GetWindowTextA(frame, szTitle, sizeof szTitle);
    EXPECT_STREQ(szClass, "KfwTestFrameClass");
    EXPECT_STREQ(szTitle, "Test Frame");

    for (int id : { ID_FRAME_ONLY, ID_BOTH, ID_APP_ONLY, ID_NOBODY })
        ::SendMessageA(frame, WM_COMMAND, MAKEWPARAM(id, 0), 0);
    ::SendMessageA(frame, WM_COMMAND, MAKEWPARAM(ID_APP_ONLY, 1), 0);   // accelerator
    EXPECT_EQ(app.m_log, (Log{ "frame only", "frame both", "app only", "app only" }));
    frame.DestroyWindow();
}

TEST(MessageLoop, RunsWithIdleWorkBetweenMessagesUntilTheMainWindowIsGone)
{
    RegisterTestFrameClass();
    CTestApp app;
    CTestFrame frame;
    frame.m_pLog = &app.m_log;
    ASSERT_TRUE(frame.LoadFrame(0, WS_OVERLAPPEDWINDOW));
    app.m_pMainWnd = &frame;
    app.m_hIdleFrame = frame.m_hWnd;   // idle call 2 posts WM_CLOSE, which destroys it

    ::PostMessageA(frame, WM_APP + 5, 0, 0);                 // seen by PreTranslateMessage
    ::PostMessageA(frame, WM_COMMAND, MAKEWPARAM(ID_APP_ONLY, 0), 0);   // goes before idle work
    EXPECT_EQ(app.Run(), 7);
    EXPECT_EQ(frame.m_nPreTranslated, 1);
    EXPECT_EQ(app.m_log, (Log{ "app only", "idle 0", "idle 1", "app only", "idle 2" }));
    EXPECT_EQ(frame.m_hWnd, nullptr);
    EXPECT_EQ(app.m_pMainWnd, nullptr);
}
