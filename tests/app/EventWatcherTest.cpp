// The event watcher against real named events set by another process.
#include <gtest/gtest.h>

#include "app/EventWatcher.h"
#include "res/KovaNames.h"
#include "support/TestSupport.h"

using kovatest::CMessageLog;
using kovatest::PumpUntil;
using kovatest::RunHelper;

namespace {

const std::string kSetNotify = std::string("set-event ") + KOVA_NOTIFY_EVENT_NAME;
const std::string kSetClose = std::string("set-event ") + KOVA_CLOSE_EVENT_NAME;

// Stays valid after the watcher has closed its own handle.
kfw::CHandle DuplicateThread(HANDLE hThread)
{
    HANDLE hDup = nullptr;
    ::DuplicateHandle(::GetCurrentProcess(), hThread, ::GetCurrentProcess(), &hDup, 0, FALSE,
                      DUPLICATE_SAME_ACCESS);
    return kfw::CHandle(hDup);
}

bool HasEnded(const kfw::CHandle& hThread)
{
    return ::WaitForSingleObject(hThread.Get(), 0) == WAIT_OBJECT_0;
}

// The close event ranks after the notify event in the watcher's wait, so once the close
// request has arrived no notify signal can still be pending: counts are final then.
void SettleWithCloseRequest(CMessageLog& log)
{
    const size_t nBefore = log.Count(WM_CLOSE_REQUEST);
    ASSERT_EQ(0u, RunHelper(kSetClose));
    ASSERT_TRUE(PumpUntil([&] { return log.Count(WM_CLOSE_REQUEST) > nBefore; }));
}

// A thread is suspended only once it has been seen to wait: one still starting up may hold
// the loader or heap lock, and the next helper or thread started would then wait for good.
void WaitUntilWatching(CMessageLog& log)
{
    const size_t nBefore = log.Count(WM_MODE_CHANGED);
    ASSERT_EQ(0u, RunHelper(kSetNotify));
    ASSERT_TRUE(PumpUntil([&] { return log.Count(WM_MODE_CHANGED) > nBefore; }));
}

} // namespace

TEST(EventWatcher, SignalsFromAnotherProcessArriveAsMessages)
{
    CMessageLog log;
    EventWatcher watcher;
    ASSERT_NE(nullptr, watcher.Start());
    // The first signal comes before the window is known, as "Kova.exe Close" may while the
    // frame is being made: it is kept and posted once the window is set.
    ASSERT_EQ(0u, RunHelper(kSetNotify));
    ASSERT_TRUE(PumpUntil([&] { return watcher.HasPending(); }));
    watcher.SetTarget(log);
    EXPECT_FALSE(watcher.HasPending());
    ASSERT_TRUE(PumpUntil([&] { return log.Count(WM_MODE_CHANGED) == 1; }));
    ASSERT_EQ(0u, RunHelper(kSetClose));
    ASSERT_TRUE(PumpUntil([&] { return log.Count(WM_CLOSE_REQUEST) == 1; }));
    // The close request does not end the watching: closing is the frame's business.
    ASSERT_EQ(0u, RunHelper(kSetNotify));
    ASSERT_TRUE(PumpUntil([&] { return log.Count(WM_MODE_CHANGED) == 2; }));

    const auto& entries = log.Entries();
    ASSERT_EQ(3u, entries.size());
    EXPECT_EQ(WM_MODE_CHANGED, entries[0].uMsg);
    EXPECT_EQ(WM_CLOSE_REQUEST, entries[1].uMsg);
    EXPECT_EQ(WM_MODE_CHANGED, entries[2].uMsg);
    for (const auto& e : entries)
    {
        EXPECT_EQ(0u, e.wParam);
        EXPECT_EQ(0, e.lParam);
    }
}

TEST(EventWatcher, TwoSignalsWhileNotWaitingMakeOneMessage)
{
    CMessageLog log;
    EventWatcher watcher;
    const HANDLE hThread = watcher.Start();
    ASSERT_NE(nullptr, hThread);
    watcher.SetTarget(log);
    WaitUntilWatching(log);

    ASSERT_NE(static_cast<DWORD>(-1), ::SuspendThread(hThread));
    const DWORD dwHelper = RunHelper(kSetNotify + " 2");
    ::ResumeThread(hThread);
    ASSERT_EQ(0u, dwHelper);

    ASSERT_TRUE(PumpUntil([&] { return log.Count(WM_MODE_CHANGED) >= 2; }));
    SettleWithCloseRequest(log);
    EXPECT_EQ(2u, log.Count(WM_MODE_CHANGED));
}

TEST(EventWatcher, OpensEventsAnotherProcessCreatedFirst)
{
    const std::string strReady = kovatest::UniqueName("KovaTest.Ready");
    const std::string strQuit = kovatest::UniqueName("KovaTest.Quit");
    kfw::CHandle hReady(::CreateEventA(nullptr, TRUE, FALSE, strReady.c_str()));
    kfw::CHandle hQuit(::CreateEventA(nullptr, TRUE, FALSE, strQuit.c_str()));
    // Manual-reset, as a careless other program might create them: one signal must still
    // make one message, not a stream.
    kfw::CHandle hHolder = kovatest::StartHelper("hold-events " + strReady + " " + strQuit + " manual " +
                                                 KOVA_NOTIFY_EVENT_NAME + " " + KOVA_CLOSE_EVENT_NAME);
    ASSERT_TRUE(hHolder);
    ASSERT_TRUE(PumpUntil([&] {
        return ::WaitForSingleObject(hReady.Get(), 0) == WAIT_OBJECT_0 ||
               ::WaitForSingleObject(hHolder.Get(), 0) == WAIT_OBJECT_0;
    }));
    ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(hReady.Get(), 0)) << "the helper could not create the events";

    {
        CMessageLog log;
        EventWatcher watcher;
        ASSERT_NE(nullptr, watcher.Start());
        watcher.SetTarget(log);
        ASSERT_EQ(0u, RunHelper(kSetNotify));
        ASSERT_TRUE(PumpUntil([&] { return log.Count(WM_MODE_CHANGED) >= 1; }));
        SettleWithCloseRequest(log);
        EXPECT_EQ(1u, log.Count(WM_MODE_CHANGED));
        EXPECT_EQ(1u, log.Count(WM_CLOSE_REQUEST));
    }
    ::SetEvent(hQuit.Get());
    EXPECT_EQ(0u, kovatest::WaitForExit(hHolder.Get()));
}

TEST(EventWatcher, StopsAndJoinsItsThread)
{
    const int nThreadsBefore = kovatest::CountThreads();
    ASSERT_GT(nThreadsBefore, 0);
    kfw::CHandle hFirst, hSecond;
    {
        EventWatcher watcher;
        const HANDLE hThread = watcher.Start();
        ASSERT_NE(nullptr, hThread);
        EXPECT_EQ(hThread, watcher.Start()) << "a second start must not start a second thread";
        EXPECT_EQ(nThreadsBefore + 1, kovatest::CountThreads());
        hFirst = DuplicateThread(hThread);

        watcher.Stop();
        EXPECT_TRUE(HasEnded(hFirst));
        DWORD dwExit = STILL_ACTIVE;
        ::GetExitCodeThread(hFirst.Get(), &dwExit);
        EXPECT_EQ(0u, dwExit);
        EXPECT_EQ(nullptr, watcher.GetThread());
        watcher.Stop();

        // Started again, and this time left to the destructor.
        const HANDLE hAgain = watcher.Start();
        ASSERT_NE(nullptr, hAgain);
        hSecond = DuplicateThread(hAgain);
        EXPECT_FALSE(HasEnded(hSecond));
    }
    EXPECT_TRUE(HasEnded(hSecond));
    EXPECT_EQ(nThreadsBefore, kovatest::CountThreads());
}

namespace {
DWORD WINAPI StopWatcher(LPVOID pParam)
{
    static_cast<EventWatcher*>(pParam)->Stop();
    return 0;
}
} // namespace

TEST(EventWatcher, StopWaitsUntilTheThreadHasEnded)
{
    CMessageLog log;
    EventWatcher watcher;
    const HANDLE hThread = watcher.Start();
    ASSERT_NE(nullptr, hThread);
    kfw::CHandle hWatcherThread = DuplicateThread(hThread);
    watcher.SetTarget(log);
    WaitUntilWatching(log);

    // A suspended watcher cannot end, so Stop must not return until it is resumed.
    ASSERT_NE(static_cast<DWORD>(-1), ::SuspendThread(hThread));
    kfw::CHandle hStopper(::CreateThread(nullptr, 0, &StopWatcher, &watcher, 0, nullptr));
    ASSERT_TRUE(hStopper);
    const DWORD dwEarly = ::WaitForSingleObject(hStopper.Get(), 300);
    ::ResumeThread(hWatcherThread.Get());
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), dwEarly) << "Stop returned while the thread was still there";
    ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(hStopper.Get(), 5000));
    EXPECT_TRUE(HasEnded(hWatcherThread));
}

TEST(EventWatcher, NameTakenByAnotherKindOfObjectFailsToStart)
{
    const int nThreadsBefore = kovatest::CountThreads();
    kfw::CHandle hSquatter(::CreateSemaphoreA(nullptr, 0, 1, KOVA_CLOSE_EVENT_NAME));
    ASSERT_TRUE(hSquatter);

    EventWatcher watcher;
    EXPECT_EQ(nullptr, watcher.Start());
    EXPECT_EQ(nullptr, watcher.GetThread());
    EXPECT_EQ(nThreadsBefore, kovatest::CountThreads());
}

namespace {
struct WatchArgs {
    HANDLE hBad;
    std::atomic<HWND> hWndTarget{nullptr};
};
DWORD WINAPI RunWatchEvents(LPVOID pParam)
{
    auto* pArgs = static_cast<WatchArgs*>(pParam);
    return EventWatcher::WatchEvents(pArgs->hBad, pArgs->hBad, pArgs->hBad, pArgs->hWndTarget);
}
} // namespace

TEST(EventWatcher, FailingWaitEndsTheThreadInsteadOfSpinning)
{
    CMessageLog log;
    WatchArgs args;
    // No such handle (a closed one would soon be reused, e.g. for the thread below):
    // every wait on it fails at once.
    args.hBad = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(0x7FFFFFF0));
    args.hWndTarget = log.GetSafeHwnd();

    kfw::CHandle hThread(::CreateThread(nullptr, 0, &RunWatchEvents, &args, 0, nullptr));
    ASSERT_TRUE(hThread);
    if (::WaitForSingleObject(hThread.Get(), 5000) != WAIT_OBJECT_0)
    {
        ::TerminateThread(hThread.Get(), 2);
        FAIL() << "the watcher kept waiting on a failing wait";
    }
    DWORD dwExit = 0;
    ::GetExitCodeThread(hThread.Get(), &dwExit);
    EXPECT_EQ(1u, dwExit);
    kovatest::PumpPending();
    EXPECT_TRUE(log.Entries().empty());
}
