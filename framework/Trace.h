// Debugger output (OutputDebugStringA) behind one replaceable sink, so tests can read
// the lines a component writes.
#pragma once

#if defined(__GNUC__)
#define KFW_PRINTF_LIKE(f, a) __attribute__((format(printf, f, a)))
#else
#define KFW_PRINTF_LIKE(f, a)
#endif

namespace kfw {

using TraceSink = void (*)(const char* pszLine);

// Writes one line to the debugger output (or to the sink a test installed).
void TraceLine(const char* pszLine);
// printf-style TraceLine; lines longer than 511 characters are cut.
void TraceFormat(const char* pszFormat, ...) KFW_PRINTF_LIKE(1, 2);

// Installs a sink (null restores OutputDebugStringA); returns the previous one.
TraceSink SetTraceSink(TraceSink pfnSink);

} // namespace kfw
