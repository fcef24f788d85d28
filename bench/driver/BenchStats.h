// The figures a benchmark reports, and the JSON lines it reports them in. No Windows header.
#pragma once

#include <stddef.h>

#include <string>
#include <vector>

namespace kovabench {

struct Summary {
    size_t nRuns = 0;
    double dMedian = 0, dMin = 0, dMax = 0;
};

// Median (the mean of the middle two for an even count), least and greatest.
Summary Summarise(std::vector<double> values);

// The least value at or above that fraction of the values, by nearest rank (0.95: the 95th
// percentile); 0 for none.
double Percentile(std::vector<double> values, double dFraction);

// Runs measured in pairs: a[i] together with b[i].
struct PairSummary {
    Summary a, b;
    Summary ratios;              // of a[i] / b[i], run by run
    double dRatioOfMedians = 0;  // a's median over b's
};

// Only the first min(a, b) runs pair up.
PairSummary SummarisePairs(const std::vector<double>& a, const std::vector<double>& b);

// One named step of a run, in ms from the run's start.
struct StepTime {
    std::string strName;
    double dMs = 0;
};
using StepRun = std::vector<StepTime>;

// Each step's median over the runs that have it, ordered by those medians: where the time of
// a run went. A name a run has twice counts once there, at its first time.
StepRun MedianSteps(const std::vector<StepRun>& runs);

// One JSON object on one line, members in the order they are added.
class CJsonLine {
public:
    CJsonLine& Str(const char* pszKey, const std::string& strValue);
    CJsonLine& Num(const char* pszKey, double dValue);      // 3 decimals; null if not finite
    CJsonLine& Int(const char* pszKey, long long llValue);
    CJsonLine& Bool(const char* pszKey, bool bValue);
    CJsonLine& Nums(const char* pszKey, const std::vector<double>& values);   // an array, as Num
    // an object of each step's time, in order
    CJsonLine& Steps(const char* pszKey, const StepRun& steps);
    // runs, median, min, max
    CJsonLine& Stats(const Summary& summary);
    std::string Text() const { return "{" + m_strBody + "}"; }

private:
    CJsonLine& Raw(const char* pszKey, const std::string& strJson);
    std::string m_strBody;
};

std::string JsonQuote(const std::string& str);

} // namespace kovabench
