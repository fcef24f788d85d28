// The diagnostics report from plain facts: JSON strings for any bytes, the Run entry's
// program, when a read counts as failed, and what each bad state prints.
#include <gtest/gtest.h>

#include "radio/RadioBits.h"
#include "res/KovaNames.h"
#include "tools/kovactl/DiagReport.h"

namespace {

// JSON strings for any bytes, the program a Run entry starts, versions and failed reads.
TEST(DiagReport, PiecesOfTheReport)
{
    const struct {
        std::string (*pfn)(const std::string&);
        const char* pszIn;
        const char* pszOut;
    } cases[] = {
        {JsonString, "", "\"\""},
        {JsonString, "C:\\Kova \"x\"", "\"C:\\\\Kova \\\"x\\\"\""},
        {JsonString, "a\nb\tc\r\x01\x7F", "\"a\\nb\\tc\\r\\u0001\\u007F\""},
        {JsonString, "J\xC3\xB6rg \xE2\x82\xAC", "\"J\\u00F6rg \\u20AC\""},
        {JsonString, "\xF0\x9F\x98\x80", "\"\\uD83D\\uDE00\""},                        // above U+FFFF: a pair
        {JsonString, "\x80x\xC3", "\"\\uFFFDx\\uFFFD\""},                              // stray and cut-off bytes
        {JsonString, "\xC0\xAF", "\"\\uFFFD\\uFFFD\""},                                // overlong '/'
        {JsonString, "\xED\xA0\x80", "\"\\uFFFD\\uFFFD\\uFFFD\""},                     // a surrogate
        {JsonString, "\xF4\x90\x80\x80", "\"\\uFFFD\\uFFFD\\uFFFD\\uFFFD\""},          // past U+10FFFF
        {ProgramFromCommandLine, "\"C:\\Program Files\\Pravo\\Kova.exe\"", "C:\\Program Files\\Pravo\\Kova.exe"},
        {ProgramFromCommandLine, "  \"C:\\K\\Kova.exe\" /x", "C:\\K\\Kova.exe"},
        {ProgramFromCommandLine, "C:\\Program Files\\Kova\\KOVA.EXE /quiet", "C:\\Program Files\\Kova\\KOVA.EXE"},
        {ProgramFromCommandLine, "C:\\Kova\\kova /x", "C:\\Kova\\kova"},
        {ProgramFromCommandLine, "\"C:\\Kova\\Kova.exe", ""},
        {ProgramFromCommandLine, " \t", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.pszOut, c.pfn(c.pszIn)) << c.pszIn;
    EXPECT_EQ("1.0.65535.7", DottedVersion(0x00010000, 0xFFFF0007));
    // A read fails only when the library says so and filled nothing.
    EXPECT_EQ(DiagRead::Failed, ReadOutcome(0, STATUS_UNREAD));
    EXPECT_EQ(DiagRead::Ok, ReadOutcome(1, STATUS_UNREAD));
    EXPECT_EQ(DiagRead::Ok, ReadOutcome(0, 0x1F));
}

DiagFacts Healthy()
{
    DiagFacts f;
    f.kovaFileVersion = f.strToolVersion = "1.0.0.1";
    f.strKovaExe = "C:\\Kova\\Kova.exe", f.eKovaSource = DiagKovaSource::RunEntry;
    f.bWindowsVersionKnown = true, f.dwMajor = 10, f.dwBuild = 19045, f.uDpi = 144;
    f.wUiLanguage = 0x0409, f.strLocaleName = "en-US";
    f.candidates = {{"C:\\Kova\\EMSC.dll", "program folder", DiagCandidateState::Missing},
                    {"C:\\Windows\\system32\\EMSC.dll", "System32", DiagCandidateState::Loaded},
                    {"C:\\Windows\\EMSC.dll", "Windows folder", DiagCandidateState::NotTried}};
    f.bEntryPoint = true, f.eRead = DiagRead::Ok, f.nReadResult = 1, f.byStatus = 0x1D;
    for (DiagRadioPolicy* pPolicy : {&f.wifiPolicy, &f.bluetoothPolicy})
        for (int i = 0; i < POLICY_PLACE_COUNT; ++i)
            pPolicy->aPlaces[i] = {i == 1 ? "HKCU\\P" : "HKLM\\P", "Allow", {}};
    return f;
}

TEST(DiagReport, EachStateHasItsWordsInTextAndJson)
{
    const struct {
        const char* pszName;
        void (*change)(DiagFacts&);
        std::vector<const char*> text;
        std::vector<const char*> json;
    } cases[] = {
        {"healthy", [](DiagFacts&) {},
         {"C:\\Kova\\Kova.exe (Run entry)", "not set (HKLM", "150 % (144 dpi)", "System32)\n", "0x1D\n",
          "Looked in:         the installed Kova's folder, then the system folders\n",
          "Bluetooth:         fitted, off\n"},
         {"\"registry_version\": null", "\"status\": 29", "\"wifi\": {\"fitted\": true, \"on\": true}",
           "\"state\": \"not_tried\""}},
        {"no library",
         [](DiagFacts& f) {
             f.candidates[1].eState = f.candidates[2].eState = DiagCandidateState::Missing;
             f.candidates[0].eState = DiagCandidateState::Unloadable;
             f.eRead = DiagRead::NotMade;
         },
         {"Library:           not found\n", "Kova\\EMSC.dll: does not load", "Windows\\EMSC.dll: missing",
           "not read (no library)"},
         {"\"path\": null", "\"entry_point\": null", "\"read\": \"not_made\"", "\"result\": null", "\"wifi\": null"}},
        {"library does not answer", [](DiagFacts& f) { f.eRead = DiagRead::NoAnswer; },
         {"Status byte:       no answer", "EMSC.dll does not answer"},
         {"\"read\": \"no_answer\", \"result\": null, \"status\": null", "\"switch\": null"}},
        {"Kova running, busy",
         [](DiagFacts& f) {
             f.kovaPid = 1234, f.eSemaphore = DiagSemaphore::Held, f.eTray = DiagTray::NotReported;
             f.registryVersion = "1.0.0.1", f.eTheme = DiagTheme::Light;
         },
         {"yes, process 1234", "taken; Kova shows no pop-up", "not reported by the system", "Installed version: 1.0.0.1",
           "theme:     light\n"},
         {"\"running\": true, \"pid\": 1234", "\"semaphore\": \"held\"", "\"tray_icon\": \"not_reported\"",
           "\"taskbar_theme\": \"light\""}},
        {"Kova running its pop-up",
         [](DiagFacts& f) {
             f.kovaPid = 1234, f.bKovaDialogOpen = true, f.eSemaphore = DiagSemaphore::Held;
             f.eKovaSource = DiagKovaSource::Running;
         },
         {"taken; a Kova pop-up is open", "(the running Kova)\n", "Looked in:         the running Kova's folder"},
         {"\"exe_source\": \"running\"", "\"semaphore\": \"held\""}},
        {"policy",
         [](DiagFacts& f) {
             f.bluetoothPolicy.aPlaces[1].value = {PolicyValue::Kind::Dword, 0};
             f.bluetoothPolicy.aPlaces[2].value = {PolicyValue::Kind::Dword, 0};
             f.wifiPolicy.aPlaces[2].value = {PolicyValue::Kind::OtherType, 0};
         },
         {"Bluetooth:         forbidden (user policy)\n", "User policy:       HKCU\\P Allow: 0, decides\n",
          "Device policy:     HKLM\\P Allow: 0\n", "Allow: not a REG_DWORD (unexpected; allows)\n", "WiFi:              allowed\n"},
         {"\"bluetooth\": {\"state\": \"forbidden\", \"decided_by\": \"user\"", "\"type\": \"other\", \"value\": null, \"unexpected\": true"}},
        {"taken by another program", [](DiagFacts& f) { f.eSemaphore = DiagSemaphore::Held; },
         {KOVA_SEMAPHORE_NAME ":    taken; Kova is not running\n"}, {"\"semaphore\": \"held\""}},
        {"nothing known",
         [](DiagFacts& f) {
             f.strKovaExe.clear(), f.eKovaSource = DiagKovaSource::None, f.bWindowsVersionKnown = false;
             f.uDpi = 0, f.eSemaphore = DiagSemaphore::NoAccess, f.dwSemaphoreError = 5;
         },
         {"not found (not running", "kovactl's folder (no Kova.exe found)", "unknown, 32-bit", "Display scale:     unknown", "no access (error 5)"},
         {"\"exe\": null, \"exe_source\": null, \"file_version\": null", "\"version\": null, \"build\": null",
          "\"dpi\": null", "\"semaphore\": \"no_access\""}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.pszName);
        DiagFacts facts = Healthy();
        c.change(facts);
        const std::string strText = DiagText(facts), strJson = DiagJson(facts);
        for (const char* psz : c.text)
            EXPECT_NE(std::string::npos, strText.find(psz)) << psz << "\n" << strText;
        for (const char* psz : c.json)
            EXPECT_NE(std::string::npos, strJson.find(psz)) << psz << "\n" << strJson;
        EXPECT_EQ(strJson.size() - 1, strJson.find('\n')) << "one line";
    }
}

// The JSON is what support tools read: its keys, their nesting and the spelling of each
// value change only on purpose, together with the README.
TEST(DiagReport, JsonIsOneObjectWithTheDocumentedKeys)
{
    const std::string strPlaces =
        R"("places": [{"place": "computer", "key": "HKLM\\P", "value_name": "Allow", "type": "absent", "value": null, )"
        R"("unexpected": false}, {"place": "user", "key": "HKCU\\P", "value_name": "Allow", "type": "absent", )"
        R"("value": null, "unexpected": false}, {"place": "device", "key": "HKLM\\P", "value_name": "Allow", )"
        R"("type": "absent", "value": null, "unexpected": false}]})";
    const std::string strExpected = std::string(R"({"kovactl": "1.0.0.1", "kova": {"exe": "C:\\Kova\\Kova.exe", "exe_source": "run_entry", )"
              R"("file_version": "1.0.0.1", "registry_version": null, "running": false, "pid": null, )"
              R"("semaphore": "not_present", "tray_icon": "not_running"}, "windows": {"version": "10.0", )"
              R"("build": 19045, "bits": 32, "dpi": 144, "scale_percent": 150, "taskbar_theme": "not_reported", )"
              R"("ui_language": "0x0409", "locale": "en-US"}, "emsc": {"path": "C:\\Windows\\system32\\EMSC.dll", )"
              R"("folder": "System32", "searched": [{"path": "C:\\Kova\\EMSC.dll", "folder": "program folder", )"
              R"("state": "missing"}, {"path": "C:\\Windows\\system32\\EMSC.dll", "folder": "System32", )"
              R"("state": "loaded"}, {"path": "C:\\Windows\\EMSC.dll", "folder": "Windows folder", )"
              R"("state": "not_tried"}], "file_version": null, "entry_point": true, "read": "ok", "result": 1, )"
              R"("status": 29, "wifi": {"fitted": true, "on": true}, "bluetooth": {"fitted": true, "on": false}, )"
              R"("switch": "on"}, "policy": {"wifi": {"state": "allowed", "decided_by": null, )") + strPlaces +
              R"(, "bluetooth": {"state": "allowed", "decided_by": null, )" + strPlaces + "}}\n";
    EXPECT_EQ(strExpected, DiagJson(Healthy()));
}

} // namespace
