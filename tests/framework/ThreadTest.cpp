// The thread's handshake, its stop (by the event or by the body's own wake) and the rule for
// one that does not end in time.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>

#include "framework/Thread.h"

TEST(Thread, StartsNamedReadyAndStopsByEventOrWake)
{
    kfw::CThread byEvent(L"test by event", 2000);
    ASSERT_TRUE(byEvent.Start([](const kfw::CThread::CContext& context) {
        context.Ready();
        return ::WaitForSingleObject(context.StopEvent(), INFINITE);
    }));
    EXPECT_TRUE(byEvent.WaitReady(2000));
    EXPECT_TRUE(byEvent.Stop());
    EXPECT_FALSE(byEvent.IsStarted());
    EXPECT_TRUE(byEvent.Stop());   // again: nothing to do

    // A body in a message loop hears of the stop through its wake.
    std::atomic<DWORD> dwThreadId{ 0 };
    kfw::CThread byWake(L"test by wake", 2000);
    ASSERT_TRUE(byWake.Start(
        [&dwThreadId](const kfw::CThread::CContext& context) {
            MSG msg;
            ::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);   // the queue exists before Ready
            dwThreadId = ::GetCurrentThreadId();
            context.Ready();
            while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {}
            return DWORD{ 7 };
        },
        [&dwThreadId] { ::PostThreadMessageA(dwThreadId, WM_QUIT, 0, 0); }));
    ASSERT_TRUE(byWake.WaitReady(2000));
    EXPECT_TRUE(byWake.Stop());

    // A body that never says ready: the wait ends with the thread.
    kfw::CThread silent(L"test silent", 2000);
    ASSERT_TRUE(silent.Start([](const kfw::CThread::CContext&) { return DWORD{ 0 }; }));
    EXPECT_FALSE(silent.WaitReady(5000));
}

TEST(Thread, OneThatDoesNotEndInTimeIsLeftWithWhatItHolds)
{
    auto pRelease = std::make_shared<kfw::CHandle>(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    const std::weak_ptr<kfw::CHandle> pWatch = pRelease;
    kfw::CHandle hEnded(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    {
        kfw::CThread stuck(L"test stuck", 50);
        ASSERT_TRUE(stuck.Start([pRelease, hEnded = hEnded.Get()](const kfw::CThread::CContext&) {
            ::WaitForSingleObject(pRelease->Get(), INFINITE);   // deaf to the stop
            ::SetEvent(hEnded);
            return DWORD{ 0 };
        }));
        EXPECT_FALSE(stuck.Stop());
        EXPECT_FALSE(stuck.IsStarted());
    }
    // The owner and the thread object are gone; the body still holds its own.
    const auto pStillHeld = pWatch.lock();
    ASSERT_TRUE(pStillHeld);
    pRelease.reset();
    ::SetEvent(pStillHeld->Get());
    EXPECT_EQ(::WaitForSingleObject(hEnded.Get(), 5000), WAIT_OBJECT_0);
}
