// The keyboard hook against real input: SendInput from another process, scan codes only.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "res/KovaNames.h"
#include "dialogs/ScanHook.h"
#include "support/HookDropSeam.h"
#include "support/TestSupport.h"

using kovatest::CMessageLog;
using kovatest::PumpUntil;
using kovatest::RunHelper;

namespace {

// Injected events also carry LLKHF_INJECTED (0x10): compare only extended and up.
constexpr WPARAM kFlagBits = LLKHF_EXTENDED | LLKHF_UP;

// A plain low-level hook of the test's own, installed before ScanHook and so called after
// it: once it has seen a key, ScanHook has handled that key too.
class CKeySentinel {
public:
    CKeySentinel()
    {
        s_seen.clear();
        m_hHook.Reset(::SetWindowsHookExA(WH_KEYBOARD_LL, &Proc, ::GetModuleHandleA(nullptr), 0));
    }
    bool IsInstalled() const { return m_hHook.IsValid(); }
    size_t Count() const { return s_seen.size(); }

    // Sends one key from the helper and pumps until it has gone through the hook chain.
    ::testing::AssertionResult Send(const std::string& strKey)
    {
        const size_t nBefore = Count();
        const DWORD dwCode = RunHelper("send-scan " + strKey);
        if (dwCode != 0)
            return ::testing::AssertionFailure() << "send-scan " << strKey << " exited " << dwCode;
        if (!PumpUntil([&] { return Count() > nBefore; }))
            return ::testing::AssertionFailure() << "key " << strKey << " never reached the hook chain";
        kovatest::PumpPending();   // what the hook posted just before
        return ::testing::AssertionSuccess();
    }

private:
    static LRESULT CALLBACK Proc(int nCode, WPARAM wParam, LPARAM lParam)
    {
        if (nCode == HC_ACTION)
            s_seen.push_back(reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam)->scanCode);
        return ::CallNextHookEx(nullptr, nCode, wParam, lParam);
    }
    static std::vector<DWORD> s_seen;
    kfw::CHookH m_hHook;
};
std::vector<DWORD> CKeySentinel::s_seen;

std::vector<std::pair<LPARAM, WPARAM>> ScanEvents(const CMessageLog& log)
{
    std::vector<std::pair<LPARAM, WPARAM>> events;
    for (const auto& e : log.Of(WM_SCANCODE_EVENT))
        events.emplace_back(e.lParam, e.wParam & kFlagBits);
    return events;
}

class ScanHookTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_sentinel.IsInstalled()); }
    void TearDown() override { ScanHook().Remove(); }

    const HINSTANCE m_hMod = ::GetModuleHandleA(nullptr);
    kovatest::CHookDropSeam m_seam;   // hooks for real; drops only when told
    CKeySentinel m_sentinel;
    CMessageLog m_wndA;
    CMessageLog m_wndB;
};

} // namespace

TEST_F(ScanHookTest, PostsScanCodeAndFlagsOfEveryKeyEvent)
{
    ScanHook hook;
    ASSERT_TRUE(hook.Install(m_wndA, m_hMod));
    EXPECT_TRUE(ScanHook::IsInstalled());

    ASSERT_TRUE(m_sentinel.Send("0x04 ext"));
    ASSERT_TRUE(m_sentinel.Send("0x04 ext up"));
    ASSERT_TRUE(m_sentinel.Send("0x71"));
    ASSERT_TRUE(m_sentinel.Send("0x71 up"));

    const std::vector<std::pair<LPARAM, WPARAM>> expected = {
        {0x04, LLKHF_EXTENDED}, {0x04, LLKHF_EXTENDED | LLKHF_UP}, {0x71, 0}, {0x71, LLKHF_UP}};
    EXPECT_EQ(expected, ScanEvents(m_wndA));
    EXPECT_TRUE(m_wndB.Entries().empty());
}

TEST_F(ScanHookTest, LastInstallTakesTheHookOver)
{
    ScanHook frameHook, dialogHook;
    ASSERT_TRUE(frameHook.Install(m_wndA, m_hMod));
    ASSERT_TRUE(dialogHook.Install(m_wndB, m_hMod));
    EXPECT_EQ(m_wndB.GetSafeHwnd(), ScanHook::GetTarget());
    ASSERT_TRUE(m_sentinel.Send("0x71"));
    EXPECT_EQ(0u, m_wndA.Count(WM_SCANCODE_EVENT));
    // Exactly one: the frame's hook was replaced, not left in the chain.
    EXPECT_EQ(1u, m_wndB.Count(WM_SCANCODE_EVENT));

    ASSERT_TRUE(frameHook.Install(m_wndA, m_hMod));
    ASSERT_TRUE(m_sentinel.Send("0x71"));
    EXPECT_EQ(1u, m_wndA.Count(WM_SCANCODE_EVENT));
    EXPECT_EQ(1u, m_wndB.Count(WM_SCANCODE_EVENT));

    // Removing through another object removes the one hook of the process.
    EXPECT_TRUE(dialogHook.Remove());
    EXPECT_FALSE(ScanHook::IsInstalled());
    EXPECT_FALSE(frameHook.Remove());
    ASSERT_TRUE(m_sentinel.Send("0x71"));
    EXPECT_EQ(1u, m_wndA.Count(WM_SCANCODE_EVENT));
    EXPECT_EQ(1u, m_wndB.Count(WM_SCANCODE_EVENT));
}

TEST_F(ScanHookTest, NeverSwallowsAKey)
{
    // Another program's hook, installed before ours: it is called only if ours passes the
    // key on.
    const std::string strReady = kovatest::UniqueName("KovaTest.HookReady");
    kfw::CHandle hReady(::CreateEventA(nullptr, TRUE, FALSE, strReady.c_str()));
    kfw::CHandle hWatcher = kovatest::StartHelper("watch-scan 0x71 " + strReady + " 5000");
    ASSERT_TRUE(hWatcher);
    ASSERT_TRUE(PumpUntil([&] { return ::WaitForSingleObject(hReady.Get(), 0) == WAIT_OBJECT_0; }));

    ScanHook hook;
    ASSERT_TRUE(hook.Install(m_wndA, m_hMod));
    ASSERT_TRUE(m_sentinel.Send("0x71"));
    EXPECT_EQ(1u, m_wndA.Count(WM_SCANCODE_EVENT));
    EXPECT_EQ(0u, kovatest::WaitForExit(hWatcher.Get())) << "the other program's hook never saw the key";
}

TEST_F(ScanHookTest, RefusesATargetThatIsNotAWindow)
{
    ScanHook hook;
    ASSERT_TRUE(hook.Install(m_wndA, m_hMod));

    HWND hWndGone = nullptr;
    {
        CMessageLog gone;
        hWndGone = gone;
    }
    EXPECT_FALSE(hook.Install(nullptr, m_hMod));
    EXPECT_FALSE(hook.Install(hWndGone, m_hMod));

    // The hook in place is left as it was.
    EXPECT_TRUE(ScanHook::IsInstalled());
    EXPECT_EQ(m_wndA.GetSafeHwnd(), ScanHook::GetTarget());
    ASSERT_TRUE(m_sentinel.Send("0x71"));
    EXPECT_EQ(1u, m_wndA.Count(WM_SCANCODE_EVENT));
}

// Windows drops a hook that kept input waiting, and says nothing. Raw input still sees the
// keys: two of them with no call of the hook put it back, and the keys come after all, so the
// hot key that showed the loss still opens its pop-up.
TEST_F(ScanHookTest, AHookWindowsDroppedComesBackWithTheKeysItMissed)
{
    ScanHook hook;
    ASSERT_TRUE(hook.Install(m_wndA, m_hMod));
    kovatest::CHookDropSeam::Drop();
    EXPECT_TRUE(ScanHook::IsInstalled());   // as far as anyone was told

    ASSERT_TRUE(m_sentinel.Send("0x04 ext"));
    ASSERT_TRUE(m_sentinel.Send("0x04 ext up"));
    ASSERT_TRUE(PumpUntil([&] { return m_wndA.Count(WM_SCANCODE_EVENT) >= 2; })) << "the missed keys never came";
    ASSERT_TRUE(m_sentinel.Send("0x71"));
    ASSERT_TRUE(PumpUntil([&] { return m_wndA.Count(WM_SCANCODE_EVENT) >= 3; })) << "the hook is not back";

    const std::vector<std::pair<LPARAM, WPARAM>> expected = {
        {0x04, LLKHF_EXTENDED}, {0x04, LLKHF_EXTENDED | LLKHF_UP}, {0x71, 0}};
    EXPECT_EQ(expected, ScanEvents(m_wndA));
}

// A pop-up that opens or closes while the hook is put back reads who holds the keys: the
// hook counts as installed, for the same target, at every moment of it; and the old hook
// and the new one never both deliver a key.
TEST_F(ScanHookTest, AReinstallKeepsTheHookInPlaceThroughoutAndDeliversEachKeyOnce)
{
    ScanHook hook;
    ASSERT_TRUE(hook.Install(m_wndA, m_hMod));
    BOOL bInstalledWhile = FALSE;
    HWND hWndWhile = nullptr;
    kovatest::CHookDropSeam::WhileHooking([&] {
        bInstalledWhile = ScanHook::IsInstalled();
        hWndWhile = ScanHook::GetTarget();
    });
    EXPECT_TRUE(ScanHook::Reinstall());
    kovatest::CHookDropSeam::WhileHooking(nullptr);
    EXPECT_TRUE(bInstalledWhile);
    EXPECT_EQ(m_wndA.GetSafeHwnd(), hWndWhile);

    ASSERT_TRUE(m_sentinel.Send("0x71"));
    EXPECT_EQ(1u, m_wndA.Count(WM_SCANCODE_EVENT));
    EXPECT_TRUE(hook.Remove());
    EXPECT_FALSE(hook.Remove()) << "the old hook was left in the chain";
    ASSERT_TRUE(m_sentinel.Send("0x71"));
    EXPECT_EQ(1u, m_wndA.Count(WM_SCANCODE_EVENT));
}

// The threads' windows take their requests from Kova alone: anyone can send a window a
// message, and the watch's, being top-level, gets every broadcast.
TEST_F(ScanHookTest, OtherProgramsCannotUnhookKovaOrEndItsThreads)
{
    ScanHook hook;
    ASSERT_TRUE(hook.Install(m_wndA, m_hMod));
    const HWND hSink = ::FindWindowExA(HWND_MESSAGE, nullptr, ScanHook::Names().pszSinkClass, nullptr);
    const HWND hWatch = ::FindWindowA(ScanHook::Names().pszWatchClass, nullptr);
    ASSERT_TRUE(hSink && hWatch);
    const UINT uRequest = ::RegisterWindowMessageA(ScanHook::Names().pszRequestMsg);
    const UINT uQuit = ::RegisterWindowMessageA(ScanHook::Names().pszQuitMsg);
    for (const HWND hWnd : { hSink, hWatch })
    {
        for (LPARAM lOp = 0; lOp < 6; ++lOp)
            ::SendMessageA(hWnd, uRequest, 0x1234, lOp);
        for (UINT uMsg = WM_APP + 1; uMsg <= WM_APP + 5; ++uMsg)
            ::SendMessageA(hWnd, uMsg, 0, 0);
        ::SendMessageA(hWnd, uQuit, 0, 0);
        ::SendMessageA(hWnd, WM_CLOSE, 0, 0);
    }
    EXPECT_TRUE(::IsWindow(hSink) && ::IsWindow(hWatch));
    EXPECT_TRUE(ScanHook::IsInstalled());
    ASSERT_TRUE(m_sentinel.Send("0x71"));
    EXPECT_EQ(1u, m_wndA.Count(WM_SCANCODE_EVENT));
}

// Anything but an action goes straight on, as the hook contract says: nothing is delivered.
TEST_F(ScanHookTest, TheProcedurePassesOnWhatIsNotAnAction)
{
    ScanHook hook;
    ASSERT_TRUE(hook.Install(m_wndA, m_hMod));
    KBDLLHOOKSTRUCT key = {};
    key.scanCode = 0x71;
    kovatest::CHookDropSeam::CallProcedure(-1, WM_KEYDOWN, reinterpret_cast<LPARAM>(&key));
    kovatest::PumpPending();
    EXPECT_EQ(0u, m_wndA.Count(WM_SCANCODE_EVENT));
}
