#include "support/TraceCapture.h"

#include <algorithm>
#include <mutex>

namespace kovatest {

namespace {

// The sink is a plain function: it finds the innermost capture here. One lock for the
// pointer and the lines, so that a line written on another thread as a capture goes is
// either kept or dropped, never written into a capture that is gone.
std::mutex g_mutex;
CTraceCapture* g_pActive = nullptr;

} // namespace

CTraceCapture::CTraceCapture()
{
    const std::lock_guard<std::mutex> lock(g_mutex);
    m_pOuter = g_pActive;
    g_pActive = this;
    m_pfnOld = kfw::SetTraceSink(&Keep);
}

CTraceCapture::~CTraceCapture()
{
    const std::lock_guard<std::mutex> lock(g_mutex);
    g_pActive = m_pOuter;
    kfw::SetTraceSink(m_pfnOld);
}

void CTraceCapture::Keep(const char* pszLine)
{
    const std::lock_guard<std::mutex> lock(g_mutex);
    if (g_pActive)
        g_pActive->m_lines.emplace_back(pszLine);
}

std::vector<std::string> CTraceCapture::Lines() const
{
    const std::lock_guard<std::mutex> lock(g_mutex);
    return m_lines;
}

size_t CTraceCapture::Count(const std::string& strLine) const
{
    const std::lock_guard<std::mutex> lock(g_mutex);
    return static_cast<size_t>(std::count(m_lines.begin(), m_lines.end(), strLine));
}

void CTraceCapture::Clear()
{
    const std::lock_guard<std::mutex> lock(g_mutex);
    m_lines.clear();
}

} // namespace kovatest
