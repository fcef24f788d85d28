// The development EMSC.dll's state, private to one test: a temporary state file named in our
// environment, which every Kova and tool started from here inherits, steered through the
// library loaded into this process.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "framework/Handles.h"
#include "tools/emsc/EmscDev.h"

namespace kovatest {

class CEmscState {
public:
    // The status byte set and the request log cleared.
    explicit CEmscState(BYTE byInitial);
    // Only the file, new (the library takes it for 0x1F): for a test that loads a library itself.
    CEmscState();
    ~CEmscState();
    CEmscState(const CEmscState&) = delete;
    CEmscState& operator=(const CEmscState&) = delete;

    bool IsReady() const { return m_bReady; }
    HMODULE Module() const { return m_module.Get(); }
    bool Set(BYTE byStatus);
    // The status byte now; 0 when it cannot be read.
    BYTE Get();
    // How long each EMSCEvaluate call takes from now on (EMSCDEV_DELAY_HANG: until set to 0).
    bool SetDelay(DWORD dwDelayMs);
    std::vector<EmscDevLogEntry> Log();
    bool ClearLog();

private:
    template <class T> T Proc(const char* pszName) const;
    bool MakeFile();

    std::string m_strPath;
    kfw::CModule m_module;
    bool m_bReady = false;
};

// The bytes written to register 0xBB, in order.
std::vector<int> WritesIn(const std::vector<EmscDevLogEntry>& log);
// Reads logged after the last write (after the start when nothing was written).
int ReadsAfterLastWrite(const std::vector<EmscDevLogEntry>& log);

} // namespace kovatest
