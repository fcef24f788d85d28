#include "tools/kovactl/DiagReport.h"

#include <algorithm>
#include <cstdio>

#include "radio/RadioBits.h"
#include "res/KovaNames.h"

namespace {

// The words of each state, in the order of its enum: the JSON value, and the text's where
// it differs.
const char* const SOURCE_KEYS[] = { "", "beside_kovactl", "run_entry", "running", "install_location" };
const char* const SOURCE_TEXTS[] = { "", "beside kovactl", "Run entry", "the running Kova",
                                     "install location" };
// Whose folder EMSC.dll was looked for in, by the same source.
const char* const FOLDER_OWNERS[] = { "kovactl's folder (no Kova.exe found)", "Kova's folder (beside kovactl)",
                                      "the installed Kova's folder", "the running Kova's folder",
                                      "the installed Kova's folder" };
const char* const SEMAPHORE_KEYS[] = { "not_present", "free", "held", "no_access" };
const char* const SEMAPHORE_TEXTS[] = { "not present", "free", "taken", "no access" };
const char* const TRAY_KEYS[] = { "not_running", "present", "absent", "not_reported" };
const char* const TRAY_TEXTS[] = { "not asked (Kova is not running)", "present", "absent",
                                   "not reported by the system" };
const char* const THEME_KEYS[] = { "not_reported", "light", "dark" };
const char* const THEME_TEXTS[] = { "not reported", "light", "dark" };
const char* const CANDIDATE_KEYS[] = { "missing", "unloadable", "loaded", "not_tried" };
const char* const READ_KEYS[] = { "not_made", "ok", "failed", "no_answer" };

template <class E, size_t N>
std::string Word(const char* const (&apszWords)[N], E e)
{
    return apszWords[static_cast<size_t>(e)];
}

std::string Hex(unsigned uValue, int nDigits)
{
    char sz[16];
    std::snprintf(sz, sizeof sz, "0x%0*X", nDigits, uValue);
    return sz;
}

std::string ScaleText(uint32_t uDpi)
{
    if (!uDpi)
        return "unknown";
    return std::to_string((uDpi * 100 + 48) / 96) + " % (" + std::to_string(uDpi) + " dpi)";
}

std::string WindowsText(const DiagFacts& f)
{
    std::string str = f.bWindowsVersionKnown ? std::to_string(f.dwMajor) + "." + std::to_string(f.dwMinor) +
                                                   " build " + std::to_string(f.dwBuild)
                                             : "unknown";
    return str + (f.b64BitWindows ? ", 64-bit" : ", 32-bit");
}

// One "  Label:  value" line, values in one column.
void Line(std::string& rstr, const char* pszLabel, const std::string& strValue)
{
    char sz[32];
    std::snprintf(sz, sizeof sz, "  %-19s", (std::string(pszLabel) + ":").c_str());
    rstr += sz + strValue + "\n";
}

// A JSON object written member by member, kovactl status's spacing.
class CJsonObject {
public:
    CJsonObject& Raw(const char* pszKey, const std::string& strJson)
    {
        m_str += (m_str.size() > 1 ? ", " : "") + JsonString(pszKey) + ": " + strJson;
        return *this;
    }
    CJsonObject& Str(const char* pszKey, const std::optional<std::string>& str)
    {
        return Raw(pszKey, str ? JsonString(*str) : "null");
    }
    CJsonObject& Bool(const char* pszKey, bool b) { return Raw(pszKey, b ? "true" : "false"); }
    CJsonObject& Num(const char* pszKey, const std::optional<long long>& n)
    {
        return Raw(pszKey, n ? std::to_string(*n) : "null");
    }
    std::string Close() const { return m_str + "}"; }

private:
    std::string m_str = "{";
};

std::optional<std::string> Maybe(bool bHas, const std::string& str)
{
    return bHas ? std::optional<std::string>(str) : std::nullopt;
}

// The next code point of UTF-8 text at rnPos, moved past it; U+FFFD and one byte for a byte
// that starts no valid sequence (overlong forms, surrogates and values past U+10FFFF too).
uint32_t NextCodePoint(const std::string& str, size_t& rnPos)
{
    const auto byte = [&](size_t n) { return static_cast<unsigned char>(str[n]); };
    const unsigned char by0 = byte(rnPos);
    const size_t nLen = by0 < 0x80 ? 1
                        : (by0 & 0xE0) == 0xC0 ? 2
                        : (by0 & 0xF0) == 0xE0 ? 3
                        : (by0 & 0xF8) == 0xF0 ? 4
                                               : 0;
    const uint32_t kMin[] = { 0, 0, 0x80, 0x800, 0x10000 };
    if (nLen == 1 || (nLen && rnPos + nLen <= str.size()))
    {
        uint32_t uCode = nLen == 1 ? by0 : by0 & (0x7F >> nLen);
        size_t i = 1;
        for (; i < nLen && (byte(rnPos + i) & 0xC0) == 0x80; ++i)
            uCode = uCode << 6 | (byte(rnPos + i) & 0x3F);
        if (i == nLen && uCode >= kMin[nLen] && uCode <= 0x10FFFF && (uCode < 0xD800 || uCode > 0xDFFF))
        {
            rnPos += nLen;
            return uCode;
        }
    }
    ++rnPos;
    return 0xFFFD;
}

} // namespace

const DiagCandidate* LoadedLibrary(const DiagFacts& facts)
{
    const auto it = std::find_if(facts.candidates.begin(), facts.candidates.end(),
                                 [](const DiagCandidate& c) { return c.eState == DiagCandidateState::Loaded; });
    return it == facts.candidates.end() ? nullptr : &*it;
}

DiagRead ReadOutcome(int nResult, uint8_t byStatus)
{
    return nResult == 0 && byStatus == STATUS_UNREAD ? DiagRead::Failed : DiagRead::Ok;
}

std::string DottedVersion(uint32_t dwMs, uint32_t dwLs)
{
    return std::to_string(dwMs >> 16) + "." + std::to_string(dwMs & 0xFFFF) + "." + std::to_string(dwLs >> 16) + "." +
           std::to_string(dwLs & 0xFFFF);
}

std::string ProgramFromCommandLine(const std::string& strCommand)
{
    const size_t nStart = strCommand.find_first_not_of(" \t");
    if (nStart == std::string::npos)
        return std::string();
    if (strCommand[nStart] == '"')
    {
        const size_t nEnd = strCommand.find('"', nStart + 1);
        return nEnd == std::string::npos ? std::string() : strCommand.substr(nStart + 1, nEnd - nStart - 1);
    }
    // An unquoted path with blanks ("C:\Program Files\...\Kova.exe /x") still ends at ".exe".
    std::string strLower = strCommand;
    std::transform(strLower.begin(), strLower.end(), strLower.begin(),
                   [](char ch) { return ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch - 'A' + 'a') : ch; });
    const size_t nExe = strLower.find(".exe", nStart);
    if (nExe != std::string::npos)
        return strCommand.substr(nStart, nExe + 4 - nStart);
    const size_t nBlank = strCommand.find_first_of(" \t", nStart);
    return strCommand.substr(nStart, nBlank == std::string::npos ? std::string::npos : nBlank - nStart);
}

std::string JsonString(const std::string& strUtf8)
{
    std::string strOut = "\"";
    for (size_t nPos = 0; nPos < strUtf8.size();)
    {
        const uint32_t uCode = NextCodePoint(strUtf8, nPos);
        if (uCode == '"' || uCode == '\\')
            strOut += {'\\', static_cast<char>(uCode)};
        else if (uCode == '\n')
            strOut += "\\n";
        else if (uCode == '\r')
            strOut += "\\r";
        else if (uCode == '\t')
            strOut += "\\t";
        else if (uCode >= 0x20 && uCode < 0x7F)
            strOut += static_cast<char>(uCode);
        else if (uCode < 0x10000)
            strOut += "\\u" + Hex(uCode, 4).substr(2);
        else
        {
            const uint32_t uLow = uCode - 0x10000;
            strOut += "\\u" + Hex(0xD800 + (uLow >> 10), 4).substr(2);
            strOut += "\\u" + Hex(0xDC00 + (uLow & 0x3FF), 4).substr(2);
        }
    }
    return strOut + "\"";
}

const char* DescribeRadio(bool bFitted, bool bOn)
{
    return !bFitted ? "not fitted" : bOn ? "fitted, on" : "fitted, off";
}

namespace {

const char* const PLACE_LABELS[POLICY_PLACE_COUNT] = { "Computer policy", "User policy", "Device policy" };
const char* const PLACE_KEYS[POLICY_PLACE_COUNT] = { "computer", "user", "device" };

RadioPolicyDecision Decide(const DiagRadioPolicy& policy)
{
    PolicyValue aValues[POLICY_PLACE_COUNT];
    for (int i = 0; i < POLICY_PLACE_COUNT; ++i)
        aValues[i] = policy.aPlaces[i].value;
    return DecideRadioPolicy(aValues);
}

std::string PolicyValueText(const PolicyValue& value)
{
    switch (value.eKind)
    {
    case PolicyValue::Kind::Absent: return "not set";
    case PolicyValue::Kind::OtherType: return "not a REG_DWORD (unexpected; allows)";
    case PolicyValue::Kind::Dword: break;
    }
    return std::to_string(value.dwValue) + (PolicyUnexpected(value) ? " (unexpected; allows)" : "");
}

void PolicyLines(std::string& rstr, const char* pszRadio, const DiagRadioPolicy& policy)
{
    const RadioPolicyDecision decision = Decide(policy);
    Line(rstr, pszRadio, decision.bForbidden ? std::string("forbidden (") + PLACE_KEYS[decision.nDecidedBy] + " policy)"
                                             : "allowed");
    for (int i = 0; i < POLICY_PLACE_COUNT; ++i)
    {
        const DiagPolicyPlace& place = policy.aPlaces[i];
        Line(rstr, PLACE_LABELS[i], place.strKey + " " + place.strValue + ": " + PolicyValueText(place.value) +
                                        (i == decision.nDecidedBy ? ", decides" : ""));
    }
}

std::string PolicyJson(const DiagRadioPolicy& policy)
{
    const RadioPolicyDecision decision = Decide(policy);
    std::string strPlaces = "[";
    for (int i = 0; i < POLICY_PLACE_COUNT; ++i)
    {
        const PolicyValue& value = policy.aPlaces[i].value;
        const bool bDword = value.eKind == PolicyValue::Kind::Dword;
        strPlaces += (i ? ", " : "") + CJsonObject()
            .Str("place", PLACE_KEYS[i])
            .Str("key", policy.aPlaces[i].strKey)
            .Str("value_name", policy.aPlaces[i].strValue)
            .Str("type", value.eKind == PolicyValue::Kind::Absent ? "absent" : bDword ? "dword" : "other")
            .Num("value", bDword ? std::optional<long long>(value.dwValue) : std::nullopt)
            .Bool("unexpected", PolicyUnexpected(value))
            .Close();
    }
    strPlaces += "]";
    return CJsonObject()
        .Str("state", decision.bForbidden ? "forbidden" : "allowed")
        .Raw("decided_by", decision.bForbidden ? JsonString(PLACE_KEYS[decision.nDecidedBy]) : "null")
        .Raw("places", strPlaces)
        .Close();
}

} // namespace

std::string DiagText(const DiagFacts& f)
{
    std::string str = "Kova diagnostics, kovactl " + f.strToolVersion + "\n\nKova\n";
    Line(str, "Kova.exe", f.strKovaExe.empty() ? "not found (not running, not installed, not beside kovactl)"
                                               : f.strKovaExe + " (" + Word(SOURCE_TEXTS, f.eKovaSource) + ")");
    if (!f.strKovaExe.empty())
        Line(str, "File version", f.kovaFileVersion.value_or("none"));
    Line(str, "Installed version",
         f.registryVersion ? *f.registryVersion : "not set (HKLM\\" KOVA_REG_KEY " \"Version\")");
    Line(str, "Running", f.kovaPid ? "yes, process " + std::to_string(*f.kovaPid) : "no");
    const bool bNoAccess = f.eSemaphore == DiagSemaphore::NoAccess;
    const std::string strError = bNoAccess ? " (error " + std::to_string(f.dwSemaphoreError) + ")" : "";
    // Only what is known: a pop-up of Kova's holds it, or someone else does.
    const std::string strHolder = f.eSemaphore != DiagSemaphore::Held ? ""
                                  : !f.kovaPid                      ? "; Kova is not running"
                                  : f.bKovaDialogOpen               ? "; a Kova pop-up is open"
                                                                    : "; Kova shows no pop-up";
    Line(str, KOVA_SEMAPHORE_NAME, Word(SEMAPHORE_TEXTS, f.eSemaphore) + strHolder + strError);
    Line(str, "Tray icon", Word(TRAY_TEXTS, f.eTray));

    str += "\nWindows\n";
    Line(str, "Version", WindowsText(f));
    Line(str, "Display scale", ScaleText(f.uDpi));
    Line(str, "Taskbar theme", Word(THEME_TEXTS, f.eTheme));
    Line(str, "UI language", Hex(f.wUiLanguage, 4) + (f.strLocaleName.empty() ? "" : " (" + f.strLocaleName + ")"));

    str += "\nEMSC.dll\n";
    const DiagCandidate* pLoaded = LoadedLibrary(f);
    Line(str, "Looked in", Word(FOLDER_OWNERS, f.eKovaSource) + ", then the system folders");
    Line(str, "Library", pLoaded ? pLoaded->strPath + " (" + pLoaded->strFolder + ")" : "not found");
    for (const DiagCandidate& c : f.candidates)
        if (c.eState == DiagCandidateState::Unloadable || (!pLoaded && c.eState == DiagCandidateState::Missing))
            Line(str, "Looked for",
                 c.strPath + (c.eState == DiagCandidateState::Missing ? ": missing" : ": does not load"));
    if (pLoaded)
    {
        Line(str, "File version", f.emscFileVersion.value_or("none"));
        Line(str, "EMSCEvaluate", f.bEntryPoint ? "exported" : "missing");
    }
    if (f.eRead == DiagRead::NotMade)
        Line(str, "Status byte", pLoaded ? "not read (no EMSCEvaluate)" : "not read (no library)");
    else if (f.eRead == DiagRead::Failed)
        Line(str, "Status byte", "read failed (EMSCEvaluate returned 0 and filled nothing)");
    else if (f.eRead == DiagRead::NoAnswer)
        Line(str, "Status byte", "no answer (EMSCEvaluate did not return in time; EMSC.dll does not answer)");
    else
    {
        const RadioFlags flags = RadioFlagsFromStatus(f.byStatus);
        Line(str, "Status byte", Hex(f.byStatus, 2));
        Line(str, "WiFi", DescribeRadio(flags.bWirelessExist, flags.bWirelessOn));
        Line(str, "Bluetooth", DescribeRadio(flags.bBluetoothExist, flags.bBluetoothOn));
        Line(str, "Hardware switch", flags.bKillSwitchOn ? "on" : "off (radios cut)");
    }

    str += "\nThe organisation's policy on switching a radio on\n";
    PolicyLines(str, "WiFi", f.wifiPolicy);
    PolicyLines(str, "Bluetooth", f.bluetoothPolicy);
    return str;
}

std::string DiagJson(const DiagFacts& f)
{
    const bool bFound = !f.strKovaExe.empty();
    const std::string strKova = CJsonObject()
        .Str("exe", Maybe(bFound, f.strKovaExe))
        .Raw("exe_source", bFound ? JsonString(Word(SOURCE_KEYS, f.eKovaSource)) : "null")
        .Str("file_version", bFound ? f.kovaFileVersion : std::nullopt)
        .Str("registry_version", f.registryVersion)
        .Bool("running", f.kovaPid.has_value())
        .Num("pid", f.kovaPid ? std::optional<long long>(*f.kovaPid) : std::nullopt)
        .Str("semaphore", Word(SEMAPHORE_KEYS, f.eSemaphore))
        .Str("tray_icon", Word(TRAY_KEYS, f.eTray))
        .Close();

    const std::string strWindows = CJsonObject()
        .Str("version", Maybe(f.bWindowsVersionKnown, std::to_string(f.dwMajor) + "." + std::to_string(f.dwMinor)))
        .Num("build", f.bWindowsVersionKnown ? std::optional<long long>(f.dwBuild) : std::nullopt)
        .Num("bits", f.b64BitWindows ? 64 : 32)
        .Num("dpi", f.uDpi ? std::optional<long long>(f.uDpi) : std::nullopt)
        .Num("scale_percent", f.uDpi ? std::optional<long long>((f.uDpi * 100 + 48) / 96) : std::nullopt)
        .Str("taskbar_theme", Word(THEME_KEYS, f.eTheme))
        .Str("ui_language", Hex(f.wUiLanguage, 4))
        .Str("locale", Maybe(!f.strLocaleName.empty(), f.strLocaleName))
        .Close();

    std::string strSearched = "[";
    for (const DiagCandidate& c : f.candidates)
        strSearched += (strSearched.size() > 1 ? ", " : "") + CJsonObject()
            .Str("path", c.strPath)
            .Str("folder", c.strFolder)
            .Str("state", Word(CANDIDATE_KEYS, c.eState))
            .Close();
    strSearched += "]";

    const DiagCandidate* pLoaded = LoadedLibrary(f);
    const bool bRead = f.eRead == DiagRead::Ok;
    const RadioFlags flags = RadioFlagsFromStatus(f.byStatus);
    const auto radio = [&](bool bFitted, bool bOn) {
        return bRead ? CJsonObject().Bool("fitted", bFitted).Bool("on", bOn).Close() : "null";
    };
    const std::string strEmsc = CJsonObject()
        .Str("path", Maybe(pLoaded, pLoaded ? pLoaded->strPath : ""))
        .Str("folder", Maybe(pLoaded, pLoaded ? pLoaded->strFolder : ""))
        .Raw("searched", strSearched)
        .Str("file_version", pLoaded ? f.emscFileVersion : std::nullopt)
        .Raw("entry_point", pLoaded ? (f.bEntryPoint ? "true" : "false") : "null")
        .Str("read", Word(READ_KEYS, f.eRead))
        .Num("result", f.eRead == DiagRead::Ok || f.eRead == DiagRead::Failed ? std::optional<long long>(f.nReadResult)
                                                                              : std::nullopt)
        .Num("status", bRead ? std::optional<long long>(f.byStatus) : std::nullopt)
        .Raw("wifi", radio(flags.bWirelessExist, flags.bWirelessOn))
        .Raw("bluetooth", radio(flags.bBluetoothExist, flags.bBluetoothOn))
        .Raw("switch", bRead ? JsonString(flags.bKillSwitchOn ? "on" : "off") : "null")
        .Close();

    return CJsonObject()
        .Str("kovactl", f.strToolVersion)
        .Raw("kova", strKova)
        .Raw("windows", strWindows)
        .Raw("emsc", strEmsc)
        .Raw("policy", CJsonObject().Raw("wifi", PolicyJson(f.wifiPolicy)).Raw("bluetooth", PolicyJson(f.bluetoothPolicy)).Close())
        .Close() + "\n";
}
