// CAppKit: brings the hidden main window to the foreground with its input attached to the
// foreground thread, so that a pop-up created next can take the focus.
#pragma once

#include <windows.h>

class CAppKit {
public:
    CAppKit() = default;
    // Undoes an attachment that is still in place.
    virtual ~CAppKit();
    CAppKit(const CAppKit&) = delete;
    CAppKit& operator=(const CAppKit&) = delete;

    // Attaches to the foreground thread's input, makes the main window foreground, gives
    // it the focus and keeps it hidden. TRUE when the input attachment succeeded.
    BOOL ActivateMainWindow();
    // Detaches the input attached by ActivateMainWindow; FALSE when nothing was attached.
    BOOL DetachInput();
    BOOL IsInputAttached() const { return m_dwAttachedFrom != 0; }

    // The thread that owned the foreground window at the last activation.
    DWORD m_dwForegroundThreadId = 0;

private:
    DWORD m_dwAttachedFrom = 0;   // foreground thread whose input we share, 0 if none
    DWORD m_dwAttachedTo = 0;     // our thread at the time of the attachment
};
