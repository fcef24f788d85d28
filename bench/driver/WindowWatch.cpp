#include "WindowWatch.h"

#include <stdlib.h>

namespace kovabench {

namespace {

CWindowWatch* g_pActiveWatch = nullptr;

// How often a WinEvent wait walks the windows itself, in case an event never comes.
const double kBackupWalkMs = 100;

double TicksPerMs()
{
    LARGE_INTEGER freq = {};
    ::QueryPerformanceFrequency(&freq);
    return static_cast<double>(freq.QuadPart) / 1000.0;
}

} // namespace

double NowMs()
{
    LARGE_INTEGER now = {};
    ::QueryPerformanceCounter(&now);
    return CounterMs(now.QuadPart);
}

double CounterMs(long long llCounter)
{
    static const double s_dTicksPerMs = TicksPerMs();
    return static_cast<double>(llCounter) / s_dTicksPerMs;
}

const char* DetectName(Detect eDetect)
{
    return eDetect == Detect::WinEvent ? "winevent" : "poll";
}

bool IsShownCentred(HWND hWnd)
{
    RECT rc = {};
    if (!::IsWindowVisible(hWnd) || !::GetWindowRect(hWnd, &rc))
        return false;
    const int nLeft = (::GetSystemMetrics(SM_CXSCREEN) - (rc.right - rc.left)) / 2;
    const int nTop = (::GetSystemMetrics(SM_CYSCREEN) - (rc.bottom - rc.top)) / 2;
    return abs(rc.left - nLeft) <= 1 && abs(rc.top - nTop) <= 1;
}

void PumpOnce(DWORD dwWaitMs)
{
    if (dwWaitMs)
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, dwWaitMs, QS_ALLINPUT);
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
    {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

bool PollUntil(const std::function<bool()>& test, DWORD dwTimeoutMs, double* pdAtMs)
{
    const double dEnd = NowMs() + dwTimeoutMs;
    for (;;)
    {
        if (test())
        {
            if (pdAtMs)
                *pdAtMs = NowMs();
            return true;
        }
        if (NowMs() >= dEnd)
            return false;
        PumpOnce(1);
    }
}

CWindowWatch::CWindowWatch(Detect eDetect) : m_eDetect(eDetect)
{
    if (eDetect != Detect::WinEvent)
        return;
    g_pActiveWatch = this;
    // Creation only: every event costs the process that makes the window a message to us.
    m_hook.Reset(::SetWinEventHook(EVENT_OBJECT_CREATE, EVENT_OBJECT_CREATE, nullptr, &CWindowWatch::EventProc, 0, 0,
                                   WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS));
}

CWindowWatch::~CWindowWatch()
{
    m_hook.Reset();
    if (g_pActiveWatch == this)
        g_pActiveWatch = nullptr;
}

void CALLBACK CWindowWatch::EventProc(HWINEVENTHOOK, DWORD dwEvent, HWND hWnd, LONG idObject, LONG idChild, DWORD,
                                      DWORD)
{
    if (g_pActiveWatch && dwEvent == EVENT_OBJECT_CREATE && idObject == OBJID_WINDOW && idChild == CHILDID_SELF)
        g_pActiveWatch->m_created.push_back({hWnd, NowMs()});
}

void CWindowWatch::Arm(const WindowList& list)
{
    PumpOnce(0);   // events of earlier windows still queued
    m_created.clear();
    m_nChecked = 0;
    const std::vector<HWND> now = list();
    m_before.clear();
    m_before.insert(now.begin(), now.end());
    m_dNextWalk = m_eDetect == Detect::Poll ? 0 : NowMs() + kBackupWalkMs;
}

bool CWindowWatch::FindListed(const WindowList& list, const WindowTest& test, Sighting& rSeen) const
{
    for (HWND hWnd : list())
    {
        if (!m_before.count(hWnd) && test(hWnd))
        {
            rSeen = {hWnd, NowMs(), false};
            return true;
        }
    }
    return false;
}

bool CWindowWatch::Check(const WindowList& list, const WindowTest& test, Sighting& rSeen)
{
    for (; m_nChecked < m_created.size(); ++m_nChecked)
    {
        const Created& created = m_created[m_nChecked];
        if (!m_before.count(created.hWnd) && test(created.hWnd))
        {
            rSeen = {created.hWnd, created.dMs, true};
            return true;
        }
    }
    const double dNow = NowMs();
    if (dNow < m_dNextWalk)
        return false;
    m_dNextWalk = dNow + (m_eDetect == Detect::Poll ? 1 : kBackupWalkMs);
    if (!FindListed(list, test, rSeen))
        return false;
    if (m_eDetect == Detect::Poll)
        return true;
    // Its event may just be queued behind the walk.
    PumpOnce(0);
    for (; m_nChecked < m_created.size(); ++m_nChecked)
        if (m_created[m_nChecked].hWnd == rSeen.hWnd)
        {
            rSeen = {rSeen.hWnd, m_created[m_nChecked].dMs, true};
            return true;
        }
    ++m_nMissed;
    return true;
}

bool CWindowWatch::WaitNew(const WindowList& list, const WindowTest& test, DWORD dwTimeoutMs, Sighting& rSeen)
{
    const double dEnd = NowMs() + dwTimeoutMs;
    for (;;)
    {
        if (Check(list, test, rSeen))
            return true;
        const double dNow = NowMs();
        if (dNow >= dEnd)
            return false;
        const double dWait = (m_dNextWalk < dEnd ? m_dNextWalk : dEnd) - dNow;
        PumpOnce(dWait > 0 ? static_cast<DWORD>(dWait) + 1 : 1);
    }
}

} // namespace kovabench
