// The page the programs the benchmark starts mark their steps in (kfw::MarkStep): made by
// the driver and named in its environment, which every program it starts inherits.
#pragma once

#include "BenchStats.h"
#include "framework/Handles.h"
#include "framework/StepMarks.h"

namespace kovabench {

class CStepPage {
public:
    CStepPage();
    CStepPage(const CStepPage&) = delete;
    CStepPage& operator=(const CStepPage&) = delete;

    bool IsReady() const { return m_pPage != nullptr; }
    // Before each start: the marks of the last program are not the next one's.
    void Clear();
    // The steps marked at or after dFromMs (on NowMs's clock), in ms after it, in the order made.
    StepRun Since(double dFromMs) const;

private:
    kfw::CHandle m_hMapping;
    kfw::CViewH m_view;
    kfw::StepMarkPage* m_pPage = nullptr;   // m_view's, once the environment names it
};

} // namespace kovabench
