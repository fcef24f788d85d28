// Times of a program's steps, for a benchmark that asks for them. The benchmark makes a file
// mapping of one StepMarkPage, names it in the environment variable STEP_MARKS_VARIABLE and
// starts the program; each MarkStep then adds its name and the QueryPerformanceCounter
// reading, a count that is the same in every process of the machine. Without the variable a
// mark costs one test.
#pragma once

#include <cstdint>

namespace kfw {

constexpr char STEP_MARKS_VARIABLE[] = "KFW_STEP_MARKS";

struct StepMarkRecord {
    std::int64_t llCounter;
    char szName[24];   // cut to fit, always terminated
};

struct StepMarkPage {
    volatile long nCount;   // marks made; those past the last record are dropped
    long nReserved;
    StepMarkRecord records[127];
};
static_assert(sizeof(StepMarkPage) <= 4096, "one page");

// Any thread. The name should be a short literal: the benchmark matches on it.
void MarkStep(const char* pszName);

} // namespace kfw
