// The process-wide EMSCEvaluate entry point and the only way to call it.
#pragma once

#include <windows.h>

#include "radio/EmscRequest.h"

// Deliberately typeless: the library's calling convention is not known, so the entry point is
// never called directly, only through EmscInvoke.
using PFN_EMSCEVALUATE = void (*)();

// Resolved by the main frame when it loads EMSC.dll; null until then and after it frees it.
extern PFN_EMSCEVALUATE g_pfnEMSCEvaluate;

// Calls pfnEntry with the record by value, safe for a __cdecl or a __stdcall library.
// Returns what the library returned, or 0 without a call when pfnEntry is null.
int EmscInvoke(PFN_EMSCEVALUATE pfnEntry, const EmscRequest& request);

// EmscInvoke through g_pfnEMSCEvaluate.
int EmscEvaluate(const EmscRequest& request);

// Stores the module's EMSCEvaluate (or null when it has none) in g_pfnEMSCEvaluate;
// TRUE when there is one to call. A null module clears the entry point.
BOOL BindEmscEntry(HMODULE hModule);
