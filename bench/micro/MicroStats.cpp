#include "bench/micro/MicroStats.h"

#include "bench/driver/BenchStats.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace {

// A whole number of at least nLeast; the rest of the text must be digits.
bool ParseCount(const std::string& strText, size_t nLeast, size_t& rnValue)
{
    if (strText.empty() || strText.find_first_not_of("0123456789") != std::string::npos)
        return false;
    errno = 0;
    const unsigned long long ull = std::strtoull(strText.c_str(), nullptr, 10);
    if (errno == ERANGE || ull < nLeast || ull > 1000000ULL)
        return false;
    rnValue = static_cast<size_t>(ull);
    return true;
}

std::string JsonString(const std::string& str)
{
    std::string out = "\"";
    for (const char ch : str)
    {
        const auto uch = static_cast<unsigned char>(ch);
        if (ch == '"' || ch == '\\')
        {
            out += '\\';
            out += ch;
        }
        else if (uch < 0x20)
        {
            char sz[8];
            std::snprintf(sz, sizeof sz, "\\u%04x", uch);
            out += sz;
        }
        else
        {
            out += ch;
        }
    }
    return out + "\"";
}

std::string Fixed2(double d)
{
    char sz[64];
    std::snprintf(sz, sizeof sz, "%.2f", d);
    return sz;
}

} // namespace

const char* MicroUsage()
{
    return "usage: kovamicro [--reps N] [--budget-ms MS] [--warmup N] [--only TEXT]... [--list] [--quiet]\n"
           "  Times the pieces of Kova's start-up and hot-key path in this process.\n"
           "  --reps N       exactly N timed repetitions of each piece (default: as many as\n"
           "                 fit the budget, at least 5 and at most 200)\n"
           "  --budget-ms MS time budget of each piece without --reps (default 1500)\n"
           "  --warmup N     untimed repetitions first (default 3)\n"
           "  --only TEXT    only the pieces whose name contains TEXT (may be repeated)\n"
           "  --list         print the pieces' names and stop\n"
           "  --quiet        no readable table on stderr\n"
           "  One JSON object per piece and stage on stdout, times in microseconds.\n";
}

bool ParseMicroOptions(const std::vector<std::string>& args, MicroOptions& rOptions, std::string& rstrError)
{
    rOptions = MicroOptions();
    for (size_t i = 0; i < args.size(); ++i)
    {
        const std::string& strArg = args[i];
        const bool bHasValue = i + 1 < args.size();
        if (strArg == "--list")
            rOptions.bList = true;
        else if (strArg == "--quiet")
            rOptions.bQuiet = true;
        else if (strArg == "--help" || strArg == "-h" || strArg == "/?")
            rOptions.bHelp = true;
        else if (strArg == "--reps" || strArg == "--warmup" || strArg == "--budget-ms" || strArg == "--only")
        {
            if (!bHasValue)
            {
                rstrError = strArg + " needs a value";
                return false;
            }
            const std::string& strValue = args[++i];
            if (strArg == "--only")
            {
                rOptions.only.push_back(strValue);
                continue;
            }
            size_t nValue = 0;
            // Zero timed repetitions would print figures that mean nothing.
            const size_t nLeast = strArg == "--warmup" ? 0 : 1;
            if (!ParseCount(strValue, nLeast, nValue))
            {
                rstrError = strArg + " wants a whole number" + (nLeast ? " of at least 1" : "") + ", not \"" +
                            strValue + "\"";
                return false;
            }
            if (strArg == "--reps")
                rOptions.nReps = nValue;
            else if (strArg == "--warmup")
                rOptions.nWarmup = nValue;
            else
                rOptions.dBudgetMs = static_cast<double>(nValue);
        }
        else
        {
            rstrError = "unknown argument \"" + strArg + "\"";
            return false;
        }
    }
    return true;
}

MicroSummary OwnWork(const MicroSummary& whole, const MicroSummary& plain)
{
    MicroSummary own = whole;
    own.dMedian = std::max(0.0, whole.dMedian - plain.dMedian);
    own.dMin = std::max(0.0, whole.dMin - plain.dMin);
    own.dMax = std::max(0.0, whole.dMax - plain.dMax);
    return own;
}

bool IsPieceSelected(const MicroOptions& options, const std::string& strName)
{
    if (options.only.empty())
        return true;
    return std::any_of(options.only.begin(), options.only.end(),
                       [&](const std::string& strPart) { return strName.find(strPart) != std::string::npos; });
}

bool WantAnotherRep(const MicroOptions& options, size_t nDone, double dElapsedMs)
{
    if (options.nReps)
        return nDone < options.nReps;
    if (nDone >= MICRO_AUTO_MAX_REPS)
        return false;
    return nDone < MICRO_AUTO_MIN_REPS || dElapsedMs < options.dBudgetMs;
}

MicroSummary Summarise(std::vector<double> samples)
{
    const kovabench::Summary summary = kovabench::Summarise(std::move(samples));
    return { summary.nRuns, summary.dMedian, summary.dMin, summary.dMax };
}

std::string MicroJsonLine(const std::string& strName, const MicroSummary& summary)
{
    return "{\"name\":" + JsonString(strName) + ",\"unit\":\"us\",\"reps\":" + std::to_string(summary.nReps) +
           ",\"median\":" + Fixed2(summary.dMedian) + ",\"min\":" + Fixed2(summary.dMin) +
           ",\"max\":" + Fixed2(summary.dMax) + "}";
}

std::string MicroTableHeading()
{
    char sz[160];
    std::snprintf(sz, sizeof sz, "%-44s %6s %12s %12s %12s", "piece", "reps", "median us", "min us", "max us");
    return sz;
}

std::string MicroTableRow(const std::string& strName, const MicroSummary& summary)
{
    char sz[200];
    std::snprintf(sz, sizeof sz, "%-44s %6lu %12.1f %12.1f %12.1f", strName.c_str(),
                  static_cast<unsigned long>(summary.nReps), summary.dMedian, summary.dMin, summary.dMax);
    return sz;
}
