// What the mode pop-up's Wine tests share: the development EMSC.dll with a status byte and
// request log private to the test, and the radio writes read back from that log.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "framework/Handles.h"
#include "tools/emsc/EmscDev.h"

namespace kovadlgtest {

// A temporary state file named in our environment (Kova.exe started from here inherits it),
// and the library loaded into this process to steer it.
class CEmscState {
public:
    explicit CEmscState(BYTE byInitial);
    ~CEmscState();
    CEmscState(const CEmscState&) = delete;
    CEmscState& operator=(const CEmscState&) = delete;

    bool IsReady() const { return m_bReady; }
    HMODULE Module() const { return m_module.Get(); }
    bool Set(BYTE byStatus);
    BYTE Get();
    std::vector<EmscDevLogEntry> Log();
    bool ClearLog();

private:
    template <class T> T Proc(const char* pszName) const;

    std::string m_strPath;
    kfw::CModule m_module;
    bool m_bReady = false;
};

// The bytes written to register 0xBB, in order.
std::vector<int> WritesIn(const std::vector<EmscDevLogEntry>& log);
// Reads logged after the last write (after the start when nothing was written).
int ReadsAfterLastWrite(const std::vector<EmscDevLogEntry>& log);

} // namespace kovadlgtest
