#include "app/EventWatcher.h"

#include "framework/Trace.h"
#include "res/KovaNames.h"

#include <memory>
#include <utility>

namespace {

constexpr UINT PENDING_MODE_CHANGED = 1;
constexpr UINT PENDING_CLOSE = 2;

// Posts what is pending to hWnd; each signal goes once, whichever thread takes it.
void PostPending(HWND hWnd, std::atomic<UINT>& ruPending)
{
    const UINT uPending = ruPending.exchange(0);
    if (uPending & PENDING_MODE_CHANGED)
        ::PostMessageA(hWnd, WM_MODE_CHANGED, 0, 0);
    if (uPending & PENDING_CLOSE)
        ::PostMessageA(hWnd, WM_CLOSE_REQUEST, 0, 0);
}

} // namespace

void EventWatcher::SetTarget(HWND hWndTarget)
{
    m_pShared->hWndTarget.store(hWndTarget);
    if (hWndTarget)
        PostPending(hWndTarget, m_pShared->uPending);
}

EventWatcher::~EventWatcher()
{
    Stop();
}

HANDLE EventWatcher::Start()
{
    if (m_thread.IsStarted())
        return m_thread.Handle();

    // Auto-reset and non-signalled; when another process created an event first, this
    // opens it. A name taken by another kind of object fails here.
    kfw::CHandle hNotify(::CreateEventA(nullptr, FALSE, FALSE, KOVA_NOTIFY_EVENT_NAME));
    if (!hNotify)
    {
        kfw::TraceFormat("HANDLE EventWatcher::Start(): %s not created (error %lu)",
                         KOVA_NOTIFY_EVENT_NAME, ::GetLastError());
        return nullptr;
    }
    kfw::CHandle hClose(::CreateEventA(nullptr, FALSE, FALSE, KOVA_CLOSE_EVENT_NAME));
    if (!hClose)
    {
        kfw::TraceFormat("HANDLE EventWatcher::Start(): %s not created (error %lu)",
                         KOVA_CLOSE_EVENT_NAME, ::GetLastError());
        return nullptr;
    }
    m_pShared->hNotifyEvent = std::move(hNotify);
    m_pShared->hCloseEvent = std::move(hClose);

    const bool bStarted = m_thread.Start([pShared = m_pShared](const kfw::CThread::CContext& context) {
        // The thread's own: a registry notification lasts as long as the thread that asked.
        CPolicyWatch policy;
        return WatchEvents(context.StopEvent(), pShared->hNotifyEvent.Get(), pShared->hCloseEvent.Get(),
                           pShared->hWndTarget, &pShared->uPending, &policy);
    });
    if (!bStarted)
    {
        Stop();
        return nullptr;
    }
    return m_thread.Handle();
}

void EventWatcher::Stop()
{
    m_thread.Stop();
    // A new set for a new start; a thread still running keeps the old one.
    auto pFresh = std::make_shared<CShared>();
    pFresh->hWndTarget.store(m_pShared->hWndTarget.load());
    pFresh->uPending.store(m_pShared->uPending.load());
    m_pShared = std::move(pFresh);
}

DWORD EventWatcher::WatchEvents(HANDLE hStop, HANDLE hNotify, HANDLE hClose, const std::atomic<HWND>& hWndTarget,
                                std::atomic<UINT>* puPending, CPolicyWatch* pPolicy)
{
    // Stop comes first: when several are set the lowest index wins, so signals from
    // outside can never hold up a shutdown.
    HANDLE ahWait[3 + CPolicyWatch::COUNT] = {hStop, hNotify, hClose};
    DWORD nWait = 3;
    int anPlace[CPolicyWatch::COUNT] = {};
    for (int i = 0; pPolicy && i < CPolicyWatch::COUNT; ++i)
    {
        if (!pPolicy->Event(i))
            continue;
        pPolicy->Arm(i);
        anPlace[nWait - 3] = i;
        ahWait[nWait++] = pPolicy->Event(i);
    }
    for (;;)
    {
        const DWORD dwResult = ::WaitForMultipleObjects(nWait, ahWait, FALSE, INFINITE);
        UINT uMsg = 0;
        if (dwResult == WAIT_OBJECT_0)
            return 0;
        if (dwResult >= WAIT_OBJECT_0 + 3 && dwResult < WAIT_OBJECT_0 + nWait)
        {
            // A notification is spent once it fired: armed again before anything is read.
            pPolicy->Arm(anPlace[dwResult - WAIT_OBJECT_0 - 3]);
            uMsg = WM_MODE_CHANGED;
        }
        else if (dwResult == WAIT_OBJECT_0 + 1)
        {
            // A no-op for our auto-reset event; if another process created it manual-reset,
            // this keeps one signal from turning into an endless stream of messages.
            ::ResetEvent(hNotify);
            uMsg = WM_MODE_CHANGED;
        }
        else if (dwResult == WAIT_OBJECT_0 + 2)
        {
            ::ResetEvent(hClose);
            uMsg = WM_CLOSE_REQUEST;
        }
        else
        {
            // Nothing else can end an endless wait on events but a failure (a bad handle),
            // and waiting again would fail at once and keep a processor busy.
            kfw::TraceFormat("DWORD EventWatcher::WatchEvents(): wait failed (result 0x%lx, error %lu)",
                             dwResult, ::GetLastError());
            return 1;
        }
        // Null until the main frame exists: never a thread message to this thread, which has
        // no message loop. A close asked for during start-up still closes once the frame is
        // set; the window may be set meanwhile, after SetTarget looked for pending signals.
        if (HWND hWnd = hWndTarget.load())
            ::PostMessageA(hWnd, uMsg, 0, 0);
        else if (puPending)
        {
            puPending->fetch_or(uMsg == WM_CLOSE_REQUEST ? PENDING_CLOSE : PENDING_MODE_CHANGED);
            if (HWND hWndNow = hWndTarget.load())
                PostPending(hWndNow, *puPending);
        }
    }
}
