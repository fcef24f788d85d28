// One resident Kova per session: second starts, the "Close" messenger, and the ways other
// programs end the resident one.
#include <gtest/gtest.h>

#include "support/KovaSession.h"

using namespace kovatest;
using namespace kovae2e;

namespace {

// Starts Kova.exe with the arguments and waits for it to end; its exit code.
DWORD RunSecondStart(const std::string& strArgs)
{
    CKova second(strArgs);
    if (!second.Process())
        return ~0u;
    return second.Wait();
}

TEST(KovaInstance, SecondStartsEndSilentlyAndOnlyCloseEndsTheResident)
{
    CResidentKova resident(0x1F);
    ASSERT_TRUE(resident.IsResident()) << resident.Describe();
    TrayIcon icon = resident.StartIcon();

    // Anything but the exact word is an ordinary second start: it ends at once with 0. A
    // message box would keep it from ending within the wait.
    for (const char* pszArgs : {"", "close", "/Close", "-Close", "CLOSE", "Closed"})
    {
        SCOPED_TRACE(std::string("arguments: \"") + pszArgs + "\"");
        EXPECT_EQ(0u, RunSecondStart(pszArgs));
    }

    // The resident was told nothing: it still follows the radios, with the same icon. Had
    // one of them set the close event, the resident would have gone before this refresh.
    ASSERT_TRUE(resident.State().Set(0x1D));
    ASSERT_TRUE(SignalFromAnotherProcess(kNotifyEvent));
    TrayIcon after;
    ASSERT_TRUE(resident.WaitForIcon(kTipWlanOn, &after)) << "the resident stopped answering";
    EXPECT_EQ(icon.hWnd, after.hWnd);
    EXPECT_TRUE(resident.Process().IsRunning());
    EXPECT_EQ(resident.Frame(), ::FindWindowA(kFrameClass, nullptr));

    // The messenger ends, and so does the resident, with its icon.
    EXPECT_EQ(0u, RunSecondStart("Close"));
    EXPECT_EQ(0u, resident.Wait());
    EXPECT_TRUE(resident.WaitForIconGone());
    EXPECT_EQ(nullptr, ::FindWindowA(kFrameClass, nullptr));

    // With nobody to tell, the messenger ends just the same and stays no longer.
    EXPECT_EQ(0u, RunSecondStart("Close"));
    EXPECT_EQ(nullptr, ::FindWindowA(kFrameClass, nullptr));
}

TEST(KovaInstance, OtherProgramsEndTheResident)
{
    const struct {
        const char* pszHow;
        bool (*pfnEnd)(HWND hFrame);
    } ways[] = {
        {"close event", [](HWND) { return SignalFromAnotherProcess(kCloseEvent); }},
        {"WM_CLOSE", [](HWND hFrame) { return ::PostMessageA(hFrame, WM_CLOSE, 0, 0) != FALSE; }},
        {"log-off",
         [](HWND hFrame) { return ::PostMessageA(hFrame, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF) != FALSE; }},
    };
    for (const auto& way : ways)
    {
        SCOPED_TRACE(way.pszHow);
        CResidentKova kova(0x1F);
        ASSERT_TRUE(kova.IsResident()) << kova.Describe();
        ASSERT_TRUE(way.pfnEnd(kova.Frame()));
        EXPECT_EQ(0u, kova.Wait());
        EXPECT_TRUE(kova.WaitForIconGone());
        EXPECT_FALSE(::IsWindow(kova.Frame()));
    }

    // The name is free again once the resident is gone: the next start stays.
    CResidentKova again(0x1F);
    EXPECT_TRUE(again.IsResident()) << again.Describe();
}

} // namespace
