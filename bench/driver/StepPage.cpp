#include "StepPage.h"

#include <algorithm>
#include <string>

#include "WindowWatch.h"

namespace kovabench {

CStepPage::CStepPage()
{
    const std::string strName = "KovaBenchSteps." + std::to_string(::GetCurrentProcessId());
    m_hMapping.Reset(::CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                          sizeof(kfw::StepMarkPage), strName.c_str()));
    if (m_hMapping)
        m_view.Reset(::MapViewOfFile(m_hMapping.Get(), FILE_MAP_WRITE, 0, 0, 0));
    if (m_view && ::SetEnvironmentVariableA(kfw::STEP_MARKS_VARIABLE, strName.c_str()))
    {
        m_pPage = static_cast<kfw::StepMarkPage*>(m_view.Get());
        Clear();
    }
}

void CStepPage::Clear()
{
    if (m_pPage)
        ::InterlockedExchange(&m_pPage->nCount, 0);
}

StepRun CStepPage::Since(double dFromMs) const
{
    StepRun steps;
    if (!m_pPage)
        return steps;
    const long nMax = static_cast<long>(sizeof m_pPage->records / sizeof m_pPage->records[0]);
    const long nMarked = m_pPage->nCount;
    const long nCount = std::min(nMarked, nMax);
    for (long i = 0; i < nCount; ++i)
    {
        const kfw::StepMarkRecord& record = m_pPage->records[i];
        const double dMs = CounterMs(record.llCounter);
        if (dMs >= dFromMs)
            steps.push_back({record.szName, dMs - dFromMs});
    }
    return steps;
}

} // namespace kovabench
