// How the benchmarks learn that another process has made a window, and when it shows.
#pragma once

#include <windows.h>

#include <functional>
#include <set>
#include <vector>

#include "framework/Handles.h"
#include "support/TestSupport.h"

namespace kovabench {

// Milliseconds on the performance counter: now, and at a reading of it.
double NowMs();
double CounterMs(long long llCounter);

enum class Detect {
    WinEvent,   // EVENT_OBJECT_CREATE out of context: a window is known as it is made
    Poll,       // FindWindowEx walks, one a millisecond
};
const char* DetectName(Detect eDetect);

using WindowList = std::function<std::vector<HWND>()>;
using WindowTest = std::function<bool(HWND)>;

struct Sighting {
    HWND hWnd = nullptr;
    double dSeenMs = 0;     // when the event or the walk told us
    bool bByEvent = false;
};

using CWinEventHook = kfw::UniqueHandle<kfw::NullHandleTraits<HWINEVENTHOOK, &::UnhookWinEvent>>;

// New windows of other processes. Wine 8 reports their creation (and focus) to an
// out-of-context hook, but not their showing or moving: whether and where a window shows
// is polled once it is known. One watch at a time per process.
class CWindowWatch {
public:
    explicit CWindowWatch(Detect eDetect);
    ~CWindowWatch();
    CWindowWatch(const CWindowWatch&) = delete;
    CWindowWatch& operator=(const CWindowWatch&) = delete;

    bool IsReady() const { return m_eDetect == Detect::Poll || m_hook.IsValid(); }
    Detect Mode() const { return m_eDetect; }
    // Windows found by the back-up walk before their event came.
    int Missed() const { return m_nMissed; }

    // From now on: what list() holds now is not new.
    void Arm(const WindowList& list);
    // One look without waiting: a new window that passes test, from the events so far or
    // from a walk when one is due.
    bool Check(const WindowList& list, const WindowTest& test, Sighting& rSeen);
    // Pumps until a new window that passes test is made; false after the time-out.
    bool WaitNew(const WindowList& list, const WindowTest& test, DWORD dwTimeoutMs, Sighting& rSeen);

private:
    static void CALLBACK EventProc(HWINEVENTHOOK, DWORD dwEvent, HWND hWnd, LONG idObject, LONG idChild, DWORD,
                                   DWORD);
    bool FindListed(const WindowList& list, const WindowTest& test, Sighting& rSeen) const;

    struct Created {
        HWND hWnd;
        double dMs;
    };
    Detect m_eDetect;
    CWinEventHook m_hook;
    std::vector<Created> m_created;
    std::set<HWND> m_before;
    size_t m_nChecked = 0;    // events looked at since Arm
    double m_dNextWalk = 0;
    int m_nMissed = 0;
};

using kovatest::HasClass;
using kovatest::IconWindows;
using kovatest::IsIconWindow;
using kovatest::PidOf;
using kovatest::TopLevelOf;
// Visible, and in the middle of the screen, where Kova and the dialog baseline put pop-ups.
bool IsShownCentred(HWND hWnd);

// Dispatches this thread's messages, waiting up to dwWaitMs for the first.
void PumpOnce(DWORD dwWaitMs);
// Pumps, testing once a millisecond, until test holds; when it first held in *pdAtMs.
bool PollUntil(const std::function<bool()>& test, DWORD dwTimeoutMs, double* pdAtMs = nullptr);

} // namespace kovabench
