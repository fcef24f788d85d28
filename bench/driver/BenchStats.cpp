#include "BenchStats.h"

#include <math.h>
#include <stdio.h>

#include <algorithm>
#include <map>
#include <set>

namespace kovabench {

Summary Summarise(std::vector<double> values)
{
    Summary summary;
    summary.nRuns = values.size();
    if (values.empty())
        return summary;
    std::sort(values.begin(), values.end());
    const size_t nMid = values.size() / 2;
    summary.dMedian = values.size() % 2 ? values[nMid] : (values[nMid - 1] + values[nMid]) / 2;
    summary.dMin = values.front();
    summary.dMax = values.back();
    return summary;
}

double Percentile(std::vector<double> values, double dFraction)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    // The product may land a hair above a whole rank: 0.07 * 100 is 7.000000000000001.
    const double dRank = ceil(dFraction * static_cast<double>(values.size()) - 1e-9);
    return values[std::min(values.size(), static_cast<size_t>(std::max(dRank, 1.0))) - 1];
}

PairSummary SummarisePairs(const std::vector<double>& a, const std::vector<double>& b)
{
    const size_t nPairs = std::min(a.size(), b.size());
    PairSummary pair;
    pair.a = Summarise(std::vector<double>(a.begin(), a.begin() + nPairs));
    pair.b = Summarise(std::vector<double>(b.begin(), b.begin() + nPairs));
    std::vector<double> ratios;
    for (size_t i = 0; i < nPairs; ++i)
        ratios.push_back(a[i] / b[i]);
    pair.ratios = Summarise(ratios);
    pair.dRatioOfMedians = nPairs ? pair.a.dMedian / pair.b.dMedian : 0;
    return pair;
}

StepRun MedianSteps(const std::vector<StepRun>& runs)
{
    std::map<std::string, std::vector<double>> byName;
    for (const StepRun& run : runs)
    {
        std::set<std::string> seen;
        for (const StepTime& step : run)
        {
            if (seen.insert(step.strName).second)
                byName[step.strName].push_back(step.dMs);
        }
    }
    StepRun medians;
    for (auto& [strName, times] : byName)
        medians.push_back({strName, Summarise(std::move(times)).dMedian});
    std::stable_sort(medians.begin(), medians.end(),
                     [](const StepTime& a, const StepTime& b) { return a.dMs < b.dMs; });
    return medians;
}

std::string JsonQuote(const std::string& str)
{
    std::string strOut = "\"";
    for (const char ch : str)
    {
        const unsigned char uch = static_cast<unsigned char>(ch);
        if (ch == '"' || ch == '\\')
        {
            strOut += '\\';
            strOut += ch;
        }
        else if (uch < 0x20)
        {
            char sz[8];
            snprintf(sz, sizeof sz, "\\u%04x", uch);
            strOut += sz;
        }
        else
        {
            strOut += ch;
        }
    }
    return strOut + "\"";
}

CJsonLine& CJsonLine::Raw(const char* pszKey, const std::string& strJson)
{
    if (!m_strBody.empty())
        m_strBody += ",";
    m_strBody += JsonQuote(pszKey) + ":" + strJson;
    return *this;
}

CJsonLine& CJsonLine::Str(const char* pszKey, const std::string& strValue)
{
    return Raw(pszKey, JsonQuote(strValue));
}

namespace {

std::string NumText(double dValue)
{
    if (!isfinite(dValue))
        return "null";
    char sz[64];
    snprintf(sz, sizeof sz, "%.3f", dValue);
    return sz;
}

} // namespace

CJsonLine& CJsonLine::Num(const char* pszKey, double dValue)
{
    return Raw(pszKey, NumText(dValue));
}

CJsonLine& CJsonLine::Nums(const char* pszKey, const std::vector<double>& values)
{
    std::string strJson = "[";
    for (size_t i = 0; i < values.size(); ++i)
        strJson += (i ? "," : "") + NumText(values[i]);
    return Raw(pszKey, strJson + "]");
}

CJsonLine& CJsonLine::Int(const char* pszKey, long long llValue)
{
    return Raw(pszKey, std::to_string(llValue));
}

CJsonLine& CJsonLine::Bool(const char* pszKey, bool bValue)
{
    return Raw(pszKey, bValue ? "true" : "false");
}

CJsonLine& CJsonLine::Steps(const char* pszKey, const StepRun& steps)
{
    std::string strJson = "{";
    for (size_t i = 0; i < steps.size(); ++i)
        strJson += (i ? "," : "") + JsonQuote(steps[i].strName) + ":" + NumText(steps[i].dMs);
    return Raw(pszKey, strJson + "}");
}

CJsonLine& CJsonLine::Stats(const Summary& summary)
{
    return Int("runs", static_cast<long long>(summary.nRuns))
        .Num("median", summary.dMedian)
        .Num("min", summary.dMin)
        .Num("max", summary.dMax);
}

} // namespace kovabench
