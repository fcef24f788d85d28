// What the user does to Kova: the icon's right-click menu and its commands, the double
// click, the hot keys, and the pop-up they open.
#include <gtest/gtest.h>

#include "res/KovaNames.h"
#include "support/KovaSession.h"

using namespace kovatest;
using namespace kovae2e;

namespace {

// The one pop-up of the process closes by itself after a few seconds while the pointer
// is not on it. Clicking it is no way to close it: a click on a button picks a mode.
void WaitForPopupToClose(CKova& kova)
{
    ASSERT_EQ(1u, DialogsOf(kova.Pid()).size());
    // Pop-ups open in the middle of the screen, where a fresh display leaves the pointer.
    ASSERT_TRUE(ParkPointer());
    ASSERT_TRUE(WaitForNoDialogOf(kova.Pid(), kWaitMs)) << "the pop-up stayed open";
}

// Waits until Kova is back in its own loop after a pop-up, and shows that it still
// follows the radios: the watcher's refresh is handled nowhere else.
void RereadRadios(CResidentKova& kova, BYTE byStatus, const wchar_t* pszTip, TrayIcon* pIcon)
{
    ASSERT_TRUE(kova.State().Set(byStatus));
    ASSERT_TRUE(SignalFromAnotherProcess(kNotifyEvent));
    ASSERT_TRUE(kova.WaitForIcon(pszTip, pIcon)) << "Kova stopped following the radios";
}

// The shell's message for a mouse event on the icon, handled before this returns.
bool SendTrayEvent(CKova& kova, UINT uMouseMsg, DWORD dwTimeoutMs)
{
    DWORD_PTR dwResult = 0;
    return ::SendMessageTimeoutA(kova.Frame(), kTrayCallback, kTrayId, uMouseMsg, SMTO_NORMAL, dwTimeoutMs,
                                 &dwResult) != 0;
}

TEST(KovaMenu, RightClickOpensTheMenuEscLeavesItAndExitQuits)
{
    CResidentKova kova(0x1F);
    ASSERT_TRUE(kova.IsResident()) << kova.Describe();
    TrayIcon icon = kova.StartIcon();

    std::string strError;
    ASSERT_TRUE(ClickTrayIcon(icon, ClickKind::Right, ClickMethod::Input, &strError)) << strError;
    PopupMenu menu;
    ASSERT_TRUE(WaitForPopupMenu(kWaitMs, &menu, kova.Pid()));
    EXPECT_LT(menu.rc.left, menu.rc.right);
    ASSERT_TRUE(PressKey("esc"));
    ASSERT_TRUE(WaitForNoPopupMenu(kWaitMs, kova.Pid()));
    EXPECT_TRUE(kova.Process().IsRunning());

    // A tray menu opened a second time is the one that likes to close again at once.
    ASSERT_TRUE(ClickTrayIcon(icon, ClickKind::Right, ClickMethod::Input, &strError)) << strError;
    ASSERT_TRUE(WaitForPopupMenu(kWaitMs, &menu, kova.Pid()));
    ASSERT_TRUE(PressKey("x", &strError)) << strError;
    EXPECT_EQ(0u, kova.Wait());
    EXPECT_TRUE(kova.WaitForIconGone());
    EXPECT_FALSE(::IsWindow(kova.Frame()));
}

TEST(KovaMenu, DoubleClickAndOptionOpenThePopup)
{
    CResidentKova kova(0x1F);
    ASSERT_TRUE(kova.IsResident()) << kova.Describe();
    TrayIcon icon = kova.StartIcon();
    std::string strError;

    // The mode selection, by double click.
    ASSERT_TRUE(ClickTrayIcon(icon, ClickKind::Double, ClickMethod::Input, &strError)) << strError;
    ASSERT_NE(nullptr, WaitForDialogOf(kova.Pid(), kWaitMs)) << "no pop-up after a double click";
    ASSERT_NO_FATAL_FAILURE(WaitForPopupToClose(kova));
    ASSERT_NO_FATAL_FAILURE(RereadRadios(kova, 0x1D, kTipWlanOn, &icon));

    // The same through the menu's "&Option".
    ASSERT_TRUE(ClickTrayIcon(icon, ClickKind::Right, ClickMethod::Input, &strError)) << strError;
    ASSERT_TRUE(WaitForPopupMenu(kWaitMs, nullptr, kova.Pid()));
    ASSERT_TRUE(PressKey("o", &strError)) << strError;
    ASSERT_NE(nullptr, WaitForDialogOf(kova.Pid(), kWaitMs)) << "no pop-up after Option";
    ASSERT_NO_FATAL_FAILURE(WaitForPopupToClose(kova));

    // The switch off: the notice instead, by the same double click.
    ASSERT_NO_FATAL_FAILURE(RereadRadios(kova, 0x0F, kTipBothOff, &icon));
    ASSERT_TRUE(ClickTrayIcon(icon, ClickKind::Double, ClickMethod::Input, &strError)) << strError;
    ASSERT_NE(nullptr, WaitForDialogOf(kova.Pid(), kWaitMs)) << "no notice with the switch off";
    ASSERT_NO_FATAL_FAILURE(WaitForPopupToClose(kova));

    // A closed pop-up leaves Kova running.
    ASSERT_NO_FATAL_FAILURE(RereadRadios(kova, 0x1F, kTipBothOn, &icon));
    EXPECT_TRUE(kova.Process().IsRunning());
}

TEST(KovaMenu, NoPopupWithoutRadiosAndNeverTwoAtOnce)
{
    CResidentKova kova(0x00);
    ASSERT_TRUE(kova.IsResident()) << kova.Describe();

    // Nothing fitted: the double click is handled and nothing opens. A pop-up would hold
    // the sent message in its modal loop until it closed, so the send must come back at
    // once and leave no window behind.
    ASSERT_TRUE(SendTrayEvent(kova, WM_LBUTTONDBLCLK, 2000)) << "the double click did not come back";
    EXPECT_TRUE(DialogsOf(kova.Pid()).empty());

    ASSERT_TRUE(kova.State().Set(0x1F));
    ASSERT_TRUE(SignalFromAnotherProcess(kNotifyEvent));
    ASSERT_TRUE(kova.WaitForIcon(kTipBothOn));
    ::PostMessageA(kova.Frame(), kTrayCallback, kTrayId, WM_LBUTTONDBLCLK);
    ASSERT_NE(nullptr, WaitForDialogOf(kova.Pid(), kWaitMs));

    // While it is open the pop-up's loop handles the next double click, which must not
    // stack a second pop-up on the first.
    ASSERT_TRUE(SendTrayEvent(kova, WM_LBUTTONDBLCLK, kWaitMs)) << "the second double click did not come back";
    EXPECT_EQ(1u, DialogsOf(kova.Pid()).size());
    ASSERT_NO_FATAL_FAILURE(WaitForPopupToClose(kova));

    // And once it is closed a new one opens again.
    ::PostMessageA(kova.Frame(), kTrayCallback, kTrayId, WM_LBUTTONDBLCLK);
    ASSERT_NE(nullptr, WaitForDialogOf(kova.Pid(), kWaitMs)) << "the pop-up did not open a second time";
    ASSERT_NO_FATAL_FAILURE(WaitForPopupToClose(kova));
}

TEST(KovaHotKeys, RefreshKeyAndPopupKey)
{
    CResidentKova kova(0x1F);
    ASSERT_TRUE(kova.IsResident()) << kova.Describe();

    // The refresh key, plain or extended, re-reads the radios.
    ASSERT_TRUE(kova.State().Set(0x1D));
    ASSERT_TRUE(Stroke("0x71"));
    ASSERT_TRUE(kova.WaitForIcon(kTipWlanOn)) << "the refresh key was not seen";
    ASSERT_TRUE(kova.State().Set(0x1E));
    ASSERT_TRUE(Stroke("0x71 ext"));
    ASSERT_TRUE(kova.WaitForIcon(kTipBtOn)) << "the extended refresh key was not seen";

    // The pop-up key needs the extended flag and a press. SendInput returns once the
    // low-level hooks have seen the key, so the refresh posted after the helper has ended
    // is handled after these keys: once its tip shows, a wrongly opened pop-up would be
    // there to see.
    ASSERT_TRUE(Stroke("0x04"));
    ASSERT_TRUE(Scan("0x04 ext up"));
    ASSERT_NO_FATAL_FAILURE(RereadRadios(kova, 0x1F, kTipBothOn, nullptr));
    EXPECT_TRUE(DialogsOf(kova.Pid()).empty());

    ASSERT_TRUE(Stroke("0x04 ext"));
    ASSERT_NE(nullptr, WaitForDialogOf(kova.Pid(), kWaitMs)) << "no pop-up from its key";
    ASSERT_NO_FATAL_FAILURE(WaitForPopupToClose(kova));
    ASSERT_NO_FATAL_FAILURE(RereadRadios(kova, 0x1D, kTipWlanOn, nullptr));
}

std::wstring TitleOf(HWND hWnd)
{
    wchar_t sz[256] = L"";
    ::GetWindowTextW(hWnd, sz, 256);
    return sz;
}

// A lock takes the keys from whoever has them; the unlock gives them back to the pop-up
// that is still open, whose title (its status line) then follows the arrows again.
TEST(KovaHotKeys, APopupOpenAcrossLockAndUnlockGetsItsKeysBack)
{
    CResidentKova kova(0x1F);
    ASSERT_TRUE(kova.IsResident()) << kova.Describe();
    ASSERT_TRUE(ParkPointer());
    const HWND hPopup = OpenByHotKey(kova);
    ASSERT_NE(nullptr, hPopup);
    const std::wstring strBefore = TitleOf(hPopup);

    // Sent, not posted: the unlock is handled before the arrow is typed.
    for (const WPARAM wEvent : { WTS_SESSION_LOCK, WTS_SESSION_UNLOCK })
        ASSERT_TRUE(::SendMessageTimeoutA(kova.Frame(), WM_WTSSESSION_CHANGE, wEvent, 0, SMTO_NORMAL, kWaitMs, nullptr));
    ASSERT_TRUE(Stroke("0x4D"));
    EXPECT_TRUE(PumpUntil([&] { return TitleOf(hPopup) != strBefore; })) << "the arrow did not move the selection";
    ASSERT_NO_FATAL_FAILURE(WaitForPopupToClose(kova));
    EXPECT_EQ(0x1F, kova.State().Get()) << "closing by itself wrote a mode";
}

// Kova's message box, shown or not: under Wine a quit already queued ends the box's own
// loop before it is ever shown, so it may live a moment, hidden.
HWND MessageBoxOf(DWORD dwPid)
{
    for (HWND hWnd = ::FindWindowExA(nullptr, nullptr, "#32770", "Kova"); hWnd;
         hWnd = ::FindWindowExA(nullptr, hWnd, "#32770", "Kova"))
    {
        DWORD dwOwner = 0;
        ::GetWindowThreadProcessId(hWnd, &dwOwner);
        if (dwOwner == dwPid)
            return hWnd;
    }
    return nullptr;
}

// Quitting while the pop-up is open destroys the frame inside the pop-up's modal loop, and
// with it the handle of the semaphore the hot key holds. We keep the name open, as any other
// process may: had Kova closed its handle still holding the unit, no later Kova would get a
// hot key again.
TEST(KovaHotKeys, QuitWithThePopupOpenEndsQuietlyAndGivesTheKeysBack)
{
    kfw::CHandle hSemaphore;
    const struct {
        const char* pszHow;
        bool (*pfnQuit)(HWND hFrame);
    } ways[] = {
        { "Kova.exe Close", [](HWND) { return CKova("Close").Wait() == 0; } },
        { "WM_CLOSE", [](HWND hFrame) { return ::PostMessageA(hFrame, WM_CLOSE, 0, 0) != FALSE; } },
        { "the Restart Manager",
          [](HWND hFrame) { return ::PostMessageA(hFrame, WM_ENDSESSION, TRUE, ENDSESSION_CLOSEAPP) != FALSE; } },
    };
    for (const auto& way : ways)
    {
        SCOPED_TRACE(way.pszHow);
        CResidentKova kova(0x1F);
        ASSERT_TRUE(kova.IsResident()) << kova.Describe();
        // The icon shows a moment before the semaphore is made.
        ASSERT_TRUE(PumpUntil([&] {
            if (!hSemaphore)
                hSemaphore.Reset(::OpenSemaphoreA(SYNCHRONIZE | SEMAPHORE_MODIFY_STATE, FALSE, KOVA_SEMAPHORE_NAME));
            return hSemaphore.IsValid();
        }));
        ASSERT_TRUE(Stroke("0x04 ext"));
        HWND hPopup = WaitForDialogOf(kova.Pid(), kWaitMs);
        ASSERT_NE(nullptr, hPopup) << "no pop-up from its key: the semaphore is still taken";
        // The pointer resting on the middle button holds the pop-up open and chooses another
        // mode than the current one: the quit must not write it.
        RECT rc = {};
        ASSERT_TRUE(::GetWindowRect(hPopup, &rc));
        ASSERT_TRUE(MovePointer({ (rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2 }));

        ASSERT_TRUE(way.pfnQuit(kova.Frame()));
        // A message box lives no longer than the process: look for one while it ends.
        HWND hBox = nullptr;
        PumpUntil([&] {
            hBox = hBox ? hBox : MessageBoxOf(kova.Pid());
            return hBox || !kova.Process().IsRunning();
        }, kWaitMs);
        EXPECT_EQ(nullptr, hBox) << "a message box came up";
        EXPECT_EQ(0u, kova.Wait());
        EXPECT_TRUE(kova.WaitForIconGone());
        EXPECT_EQ(0x1F, kova.State().Get()) << "the pop-up wrote a mode";
        const bool bFree = ::WaitForSingleObject(hSemaphore.Get(), 0) == WAIT_OBJECT_0;
        EXPECT_TRUE(bFree && ::ReleaseSemaphore(hSemaphore.Get(), 1, nullptr)) << "Kova left the semaphore taken";
    }

    // The next Kova gets its keys, and quits cleanly once its pop-up is closed.
    CResidentKova kova(0x1F, KovaStart().Parked());
    ASSERT_TRUE(kova.IsResident()) << kova.Describe();
    ASSERT_TRUE(Stroke("0x04 ext"));
    ASSERT_NE(nullptr, WaitForDialogOf(kova.Pid(), kWaitMs)) << "no pop-up from its key";
    ASSERT_TRUE(Stroke("0x71"));
    ASSERT_TRUE(WaitForNoDialogOf(kova.Pid(), kWaitMs));
    ASSERT_TRUE(SignalFromAnotherProcess(kCloseEvent));
    EXPECT_EQ(0u, kova.Wait());
}

} // namespace
