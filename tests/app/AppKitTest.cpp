// Foreground activation with a real foreground window on another thread.
#include <gtest/gtest.h>

#include "app/AppKit.h"
#include "framework/WinApp.h"
#include "support/TestSupport.h"

using kovatest::PumpUntil;

namespace {

// Answered by the foreground thread: its view of the focus, which it shares with us while
// our input is attached to it.
constexpr UINT WM_QUERY_FOCUS = WM_APP + 1;
// Makes the foreground thread's window foreground again, as the user clicking on it would.
constexpr UINT WM_TAKE_FOREGROUND = WM_APP + 2;

// The application the user is working in: a visible window on a thread of its own.
class CForegroundThread {
public:
    CForegroundThread()
    {
        m_hReady.Reset(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
        m_hThread.Reset(::CreateThread(nullptr, 0, &Proc, this, 0, &m_dwThreadId));
        if (m_hThread)
            ::WaitForSingleObject(m_hReady.Get(), 10000);
    }
    ~CForegroundThread()
    {
        if (m_hThread)
        {
            ::PostThreadMessageA(m_dwThreadId, WM_QUIT, 0, 0);
            ::WaitForSingleObject(m_hThread.Get(), 10000);
        }
    }
    HWND Window() const { return m_hWnd; }
    DWORD ThreadId() const { return m_dwThreadId; }

private:
    static LRESULT CALLBACK WndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
    {
        if (uMsg == WM_QUERY_FOCUS)
            return reinterpret_cast<LRESULT>(::GetFocus());
        if (uMsg == WM_TAKE_FOREGROUND)
            return ::SetForegroundWindow(hWnd) && ::SetFocus(hWnd);
        return ::DefWindowProcA(hWnd, uMsg, wParam, lParam);
    }
    static DWORD WINAPI Proc(LPVOID pParam)
    {
        auto* pThis = static_cast<CForegroundThread*>(pParam);
        WNDCLASSA wc = {};
        wc.lpfnWndProc = &WndProc;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.lpszClassName = "KovaTestForeground";
        ::RegisterClassA(&wc);
        pThis->m_hWnd = ::CreateWindowExA(0, wc.lpszClassName, "Foreground", WS_OVERLAPPEDWINDOW, 50, 50, 200,
                                          100, nullptr, nullptr, wc.hInstance, nullptr);
        ::ShowWindow(pThis->m_hWnd, SW_SHOW);
        ::SetForegroundWindow(pThis->m_hWnd);
        ::SetFocus(pThis->m_hWnd);
        ::SetEvent(pThis->m_hReady.Get());
        MSG msg;
        while (::GetMessageA(&msg, nullptr, 0, 0) > 0)
            ::DispatchMessageA(&msg);
        ::DestroyWindow(pThis->m_hWnd);
        return 0;
    }

    kfw::CHandle m_hReady;
    kfw::CHandle m_hThread;
    DWORD m_dwThreadId = 0;
    HWND m_hWnd = nullptr;
};

bool IsAttachedTo(DWORD dwThreadId)
{
    // Detaching succeeds only when attached; put it back if it did.
    if (!::AttachThreadInput(dwThreadId, ::GetCurrentThreadId(), FALSE))
        return false;
    ::AttachThreadInput(dwThreadId, ::GetCurrentThreadId(), TRUE);
    return true;
}

class AppKitTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_frame.GetSafeHwnd());
        m_app.m_pMainWnd = &m_frame;
    }
    void TearDown() override { m_app.m_pMainWnd = nullptr; }

    CWinApp m_app;
    kovatest::CMessageLog m_frame;   // the hidden main frame
};

} // namespace

TEST_F(AppKitTest, AttachesToTheForegroundThreadAndKeepsTheFrameHidden)
{
    CForegroundThread fg;
    ASSERT_TRUE(fg.Window());
    ASSERT_TRUE(PumpUntil([&] { return ::GetForegroundWindow() == fg.Window(); }));

    CAppKit kit;
    EXPECT_EQ(0u, kit.m_dwForegroundThreadId);
    EXPECT_TRUE(kit.ActivateMainWindow());
    EXPECT_EQ(fg.ThreadId(), kit.m_dwForegroundThreadId);
    EXPECT_FALSE(::IsWindowVisible(m_frame));
    EXPECT_TRUE(kit.IsInputAttached());
    // Shared input: the foreground thread sees our frame holding the focus.
    EXPECT_EQ(m_frame.GetSafeHwnd(), reinterpret_cast<HWND>(::SendMessageA(fg.Window(), WM_QUERY_FOCUS, 0, 0)));
    EXPECT_TRUE(IsAttachedTo(fg.ThreadId()));

    // The frame is foreground now: with nothing to attach to, the attachment is not renewed.
    EXPECT_FALSE(kit.ActivateMainWindow());
    EXPECT_EQ(::GetCurrentThreadId(), kit.m_dwForegroundThreadId);
    EXPECT_TRUE(kit.IsInputAttached());

    // Back to the user's application and activated again: still one attachment, which one
    // detach undoes.
    ASSERT_TRUE(::SendMessageA(fg.Window(), WM_TAKE_FOREGROUND, 0, 0));
    ASSERT_TRUE(PumpUntil([&] { return ::GetForegroundWindow() == fg.Window(); }));
    EXPECT_TRUE(kit.ActivateMainWindow());
    EXPECT_EQ(fg.ThreadId(), kit.m_dwForegroundThreadId);
    EXPECT_TRUE(kit.DetachInput());
    EXPECT_FALSE(kit.IsInputAttached());
    EXPECT_FALSE(IsAttachedTo(fg.ThreadId()));
    EXPECT_NE(m_frame.GetSafeHwnd(), reinterpret_cast<HWND>(::SendMessageA(fg.Window(), WM_QUERY_FOCUS, 0, 0)));

    EXPECT_FALSE(kit.DetachInput());
    EXPECT_FALSE(IsAttachedTo(fg.ThreadId()));
    EXPECT_FALSE(::IsWindowVisible(m_frame));
}

TEST_F(AppKitTest, DestructionUndoesTheAttachment)
{
    CForegroundThread fg;
    ASSERT_TRUE(PumpUntil([&] { return ::GetForegroundWindow() == fg.Window(); }));
    {
        CAppKit kit;
        ASSERT_TRUE(kit.ActivateMainWindow());
    }
    EXPECT_FALSE(IsAttachedTo(fg.ThreadId()));
}

TEST_F(AppKitTest, NothingToAttachToWhenTheForegroundIsOurOwn)
{
    kovatest::CMessageLog own;
    ::ShowWindow(own, SW_SHOW);
    ::SetForegroundWindow(own);
    ASSERT_TRUE(PumpUntil([&] { return ::GetForegroundWindow() == own.GetSafeHwnd(); }));

    CAppKit kit;
    EXPECT_FALSE(kit.ActivateMainWindow());
    EXPECT_EQ(::GetCurrentThreadId(), kit.m_dwForegroundThreadId);
    EXPECT_FALSE(kit.IsInputAttached());
    EXPECT_FALSE(::IsWindowVisible(m_frame));
    EXPECT_FALSE(kit.DetachInput());
}

TEST_F(AppKitTest, NoMainWindowAttachesNothing)
{
    CForegroundThread fg;
    ASSERT_TRUE(PumpUntil([&] { return ::GetForegroundWindow() == fg.Window(); }));
    m_app.m_pMainWnd = nullptr;

    CAppKit kit;
    EXPECT_FALSE(kit.ActivateMainWindow());
    EXPECT_EQ(fg.ThreadId(), kit.m_dwForegroundThreadId);
    EXPECT_FALSE(kit.IsInputAttached());
    EXPECT_FALSE(IsAttachedTo(fg.ThreadId()));
    EXPECT_EQ(fg.Window(), ::GetForegroundWindow());
}
