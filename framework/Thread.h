// CThread: a thread of the program's own, with a name, a start handshake, a stop request and
// a bounded join.
//
// A thread that does not end within its join bound is left to run until the process ends,
// which ends it: its owner lets go of it and may start another. So a body reads only what
// its function object holds, shared by reference count where the owner uses it too, and
// never its starter's stack. The one exception is a body that waits on nothing but its stop
// request: it ends at once, may be joined without a bound (INFINITE), and may read its
// owner's members.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>

#include "framework/Handles.h"

namespace kfw {

class CThread {
public:
    // What the body sees of its thread.
    class CContext {
    public:
        // Manual reset: set by RequestStop, and stays set.
        HANDLE StopEvent() const { return m_hStop; }
        bool StopRequested() const { return ::WaitForSingleObject(m_hStop, 0) == WAIT_OBJECT_0; }
        // Ends the starter's WaitReady: the body has what its callers need (a window, say).
        void Ready() const { ::SetEvent(m_hReady); }

    private:
        friend class CThread;
        CContext(HANDLE hStop, HANDLE hReady) : m_hStop(hStop), m_hReady(hReady) {}
        HANDLE m_hStop;
        HANDLE m_hReady;
    };
    using Body = std::function<DWORD(const CContext&)>;
    // Reaches a body that waits on something other than the stop event (a window's message
    // loop, say); called by RequestStop, on the caller's thread, after the event is set.
    using Wake = std::function<void()>;

    CThread(PCWSTR pszName, DWORD dwJoinMs, int nPriority = THREAD_PRIORITY_NORMAL)
        : m_pszName(pszName), m_dwJoinMs(dwJoinMs), m_nPriority(nPriority)
    {
    }
    ~CThread() { Stop(); }
    CThread(const CThread&) = delete;
    CThread& operator=(const CThread&) = delete;

    // Runs fnBody on a new thread; false (and traced) when there is none. A thread already
    // started is kept, and fnBody dropped.
    bool Start(Body fnBody, Wake fnWake = {});
    // Waits at most dwMs for the body's Ready, or its end; true when it said it was ready.
    bool WaitReady(DWORD dwMs) const;
    // Sets the stop event and wakes the body; the thread may still be running.
    void RequestStop() const;
    // RequestStop, then waits at most the join bound. True when the thread ended; false when
    // it is left to the end of the process. Safe when not started.
    bool Stop();
    // RequestStop, and lets go at once: what Stop does past its bound, without the wait.
    void Leave();

    bool IsStarted() const { return m_hThread.IsValid(); }
    HANDLE Handle() const { return m_hThread.Get(); }

private:
    struct CShared;
    static DWORD WINAPI Run(void* pvShared);

    PCWSTR m_pszName;
    DWORD m_dwJoinMs;
    int m_nPriority;
    std::shared_ptr<CShared> m_pShared;
    CHandle m_hThread;
};

} // namespace kfw
