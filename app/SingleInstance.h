// CSingleInstance: the named mutex that makes the first resident instance the only one.
#pragma once

#include <windows.h>

class CSingleInstance {
public:
    CSingleInstance() = default;
    // The mutex stays open on purpose: it holds the name for as long as this process runs.
    virtual ~CSingleInstance() = default;
    CSingleInstance(const CSingleInstance&) = delete;
    CSingleInstance& operator=(const CSingleInstance&) = delete;

    // TRUE when this process is the first to create the mutex lpszName.
    BOOL Create(LPCSTR lpszName);

private:
    // cppcheck-suppress unsafeClassCanLeak ; kept open on purpose, as the destructor says
    HANDLE m_hMutex = nullptr;
};
