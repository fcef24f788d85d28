#include "framework/StepMarks.h"

#include <windows.h>

#include <cstring>

namespace kfw {
namespace {

// Mapped at the first mark and kept to the end of the process: a thread may still mark
// while statics are destroyed, and the page is the benchmark's to read after we are gone.
StepMarkPage* OpenPage()
{
    char szName[MAX_PATH];
    const DWORD cch = ::GetEnvironmentVariableA(STEP_MARKS_VARIABLE, szName, sizeof szName);
    if (cch == 0 || cch >= sizeof szName)
        return nullptr;
    const HANDLE hMapping = ::OpenFileMappingA(FILE_MAP_WRITE, FALSE, szName);
    if (!hMapping)
        return nullptr;
    void* pView = ::MapViewOfFile(hMapping, FILE_MAP_WRITE, 0, 0, sizeof(StepMarkPage));
    ::CloseHandle(hMapping);   // the view keeps the section
    return static_cast<StepMarkPage*>(pView);
}

} // namespace

void MarkStep(const char* pszName)
{
    static StepMarkPage* const s_pPage = OpenPage();
    if (!s_pPage)
        return;
    LARGE_INTEGER liNow = {};
    ::QueryPerformanceCounter(&liNow);
    const long nIndex = ::InterlockedIncrement(&s_pPage->nCount) - 1;
    if (nIndex < 0 || nIndex >= static_cast<long>(sizeof s_pPage->records / sizeof s_pPage->records[0]))
        return;
    StepMarkRecord& rRecord = s_pPage->records[nIndex];
    rRecord.llCounter = liNow.QuadPart;
    std::strncpy(rRecord.szName, pszName, sizeof rRecord.szName - 1);
    rRecord.szName[sizeof rRecord.szName - 1] = '\0';
}

} // namespace kfw
