// The program's debugger lines collected for one scope: the sink it replaces comes back
// when it goes, failure or not.
#pragma once

#include <string>
#include <vector>

#include "framework/Trace.h"

namespace kovatest {

class CTraceCapture {
public:
    CTraceCapture();
    ~CTraceCapture();
    CTraceCapture(const CTraceCapture&) = delete;
    CTraceCapture& operator=(const CTraceCapture&) = delete;

    // The lines so far, in order (any thread may write one meanwhile).
    std::vector<std::string> Lines() const;
    size_t Count(const std::string& strLine) const;
    bool Has(const std::string& strLine) const { return Count(strLine) != 0; }
    void Clear();

private:
    static void Keep(const char* pszLine);

    kfw::TraceSink m_pfnOld = nullptr;
    CTraceCapture* m_pOuter = nullptr;
    std::vector<std::string> m_lines;
};

} // namespace kovatest
