// kovamicro's timing: one repetition of a piece is timed between Start and Stop with the
// performance counter; a piece may also note stages inside that span.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "bench/micro/MicroStats.h"

class CRepTimer {
public:
    // Performance-counter ticks.
    static int64_t Now();
    static double TicksToUs(int64_t nTicks);

    void Start() { m_tStart = Now(); }
    void Stop() { m_tStop = Now(); }
    // The span from stamps taken with Now() elsewhere (inside a window procedure).
    void SetSpan(int64_t tStart, int64_t tStop) { m_tStart = tStart; m_tStop = tStop; }
    bool HasSpan() const { return m_tStart != 0 && m_tStop >= m_tStart; }
    double SpanUs() const { return TicksToUs(m_tStop - m_tStart); }

    // A stage of this repetition, reported as its own series "<piece>.<name>".
    void Stage(const char* pszName, int64_t tFrom, int64_t tTo);
    const std::vector<std::pair<std::string, double>>& Stages() const { return m_stages; }

    void Clear();

private:
    int64_t m_tStart = 0;
    int64_t m_tStop = 0;
    std::vector<std::pair<std::string, double>> m_stages;
};

// One piece of the path. fnRep makes what it needs untimed, times the piece, and releases
// everything it made before it returns. fnSetUp (optional) runs once before the warm-up,
// fnTearDown (optional) once at the end, whatever happened.
struct MicroPiece {
    std::string strName;
    std::function<bool(std::string& rstrError)> fnSetUp;
    std::function<bool(CRepTimer& rTimer, std::string& rstrError)> fnRep;
    std::function<void()> fnTearDown;
};

struct MicroResult {
    bool bOk = false;
    std::string strError;
    // The piece first, then its stages in the order they were first noted.
    std::vector<std::pair<std::string, MicroSummary>> series;
};

// Set-up, warm-up, the timed repetitions, tear-down. Fails when a repetition fails, when
// one does not mark its span, or when the process holds about one more handle, GDI object,
// window or thread for every repetition at the end of the series than at its start.
MicroResult RunMicroPiece(const MicroPiece& piece, const MicroOptions& options);
