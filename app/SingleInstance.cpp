#include "app/SingleInstance.h"

BOOL CSingleInstance::Create(LPCSTR lpszName)
{
    m_hMutex = ::CreateMutexA(nullptr, TRUE, lpszName);
    return m_hMutex && ::GetLastError() != ERROR_ALREADY_EXISTS;
}
