#include "framework/Trace.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>

namespace kfw {
namespace {
TraceSink g_pfnSink = nullptr;
}

void TraceLine(const char* pszLine)
{
    if (g_pfnSink)
        g_pfnSink(pszLine);
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
    TraceSink pfnOld = g_pfnSink;
    g_pfnSink = pfnSink;
    return pfnOld;
}

} // namespace kfw
