// Who holds the keys through the orders in which a frame, its pop-up and a lock come: each
// step's holder, with real windows and the real hook.
#include <gtest/gtest.h>

#include "framework/Handles.h"
#include "framework/KeyHolder.h"

namespace {

using CWindowH = kfw::UniqueHandle<kfw::NullHandleTraits<HWND, &::DestroyWindow>>;

const kfw::KeyHookNames NAMES = { WM_APP, "KfwTestSink", "KfwTestWatch", "KfwTestRequest", "KfwTestQuit",
                                  L"test input", L"test key watch", "CKeyHook" };

HWND MakeWindow()
{
    return ::CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
}

} // namespace

TEST(KeyHolder, TheKeysGoWhereTheFrameItsPopupAndALockSay)
{
    const HINSTANCE hMod = ::GetModuleHandleA(nullptr);
    const CWindowH hFrame(MakeWindow()), hPopup(MakeWindow());
    ASSERT_TRUE(hFrame && hPopup);
    const HWND F = hFrame.Get(), P = hPopup.Get();
    enum Step { TAKES, LENDS, TAKES_BACK, OPENS, CLOSES, HOLD_OFF, RESUME };
    const struct { Step eStep; HWND hWndHolder; } steps[] = {   // null: no hook
        { TAKES, F },
        // Open across a lock (and built again for a new DPI): back to the pop-up, then the frame.
        { LENDS, F }, { OPENS, P }, { OPENS, P }, { HOLD_OFF, nullptr }, { RESUME, P }, { CLOSES, F }, { TAKES_BACK, F },
        // Closed while locked: nothing comes back until the unlock.
        { LENDS, F }, { OPENS, P }, { HOLD_OFF, nullptr }, { CLOSES, nullptr }, { TAKES_BACK, nullptr }, { RESUME, F },
        // An unlock while the frame lends the keys and no pop-up is open waits for the loan's end.
        { LENDS, F }, { HOLD_OFF, nullptr }, { RESUME, nullptr }, { TAKES_BACK, F },
        // Opened while locked: it had the keys from no one, and gives them to no one.
        { HOLD_OFF, nullptr }, { LENDS, nullptr }, { OPENS, P }, { CLOSES, nullptr }, { TAKES_BACK, nullptr }, { RESUME, F },
    };
    int nStep = 0;
    for (const auto& s : steps)
    {
        switch (s.eStep)
        {
        case TAKES: kfw::CKeyHolder::FrameTakes(NAMES, F, hMod); break;
        case LENDS: kfw::CKeyHolder::FrameLends(); break;
        case TAKES_BACK: kfw::CKeyHolder::FrameTakesBack(); break;
        case OPENS: kfw::CKeyHolder::PopupOpens(NAMES, P, hMod); break;
        case CLOSES: kfw::CKeyHolder::PopupCloses(P); break;
        case HOLD_OFF: kfw::CKeyHolder::HoldOff(); break;
        case RESUME: kfw::CKeyHolder::Resume(); break;
        }
        EXPECT_EQ(kfw::CKeyHook::IsInstalled() != FALSE, s.hWndHolder != nullptr) << "step " << nStep;
        if (s.hWndHolder)
        {
            EXPECT_EQ(kfw::CKeyHook::GetTarget(), s.hWndHolder) << "step " << nStep;
        }
        ++nStep;
    }
    kfw::CKeyHolder::FrameLeaves();
    kfw::CKeyHook::Shutdown();
}
