#include "bench/micro/MicroRunner.h"

#include <algorithm>
#include <map>

#include "harness/ProcessCensus.h"

namespace {

int64_t Frequency()
{
    static const int64_t s_nFrequency = [] {
        LARGE_INTEGER li = {};
        ::QueryPerformanceFrequency(&li);
        return static_cast<int64_t>(li.QuadPart);
    }();
    return s_nFrequency;
}

// A leak of one object per repetition shows as growth near the repetition count; caches
// that fill once do not. The census counts what Wine's own counters do not (handles, GDI
// objects, windows).
std::string DescribeLeak(const kovatest::ProcessCensus& before, const kovatest::ProcessCensus& after, size_t nReps)
{
    if (nReps < 4)
        return std::string();
    std::string strLeak;
    auto check = [&](const char* pszWhat, int nBefore, int nAfter) {
        if (nAfter > nBefore && 2 * static_cast<size_t>(nAfter - nBefore) >= nReps)
            strLeak += std::string(strLeak.empty() ? "" : ", ") + pszWhat + " " + std::to_string(nBefore) + " -> " +
                       std::to_string(nAfter);
    };
    check("handles", before.nHandles, after.nHandles);
    check("GDI objects", before.nGdi, after.nGdi);
    check(after.bUserIsWindows ? "windows" : "USER objects", before.nUser, after.nUser);
    check("threads", before.nThreads, after.nThreads);
    return strLeak.empty() ? strLeak : "leaks over " + std::to_string(nReps) + " repetitions: " + strLeak;
}

// One repetition; its error is prefixed with what was being done.
bool RunOnce(const MicroPiece& piece, CRepTimer& rTimer, std::string& rstrError, const char* pszPhase)
{
    rTimer.Clear();
    std::string strError;
    if (!piece.fnRep(rTimer, strError))
    {
        rstrError = std::string(pszPhase) + ": " + (strError.empty() ? "failed" : strError);
        return false;
    }
    if (!rTimer.HasSpan())
    {
        rstrError = std::string(pszPhase) + ": the repetition timed nothing";
        return false;
    }
    return true;
}

} // namespace

int64_t CRepTimer::Now()
{
    LARGE_INTEGER li = {};
    ::QueryPerformanceCounter(&li);
    return static_cast<int64_t>(li.QuadPart);
}

double CRepTimer::TicksToUs(int64_t nTicks)
{
    return static_cast<double>(nTicks) * 1e6 / static_cast<double>(Frequency());
}

void CRepTimer::Stage(const char* pszName, int64_t tFrom, int64_t tTo)
{
    m_stages.emplace_back(pszName, TicksToUs(tTo - tFrom));
}

void CRepTimer::Clear()
{
    m_tStart = m_tStop = 0;
    m_stages.clear();
}

MicroResult RunMicroPiece(const MicroPiece& piece, const MicroOptions& options)
{
    MicroResult result;
    std::string strError;
    if (piece.fnSetUp && !piece.fnSetUp(strError))
    {
        result.strError = "set-up: " + (strError.empty() ? std::string("failed") : strError);
        if (piece.fnTearDown)
            piece.fnTearDown();
        return result;
    }

    CRepTimer timer;
    bool bOk = true;
    for (size_t i = 0; bOk && i < options.nWarmup; ++i)
        bOk = RunOnce(piece, timer, result.strError, "warm-up");

    std::vector<double> samples;
    std::vector<std::string> stageOrder;
    std::map<std::string, std::vector<double>> stages;
    kovatest::ProcessCensus before, after;
    if (bOk && !kovatest::TakeCensus(::GetCurrentProcessId(), before))
    {
        bOk = false;
        result.strError = "this process's handles and GDI objects cannot be counted";
    }
    const int64_t tSeries = CRepTimer::Now();
    while (bOk && WantAnotherRep(options, samples.size(), CRepTimer::TicksToUs(CRepTimer::Now() - tSeries) / 1000.0))
    {
        bOk = RunOnce(piece, timer, result.strError, ("repetition " + std::to_string(samples.size() + 1)).c_str());
        if (!bOk)
            break;
        samples.push_back(timer.SpanUs());
        for (const auto& stage : timer.Stages())
        {
            auto& series = stages[stage.first];
            if (series.empty())
                stageOrder.push_back(stage.first);
            series.push_back(stage.second);
        }
    }
    if (bOk && !kovatest::TakeCensus(::GetCurrentProcessId(), after))
    {
        bOk = false;
        result.strError = "this process's handles and GDI objects cannot be counted";
    }
    if (piece.fnTearDown)
        piece.fnTearDown();
    if (!bOk)
        return result;

    result.strError = DescribeLeak(before, after, samples.size());
    if (!result.strError.empty())
        return result;
    result.series.emplace_back(piece.strName, Summarise(samples));
    for (const std::string& strStage : stageOrder)
        result.series.emplace_back(piece.strName + "." + strStage, Summarise(stages[strStage]));
    result.bOk = true;
    return result;
}
