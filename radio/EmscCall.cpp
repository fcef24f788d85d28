#include "radio/EmscCall.h"

PFN_EMSCEVALUATE g_pfnEMSCEvaluate = nullptr;

// The call thunk. EMSCEvaluate takes its 20-byte record by value, and nobody says whether the
// library pops it (__stdcall) or leaves it to the caller (__cdecl). The thunk pushes the five
// words itself, calls, and then resets ESP from EBP, which both conventions preserve, so it
// comes back balanced whichever way the library was built. The stack is also aligned to 16 at
// the call, which costs nothing and suits a library built with SSE in mind.
//
//   int EmscThunk(PFN_EMSCEVALUATE pfnEntry, const EmscRequest* pRequest)   (__cdecl)
#if defined(_MSC_VER)

static __declspec(naked) int __cdecl EmscThunk(PFN_EMSCEVALUATE, const EmscRequest*)
{
    __asm {
        push ebp
        mov ebp, esp
        and esp, 0FFFFFFF0h
        sub esp, 12
        mov ecx, [ebp + 12]
        push dword ptr [ecx + 16]
        push dword ptr [ecx + 12]
        push dword ptr [ecx + 8]
        push dword ptr [ecx + 4]
        push dword ptr [ecx + 0]
        call dword ptr [ebp + 8]
        mov esp, ebp
        pop ebp
        ret
    }
}

#elif defined(__GNUC__) && defined(__i386__)

extern "C" int EmscThunk(PFN_EMSCEVALUATE pfnEntry, const EmscRequest* pRequest) __asm__("kova_emsc_thunk");

__asm__(
    ".text\n"
    ".p2align 4\n"
    "kova_emsc_thunk:\n"
    "    pushl %ebp\n"
    "    movl %esp, %ebp\n"
    "    andl $-16, %esp\n"
    "    subl $12, %esp\n"         // 12 + 20 pushed = 32: aligned at the call
    "    movl 12(%ebp), %ecx\n"    // pRequest
    "    pushl 16(%ecx)\n"         // outLength
    "    pushl 12(%ecx)\n"         // outBuffer
    "    pushl 8(%ecx)\n"          // inLength
    "    pushl 4(%ecx)\n"          // inBuffer
    "    pushl 0(%ecx)\n"          // command and padding
    "    call *8(%ebp)\n"          // pfnEntry
    "    movl %ebp, %esp\n"        // drops the record if the callee left it there
    "    popl %ebp\n"
    "    ret\n");

#else
#error "The EMSCEvaluate thunk is written for 32-bit x86."
#endif

int EmscInvoke(PFN_EMSCEVALUATE pfnEntry, const EmscRequest& request)
{
    if (!pfnEntry)
        return 0;
    return EmscThunk(pfnEntry, &request);
}

int EmscEvaluate(const EmscRequest& request)
{
    return EmscInvoke(g_pfnEMSCEvaluate, request);
}

BOOL BindEmscEntry(HMODULE hModule)
{
    // FARPROC to the typeless pointer: void (*)(void) is the one target GCC accepts silently.
    g_pfnEMSCEvaluate = hModule
        ? reinterpret_cast<PFN_EMSCEVALUATE>(::GetProcAddress(hModule, "EMSCEvaluate"))
        : nullptr;
    return g_pfnEMSCEvaluate != nullptr;
}
