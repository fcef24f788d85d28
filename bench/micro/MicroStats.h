// What kovamicro decides without Windows: its command line, when to stop repeating a piece,
// and how a series of timings is summarised and printed.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Repetitions of a piece when none are asked for: as many as fit the time budget, within
// these bounds.
constexpr size_t MICRO_AUTO_MAX_REPS = 200;
constexpr size_t MICRO_AUTO_MIN_REPS = 5;
constexpr double MICRO_DEFAULT_BUDGET_MS = 1500.0;
// Untimed runs before the series: the first call of a piece pays for caches and lazy set-up.
constexpr size_t MICRO_DEFAULT_WARMUP = 3;

struct MicroOptions {
    size_t nReps = 0;                         // 0: as many as fit dBudgetMs
    double dBudgetMs = MICRO_DEFAULT_BUDGET_MS;
    size_t nWarmup = MICRO_DEFAULT_WARMUP;
    std::vector<std::string> only;            // substrings; empty: every piece
    bool bList = false;                       // print the pieces' names and stop
    bool bQuiet = false;                      // no table on stderr
    bool bHelp = false;
};

// false, with a message for the user, when the command line cannot be used.
bool ParseMicroOptions(const std::vector<std::string>& args, MicroOptions& rOptions, std::string& rstrError);
const char* MicroUsage();

// Whether the piece is wanted by --only.
bool IsPieceSelected(const MicroOptions& options, const std::string& strName);

// Whether to time one more repetition after nDone of them, dElapsedMs into the series.
bool WantAnotherRep(const MicroOptions& options, size_t nDone, double dElapsedMs);

struct MicroSummary {
    size_t nReps = 0;
    double dMedian = 0.0;
    double dMin = 0.0;
    double dMax = 0.0;
};

// The median (mean of the two middle values for an even count), least and greatest.
// All zero for no samples.
MicroSummary Summarise(std::vector<double> samples);

// Kova's own work in a whole pop-up: what it costs beyond a plain window of its size
// (medians, minima and maxima subtracted in turn), never below 0. Same repetitions as whole.
MicroSummary OwnWork(const MicroSummary& whole, const MicroSummary& plain);

// {"name":...,"unit":"us","reps":N,"median":...,"min":...,"max":...}, two decimals.
std::string MicroJsonLine(const std::string& strName, const MicroSummary& summary);
// One row of the readable table, and its heading.
std::string MicroTableHeading();
std::string MicroTableRow(const std::string& strName, const MicroSummary& summary);
