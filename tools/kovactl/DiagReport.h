// What "kovactl diag" found, as plain values, and the report it prints from them as text
// or as one JSON object. No Windows header here: this builds and tests natively as well.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "radio/RadioPolicy.h"

// Where the Kova.exe the report is about was found; its folder is where EMSC.dll is looked
// for, as Kova itself looks.
enum class DiagKovaSource { None, BesideKovactl, RunEntry, Running, InstallLocation };
// "Dorn_Semaphore" as a moment's try to take it found it.
enum class DiagSemaphore { NotPresent, Free, Held, NoAccess };
// Kova's tray icon as Shell_NotifyIconGetRect saw it.
enum class DiagTray { NotRunning, Present, Absent, NotReported };
enum class DiagTheme { NotReported, Light, Dark };
// One place EMSC.dll was looked for, in the loader's order.
enum class DiagCandidateState { Missing, Unloadable, Loaded, NotTried };
// NoAnswer: EMSCEvaluate did not return within the controller's time limit.
enum class DiagRead { NotMade, Ok, Failed, NoAnswer };

struct DiagCandidate {
    std::string strPath;
    std::string strFolder;
    DiagCandidateState eState = DiagCandidateState::Missing;
};

// One place the organisation's policy on a radio is read from, and what was found there.
struct DiagPolicyPlace {
    std::string strKey;     // as "HKLM\\SOFTWARE\\..."
    std::string strValue;   // the value's name
    PolicyValue value;
};
struct DiagRadioPolicy {
    std::array<DiagPolicyPlace, POLICY_PLACE_COUNT> aPlaces;
};

// Every text is UTF-8.
struct DiagFacts {
    std::string strToolVersion;

    std::string strKovaExe;   // empty when no Kova.exe was found
    DiagKovaSource eKovaSource = DiagKovaSource::None;
    std::optional<std::string> kovaFileVersion;
    std::optional<std::string> registryVersion;   // HKLM\<KOVA_REG_KEY> "Version"
    std::optional<uint32_t> kovaPid;              // set while Kova's window is there
    bool bKovaDialogOpen = false;                 // with kovaPid: a dialog of Kova's is shown
    DiagSemaphore eSemaphore = DiagSemaphore::NotPresent;
    uint32_t dwSemaphoreError = 0;                // with NoAccess
    DiagTray eTray = DiagTray::NotRunning;

    bool bWindowsVersionKnown = false;
    uint32_t dwMajor = 0, dwMinor = 0, dwBuild = 0;
    bool b64BitWindows = false;
    uint32_t uDpi = 0;   // 0 when the screen could not be asked
    DiagTheme eTheme = DiagTheme::NotReported;
    uint16_t wUiLanguage = 0;
    std::string strLocaleName;   // empty when the system has none for the language

    std::vector<DiagCandidate> candidates;
    std::optional<std::string> emscFileVersion;
    bool bEntryPoint = false;
    DiagRead eRead = DiagRead::NotMade;
    int nReadResult = 0;    // what EMSCEvaluate returned for an answered read
    uint8_t byStatus = 0;   // with a read made

    DiagRadioPolicy wifiPolicy;
    DiagRadioPolicy bluetoothPolicy;
};

// The loaded candidate, or null.
const DiagCandidate* LoadedLibrary(const DiagFacts& facts);

// A read failed when the library returned 0 and left the controller's byte at
// STATUS_UNREAD; a library that does only one of the two is believed about the byte.
DiagRead ReadOutcome(int nResult, uint8_t byStatus);

// "a.b.c.d" from VS_FIXEDFILEINFO's dwFileVersionMS and dwFileVersionLS.
std::string DottedVersion(uint32_t dwMs, uint32_t dwLs);

// The program a Run entry starts: the quoted path, else up to the first ".exe", else up to
// the first blank. Empty when there is none.
std::string ProgramFromCommandLine(const std::string& strCommand);

// A JSON string literal of UTF-8 text, in ASCII: quotes, backslashes and control
// characters escaped, the rest above U+007F as \uXXXX (a pair above U+FFFF). A byte that
// does not belong to valid UTF-8 becomes U+FFFD.
std::string JsonString(const std::string& strUtf8);

// A radio as "kovactl status" words it: "not fitted", "fitted, on" or "fitted, off".
const char* DescribeRadio(bool bFitted, bool bOn);

// The report as lines of text, and as one JSON object on one line; both end with "\n".
std::string DiagText(const DiagFacts& facts);
std::string DiagJson(const DiagFacts& facts);
