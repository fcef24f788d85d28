// kovabench: Kova.exe end to end against the least programs that do the same jobs
// (bench/baselines), measured in one run. One JSON object per line on stdout, progress and
// errors on stderr. Exit code 0 done, 1 something did not happen in time or failed, 2 bad
// arguments.
//
//   kovabench startup [--runs N] [--detect winevent|poll]
//       start until the tray icon shows: Kova.exe against tray_baseline.exe, in pairs
//   kovabench hotkey [--runs N] [--detect winevent|poll]
//       hot key press until the pop-up shows centred: Kova's three-button and one-button
//       pop-ups and its switch-off notice, each against dialog_baseline.exe, in pairs
//   kovabench footprint [--cycles N] [--hold EVENT] [--detect winevent|poll]
//       handles, GDI objects, windows and threads of Kova after start, once every layout
//       has opened, half way and after N pop-ups, and of tray_baseline.exe. With --hold it prints a
//       {"hold":...} line at each stage and waits until EVENT is set, so that figures only
//       the host can read (memory, CPU time) are taken there.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "BenchStats.h"
#include "WindowWatch.h"
#include "kova/KovaSession.h"
#include "support/ProcessCensus.h"
#include "support/TestSupport.h"
#include "support/TrayObserver.h"

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
    Detect eDetect = Detect::WinEvent;
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
};

bool TimeStart(const Program& program, CWindowWatch& watch, StartTimes& rTimes, std::string& rstrError)
{
    CRunning running(program);
    if (!running.CheckNoneRunning(rstrError))
        return false;
    watch.Arm(IconWindows);
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
    return running.AdoptIcon(seen.hWnd, rstrError) && running.WaitResident(rstrError) && running.Stop(rstrError);
}

void EmitPaired(const std::string& strName, const char* pszA, const char* pszB, const std::vector<double>& a,
                const std::vector<double>& b, const char* pszDetect, double dTarget)
{
    const PairSummary pair = SummarisePairs(a, b);
    Emit(CJsonLine().Str("name", strName + "." + pszA).Str("unit", "ms").Stats(pair.a).Str("detect", pszDetect));
    Emit(CJsonLine().Str("name", strName + "." + pszB).Str("unit", "ms").Stats(pair.b).Str("detect", pszDetect));
    CJsonLine ratio;
    ratio.Str("name", strName + ".ratio").Str("unit", "x").Stats(pair.ratios).Num("ratio_of_medians",
                                                                                  pair.dRatioOfMedians);
    if (dTarget > 0)
        ratio.Num("target", dTarget).Bool("met", pair.dRatioOfMedians <= dTarget);
    Emit(ratio);
}

int Startup(const Options& opt, std::string& rstrError)
{
    kovae2e::CRadioState state(0x1F);
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
        }
        Progress("startup run " + std::to_string(i + 1) + "/" + std::to_string(opt.nRuns));
    }
    const std::string strDetect = std::string(DetectName(opt.eDetect)) + "+1ms-visibility-poll";
    EmitPaired("startup", "kova", "tray_baseline", kovaShown, baseShown, strDetect.c_str(), 1.1);
    EmitPaired("startup.icon_made", "kova", "tray_baseline", kovaMade, baseMade, DetectName(opt.eDetect), 0);
    Emit(CJsonLine().Str("name", "startup.missed_events").Str("unit", "count")
             .Int("value", watch.Missed() - nMissedBefore).Int("untimed", nMissedBefore));
    return kDone;
}

// ---------------------------------------------------------------------------------------------
// Hot key: the press until the pop-up is visible in the middle of the screen.

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

struct PopupTimes {
    double dMadeMs = 0;    // the pop-up's window made
    double dShownMs = 0;   // visible in its place
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

bool TimePopup(const CRunning& running, WORD wHotScan, bool bEnterCloses, CWindowWatch& watch, PopupTimes& rTimes,
               std::string& rstrError)
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

    watch.Arm(list);
    const double dPress = NowMs();
    if (!SendScanKey(wHotScan, 0, KEYEVENTF_EXTENDEDKEY))
        return Fail(rstrError, "SendInput failed");
    Sighting seen;
    if (!watch.WaitNew(list, test, kShowTimeoutMs, seen))
        return Fail(rstrError, "no pop-up of " + strWho + " within 5 s of the hot key");
    double dShown = 0;
    if (!PollUntil([&] { return IsShownCentred(seen.hWnd); }, kShowTimeoutMs, &dShown))
        return Fail(rstrError, "the pop-up of " + strWho + " was made but not shown centred: " +
                                   DescribeWindow(seen.hWnd, seen.dSeenMs - dPress));
    rTimes.dMadeMs = seen.dSeenMs - dPress;
    rTimes.dShownMs = dShown - dPress;

    // Kova's notice takes Enter from its keyboard hook, by scan code. With a virtual key the
    // key message itself would stay queued behind the notice's close, and the dialog manager
    // of the next pop-up, opened before it is read, would take it for its own Enter. The
    // baseline's dialog manager needs the virtual key.
    const WORD wEnterVk = wHotScan == kKovaHotScan ? 0 : VK_RETURN;
    if (!SendScanKey(wHotScan, 0, KEYEVENTF_EXTENDEDKEY | KEYEVENTF_KEYUP) ||
        !(bEnterCloses ? StrokeScanKey(0x1C, wEnterVk) : StrokeScanKey(0x01, VK_ESCAPE)))
        return Fail(rstrError, "SendInput failed");
    if (!PollUntil([&] { return !::IsWindow(seen.hWnd); }, kShowTimeoutMs))
        return Fail(rstrError, std::string("the pop-up of ") + strWho + " did not close on " +
                                   (bEnterCloses ? "Enter" : "Esc"));
    // Answered only once its thread is back in its own message loop, with its hook in place.
    DWORD_PTR dwResult = 0;
    if (!::SendMessageTimeoutA(running.Main(), WM_NULL, 0, 0, SMTO_NORMAL, kShowTimeoutMs, &dwResult))
        return Fail(rstrError, strWho + " does not answer after its pop-up");
    return true;
}

int Hotkey(const Options& opt, std::string& rstrError)
{
    kovae2e::CRadioState state(0x1F);
    if (!state.IsReady())
        return FailCode(rstrError, "the development EMSC.dll could not be set up");
    // A pointer resting on a pop-up holds it open and changes what it shows.
    kovatest::ParkPointer();
    CRunning kova(kKova), baseline(kDialogBaseline);
    if (!kova.CheckNoneRunning(rstrError) || !kova.Launch(rstrError) || !kova.WaitResident(rstrError) ||
        !baseline.CheckNoneRunning(rstrError) || !baseline.Launch(rstrError) || !baseline.WaitResident(rstrError))
        return kFailed;
    CWindowWatch watch(opt.eDetect);
    if (!watch.IsReady())
        return FailCode(rstrError, "SetWinEventHook failed");

    const std::string strDetect = std::string(DetectName(opt.eDetect)) + "+1ms-visibility-poll";
    for (const PopupKind& kind : kKinds)
    {
        if (!state.Set(kind.byStatus))
            return FailCode(rstrError, "the status byte could not be set");
        // The first opening of each is reported apart: it loads what later ones reuse.
        PopupTimes kovaFirst, baseFirst;
        if (!TimePopup(kova, kKovaHotScan, kind.bEnterCloses, watch, kovaFirst, rstrError) ||
            !TimePopup(baseline, kBaselineHotScan, kind.bEnterCloses, watch, baseFirst, rstrError))
            return kFailed;
        std::vector<double> kovaShown, baseShown, kovaMade, baseMade;
        for (int i = 0; i < opt.nRuns; ++i)
        {
            for (int nTurn = 0; nTurn < 2; ++nTurn)
            {
                const bool bKova = (nTurn == 0) == (i % 2 == 0);
                PopupTimes times;
                if (!TimePopup(bKova ? kova : baseline, bKova ? kKovaHotScan : kBaselineHotScan, kind.bEnterCloses,
                               watch, times, rstrError))
                    return kFailed;
                (bKova ? kovaShown : baseShown).push_back(times.dShownMs);
                (bKova ? kovaMade : baseMade).push_back(times.dMadeMs);
            }
        }
        Progress(std::string("hotkey ") + kind.pszName + ": " + std::to_string(opt.nRuns) + " pairs");
        const std::string strName = std::string("hotkey.") + kind.pszName;
        EmitPaired(strName, "kova", "dialog_baseline", kovaShown, baseShown, strDetect.c_str(), 1.5);
        EmitPaired(strName + ".made", "kova", "dialog_baseline", kovaMade, baseMade, DetectName(opt.eDetect), 0);
        Emit(CJsonLine().Str("name", strName + ".first").Str("unit", "ms").Num("kova", kovaFirst.dShownMs)
                 .Num("dialog_baseline", baseFirst.dShownMs));
    }
    Emit(CJsonLine().Str("name", "hotkey.missed_events").Str("unit", "count").Int("value", watch.Missed()));
    return baseline.Stop(rstrError) && kova.Stop(rstrError) ? kDone : kFailed;
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

// Lets the host read what only it can see, then waits for its go-ahead.
bool Hold(HANDLE hGo, const char* pszStage, const CRunning& running, std::string& rstrError)
{
    if (!hGo)
        return true;
    Emit(CJsonLine().Str("hold", pszStage).Str("program", running.Info().pszName).Int("pid", running.Pid())
             .Str("exe", kovatest::BinPath(running.Info().pszExe)));
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
    return Fail(rstrError, std::string("no go-ahead after ") + pszStage);
}

// Opens and closes Kova's pop-ups, every layout in turn, and takes the census at the
// counts in checkpoints (each after that many pop-ups).
bool CyclePopups(const CRunning& kova, kovae2e::CRadioState& state, const Options& opt,
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
        if (!state.Set(kind.byStatus) || !TimePopup(kova, kKovaHotScan, kind.bEnterCloses, watch, times, rstrError))
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

int Footprint(const Options& opt, std::string& rstrError)
{
    kfw::CHandle hGo;
    if (!opt.strHoldEvent.empty())
    {
        hGo.Reset(::CreateEventA(nullptr, FALSE, FALSE, opt.strHoldEvent.c_str()));
        if (!hGo)
            return FailCode(rstrError, "could not create the event " + opt.strHoldEvent);
    }
    kovae2e::CRadioState state(0x1F);
    if (!state.IsReady())
        return FailCode(rstrError, "the development EMSC.dll could not be set up");
    kovatest::ParkPointer();

    CRunning kova(kKova);
    kovatest::ProcessCensus start;
    if (!kova.CheckNoneRunning(rstrError) || !kova.Launch(rstrError) || !kova.WaitResident(rstrError) ||
        !CensusOf(kova, "footprint.kova.start", start, rstrError))
        return kFailed;
    Emit(CJsonLine().Str("name", "footprint.kova.process").Int("pid", kova.Pid())
             .Str("exe", kovatest::BinPath("Kova.exe")));
    if (!Hold(hGo.Get(), "kova-started", kova, rstrError))
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
    if (!Hold(hGo.Get(), "kova-cycled", kova, rstrError) || !kova.Stop(rstrError))
        return kFailed;

    CRunning baseline(kTrayBaseline);
    kovatest::ProcessCensus base;
    if (!baseline.CheckNoneRunning(rstrError) || !baseline.Launch(rstrError) || !baseline.WaitResident(rstrError) ||
        !CensusOf(baseline, "footprint.tray_baseline.start", base, rstrError))
        return kFailed;
    Emit(CJsonLine().Str("name", "footprint.tray_baseline.process").Int("pid", baseline.Pid())
             .Str("exe", kovatest::BinPath(kTrayBaseline.pszExe)));
    if (!Hold(hGo.Get(), "tray_baseline-started", baseline, rstrError) || !baseline.Stop(rstrError))
        return kFailed;
    return kDone;
}

int Usage(const char* pszWhy)
{
    fprintf(stderr,
            "kovabench: %s\n"
            "usage: kovabench startup|hotkey [--runs N] [--detect winevent|poll]\n"
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
        else if (strArg == "--hold" && strCmd == "footprint")
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
    else if (strCmd == "footprint")
        nCode = Footprint(opt, strError);
    else
        return Usage(("unknown command " + strCmd).c_str());
    if (nCode != kDone)
        Progress(strCmd + " failed: " + (strError.empty() ? std::string("unknown error") : strError));
    return nCode;
}
