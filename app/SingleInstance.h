// CSingleInstance: the named mutex that makes the first resident instance the only one.
#pragma once

#include <windows.h>

#include "framework/Handles.h"

class CSingleInstance {
public:
    CSingleInstance() = default;
    // Owned, the mutex holds the name until Release or the end of the process.
    virtual ~CSingleInstance() = default;
    CSingleInstance(CSingleInstance&&) = default;
    CSingleInstance& operator=(CSingleInstance&&) = default;

    // TRUE when this process is the first to create the mutex lpszName.
    BOOL Create(LPCSTR lpszName);
    // Gives the name up, on the thread that created it: a next start, say the restart after
    // an update, must not take itself for a second instance while this process lingers
    // (a vendor call stuck in a driver can keep it alive after it said goodbye).
    void Release();

private:
    kfw::CHandle m_hMutex;
    bool m_bOwned = false;
};
