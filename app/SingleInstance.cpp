#include "app/SingleInstance.h"

BOOL CSingleInstance::Create(LPCSTR lpszName)
{
    // Never closed: the mutex holds the name for as long as this process runs.
    // cppcheck-suppress publicAllocationError
    m_hMutex = ::CreateMutexA(nullptr, TRUE, lpszName);
    return m_hMutex && ::GetLastError() != ERROR_ALREADY_EXISTS;
}
