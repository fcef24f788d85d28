// Where the caller's stack stands: a local of a function that is never inlined sits a fixed
// distance below the caller's stack pointer, so equal marks from one call site mean an
// unmoved stack. Portable, unlike reading ESP with inline assembly.
#pragma once

#include <cstdint>

#if defined(_MSC_VER)
__declspec(noinline)
#else
__attribute__((noinline))
#endif
inline uintptr_t StackMark()
{
    volatile char cHere = 0;
    return reinterpret_cast<uintptr_t>(&cHere);
}
