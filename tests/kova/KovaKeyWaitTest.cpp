// Kova's slow moments never hold the desktop's keys: a key typed into another program
// arrives at once while Kova prepares its pop-ups after start, or waits on a slow EMSC.dll.
#include <gtest/gtest.h>

#include "kova/KovaSession.h"

using namespace kovatest;
using namespace kovae2e;

namespace {

// Far below the second a key waited for a busy hook thread, far above what a loaded
// machine's scheduling adds.
constexpr double kMaxKeyWaitMs = 250.0;

// A foreground edit box of the test's own, which a key typed through SendInput reaches.
class CTypingWindow {
public:
    CTypingWindow()
    {
        m_hWnd = ::CreateWindowExA(WS_EX_TOPMOST, "EDIT", "", WS_POPUP | WS_VISIBLE | WS_BORDER, 0, 0, 200, 40,
                                   nullptr, nullptr, ::GetModuleHandleA(nullptr), nullptr);
        s_pfnEdit = reinterpret_cast<WNDPROC>(
            ::SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Proc)));
        ::SetForegroundWindow(m_hWnd);
        ::SetFocus(m_hWnd);
    }
    ~CTypingWindow() { ::DestroyWindow(m_hWnd); }
    CTypingWindow(const CTypingWindow&) = delete;
    CTypingWindow& operator=(const CTypingWindow&) = delete;

    // Types "a" and waits for its key-down; how long it took in ms, or -1 when it never came.
    double Type()
    {
        LARGE_INTEGER liFrequency, liSent, liCame = {};
        ::QueryPerformanceFrequency(&liFrequency);
        ::QueryPerformanceCounter(&liSent);
        if (!SendScanKey(0x1E, 'A', 0))
            return -1;
        const bool bCame = PumpUntil([&] { return ::QueryPerformanceCounter(&liCame), s_bKeyDown; }, kWaitMs);
        SendScanKey(0x1E, 'A', KEYEVENTF_KEYUP);
        s_bKeyDown = false;
        return bCame ? 1000.0 * static_cast<double>(liCame.QuadPart - liSent.QuadPart) /
                           static_cast<double>(liFrequency.QuadPart)
                     : -1;
    }

    // Types for dwMs; the longest wait of a key, or -1 when one never came.
    double TypeFor(DWORD dwMs)
    {
        double dMax = 0;
        for (const DWORD dwStart = ::GetTickCount(); ::GetTickCount() - dwStart < dwMs;)
        {
            const double d = Type();
            if (d < 0)
                return -1;
            dMax = d > dMax ? d : dMax;
        }
        return dMax;
    }

    HWND Get() const { return m_hWnd; }

private:
    static LRESULT CALLBACK Proc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
    {
        if (uMsg == WM_KEYDOWN)
            s_bKeyDown = true;
        return ::CallWindowProcA(s_pfnEdit, hWnd, uMsg, wParam, lParam);
    }

    static inline WNDPROC s_pfnEdit = nullptr;
    static inline bool s_bKeyDown = false;
    HWND m_hWnd = nullptr;
};

} // namespace

TEST(KovaKeys, TheDesktopsKeysNeverWaitForKova)
{
    CRadioState state(0x1F);
    ASSERT_TRUE(state.IsReady());
    CTypingWindow typing;
    ASSERT_TRUE(typing.Get());

    // Right after start, while Kova prepares its pop-ups in its first idle moments.
    CKova kova;
    ASSERT_TRUE(kova.WaitUntilResident()) << kova.Describe();
    const double dAtStart = typing.TypeFor(1000);
    EXPECT_GE(dAtStart, 0) << "a key never came";
    EXPECT_LT(dAtStart, kMaxKeyWaitMs) << "a key waited for Kova's start";

    // While one read of the radios takes 1.5 s.
    ASSERT_TRUE(state.SetDelay(1500));
    ASSERT_TRUE(SignalFromAnotherProcess(kNotifyEvent));
    const double dInCall = typing.TypeFor(1500);
    EXPECT_GE(dInCall, 0) << "a key never came";
    EXPECT_LT(dInCall, kMaxKeyWaitMs) << "a key waited for Kova's slow read";
    ASSERT_TRUE(state.SetDelay(0));

    // Afterwards the hot key is there as ever.
    ASSERT_TRUE(ParkPointer());
    ASSERT_NE(nullptr, OpenByHotKey(kova)) << "no pop-up from its key";
}
