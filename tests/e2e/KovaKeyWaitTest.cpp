// Kova's slow moments never hold the desktop's keys: a key typed into another program
// arrives at once while Kova prepares its pop-ups after start, or waits on a slow EMSC.dll.
#include <gtest/gtest.h>

#include "support/KovaSession.h"

using namespace kovatest;
using namespace kovae2e;

// Far below the second a key waited for a busy hook thread, far above what a loaded
// machine's scheduling adds.
constexpr double kMaxKeyWaitMs = 250.0;

TEST(KovaKeys, TheDesktopsKeysNeverWaitForKova)
{
    CTypingWindow typing;
    ASSERT_TRUE(typing.Get());

    // Right after start, while Kova prepares its pop-ups in its first idle moments.
    CResidentKova kova(0x1F);
    ASSERT_TRUE(kova.IsResident()) << kova.Describe();
    const double dAtStart = typing.TypeFor(1000);
    EXPECT_GE(dAtStart, 0) << "a key never came";
    EXPECT_LT(dAtStart, kMaxKeyWaitMs) << "a key waited for Kova's start";

    // While one read of the radios takes 1.5 s.
    ASSERT_TRUE(kova.State().SetDelay(1500));
    ASSERT_TRUE(SignalFromAnotherProcess(kNotifyEvent));
    const double dInCall = typing.TypeFor(1500);
    EXPECT_GE(dInCall, 0) << "a key never came";
    EXPECT_LT(dInCall, kMaxKeyWaitMs) << "a key waited for Kova's slow read";
    ASSERT_TRUE(kova.State().SetDelay(0));

    // Afterwards the hot key is there as ever.
    ASSERT_TRUE(ParkPointer());
    ASSERT_NE(nullptr, OpenByHotKey(kova)) << "no pop-up from its key";
}
