// EventWatcher: turns the two named events other processes set into messages posted to
// the main frame, from a thread of its own.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>

#include "app/PolicyWatch.h"
#include "framework/Handles.h"
#include "framework/Thread.h"
#include "res/KovaNames.h"

class EventWatcher {
public:
    EventWatcher() = default;
    // Stops and joins the thread before its events go.
    ~EventWatcher();
    EventWatcher(const EventWatcher&) = delete;
    EventWatcher& operator=(const EventWatcher&) = delete;

    // Creates or opens both events and starts the watcher thread. Returns the thread
    // (borrowed: valid until Stop), the running one if already started, null on failure.
    HANDLE Start();
    // Wakes the thread and waits for it to end, at most STOP_JOIN_MS, then lets go of the
    // events; a thread still running keeps them and its target until the process ends. Safe
    // when not started; may be called again.
    void Stop();
    static constexpr DWORD STOP_JOIN_MS = 2000;

    // The window that receives the messages, any thread. Signals that came while there was
    // none are kept, one of each kind, and posted to it when it is set.
    void SetTarget(HWND hWndTarget);
    HWND GetTarget() const { return m_pShared->hWndTarget.load(); }
    bool HasPending() const { return m_pShared->uPending.load() != 0; }
    HANDLE GetThread() const { return m_thread.Handle(); }

    // The thread's loop: posts WM_MODE_CHANGED for the notify event and WM_CLOSE_REQUEST
    // for the close event until hStop is set (returns 0) or a wait fails (returns 1). With
    // no window yet, a signal is kept in *puPending, or dropped when that is null. A change
    // of the organisation's policy that pPolicy sees counts as the notify event.
    static DWORD WatchEvents(HANDLE hStop, HANDLE hNotify, HANDLE hClose, const std::atomic<HWND>& hWndTarget,
                             std::atomic<UINT>* puPending = nullptr, CPolicyWatch* pPolicy = nullptr);

private:
    // What the thread reads: its own reference keeps it for as long as it runs.
    struct CShared {
        kfw::CHandle hNotifyEvent;
        kfw::CHandle hCloseEvent;
        std::atomic<HWND> hWndTarget{nullptr};
        std::atomic<UINT> uPending{0};   // PENDING_* bits
    };
    std::shared_ptr<CShared> m_pShared = std::make_shared<CShared>();
    kfw::CThread m_thread{ L"Kova event watcher", STOP_JOIN_MS };
};
