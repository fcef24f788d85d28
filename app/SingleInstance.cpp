#include "app/SingleInstance.h"

BOOL CSingleInstance::Create(LPCSTR lpszName)
{
    m_hMutex.Reset(::CreateMutexA(nullptr, TRUE, lpszName));
    m_bOwned = m_hMutex && ::GetLastError() != ERROR_ALREADY_EXISTS;
    return m_bOwned;
}

void CSingleInstance::Release()
{
    if (m_bOwned)
        ::ReleaseMutex(m_hMutex.Get());
    m_bOwned = false;
    m_hMutex.Reset();
}
