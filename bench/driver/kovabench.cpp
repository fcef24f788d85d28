// kovabench: Kova.exe end to end against the least programs that do the same jobs
// (bench/baselines), measured in one run. One JSON object per line on stdout, progress and
// errors on stderr. Exit code 0 done, 1 something did not happen in time or failed, 2 bad
// arguments.
//
//   kovabench startup [--runs N] [--detect winevent|poll]
//       start until the tray icon shows: Kova.exe against tray_baseline.exe, in pairs
//   kovabench hotkey [--runs N] [--poll-us N] [--detect winevent|poll]
//       hot key press until the pop-up's pixels on the screen are final, and until its
//       window shows centred: Kova's three-button and one-button pop-ups and its switch-off
//       notice, each against dialog_baseline.exe, in pairs. The first opening of each
//       learns the final colours and is reported apart.
//   kovabench first [--runs N] [--poll-us N] [--detect winevent|poll]
//       Kova started and the hot key pressed as soon as its tray icon shows: until the
//       three-button pop-up's pixels are final; against dialog_baseline.exe started and
//       pressed as soon as its window is made.
//   --poll-us: one screen read this often (1000); 0 reads back to back, which keeps the
//   X server busy enough to slow what is timed.
//   kovabench keywait [--runs N]
//       how long a key typed into the driver's own window waits while Kova is inside a
//       1.5 s EMSC.dll call, against dialog_baseline.exe resident (no slow work), in pairs
//   kovabench typing [--keys N] [--hold EVENT]
//       what a resident program costs each key typed into the driver's own window: N keys
//       (600) with nothing resident, with dialog_baseline.exe, with Kova, in three rounds;
//       the delay of each key's key-down. With --hold the host reads the resident's CPU time
//       and context switches before and after the keys of each round ("typing-<program>-start",
//       "-typed"): Wine's GetProcessTimes gives the caller's own times for another process.
//   kovabench footprint [--cycles N] [--hold EVENT] [--detect winevent|poll]
//       handles, GDI objects, windows and threads of Kova after start, once every layout
//       has opened, half way and after N pop-ups, and of tray_baseline.exe. With --hold it prints a
//       {"hold":...} line at each stage and waits until EVENT is set, so that figures only
//       the host can read (memory, CPU time) are taken there.
#include <windows.h>

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "BenchStats.h"
#include "PixelFinal.h"
#include "ScreenPoints.h"
#include "StepPage.h"
#include "WindowWatch.h"
#include "harness/ProcessCensus.h"
#include "harness/TrayObserver.h"
#include "support/KovaSession.h"
#include "support/TestSupport.h"

using namespace kovabench;
using kovatest::SendScanKey;
using kovatest::StrokeScanKey;

namespace {

enum { kDone = 0, kFailed = 1, kUsage = 2 };

const DWORD kShowTimeoutMs = 5000;
const DWORD kStartTimeoutMs = 10000;

// A program the driver starts, finds by its hidden main window and ends through its event.
struct Program {
    const char* pszName;
    const char* pszExe;
    const char* pszArgs;
    const char* pszClass;
    UINT uTrayId;               // 0: no tray icon
    const char* pszCloseEvent;
};

// The baseline answers another extended scan code than Kova's 0x04: both stay resident
// through the paired runs, each key passes both hooks, and only one of them opens.
const WORD kKovaHotScan = 0x04;
const WORD kBaselineHotScan = 0x05;

const Program kKova = {"kova", "Kova.exe", "", kovae2e::kFrameClass, kovae2e::kTrayId, kovae2e::kCloseEvent};
const Program kTrayBaseline = {"tray_baseline", "tray_baseline.exe", "", "KovaTrayBaseline", 1,
                               "KovaTrayBaselineClose"};
const Program kDialogBaseline = {"dialog_baseline", "dialog_baseline.exe", "scan=0x05", "KovaDialogBaseline", 0,
                                 "KovaDialogBaselineClose"};

const char kDialogClass[] = "#32770";

struct Options {
    int nRuns = 15;
    int nCycles = 200;
    int nKeys = 600;
    Detect eDetect = Detect::WinEvent;
    DWORD dwPollUs = 1000;
    std::string strHoldEvent;
};

void Emit(const CJsonLine& line)
{
    fputs((line.Text() + "\n").c_str(), stdout);
    fflush(stdout);
}

void Progress(const std::string& str)
{
    fputs(("kovabench: " + str + "\n").c_str(), stderr);
    fflush(stderr);
}

// Made before the first start that reads it: the programs find its name in the environment
// they inherit.
CStepPage& StepPage()
{
    static CStepPage s_page;
    return s_page;
}

bool Fail(std::string& rstrError, const std::string& strWhat)
{
    rstrError = strWhat;
    return false;
}

int FailCode(std::string& rstrError, const std::string& strWhat)
{
    rstrError = strWhat;
    return kFailed;
}

// One started program, ended by TerminateProcess when this goes if it still runs.
class CRunning {
public:
    explicit CRunning(const Program& program) : m_program(program) {}

    const Program& Info() const { return m_program; }
    DWORD Pid() const { return m_process.Pid(); }
    // Its thread first waiting for input: start-up is over and idle work may begin.
    bool WaitInputIdle() const { return ::WaitForInputIdle(m_process.Get(), kStartTimeoutMs) == 0; }
    HWND Main() const { return m_hMain; }

    // A copy left running would make every start a second start.
    bool CheckNoneRunning(std::string& rstrError) const
    {
        return ::FindWindowA(m_program.pszClass, nullptr)
                   ? Fail(rstrError, std::string("another ") + m_program.pszExe + " is running")
                   : true;
    }

    bool Launch(std::string& rstrError)
    {
        m_process = kovatest::CProcessGuard::Start(m_program.pszExe, m_program.pszArgs);
        return m_process ? true : Fail(rstrError, std::string("could not start ") + m_program.pszExe);
    }

    // Started, none running before, and resident.
    bool Start(std::string& rstrError)
    {
        return CheckNoneRunning(rstrError) && Launch(rstrError) && WaitResident(rstrError);
    }

    // Its main window, its tray icon if it has one, and its thread idle.
    bool WaitResident(std::string& rstrError)
    {
        const bool bMain = kovatest::PumpUntil([&] {
            const std::vector<HWND> found = TopLevelOf(Pid(), m_program.pszClass);
            m_hMain = found.empty() ? nullptr : found[0];
            return m_hMain || !m_process.IsRunning();
        }, kStartTimeoutMs);
        if (!bMain || !m_hMain)
            return Fail(rstrError, std::string(m_program.pszExe) + " made no main window" +
                                       (m_process.IsRunning() ? "" : " and ended"));
        if (m_program.uTrayId && !m_hIcon)
        {
            kovatest::TrayIcon icon;
            if (!kovatest::WaitForTrayIcon(kovatest::CIconSelector::ByOwner(m_hMain, m_program.uTrayId),
                                           kStartTimeoutMs, &icon))
                return Fail(rstrError, std::string(m_program.pszExe) + " showed no tray icon");
            m_hIcon = icon.hWnd;
        }
        ::WaitForInputIdle(m_process.Get(), kStartTimeoutMs);
        return true;
    }

    // The icon window the driver saw appear, checked to be this program's.
    bool AdoptIcon(HWND hIcon, std::string& rstrError)
    {
        kovatest::TrayIcon icon;
        if (!kovatest::WaitForTrayIcon(kovatest::CIconSelector::ByOwnerClass(m_program.pszClass, m_program.uTrayId),
                                       kStartTimeoutMs, &icon))
            return Fail(rstrError, std::string("no tray icon of ") + m_program.pszExe);
        if (icon.hWnd != hIcon)
            return Fail(rstrError, std::string("the icon that appeared is not ") + m_program.pszExe + "'s");
        m_hIcon = hIcon;
        return true;
    }

    // Asks it to quit through its event; true once it has ended and its icon has gone.
    bool Stop(std::string& rstrError)
    {
        kfw::CHandle hClose(::OpenEventA(EVENT_MODIFY_STATE, FALSE, m_program.pszCloseEvent));
        if (!hClose || !::SetEvent(hClose.Get()))
            return Fail(rstrError, std::string("could not signal ") + m_program.pszCloseEvent);
        if (m_process.Wait(kStartTimeoutMs) == STILL_ACTIVE)
            return Fail(rstrError, std::string(m_program.pszExe) + " did not quit on its event");
        if (m_hIcon && !PollUntil([&] { return !::IsWindow(m_hIcon); }, kStartTimeoutMs))
            return Fail(rstrError, std::string("the tray icon of ") + m_program.pszExe + " stayed");
        m_hIcon = m_hMain = nullptr;
        return true;
    }

private:
    const Program& m_program;
    kovatest::CProcessGuard m_process;
    HWND m_hMain = nullptr;
    HWND m_hIcon = nullptr;
};

// ---------------------------------------------------------------------------------------------
// Start-up: process creation until the tray icon is visible.

struct StartTimes {
    double dIconMadeMs = 0;   // explorer made the icon window
    double dShownMs = 0;      // ... and it is visible
    StepRun steps;            // the program's marks, and the icon visible
};

bool TimeStart(const Program& program, CWindowWatch& watch, StartTimes& rTimes, std::string& rstrError)
{
    CRunning running(program);
    if (!running.CheckNoneRunning(rstrError))
        return false;
    watch.Arm(IconWindows);
    StepPage().Clear();
    const double dStart = NowMs();
    if (!running.Launch(rstrError))
        return false;
    Sighting seen;
    if (!watch.WaitNew(IconWindows, IsIconWindow, kStartTimeoutMs, seen))
        return Fail(rstrError, std::string("no tray icon appeared for ") + program.pszExe);
    double dShown = 0;
    if (!PollUntil([&] { return ::IsWindowVisible(seen.hWnd) != FALSE; }, kShowTimeoutMs, &dShown))
        return Fail(rstrError, std::string("the tray icon of ") + program.pszExe + " never showed");
    rTimes.dIconMadeMs = seen.dSeenMs - dStart;
    rTimes.dShownMs = dShown - dStart;
    if (!running.AdoptIcon(seen.hWnd, rstrError) || !running.WaitResident(rstrError) || !running.Stop(rstrError))
        return false;
    rTimes.steps = StepPage().Since(dStart);
    rTimes.steps.push_back({"visible", rTimes.dShownMs});
    return true;
}

// Where the time of a path went: each step's median in both programs.
void EmitSteps(const std::string& strName, const char* pszFrom, const char* pszB, const std::vector<StepRun>& a,
               const std::vector<StepRun>& b)
{
    Emit(CJsonLine().Str("name", strName).Str("unit", "ms").Str("from", pszFrom)
             .Steps("kova", MedianSteps(a)).Steps(pszB, MedianSteps(b)));
}

// A timed figure: its statistics and what marked its end.
CJsonLine TimedLine(const std::string& strName, const Summary& summary, const char* pszDetect)
{
    CJsonLine line;
    line.Str("name", strName).Str("unit", "ms").Stats(summary).Str("detect", pszDetect);
    return line;
}

void EmitPaired(const std::string& strName, const char* pszA, const char* pszB, const std::vector<double>& a,
                const std::vector<double>& b, const char* pszDetect, double dRatioTarget, double dMedianTargetA = 0)
{
    const PairSummary pair = SummarisePairs(a, b);
    CJsonLine lineA = TimedLine(strName + "." + pszA, pair.a, pszDetect);
    if (dMedianTargetA > 0)
        lineA.Num("target", dMedianTargetA).Bool("met", pair.a.dMedian <= dMedianTargetA);
    Emit(lineA.Nums("samples", a));
    Emit(TimedLine(strName + "." + pszB, pair.b, pszDetect).Nums("samples", b));
    CJsonLine ratio;
    ratio.Str("name", strName + ".ratio").Str("unit", "x").Stats(pair.ratios).Num("ratio_of_medians",
                                                                                  pair.dRatioOfMedians);
    if (dRatioTarget > 0)
        ratio.Num("target", dRatioTarget).Bool("met", pair.dRatioOfMedians <= dRatioTarget);
    Emit(ratio);
}

int Startup(const Options& opt, std::string& rstrError)
{
    kovatest::CEmscState state(0x1F);
    if (!state.IsReady())
        return FailCode(rstrError, "the development EMSC.dll could not be set up");
    CWindowWatch watch(opt.eDetect);
    if (!watch.IsReady())
        return FailCode(rstrError, "SetWinEventHook failed");

    // One untimed start each: the first start of a program reads its image from disk.
    StartTimes warm;
    if (!TimeStart(kKova, watch, warm, rstrError) || !TimeStart(kTrayBaseline, watch, warm, rstrError))
        return kFailed;

    const int nMissedBefore = watch.Missed();
    std::vector<double> kovaShown, baseShown, kovaMade, baseMade;
    std::vector<StepRun> kovaSteps, baseSteps;
    for (int i = 0; i < opt.nRuns; ++i)
    {
        // Alternate which goes first, so that neither always follows the other's exit.
        const Program* order[2] = {&kKova, &kTrayBaseline};
        if (i % 2)
            std::swap(order[0], order[1]);
        for (const Program* pProgram : order)
        {
            StartTimes times;
            if (!TimeStart(*pProgram, watch, times, rstrError))
                return kFailed;
            const bool bKova = pProgram == &kKova;
            (bKova ? kovaShown : baseShown).push_back(times.dShownMs);
            (bKova ? kovaMade : baseMade).push_back(times.dIconMadeMs);
            (bKova ? kovaSteps : baseSteps).push_back(std::move(times.steps));
        }
        Progress("startup run " + std::to_string(i + 1) + "/" + std::to_string(opt.nRuns));
    }
    const std::string strDetect = std::string(DetectName(opt.eDetect)) + "+1ms-visibility-poll";
    EmitPaired("startup", "kova", "tray_baseline", kovaShown, baseShown, strDetect.c_str(), 1.1);
    EmitPaired("startup.icon_made", "kova", "tray_baseline", kovaMade, baseMade, DetectName(opt.eDetect), 0);
    EmitSteps("startup.steps", "the process started", "tray_baseline", kovaSteps, baseSteps);
    Emit(CJsonLine().Str("name", "startup.missed_events").Str("unit", "count")
             .Int("value", watch.Missed() - nMissedBefore).Int("untimed", nMissedBefore));
    return kDone;
}

// ---------------------------------------------------------------------------------------------
// Hot key: the press until the pop-up's pixels on the screen are final, and until its window
// is shown in the middle of the screen.

struct PopupKind {
    const char* pszName;
    BYTE byStatus;       // the radios the pop-up reads at opening
    bool bEnterCloses;   // the notice: Enter; the mode pop-ups: Esc
};
const PopupKind kKinds[] = {
    {"mode-three", 0x1F, false},   // both radios fitted and on, switch on
    {"mode-one", 0x1A, false},     // only Bluetooth fitted, on, switch on
    {"notice", 0x0F, true},        // both fitted, the hardware switch off
};
const int kKindCount = static_cast<int>(sizeof(kKinds) / sizeof(kKinds[0]));

// Learning a pop-up's final colours: every point still for this long once it is shown, or
// at most this long after the key, after which points still changing count as animated.
const double kQuietMs = 300;
const double kLearnMaxMs = 3000;
// A timed opening ends once its final colours have held this long and its window is shown.
const double kHoldMs = 100;
// A key pressed as a program starts may come before its keyboard hook: given up as lost
// when no window follows within this time (a first pop-up is made within ~100 ms even
// while codecs load).
const double kLostMs = 1000;
// Fewer points changed by a pop-up than this say too little of it.
const size_t kMinPoints = 16;
// Every pixel of a box a little larger than the largest pop-up (Kova's three-button one,
// 257 x 201 at 96 dpi; the baseline's dialog about as large): a pop-up's last pixels may be
// a one-pixel frame anywhere in it. Points a pop-up leaves as the desktop showed them are
// not learned for it.
const int kBoxCx = 272, kBoxCy = 216, kBoxStep = 1;

// The screen's centre as the pop-ups' pixels are read from it.
struct Pixels {
    CScreenPoints screen{kBoxCx, kBoxCy, kBoxStep};
    Colours desktop;        // with no pop-up
    DWORD dwPollUs = 0;     // one read this often
    Summary pollCostUs;     // one read, on the still desktop
    long long llPolls = 0;  // in timed openings, and the time they spanned
    double dPolledMs = 0;
};

// One opening's pixels: their final colours known, or learned on it.
struct PixelJob {
    Pixels* pPixels = nullptr;
    const FinalColours* pFinal = nullptr;   // null: learn them into learned
    FinalColours learned;
};

struct PopupTimes {
    double dPressMs = 0;           // the key pressed, on NowMs's clock; the rest from there
    double dMadeMs = 0;            // the pop-up's window made
    double dShownMs = 0;           // visible in its place
    double dFinalMs = NAN;         // its pixels on the screen final
    double dFirstChangeMs = NAN;   // its pixels first on the screen
    int nLeft = 0;                 // final colours reached and left again
    int nPartial = 0;              // frames before the final one: part not drawn yet...
    int nForeign = 0;              // ...or drawn in another look first
    StepRun steps;                 // first opening after start: the marks from the press on
};

// Where a window is and how it looks, for a failure message.
std::string DescribeWindow(HWND hWnd, double dMadeMs)
{
    char sz[200] = "";
    RECT rc = {};
    if (!::IsWindow(hWnd))
        snprintf(sz, sizeof sz, "made after %.1f ms, gone by now", dMadeMs);
    else if (::GetWindowRect(hWnd, &rc))
        snprintf(sz, sizeof sz, "made after %.1f ms, %s at (%ld,%ld)-(%ld,%ld) on a %dx%d screen", dMadeMs,
                 ::IsWindowVisible(hWnd) ? "visible" : "hidden", rc.left, rc.top, rc.right, rc.bottom,
                 ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN));
    return sz;
}

// Which of the points differ from the colours wanted, for a failure message.
std::string DescribeMismatch(const CScreenPoints& screen, const Colours& now, const Colours& wanted,
                             const std::vector<size_t>& points)
{
    size_t nDiffer = 0;
    std::string strFirst;
    for (const size_t i : points)
        if (i < now.size() && i < wanted.size() && now[i] != wanted[i] && !nDiffer++)
        {
            char sz[64];
            snprintf(sz, sizeof sz, "0x%06X instead of 0x%06X", now[i], wanted[i]);
            strFirst = screen.Where(i) + " " + sz;
        }
    return std::to_string(nDiffer) + " of " + std::to_string(points.size()) + " points differ" +
           (nDiffer ? ", e.g. " + strFirst : "");
}

std::vector<size_t> AllPoints(size_t nCount)
{
    std::vector<size_t> points(nCount);
    for (size_t i = 0; i < nCount; ++i)
        points[i] = i;
    return points;
}

// Reads the desktop and what one read costs.
bool StartPixels(Pixels& pixels, std::string& rstrError)
{
    if (!pixels.screen.IsReady())
        return Fail(rstrError, "could not set up reading the screen");
    std::vector<double> costs;
    Colours first;
    for (int i = 0; i < 200; ++i)
    {
        const double dStart = NowMs();
        if (!pixels.screen.Read(pixels.desktop))
            return Fail(rstrError, "could not read the screen");
        costs.push_back((NowMs() - dStart) * 1000);
        if (i == 0)
            first = pixels.desktop;
        else if (pixels.desktop != first)
            return Fail(rstrError, "the screen's centre changes with no pop-up: " +
                                       DescribeMismatch(pixels.screen, pixels.desktop, first,
                                                        AllPoints(first.size())));
    }
    pixels.pollCostUs = Summarise(costs);
    return true;
}

// A pop-up that is gone may still show for a moment: never press before the desktop is back.
bool WaitForDesktop(Pixels& pixels, std::string& rstrError)
{
    Colours now;
    if (PollUntil([&] { return pixels.screen.Read(now) && now == pixels.desktop; }, kShowTimeoutMs))
        return true;
    return Fail(rstrError, "the screen's centre did not go back to the desktop: " +
                               DescribeMismatch(pixels.screen, now, pixels.desktop, AllPoints(now.size())));
}

// Presses the hot key and watches until the pop-up shows centred and, with pixels, until
// they are final (held kHoldMs) or, when learning, have all kept still for kQuietMs.
// With pbLost, a press that has made no window after kLostMs is given up as lost.
bool OpenPopup(const CRunning& running, WORD wHotScan, CWindowWatch& watch, PixelJob* pJob, PopupTimes& rTimes,
               Sighting& rSeen, std::string& rstrError, bool* pbLost = nullptr)
{
    const DWORD dwPid = running.Pid();
    const std::string strWho = running.Info().pszExe;
    const WindowList list = [&] { return TopLevelOf(dwPid, kDialogClass); };
    const WindowTest test = [&](HWND hWnd) {
        return PidOf(hWnd) == dwPid && HasClass(hWnd, kDialogClass) &&
               ::GetAncestor(hWnd, GA_PARENT) == ::GetDesktopWindow();
    };
    if (!list().empty())
        return Fail(rstrError, "a pop-up of " + strWho + " is open before the hot key");

    Pixels* pPixels = pJob ? pJob->pPixels : nullptr;
    const FinalColours* pFinal = pJob ? pJob->pFinal : nullptr;
    std::vector<PixelFrame> frames;
    if (pPixels)
    {
        if (!WaitForDesktop(*pPixels, rstrError))
            return false;
        frames.push_back({NowMs(), pPixels->desktop});
    }
    watch.Arm(list);
    const double dPress = NowMs();
    if (!SendScanKey(wHotScan, 0, KEYEVENTF_EXTENDEDKEY))
        return Fail(rstrError, "SendInput failed");

    bool bSeen = false;
    double dShown = NAN, dFinalSince = NAN, dNextWindowLook = dPress;
    long long llPolls = 0;
    Colours now;
    for (;;)
    {
        const double dPoll = NowMs();
        double dNow = dPoll;
        if (pPixels)
        {
            if (!pPixels->screen.Read(now))
                return Fail(rstrError, "could not read the screen");
            // A reading stands for the moment it came back: a change is seen at most one
            // poll late.
            dNow = NowMs();
            ++llPolls;
            if (now != frames.back().colours)
                frames.push_back({dNow, now});
            if (pFinal && !IsFinal(now, *pFinal))
                dFinalSince = NAN;
            else if (pFinal && isnan(dFinalSince))
                dFinalSince = dNow;
        }
        // Every look at the windows is a call to the wine server, which the program being
        // timed needs too: once a millisecond, as when no pixels are read.
        if (isnan(dShown) && dNow >= dNextWindowLook)
        {
            PumpOnce(0);
            if (!bSeen)
                bSeen = watch.Check(list, test, rSeen);
            if (bSeen && IsShownCentred(rSeen.hWnd))
                dShown = dNow;
            dNextWindowLook = dNow + 1;
        }

        bool bDone = !isnan(dShown);
        if (bDone && pFinal)
            bDone = !isnan(dFinalSince) && dNow - dFinalSince >= kHoldMs;
        else if (bDone && pPixels)
            bDone = (dNow - frames.back().dMs >= kQuietMs && dNow - dShown >= kQuietMs) ||
                    dNow - dPress >= kLearnMaxMs;
        if (bDone)
            break;
        if (pbLost && !bSeen && dNow - dPress >= kLostMs)
        {
            *pbLost = true;
            return Fail(rstrError, "the hot key made no pop-up of " + strWho);
        }
        if (dNow - dPress >= kShowTimeoutMs)
        {
            if (!bSeen)
                return Fail(rstrError, "no pop-up of " + strWho + " within 5 s of the hot key");
            if (isnan(dShown))
                return Fail(rstrError, "the pop-up of " + strWho + " was made but not shown centred: " +
                                           DescribeWindow(rSeen.hWnd, rSeen.dSeenMs - dPress));
            return Fail(rstrError, "the pixels of " + strWho + "'s pop-up were not final 5 s after the key: " +
                                       DescribeMismatch(pPixels->screen, now, pFinal->colours, pFinal->points));
        }
        if (pPixels)
        {
            // Each read keeps the X server busy, which the program being timed draws
            // through: between reads, spin giving way to any thread that can run. Sleep
            // could not wait less than a millisecond.
            const double dNext = dPoll + pPixels->dwPollUs / 1000.0;
            while (NowMs() < dNext)
                ::SwitchToThread();
        }
        else
        {
            PumpOnce(1);
        }
    }
    rTimes.dPressMs = dPress;
    rTimes.dMadeMs = rSeen.dSeenMs - dPress;
    rTimes.dShownMs = dShown - dPress;
    if (!pPixels)
        return true;

    if (!pFinal)
    {
        pJob->learned = LearnFinal(frames, NowMs(), kQuietMs);
        if (pJob->learned.points.size() < kMinPoints)
            return Fail(rstrError, "the pop-up of " + strWho + " changes only " +
                                       std::to_string(pJob->learned.points.size()) + " of the " +
                                       std::to_string(pPixels->screen.Count()) + " points at the centre");
        pFinal = &pJob->learned;
    }
    else
    {
        pPixels->llPolls += llPolls;
        pPixels->dPolledMs += frames.back().dMs > dPress ? NowMs() - dPress : 0;
    }
    const FinalTiming timing = TimeFinal(frames, *pFinal);
    if (!timing.bFinal)
        return Fail(rstrError, "the pixels of " + strWho + "'s pop-up did not end final");
    rTimes.dFinalMs = timing.dFinalMs - dPress;
    rTimes.dFirstChangeMs = timing.dFirstChangeMs - dPress;
    rTimes.nLeft = timing.nLeft;
    rTimes.nPartial = timing.nPartial;
    rTimes.nForeign = timing.nForeign;
    return true;
}

// Releases the hot key, closes the pop-up and waits until the program is back in its own
// message loop, with its hook in place.
bool ClosePopup(const CRunning& running, HWND hPopup, WORD wHotScan, bool bEnterCloses, std::string& rstrError)
{
    const std::string strWho = running.Info().pszExe;
    // Kova's notice takes Enter from its keyboard hook, by scan code. With a virtual key the
    // key message itself would stay queued behind the notice's close, and the dialog manager
    // of the next pop-up, opened before it is read, would take it for its own Enter. The
    // baseline's dialog manager needs the virtual key.
    const WORD wEnterVk = wHotScan == kKovaHotScan ? 0 : VK_RETURN;
    if (!SendScanKey(wHotScan, 0, KEYEVENTF_EXTENDEDKEY | KEYEVENTF_KEYUP) ||
        !(bEnterCloses ? StrokeScanKey(0x1C, wEnterVk) : StrokeScanKey(0x01, VK_ESCAPE)))
        return Fail(rstrError, "SendInput failed");
    if (!PollUntil([&] { return !::IsWindow(hPopup); }, kShowTimeoutMs))
        return Fail(rstrError, std::string("the pop-up of ") + strWho + " did not close on " +
                                   (bEnterCloses ? "Enter" : "Esc"));
    DWORD_PTR dwResult = 0;
    if (!::SendMessageTimeoutA(running.Main(), WM_NULL, 0, 0, SMTO_NORMAL, kShowTimeoutMs, &dwResult))
        return Fail(rstrError, strWho + " does not answer after its pop-up");
    return true;
}

bool TimePopup(const CRunning& running, WORD wHotScan, bool bEnterCloses, CWindowWatch& watch, PixelJob* pJob,
               PopupTimes& rTimes, std::string& rstrError)
{
    Sighting seen;
    return OpenPopup(running, wHotScan, watch, pJob, rTimes, seen, rstrError) &&
           ClosePopup(running, seen.hWnd, wHotScan, bEnterCloses, rstrError);
}

// Pixel-final figures of many openings, program by program.
struct PopupSeries {
    std::vector<double> final, shown, made, firstChange;
    int nLeft = 0, nPartial = 0, nForeign = 0;
    void Add(const PopupTimes& times)
    {
        final.push_back(times.dFinalMs);
        shown.push_back(times.dShownMs);
        made.push_back(times.dMadeMs);
        firstChange.push_back(times.dFirstChangeMs);
        nLeft += times.nLeft;
        nPartial += times.nPartial;
        nForeign += times.nForeign;
    }
};

const double kWarmTargetMs = 16.7;    // one frame at 60 Hz
const double kFirstTargetMs = 33.3;   // two
const double kPixelRatioTarget = 1.5;

void EmitPixelSeries(const std::string& strName, const char* pszB, const PopupSeries& kova, const PopupSeries& base,
                     const char* pszDetect, double dKovaTargetMs, double dRatioTarget)
{
    EmitPaired(strName, "kova", pszB, kova.final, base.final, "pixels", dRatioTarget, dKovaTargetMs);
    EmitPaired(strName + ".shown", "kova", pszB, kova.shown, base.shown, pszDetect, 0);
    EmitPaired(strName + ".first_change", "kova", pszB, kova.firstChange, base.firstChange, "pixels", 0);
    // Final colours reached and left again within an opening: a pop-up drawn twice.
    Emit(CJsonLine().Str("name", strName + ".left_final").Str("unit", "count").Int("kova", kova.nLeft)
             .Int(pszB, base.nLeft));
    // Frames seen on the way to the final pixels: the pop-up shown in parts, or in a look it
    // does not end with.
    Emit(CJsonLine().Str("name", strName + ".partial_frames").Str("unit", "count").Int("kova", kova.nPartial)
             .Int(pszB, base.nPartial));
    Emit(CJsonLine().Str("name", strName + ".foreign_frames").Str("unit", "count").Int("kova", kova.nForeign)
             .Int(pszB, base.nForeign));
}

// What one poll costs on the still desktop, and the mean step between polls in timed
// openings (the poll, the pump and the pause): the resolution of the pixel figures.
void EmitPolling(const std::string& strName, const Pixels& pixels)
{
    Emit(CJsonLine().Str("name", strName).Str("unit", "us").Stats(pixels.pollCostUs).Int("poll_every_us", pixels.dwPollUs)
             .Int("polls", pixels.llPolls)
             .Num("mean_step_us", pixels.llPolls ? pixels.dPolledMs * 1000 / pixels.llPolls : NAN)
             .Int("points", static_cast<long long>(pixels.screen.Count())));
}

int Hotkey(const Options& opt, std::string& rstrError)
{
    kovatest::CEmscState state(0x1F);
    if (!state.IsReady())
        return FailCode(rstrError, "the development EMSC.dll could not be set up");
    // A pointer resting on a pop-up holds it open and changes what it shows.
    kovatest::ParkPointer();
    Pixels pixels;
    pixels.dwPollUs = opt.dwPollUs;
    CRunning kova(kKova), baseline(kDialogBaseline);
    if (!kova.CheckNoneRunning(rstrError) || !baseline.CheckNoneRunning(rstrError) ||
        !StartPixels(pixels, rstrError) || !kova.Launch(rstrError) || !kova.WaitResident(rstrError) ||
        !baseline.Launch(rstrError) || !baseline.WaitResident(rstrError))
        return kFailed;
    CWindowWatch watch(opt.eDetect);
    if (!watch.IsReady())
        return FailCode(rstrError, "SetWinEventHook failed");

    const std::string strDetect = std::string(DetectName(opt.eDetect)) + "+visibility-poll";
    for (const PopupKind& kind : kKinds)
    {
        if (!state.Set(kind.byStatus))
            return FailCode(rstrError, "the status byte could not be set");
        // The first opening of each loads what later ones reuse: reported apart, and the
        // final colours are learned on it.
        PixelJob kovaJob, baseJob;
        kovaJob.pPixels = baseJob.pPixels = &pixels;
        PopupTimes kovaFirst, baseFirst;
        if (!TimePopup(kova, kKovaHotScan, kind.bEnterCloses, watch, &kovaJob, kovaFirst, rstrError) ||
            !TimePopup(baseline, kBaselineHotScan, kind.bEnterCloses, watch, &baseJob, baseFirst, rstrError))
            return kFailed;
        kovaJob.pFinal = &kovaJob.learned;
        baseJob.pFinal = &baseJob.learned;
        PopupSeries kovaSeries, baseSeries;
        for (int i = 0; i < opt.nRuns; ++i)
        {
            for (int nTurn = 0; nTurn < 2; ++nTurn)
            {
                const bool bKova = (nTurn == 0) == (i % 2 == 0);
                PopupTimes times;
                if (!TimePopup(bKova ? kova : baseline, bKova ? kKovaHotScan : kBaselineHotScan, kind.bEnterCloses,
                               watch, bKova ? &kovaJob : &baseJob, times, rstrError))
                    return kFailed;
                (bKova ? kovaSeries : baseSeries).Add(times);
            }
        }
        Progress(std::string("hotkey ") + kind.pszName + ": " + std::to_string(opt.nRuns) + " pairs");
        const std::string strName = std::string("hotkey.") + kind.pszName;
        EmitPixelSeries(strName, "dialog_baseline", kovaSeries, baseSeries, strDetect.c_str(), kWarmTargetMs,
                        kPixelRatioTarget);
        EmitPaired(strName + ".made", "kova", "dialog_baseline", kovaSeries.made, baseSeries.made,
                   DetectName(opt.eDetect), 0);
        Emit(CJsonLine().Str("name", strName + ".first").Str("unit", "ms").Num("kova", kovaFirst.dFinalMs)
                 .Num("dialog_baseline", baseFirst.dFinalMs).Num("kova_shown", kovaFirst.dShownMs)
                 .Num("dialog_baseline_shown", baseFirst.dShownMs).Num("target", kFirstTargetMs)
                 .Bool("met", kovaFirst.dFinalMs <= kFirstTargetMs)
                 .Int("kova_points", static_cast<long long>(kovaJob.learned.points.size()))
                 .Int("dialog_baseline_points", static_cast<long long>(baseJob.learned.points.size())));
    }
    EmitPolling("hotkey.poll", pixels);
    Emit(CJsonLine().Str("name", "hotkey.missed_events").Str("unit", "count").Int("value", watch.Missed()));
    return baseline.Stop(rstrError) && kova.Stop(rstrError) ? kDone : kFailed;
}

// ---------------------------------------------------------------------------------------------
// First opening after start: the hot key as soon as the program can answer it, while any
// work it does after showing its icon may still run.

// Starts the program, presses the key once it is ready (its tray icon visible or its window
// made, and its thread first waiting for input: Kova's idle work then begins) and times the
// first pop-up. A key that opens nothing is reported in rbLost, and the program ended.
bool TimeFirstAtStart(const Program& program, WORD wHotScan, CWindowWatch& watch, PixelJob& job, PopupTimes& rTimes,
                      double& rdReadyMs, bool& rbLost, std::string& rstrError)
{
    CRunning running(program);
    if (!running.CheckNoneRunning(rstrError) || !WaitForDesktop(*job.pPixels, rstrError))
        return false;
    if (program.uTrayId)
        watch.Arm(IconWindows);
    StepPage().Clear();
    const double dStart = NowMs();
    if (!running.Launch(rstrError))
        return false;
    Sighting icon;
    if (program.uTrayId)
    {
        if (!watch.WaitNew(IconWindows, IsIconWindow, kStartTimeoutMs, icon) ||
            !PollUntil([&] { return ::IsWindowVisible(icon.hWnd) != FALSE; }, kShowTimeoutMs))
            return Fail(rstrError, std::string("no tray icon showed for ") + program.pszExe);
    }
    else if (!PollUntil([&] { return !TopLevelOf(running.Pid(), program.pszClass).empty(); }, kStartTimeoutMs))
    {
        return Fail(rstrError, std::string(program.pszExe) + " made no main window");
    }
    if (!running.WaitInputIdle())
        return Fail(rstrError, std::string(program.pszExe) + " never waited for input");
    rdReadyMs = NowMs() - dStart;
    Sighting seen;
    rbLost = false;
    const bool bOpened = OpenPopup(running, wHotScan, watch, &job, rTimes, seen, rstrError, &rbLost);
    if (!bOpened && !rbLost)
        return false;
    if ((program.uTrayId && !running.AdoptIcon(icon.hWnd, rstrError)) || !running.WaitResident(rstrError))
        return false;
    if (rbLost)
    {
        // The key release, so that no key stays down for the next start.
        SendScanKey(wHotScan, 0, KEYEVENTF_EXTENDEDKEY | KEYEVENTF_KEYUP);
        return running.Stop(rstrError);
    }
    if (!ClosePopup(running, seen.hWnd, wHotScan, false, rstrError) || !running.Stop(rstrError))
        return false;
    rTimes.steps = StepPage().Since(rTimes.dPressMs);
    rTimes.steps.insert(rTimes.steps.end(),
                        {{"made", rTimes.dMadeMs}, {"shown", rTimes.dShownMs}, {"final", rTimes.dFinalMs}});
    return true;
}

// One untimed opening of a program started and left idle, to learn its final colours.
bool LearnAfterStart(const Program& program, WORD wHotScan, CWindowWatch& watch, PixelJob& job,
                     std::string& rstrError)
{
    CRunning running(program);
    PopupTimes times;
    return running.CheckNoneRunning(rstrError) && running.Launch(rstrError) && running.WaitResident(rstrError) &&
           TimePopup(running, wHotScan, false, watch, &job, times, rstrError) && running.Stop(rstrError);
}

int First(const Options& opt, std::string& rstrError)
{
    kovatest::CEmscState state(0x1F);   // the three-button pop-up
    if (!state.IsReady())
        return FailCode(rstrError, "the development EMSC.dll could not be set up");
    kovatest::ParkPointer();
    Pixels pixels;
    pixels.dwPollUs = opt.dwPollUs;
    CWindowWatch watch(opt.eDetect);
    if (!watch.IsReady())
        return FailCode(rstrError, "SetWinEventHook failed");
    PixelJob kovaJob, baseJob;
    kovaJob.pPixels = baseJob.pPixels = &pixels;
    if (!StartPixels(pixels, rstrError) || !LearnAfterStart(kKova, kKovaHotScan, watch, kovaJob, rstrError) ||
        !LearnAfterStart(kDialogBaseline, kBaselineHotScan, watch, baseJob, rstrError))
        return kFailed;
    kovaJob.pFinal = &kovaJob.learned;
    baseJob.pFinal = &baseJob.learned;

    PopupSeries kovaSeries, baseSeries;
    std::vector<double> kovaReady, baseReady;
    std::vector<StepRun> kovaSteps, baseSteps;
    int nKovaLost = 0, nBaseLost = 0;
    for (int i = 0; i < opt.nRuns; ++i)
    {
        // A run counts only when both programs took their key, so that the pairs stay pairs.
        PopupTimes runTimes[2];
        double adReadyMs[2] = {};
        bool abTaken[2] = {};
        for (int nTurn = 0; nTurn < 2; ++nTurn)
        {
            const bool bKova = (nTurn == 0) == (i % 2 == 0);
            int& rnLost = bKova ? nKovaLost : nBaseLost;
            // A start whose key was lost is not timed: started again, twice at most.
            for (int nTry = 0; nTry < 3 && !abTaken[bKova]; ++nTry)
            {
                bool bLost = false;
                if (!TimeFirstAtStart(bKova ? kKova : kDialogBaseline, bKova ? kKovaHotScan : kBaselineHotScan, watch,
                                      bKova ? kovaJob : baseJob, runTimes[bKova], adReadyMs[bKova], bLost, rstrError))
                    return FailCode(rstrError, "start " + std::to_string(i + 1) + ": " + rstrError);
                rnLost += bLost;
                abTaken[bKova] = !bLost;
            }
        }
        if (abTaken[0] && abTaken[1])
        {
            kovaSeries.Add(runTimes[1]);
            baseSeries.Add(runTimes[0]);
            kovaReady.push_back(adReadyMs[1]);
            baseReady.push_back(adReadyMs[0]);
            kovaSteps.push_back(std::move(runTimes[1].steps));
            baseSteps.push_back(std::move(runTimes[0].steps));
        }
        Progress("first opening after start " + std::to_string(i + 1) + "/" + std::to_string(opt.nRuns));
    }
    const std::string strDetect = std::string(DetectName(opt.eDetect)) + "+visibility-poll";
    EmitPixelSeries("first", "dialog_baseline", kovaSeries, baseSeries, strDetect.c_str(), kFirstTargetMs,
                    kPixelRatioTarget);
    EmitPaired("first.ready", "kova", "dialog_baseline", kovaReady, baseReady, "icon visible or window made, then input idle",
               0);
    EmitSteps("first.steps", "the key pressed", "dialog_baseline", kovaSteps, baseSteps);
    // Keys that opened nothing: pressed before the program's keyboard hook was in place.
    Emit(CJsonLine().Str("name", "first.lost_keys").Str("unit", "count").Int("kova", nKovaLost)
             .Int("dialog_baseline", nBaseLost).Int("runs", opt.nRuns)
             .Int("timed_runs", static_cast<long long>(kovaSeries.final.size())));
    EmitPolling("first.poll", pixels);
    return kDone;
}

// ---------------------------------------------------------------------------------------------
// Footprint: what Kova holds after start and after many pop-ups.

// Counts taken every 100 ms until two in a row agree (10 s at most): start-up work that is
// still going on is not a footprint.
bool SettledCensus(DWORD dwPid, kovatest::ProcessCensus& rCensus, bool& rbSettled)
{
    kovatest::ProcessCensus last;
    if (!kovatest::TakeCensus(dwPid, last))
        return false;
    rbSettled = false;
    const double dEnd = NowMs() + 10000;
    while (!rbSettled && NowMs() < dEnd)
    {
        kovatest::ProcessCensus now;
        kovatest::PumpUntil([] { return false; }, 100);
        if (!kovatest::TakeCensus(dwPid, now))
            return false;
        rbSettled = now.nHandles == last.nHandles && now.nGdi == last.nGdi && now.nUser == last.nUser &&
                    now.nThreads == last.nThreads;
        last = now;
    }
    rCensus = last;
    return true;
}

void EmitCensus(const std::string& strName, const kovatest::ProcessCensus& census, const char* pszExtraKey = nullptr,
                bool bExtra = false)
{
    CJsonLine line;
    line.Str("name", strName).Str("unit", "count").Int("handles", census.nHandles).Int("gdi", census.nGdi)
        .Int(census.bUserIsWindows ? "user_windows" : "user", census.nUser).Int("threads", census.nThreads);
    if (pszExtraKey)
        line.Bool(pszExtraKey, bExtra);
    Emit(line);
}

kovatest::ProcessCensus Difference(const kovatest::ProcessCensus& after, const kovatest::ProcessCensus& before)
{
    kovatest::ProcessCensus diff = after;
    diff.nHandles -= before.nHandles;
    diff.nGdi -= before.nGdi;
    diff.nUser -= before.nUser;
    diff.nThreads -= before.nThreads;
    return diff;
}

bool CensusOf(const CRunning& running, const std::string& strName, kovatest::ProcessCensus& rCensus,
              std::string& rstrError)
{
    bool bSettled = false;
    if (!SettledCensus(running.Pid(), rCensus, bSettled))
        return Fail(rstrError, "could not take the census of " + std::string(running.Info().pszExe));
    EmitCensus(strName, rCensus, "settled", bSettled);
    return true;
}

// What a scenario the host may hold needs: the event it sets once it has read a stage (none
// without --hold), the development EMSC.dll, the pointer parked.
bool PrepareHeld(const Options& opt, const kovatest::CEmscState& state, kfw::CHandle& rhGo, std::string& rstrError)
{
    if (!opt.strHoldEvent.empty())
    {
        rhGo.Reset(::CreateEventA(nullptr, FALSE, FALSE, opt.strHoldEvent.c_str()));
        if (!rhGo)
            return Fail(rstrError, "could not create the event " + opt.strHoldEvent);
    }
    if (!state.IsReady())
        return Fail(rstrError, "the development EMSC.dll could not be set up");
    kovatest::ParkPointer();
    return true;
}

// Lets the host read what only it can see (of the running program, if any; after nKeys keys
// if given), then waits for its go-ahead.
bool Hold(HANDLE hGo, const std::string& strStage, const CRunning* pRunning, std::string& rstrError, int nKeys = 0)
{
    if (!hGo)
        return true;
    CJsonLine line;
    line.Str("hold", strStage).Str("program", pRunning ? pRunning->Info().pszName : "none");
    if (pRunning)
        line.Int("pid", pRunning->Pid()).Str("exe", kovatest::BinPath(pRunning->Info().pszExe));
    if (nKeys)
        line.Int("keys", nKeys);
    Emit(line);
    // Asleep until then: the host is measuring how often processes wake.
    const double dEnd = NowMs() + 600000;
    for (double dNow = NowMs(); dNow < dEnd; dNow = NowMs())
    {
        const DWORD dwWake = ::MsgWaitForMultipleObjects(1, &hGo, FALSE, static_cast<DWORD>(dEnd - dNow) + 1,
                                                         QS_ALLINPUT);
        if (dwWake == WAIT_OBJECT_0)
            return true;
        if (dwWake == WAIT_FAILED)
            break;
        PumpOnce(0);
    }
    return Fail(rstrError, "no go-ahead after " + strStage);
}

// Opens and closes Kova's pop-ups, every layout in turn, and takes the census at the
// counts in checkpoints (each after that many pop-ups).
bool CyclePopups(const CRunning& kova, kovatest::CEmscState& state, const Options& opt,
                 const std::vector<int>& checkpoints, std::vector<kovatest::ProcessCensus>& rCensuses,
                 std::vector<double>& rShown, std::string& rstrError)
{
    CWindowWatch watch(opt.eDetect);
    if (!watch.IsReady())
        return Fail(rstrError, "SetWinEventHook failed");
    for (int i = 0; i < opt.nCycles; ++i)
    {
        const PopupKind& kind = kKinds[i % kKindCount];
        PopupTimes times;
        if (!state.Set(kind.byStatus) ||
            !TimePopup(kova, kKovaHotScan, kind.bEnterCloses, watch, nullptr, times, rstrError))
            return Fail(rstrError, "pop-up " + std::to_string(i + 1) + ": " + rstrError);
        rShown.push_back(times.dShownMs);
        if (std::find(checkpoints.begin(), checkpoints.end(), i + 1) != checkpoints.end())
        {
            kovatest::ProcessCensus census;
            if (!CensusOf(kova, "footprint.kova.after_" + std::to_string(i + 1) + "_popups", census, rstrError))
                return false;
            rCensuses.push_back(census);
        }
        if ((i + 1) % 50 == 0)
            Progress("footprint: " + std::to_string(i + 1) + " pop-ups");
    }
    return true;
}

// Starts the program, takes its first census and lets the host look at it.
bool StartForFootprint(CRunning& running, HANDLE hGo, kovatest::ProcessCensus& rStart, std::string& rstrError)
{
    const std::string strName = running.Info().pszName;
    if (!running.Start(rstrError) || !CensusOf(running, "footprint." + strName + ".start", rStart, rstrError))
        return false;
    Emit(CJsonLine().Str("name", "footprint." + strName + ".process").Int("pid", running.Pid())
             .Str("exe", kovatest::BinPath(running.Info().pszExe)));
    return Hold(hGo, strName + "-started", &running, rstrError);
}

int Footprint(const Options& opt, std::string& rstrError)
{
    kovatest::CEmscState state(0x1F);
    kfw::CHandle hGo;
    if (!PrepareHeld(opt, state, hGo, rstrError))
        return kFailed;

    CRunning kova(kKova);
    kovatest::ProcessCensus start;
    if (!StartForFootprint(kova, hGo.Get(), start, rstrError))
        return kFailed;

    // Censuses after the same layout as the last pop-up, so that they compare: once every
    // layout has been opened (what the first openings load stays), half way, at the end.
    // Growth from half way to the end is what each pop-up leaves behind.
    const int nWarm = std::min(opt.nCycles, kKindCount + opt.nCycles % kKindCount);
    const int nHalf = nWarm + kKindCount * ((opt.nCycles - nWarm) / (2 * kKindCount));
    std::vector<int> checkpoints = {nWarm, nHalf, opt.nCycles};
    checkpoints.erase(std::unique(checkpoints.begin(), checkpoints.end()), checkpoints.end());
    std::vector<kovatest::ProcessCensus> censuses;
    std::vector<double> shown;
    if (!CyclePopups(kova, state, opt, checkpoints, censuses, shown, rstrError))
        return kFailed;
    const std::string strEnd = std::to_string(opt.nCycles);
    EmitCensus("footprint.kova.growth_from_start_to_" + strEnd, Difference(censuses.back(), start));
    for (size_t i = 0; i + 1 < checkpoints.size(); ++i)
        EmitCensus("footprint.kova.growth_from_" + std::to_string(checkpoints[i]) + "_to_" + strEnd,
                   Difference(censuses.back(), censuses[i]));
    Emit(CJsonLine().Str("name", "footprint.kova.popup_shown").Str("unit", "ms").Stats(Summarise(shown)));
    if (!Hold(hGo.Get(), "kova-cycled", &kova, rstrError) || !kova.Stop(rstrError))
        return kFailed;

    CRunning baseline(kTrayBaseline);
    kovatest::ProcessCensus base;
    if (!StartForFootprint(baseline, hGo.Get(), base, rstrError) || !baseline.Stop(rstrError))
        return kFailed;
    return kDone;
}

// ---------------------------------------------------------------------------------------------
// Key wait: a key of another program while the resident program is busy.

const DWORD kSlowCallMs = 1500;

int KeyWait(const Options& opt, std::string& rstrError)
{
    kovatest::CEmscState state(0x1F);
    if (!state.IsReady())
        return FailCode(rstrError, "the development EMSC.dll could not be set up");
    kovatest::ParkPointer();
    kovatest::CTypingWindow typing;
    kfw::CHandle hNotify(::CreateEventA(nullptr, FALSE, FALSE, kovae2e::kNotifyEvent));
    std::vector<double> kova, base;

    CRunning running(kKova);
    if (!running.Start(rstrError))
        return kFailed;
    if (!state.SetDelay(kSlowCallMs))
        return FailCode(rstrError, "the development EMSC.dll took no delay");
    for (int i = 0; i < opt.nRuns; ++i)
    {
        // The key goes in a moment after the read has begun, and the next read only once
        // this one is over.
        ::SetForegroundWindow(typing.Get());
        ::SetEvent(hNotify.Get());
        const double dStart = NowMs();
        PollUntil([&] { return NowMs() - dStart >= 200; }, 1000);
        const double dWait = typing.Type();
        if (dWait < 0)
            return FailCode(rstrError, "a key never reached the driver's window");
        kova.push_back(dWait);
        PollUntil([&] { return NowMs() - dStart >= kSlowCallMs + 300; }, kSlowCallMs + 1000);
    }
    state.SetDelay(0);
    if (!running.Stop(rstrError))
        return kFailed;

    CRunning baseline(kDialogBaseline);
    if (!baseline.Start(rstrError))
        return kFailed;
    for (int i = 0; i < opt.nRuns; ++i)
    {
        ::SetForegroundWindow(typing.Get());
        const double dWait = typing.Type();
        if (dWait < 0)
            return FailCode(rstrError, "a key never reached the driver's window");
        base.push_back(dWait);
    }
    if (!baseline.Stop(rstrError))
        return kFailed;
    EmitPaired("keywait", "kova", "dialog_baseline", kova, base, "keydown", 0);
    return kDone;
}

// ---------------------------------------------------------------------------------------------
// Typing: what a resident program adds to every key typed into another program.

// One key this often: faster than anyone types, yet far apart enough that a resident program
// is done with a key, press and release, before the next comes; so each key wakes it as
// typing does, never one wake-up for several keys.
const double kKeyEveryMs = 20;
// Untimed keys first in each case: what a program does once, after its start or at its
// first keys, is no part of what typing costs.
const int kWarmKeys = 20;
// Nothing resident, the bare hook, Kova.
const int kTypingCases = 3;

const char* CaseName(const Program* pProgram)
{
    return pProgram ? pProgram->pszName : "none";
}

// nKeys keys into the typing window at that pace; the delay of each into pDelays if given.
bool TypeKeys(kovatest::CTypingWindow& typing, int nKeys, std::vector<double>* pDelays, std::string& rstrError)
{
    ::SetForegroundWindow(typing.Get());
    for (int i = 0; i < nKeys; ++i)
    {
        const double dNext = NowMs() + kKeyEveryMs;
        const double dDelay = typing.Type();
        if (dDelay < 0)
            return Fail(rstrError, "a key never reached the driver's window");
        if (pDelays)
            pDelays->push_back(dDelay);
        kovatest::PumpUntil([&] { return NowMs() >= dNext; }, static_cast<DWORD>(kKeyEveryMs) + 1000);
    }
    return true;
}

// One case: the program resident (null: nothing is), the warm keys, then the timed ones
// between the host's two readings.
bool TypeWith(const Program* pProgram, kovatest::CTypingWindow& typing, HANDLE hGo, int nKeys,
              std::vector<double>& rDelays, std::string& rstrError)
{
    std::optional<CRunning> running;
    if (pProgram && !running.emplace(*pProgram).Start(rstrError))
        return false;
    CRunning* const pRunning = running ? &*running : nullptr;
    const std::string strStage = std::string("typing-") + CaseName(pProgram);
    ::SetWindowTextA(typing.Get(), "");
    return TypeKeys(typing, kWarmKeys, nullptr, rstrError) && Hold(hGo, strStage + "-start", pRunning, rstrError) &&
           TypeKeys(typing, nKeys, &rDelays, rstrError) &&
           Hold(hGo, strStage + "-typed", pRunning, rstrError, nKeys) && (!pRunning || pRunning->Stop(rstrError));
}

int Typing(const Options& opt, std::string& rstrError)
{
    kovatest::CEmscState state(0x1F);
    kfw::CHandle hGo;
    if (!PrepareHeld(opt, state, hGo, rstrError))
        return kFailed;
    kovatest::CTypingWindow typing;

    // The baseline's hook acts only on its own key (scan code 0x05), Kova on 0x04 and 0x71:
    // the typed "a" is nothing to either.
    const Program* const apCases[kTypingCases] = {nullptr, &kDialogBaseline, &kKova};
    std::vector<double> delays[kTypingCases];
    // Each case once in each place of the order, a third of the keys a round: what else the
    // machine does over the run weighs on all three alike.
    for (int nRound = 0; nRound < kTypingCases; ++nRound)
    {
        const int nKeys = opt.nKeys * (nRound + 1) / kTypingCases - opt.nKeys * nRound / kTypingCases;
        for (int nTurn = 0; nTurn < kTypingCases; ++nTurn)
        {
            const int nCase = (nRound + nTurn) % kTypingCases;
            if (!TypeWith(apCases[nCase], typing, hGo.Get(), nKeys, delays[nCase], rstrError))
                return FailCode(rstrError, std::string("typing with ") + CaseName(apCases[nCase]) + " resident: " +
                                               rstrError);
        }
        Progress("typing: round " + std::to_string(nRound + 1) + "/" + std::to_string(kTypingCases));
    }
    for (int i = 0; i < kTypingCases; ++i)
        Emit(TimedLine(std::string("typing.") + CaseName(apCases[i]), Summarise(delays[i]), "keydown")
                 .Num("p95", Percentile(delays[i], 0.95)).Num("key_every_ms", kKeyEveryMs).Nums("samples", delays[i]));
    const double dNone = Summarise(delays[0]).dMedian;
    const double dBase = Summarise(delays[1]).dMedian, dKova = Summarise(delays[2]).dMedian;
    // The added delay says what each resident costs; the plain one, what the user feels.
    Emit(CJsonLine().Str("name", "typing.ratio").Str("unit", "x").Num("ratio_of_medians", dKova / dBase)
             .Num("ratio_of_p95", Percentile(delays[2], 0.95) / Percentile(delays[1], 0.95))
             .Num("ratio_of_added_medians", (dKova - dNone) / (dBase - dNone)));
    return kDone;
}

int Usage(const char* pszWhy)
{
    fprintf(stderr,
            "kovabench: %s\n"
            "usage: kovabench startup [--runs N] [--detect winevent|poll]\n"
            "       kovabench hotkey|first [--runs N] [--poll-us N] [--detect winevent|poll]\n"
            "       kovabench keywait [--runs N]\n"
            "       kovabench typing [--keys N] [--hold EVENT]\n"
            "       kovabench footprint [--cycles N] [--hold EVENT] [--detect winevent|poll]\n",
            pszWhy);
    return kUsage;
}

bool ParseCount(const char* psz, int nMin, int& rn)
{
    char* pEnd = nullptr;
    const long l = strtol(psz, &pEnd, 10);
    if (pEnd == psz || *pEnd || l < nMin || l > 100000)
        return false;
    rn = static_cast<int>(l);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return Usage("no command");
    const std::string strCmd = argv[1];
    Options opt;
    for (int i = 2; i < argc; ++i)
    {
        const std::string strArg = argv[i];
        const char* pszValue = i + 1 < argc ? argv[i + 1] : nullptr;
        if (!pszValue)
            return Usage(("no value after " + strArg).c_str());
        ++i;
        if (strArg == "--runs" && strCmd != "footprint")
        {
            // Fewer pairs than this give medians that move from run to run.
            if (!ParseCount(pszValue, 15, opt.nRuns))
                return Usage("--runs takes a number of 15 or more");
        }
        else if (strArg == "--cycles" && strCmd == "footprint")
        {
            if (!ParseCount(pszValue, 1, opt.nCycles))
                return Usage("--cycles takes a positive number");
        }
        else if (strArg == "--poll-us" && strCmd != "footprint")
        {
            int nPoll = 0;
            if (!ParseCount(pszValue, 0, nPoll) || nPoll > 10000)
                return Usage("--poll-us takes a number of microseconds up to 10000");
            opt.dwPollUs = static_cast<DWORD>(nPoll);
        }
        else if (strArg == "--keys" && strCmd == "typing")
        {
            // Fewer keys than this leave the 95th percentile to a handful of them.
            if (!ParseCount(pszValue, 100, opt.nKeys))
                return Usage("--keys takes a number of 100 or more");
        }
        else if (strArg == "--hold" && (strCmd == "footprint" || strCmd == "typing"))
            opt.strHoldEvent = pszValue;
        else if (strArg == "--detect" && (strcmp(pszValue, "winevent") == 0 || strcmp(pszValue, "poll") == 0))
            opt.eDetect = strcmp(pszValue, "poll") == 0 ? Detect::Poll : Detect::WinEvent;
        else
            return Usage(("bad option " + strArg + " " + pszValue).c_str());
    }

    std::string strError;
    int nCode = kUsage;
    if (strCmd == "startup")
        nCode = Startup(opt, strError);
    else if (strCmd == "hotkey")
        nCode = Hotkey(opt, strError);
    else if (strCmd == "first")
        nCode = First(opt, strError);
    else if (strCmd == "footprint")
        nCode = Footprint(opt, strError);
    else if (strCmd == "keywait")
        nCode = KeyWait(opt, strError);
    else if (strCmd == "typing")
        nCode = Typing(opt, strError);
    else
        return Usage(("unknown command " + strCmd).c_str());
    if (nCode != kDone)
        Progress(strCmd + " failed: " + (strError.empty() ? std::string("unknown error") : strError));
    return nCode;
}
