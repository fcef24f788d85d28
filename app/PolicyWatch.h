// CPolicyWatch: a registry notification on each key the organisation's policy is read from,
// so that a change reaches the frame without polling.
#pragma once

#include <windows.h>

#include <array>

#include "framework/Handles.h"

class CPolicyWatch {
public:
    static constexpr int COUNT = 3;

    CPolicyWatch();
    CPolicyWatch(const CPolicyWatch&) = delete;
    CPolicyWatch& operator=(const CPolicyWatch&) = delete;

    // Arms place i again; on the thread that waits, which must outlive the notification
    // (Windows before 8 cancels it when the thread that asked ends). A key that does not
    // exist yet is watched through its nearest existing parent, for subkeys appearing there
    // only, so that a busy parent wakes no one.
    void Arm(int i);
    // Signalled, auto-reset, when place i changed; null when it could not be made.
    HANDLE Event(int i) const { return m_aSpots[static_cast<size_t>(i)].hEvent.Get(); }

private:
    struct CSpot {
        HKEY hRoot = nullptr;
        const char* pszKey = nullptr;
        kfw::CRegKey hKey;
        kfw::CHandle hEvent;
    };
    std::array<CSpot, COUNT> m_aSpots;
};
