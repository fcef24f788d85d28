// What Kova's window tests share: pumping with a time-out, a window that logs the
// messages it gets, and the helper program that plays the other process.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "framework/Handles.h"
#include "framework/Wnd.h"

namespace kovatest {

// Dispatches this thread's messages until pred() holds or dwTimeoutMs has passed; the
// result of the last pred().
bool PumpUntil(const std::function<bool()>& pred, DWORD dwTimeoutMs = 5000);
// Dispatches whatever is queued for this thread now.
void PumpPending();

// Starts build/bin/kovatest_helper.exe with the arguments; null on failure.
kfw::CHandle StartHelper(const std::string& strArgs);
// Waits for the process while pumping; its exit code, or STILL_ACTIVE on time-out.
DWORD WaitForExit(HANDLE hProcess, DWORD dwTimeoutMs = 10000);
// StartHelper + WaitForExit; ~0u when it could not be started.
DWORD RunHelper(const std::string& strArgs, DWORD dwTimeoutMs = 10000);

// A name no other test run uses at the same time (process id and a counter).
std::string UniqueName(const char* pszBase);

// Threads of this process right now.
int CountThreads();

// A hidden top-level window that records every message from WM_USER up.
class CMessageLog : public CWnd {
public:
    struct Entry {
        UINT uMsg;
        WPARAM wParam;
        LPARAM lParam;
    };

    CMessageLog();
    ~CMessageLog() override;

    const std::vector<Entry>& Entries() const { return m_entries; }
    std::vector<Entry> Of(UINT uMsg) const;
    size_t Count(UINT uMsg) const { return Of(uMsg).size(); }
    void Clear() { m_entries.clear(); }

    BOOL ProcessWindowMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) override;

private:
    std::vector<Entry> m_entries;
};

} // namespace kovatest
