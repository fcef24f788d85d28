// An EMSC.dll that lacks the entry point: its one export differs from "EMSCEvaluate" only
// in case, which an exact lookup must not take for it.
#include <windows.h>

extern "C" __declspec(dllexport) int __cdecl EmscEvaluate(const void*, unsigned long, void*, unsigned long)
{
    return 0;
}
