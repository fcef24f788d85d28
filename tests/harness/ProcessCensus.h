// What a process holds right now: kernel handles, GDI objects, USER objects, threads.
// For leak checks and footprint figures, of this process or another one.
#pragma once

#include <windows.h>

#include <string>

namespace kovatest {

struct ProcessCensus {
    int nHandles = 0;
    int nGdi = 0;       // without stock objects, as Windows counts them
    int nUser = 0;
    int nThreads = 0;
    // nUser counts the process's windows (top-level, their descendants, message-only):
    // Wine has no count of USER objects.
    bool bUserIsWindows = false;
};

// False when the process could not be read; rCensus is then unspecified.
bool TakeCensus(DWORD dwPid, ProcessCensus& rCensus);
// Threads of the process right now; -1 when they could not be listed.
int CountThreadsOf(DWORD dwPid);
// "handles=N gdi=N windows=N threads=N" ("user=N" where USER objects were counted).
std::string DescribeCensus(const ProcessCensus& census);

} // namespace kovatest
