// The process-wide EMSCEvaluate entry point and the only way to call it.
#pragma once

#include <windows.h>

#include "radio/EmscRequest.h"

// Deliberately typeless: the library's calling convention is not known, so the entry point is
// never called directly, only through EmscInvoke.
using PFN_EMSCEVALUATE = void (*)();

// Bound by CEmscAccess when it loads EMSC.dll; null until then and after it unloads it.
extern PFN_EMSCEVALUATE g_pfnEMSCEvaluate;

// How long a caller waits for EMSCEvaluate. A call not back by then counts as a read that
// filled nothing.
constexpr DWORD EMSC_CALL_TIMEOUT_MS = 2000;
// The most bytes a request may give or take; the EC's requests are one or two.
constexpr uint32_t EMSC_BUFFER_MAX = 16;

// Calls pfnEntry with the record by value, safe for a __cdecl or a __stdcall library.
// Returns what the library returned, or 0 without a call when pfnEntry is null.
int EmscInvoke(PFN_EMSCEVALUATE pfnEntry, const EmscRequest& request);

// EmscInvoke through g_pfnEMSCEvaluate on the controller thread, waiting at most
// EMSC_CALL_TIMEOUT_MS. The library works on copies of the buffers (at most
// EMSC_BUFFER_MAX bytes each); the out-bytes come back only from a call that returned in
// time. While an earlier call is still inside the library, returns 0 at once without a call.
// *pbAnswered, when given, tells whether the library answered this call in time.
int EmscEvaluate(const EmscRequest& request, bool* pbAnswered = nullptr);

// True while a call that timed out has not come back from the library.
bool EmscCallPending();

// Stops and joins the controller thread when no call is inside the library; false, leaving
// the thread to the end of the process, when one is. The next EmscEvaluate starts it again.
bool StopEmscCalls();

// Stores the module's EMSCEvaluate (or null when it has none) in g_pfnEMSCEvaluate;
// TRUE when there is one to call. A null module clears the entry point.
BOOL BindEmscEntry(HMODULE hModule);
