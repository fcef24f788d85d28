#include "framework/Trace.h"

#include <windows.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>

namespace kfw {
namespace {
// Lines come from the input and controller threads too.
std::atomic<TraceSink> g_pfnSink{nullptr};
}

void TraceLine(const char* pszLine)
{
    if (const TraceSink pfnSink = g_pfnSink.load())
        pfnSink(pszLine);
    else
        ::OutputDebugStringA(pszLine);
}

void TraceFormat(const char* pszFormat, ...)
{
    char szLine[512];
    va_list args;
    va_start(args, pszFormat);
    std::vsnprintf(szLine, sizeof szLine, pszFormat, args);
    va_end(args);
    TraceLine(szLine);
}

TraceSink SetTraceSink(TraceSink pfnSink)
{
    return g_pfnSink.exchange(pfnSink);
}

} // namespace kfw
