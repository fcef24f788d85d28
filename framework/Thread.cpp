#include "framework/Thread.h"

#include <utility>

#include "framework/DynCalls.h"
#include "framework/Trace.h"

namespace kfw {

// The thread holds a reference of its own: one left running past its join still finds it.
struct CThread::CShared {
    PCWSTR pszName = nullptr;
    int nPriority = THREAD_PRIORITY_NORMAL;
    CHandle hStop;
    CHandle hReady;
    Body fnBody;
    Wake fnWake;
};

bool CThread::Start(Body fnBody, Wake fnWake)
{
    if (m_hThread)
        return true;
    auto pShared = std::make_shared<CShared>();
    pShared->pszName = m_pszName;
    pShared->nPriority = m_nPriority;
    pShared->hStop.Reset(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    pShared->hReady.Reset(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    pShared->fnBody = std::move(fnBody);
    pShared->fnWake = std::move(fnWake);
    auto pThreadRef = std::make_unique<std::shared_ptr<CShared>>(pShared);
    if (pShared->hStop && pShared->hReady)
        m_hThread.Reset(::CreateThread(nullptr, 0, &CThread::Run, pThreadRef.get(), 0, nullptr));
    if (!m_hThread)
    {
        TraceFormat("%ls: the thread was not created (error %lu)", m_pszName, ::GetLastError());
        return false;
    }
    static_cast<void>(pThreadRef.release());   // the thread's own reference now
    m_pShared = std::move(pShared);
    return true;
}

bool CThread::WaitReady(DWORD dwMs) const
{
    if (!m_hThread)
        return false;
    const HANDLE ahWait[] = { m_pShared->hReady.Get(), m_hThread.Get() };
    ::WaitForMultipleObjects(2, ahWait, FALSE, dwMs);
    return ::WaitForSingleObject(m_pShared->hReady.Get(), 0) == WAIT_OBJECT_0;
}

void CThread::RequestStop() const
{
    if (!m_hThread)
        return;
    ::SetEvent(m_pShared->hStop.Get());
    if (m_pShared->fnWake)
        m_pShared->fnWake();
}

bool CThread::Stop()
{
    if (!m_hThread)
        return true;
    RequestStop();
    const bool bEnded = ::WaitForSingleObject(m_hThread.Get(), m_dwJoinMs) == WAIT_OBJECT_0;
    if (!bEnded)
        TraceFormat("%ls: the thread did not end within %lu ms; it is left to the end of the process", m_pszName,
                    m_dwJoinMs);
    m_hThread.Reset();
    m_pShared.reset();
    return bEnded;
}

void CThread::Leave()
{
    RequestStop();
    m_hThread.Reset();
    m_pShared.reset();
}

DWORD WINAPI CThread::Run(void* pvShared)
{
    const std::unique_ptr<std::shared_ptr<CShared>> pOwn(static_cast<std::shared_ptr<CShared>*>(pvShared));
    const CShared& shared = **pOwn;
    NameCurrentThread(shared.pszName);
    if (shared.nPriority != THREAD_PRIORITY_NORMAL)
        ::SetThreadPriority(::GetCurrentThread(), shared.nPriority);
    const CContext context(shared.hStop.Get(), shared.hReady.Get());
    return shared.fnBody(context);
}

} // namespace kfw
