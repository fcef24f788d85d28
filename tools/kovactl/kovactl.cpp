// kovactl: shows and switches the radios from a console, and tells a running Kova to
// re-read the state or to quit. The radio rules are the controller's (ApplyModeCode);
// this file only reads the command line, checks what the hardware allows, and reports.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "res/KovaNames.h"
#include "framework/Handles.h"
#include "framework/Trace.h"
#include "radio/EmscAccess.h"
#include "radio/PolicyRead.h"
#include "radio/RadioBits.h"
#include "radio/SystemController.h"
#include "tools/kovactl/DiagProbe.h"

namespace {

// Exit codes; the usage text lists them too.
enum ExitCode {
    EXIT_OK = 0,
    EXIT_USAGE = 1,
    EXIT_NO_LIBRARY = 2,
    EXIT_NO_ENTRY = 3,
    EXIT_SWITCH_OFF = 4,
    EXIT_NOT_FITTED = 5,
    EXIT_SIGNAL_FAILED = 6,
    EXIT_NO_ANSWER = 7,
    EXIT_POLICY = 8,
};

const char USAGE[] =
    "Shows and switches the notebook's WiFi and Bluetooth radios.\n"
    "\n"
    "KOVACTL status [--json]\n"
    "KOVACTL set {both | wifi | bt}\n"
    "KOVACTL refresh\n"
    "KOVACTL quit\n"
    "KOVACTL diag [--json]\n"
    "\n"
    "  status    Shows which radios are fitted, whether each is on, the\n"
    "            position of the hardware radio switch, and which radios the\n"
    "            organisation's policy forbids switching on.\n"
    "  --json    Prints the status as one JSON object.\n"
    "  set       Switches the radios as Kova's pop-up does, then tells a running\n"
    "            Kova to show the change:\n"
    "              both  WiFi and Bluetooth on (both must be fitted)\n"
    "              wifi  WiFi on; Bluetooth off when it is fitted\n"
    "              bt    Bluetooth on; WiFi off when it is fitted\n"
    "            Refused while the hardware switch is off, and when it would\n"
    "            switch on a radio the organisation's policy forbids.\n"
    "  refresh   Tells a running Kova to read the radio state again.\n"
    "  quit      Tells a running Kova to close.\n"
    "  diag      Shows a report for a support request: Kova's version, Windows,\n"
    "            which EMSC.dll loads and the status byte it gives, whether Kova\n"
    "            runs, its semaphore and its tray icon. --json prints it as one\n"
    "            JSON object. Exits as status would.\n"
    "  /?        Shows this help.\n"
    "\n"
    "Exit codes:\n"
    "  0  Success.\n"
    "  1  Invalid command line.\n"
    "  2  EMSC.dll was not found.\n"
    "  3  EMSC.dll has no EMSCEvaluate entry point.\n"
    "  4  Refused: the hardware radio switch is off.\n"
    "  5  Refused: a radio the mode needs is not fitted.\n"
    "  6  Kova could not be signalled.\n"
    "  7  EMSC.dll does not answer.\n"
    "  8  Refused: the organisation's policy forbids switching that radio on.\n";

// Windows console tools name the bad argument and point at the help.
int UsageError(const std::string& strWhat)
{
    std::fprintf(stderr, "ERROR: %s\nType \"KOVACTL /?\" for usage.\n", strWhat.c_str());
    return EXIT_USAGE;
}

bool IsHelp(const char* pszArg)
{
    return !std::strcmp(pszArg, "/?") || !std::strcmp(pszArg, "-?") || !_stricmp(pszArg, "--help") ||
           !_stricmp(pszArg, "-h") || !_stricmp(pszArg, "/h") || !_stricmp(pszArg, "help");
}

// The controller writes debugger lines for every query; a console tool keeps them quiet.
void DiscardTrace(const char*)
{
}

// Loads the library the trusted way for the scope of one command: EXIT_OK, or the exit
// code after the error has been printed.
int OpenEmsc(CEmscAccess& emsc)
{
    switch (emsc.Load())
    {
    case EmscLoad::NotFound:
        std::fputs("ERROR: EMSC.dll was not found beside kovactl.exe or in the system folders.\n", stderr);
        return EXIT_NO_LIBRARY;
    case EmscLoad::NoEntryPoint:
        std::fputs("ERROR: EMSC.dll has no EMSCEvaluate entry point.\n", stderr);
        return EXIT_NO_ENTRY;
    case EmscLoad::Loaded:
        break;
    }
    return EXIT_OK;
}

// A fresh read of the status byte; EXIT_OK, or EXIT_NO_ANSWER after saying so.
int ReadStatus(SystemController& controller)
{
    controller.QueryWsBlStatus();
    if (controller.LastReadAnswered())
        return EXIT_OK;
    std::fputs("ERROR: EMSC.dll does not answer.\n", stderr);
    return EXIT_NO_ANSWER;
}

// The library loaded and a fresh read made: EXIT_OK, or the exit code after the error.
int OpenAndRead(CEmscAccess& emsc, SystemController& controller)
{
    const int nErr = OpenEmsc(emsc);
    return nErr ? nErr : ReadStatus(controller);
}

// Sets one of Kova's auto-reset events, creating it when Kova has not (then nobody waits
// for it and the signal goes with this process, which is harmless).
int SignalKova(const char* pszEvent)
{
    kfw::CHandle hEvent(::CreateEventA(nullptr, FALSE, FALSE, pszEvent));
    const bool bKovaRuns = hEvent && ::GetLastError() == ERROR_ALREADY_EXISTS;
    if (!hEvent || !::SetEvent(hEvent.Get()))
    {
        std::fprintf(stderr, "ERROR: cannot signal %s (error %lu).\n", pszEvent, ::GetLastError());
        return EXIT_SIGNAL_FAILED;
    }
    if (!bKovaRuns)
        std::puts("Kova is not running; nothing to tell it.");
    return EXIT_OK;
}

const char* Describe(BOOL bFitted, BOOL bOn)
{
    return DescribeRadio(bFitted != FALSE, bOn != FALSE);
}

const char* JsonBool(BOOL b)
{
    return b ? "true" : "false";
}

int CmdStatus(bool bJson)
{
    CEmscAccess emsc;
    SystemController controller;
    if (const int nErr = OpenAndRead(emsc, controller))
        return nErr;
    const BOOL bWlanFitted = controller.IsWirelessExist();
    const BOOL bWlanOn = controller.IsWirelessOn();
    const BOOL bBtFitted = controller.IsBluetoothExist();
    const BOOL bBtOn = controller.IsBluetoothOn();
    const BOOL bSwitchOn = controller.IsKillSwitchOn();
    const RadioPolicy policy = ReadRadioPolicy();
    const auto Word = [](bool bForbidden) { return bForbidden ? "forbidden" : "allowed"; };
    if (bJson)
    {
        std::printf("{\"status\": %u, \"wifi\": {\"fitted\": %s, \"on\": %s}, "
                    "\"bluetooth\": {\"fitted\": %s, \"on\": %s}, \"switch\": \"%s\", "
                    "\"policy\": {\"bluetooth\": \"%s\", \"wifi\": \"%s\"}}\n",
                    static_cast<unsigned>(controller.returnECData), JsonBool(bWlanFitted), JsonBool(bWlanOn),
                    JsonBool(bBtFitted), JsonBool(bBtOn), bSwitchOn ? "on" : "off",
                    Word(policy.bBluetoothForbidden), Word(policy.bWirelessForbidden));
    }
    else
    {
        std::printf("WiFi:            %s\n", Describe(bWlanFitted, bWlanOn));
        std::printf("Bluetooth:       %s\n", Describe(bBtFitted, bBtOn));
        std::printf("Hardware switch: %s\n", bSwitchOn ? "on" : "off (radios cut)");
        std::printf("Policy:          WiFi %s, Bluetooth %s\n", Word(policy.bWirelessForbidden),
                    Word(policy.bBluetoothForbidden));
    }
    return EXIT_OK;
}

// The whole report is printed whatever it found; the exit code is what status would give.
int CmdDiag(bool bJson)
{
    const DiagFacts facts = ProbeDiagnostics();
    if (bJson)
        std::fputs(DiagJson(facts).c_str(), stdout);
    else
        PrintUtf8(DiagText(facts));
    return !LoadedLibrary(facts)                 ? EXIT_NO_LIBRARY
           : !facts.bEntryPoint                  ? EXIT_NO_ENTRY
           : facts.eRead == DiagRead::NoAnswer   ? EXIT_NO_ANSWER
                                                 : EXIT_OK;
}

struct ModeName {
    const char* pszName;
    int nModeCode;
    bool bNeedsWlan;
    bool bNeedsBt;
};
const ModeName MODES[] = {
    {"both", MODE_BOTH_ON, true, true},
    {"wifi", MODE_WIFI_ONLY, true, false},
    {"bt", MODE_BT_ONLY, false, true},
};

int CmdSet(const ModeName& mode)
{
    CEmscAccess emsc;
    SystemController controller;
    if (const int nErr = OpenAndRead(emsc, controller))
        return nErr;
    if (!controller.IsKillSwitchOn())
    {
        std::fputs("ERROR: the hardware radio switch is off; turn it on first.\n", stderr);
        return EXIT_SWITCH_OFF;
    }
    const BOOL bWlanFitted = controller.IsWirelessExist();
    const BOOL bBtFitted = controller.IsBluetoothExist();
    if ((mode.bNeedsWlan && !bWlanFitted) || (mode.bNeedsBt && !bBtFitted))
    {
        std::fprintf(stderr, "ERROR: \"%s\" needs %s, which this machine does not have.\n", mode.pszName,
                     mode.bNeedsWlan && mode.bNeedsBt ? "both WiFi and Bluetooth"
                     : mode.bNeedsWlan                ? "WiFi"
                                                      : "Bluetooth");
        return EXIT_NOT_FITTED;
    }
    Radio eForbidden = Radio::Wlan;
    if (ModeSwitchesForbiddenOn(mode.nModeCode, RadioFlagsFromStatus(controller.returnECData), ReadRadioPolicy(),
                                eForbidden))
    {
        std::fprintf(stderr, "ERROR: refused: the organisation's policy forbids switching %s on.\n",
                     eForbidden == Radio::Wlan ? "WiFi" : "Bluetooth");
        return EXIT_POLICY;
    }
    // A read inside the mode that goes unanswered writes nothing, and every call after it
    // fails at once, so the read below reports it.
    ApplyModeCode(controller, mode.nModeCode, bWlanFitted && bBtFitted);
    if (const int nErr = ReadStatus(controller))
        return nErr;
    std::printf("WiFi %s, Bluetooth %s.\n", Describe(bWlanFitted, controller.IsWirelessOn()),
                Describe(bBtFitted, controller.IsBluetoothOn()));
    return SignalKova(KOVA_NOTIFY_EVENT_NAME);
}

int Run(int argc, char** argv)
{
    if (argc < 2)
        return UsageError("no command given.");
    if (IsHelp(argv[1]))
    {
        std::fputs(USAGE, stdout);
        return EXIT_OK;
    }
    const char* pszCmd = argv[1];
    const bool bStatus = !_stricmp(pszCmd, "status");
    if (bStatus || !_stricmp(pszCmd, "diag"))
    {
        bool bJson = false;
        for (int i = 2; i < argc; ++i)
        {
            if (_stricmp(argv[i], "--json") != 0 && _stricmp(argv[i], "/json") != 0)
                return UsageError(std::string("Invalid argument/option - '") + argv[i] + "'.");
            bJson = true;
        }
        return bStatus ? CmdStatus(bJson) : CmdDiag(bJson);
    }
    if (!_stricmp(pszCmd, "set"))
    {
        if (argc != 3)
            return UsageError(argc < 3 ? "set needs a mode: both, wifi or bt." : "set takes one mode.");
        for (const ModeName& mode : MODES)
            if (!_stricmp(argv[2], mode.pszName))
                return CmdSet(mode);
        return UsageError(std::string("Invalid mode - '") + argv[2] + "'; use both, wifi or bt.");
    }
    const bool bRefresh = !_stricmp(pszCmd, "refresh");
    if (bRefresh || !_stricmp(pszCmd, "quit"))
    {
        if (argc != 2)
            return UsageError(std::string("Invalid argument/option - '") + argv[2] + "'.");
        return SignalKova(bRefresh ? KOVA_NOTIFY_EVENT_NAME : KOVA_CLOSE_EVENT_NAME);
    }
    return UsageError(std::string("Invalid command - '") + pszCmd + "'.");
}

} // namespace

// MinGW's start-up code expands wildcards in the arguments; "/?" must reach us as typed.
extern "C" {
int _dowildcard = 0;   // NOLINT(readability-identifier-naming): the name the runtime looks for
}

int main(int argc, char** argv)
{
    kfw::SetTraceSink(DiscardTrace);
    return Run(argc, argv);
}
