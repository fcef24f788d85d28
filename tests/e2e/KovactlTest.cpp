// kovactl.exe from the outside: what each command prints and returns, the exact writes the
// development EMSC.dll sees, the refusals that must write nothing, the library faults, and
// a real Kova following a change and quitting.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "radio/RadioBits.h"
#include "support/KovaSession.h"
#include "support/PolicySetting.h"
#include "tools/emsc/EmscDev.h"

using namespace kovatest;
using namespace kovae2e;

namespace {

// Exit codes of kovactl (its usage text lists them).
const DWORD kOk = 0, kUsage = 1, kNoLibrary = 2, kNoEntry = 3, kSwitchOff = 4, kNotFitted = 5, kNoAnswer = 7, kPolicy = 8;

template <class PFN>
PFN ExportOf(HMODULE hModule, const char* pszName)
{
    return reinterpret_cast<PFN>(reinterpret_cast<void (*)(void)>(::GetProcAddress(hModule, pszName)));
}

// A private status byte for each test, and the requests kovactl made against it.
class KovactlTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_state.IsReady());
        m_library.Reset(::LoadLibraryA(BinPath("EMSC.dll").c_str()));
        ASSERT_TRUE(m_library);
    }

    // Sets the byte and forgets earlier requests.
    void Start(BYTE byStatus)
    {
        ASSERT_TRUE(m_state.Set(byStatus));
        auto pfnClear = ExportOf<PFN_EMSCDEVCLEARLOG>(m_library.Get(), EMSCDEV_CLEARLOG);
        ASSERT_TRUE(pfnClear && pfnClear() == 1);
    }

    void SetFault(bool bOn)
    {
        auto pfnFault = ExportOf<PFN_EMSCDEVSETFAULT>(m_library.Get(), EMSCDEV_SETFAULT);
        ASSERT_TRUE(pfnFault && pfnFault(bOn ? 1 : 0) == 1);
    }

    BYTE Status()
    {
        BYTE byStatus = 0;
        auto pfnGet = ExportOf<PFN_EMSCDEVGETSTATUS>(m_library.Get(), EMSCDEV_GETSTATUS);
        EXPECT_TRUE(pfnGet && pfnGet(&byStatus) == 1);
        return byStatus;
    }

    // The values written to register 0xBB since Start, in order.
    std::vector<BYTE> Writes()
    {
        std::vector<EmscDevLogEntry> log(EMSCDEV_LOG_CAPACITY);
        uint32_t nCopied = 0;
        auto pfnRead = ExportOf<PFN_EMSCDEVREADLOG>(m_library.Get(), EMSCDEV_READLOG);
        EXPECT_TRUE(pfnRead && pfnRead(log.data(), EMSCDEV_LOG_CAPACITY, &nCopied) == 1);
        std::vector<BYTE> writes;
        for (uint32_t i = 0; i < nCopied; ++i)
        {
            if (log[i].command != EC_CMD_WRITE)
                continue;
            EXPECT_EQ(2u, log[i].inLength);
            EXPECT_EQ(EC_REG_RADIO_STATUS, log[i].abyIn[0]);
            writes.push_back(log[i].abyIn[1]);
        }
        return writes;
    }

    static DWORD Ctl(const std::string& strArgs, std::string& rstrOutput, const char* pszExe = "kovactl.exe")
    {
        const DWORD dwExit = RunProgram(pszExe, strArgs, rstrOutput);
        // The console's text mode ends lines with CR LF; compare as lines.
        rstrOutput.erase(std::remove(rstrOutput.begin(), rstrOutput.end(), '\r'), rstrOutput.end());
        return dwExit;
    }

    CEmscState m_state{0x1F};
    kfw::CModule m_library;
};

TEST_F(KovactlTest, StatusReportsRadiosAndSwitchAsTextAndJson)
{
    struct Case {
        BYTE byStatus;
        const char* pszText;
        const char* pszJson;
    } const cases[] = {
        {0x1F,
         "WiFi:            fitted, on\nBluetooth:       fitted, on\nHardware switch: on\nPolicy:          WiFi allowed, Bluetooth allowed\n",
         "{\"status\": 31, \"wifi\": {\"fitted\": true, \"on\": true}, "
         "\"bluetooth\": {\"fitted\": true, \"on\": true}, \"switch\": \"on\", \"policy\": {\"bluetooth\": \"allowed\", \"wifi\": \"allowed\"}}\n"},
        {0x14,
         "WiFi:            fitted, off\nBluetooth:       not fitted\nHardware switch: on\nPolicy:          WiFi allowed, Bluetooth allowed\n",
         "{\"status\": 20, \"wifi\": {\"fitted\": true, \"on\": false}, "
         "\"bluetooth\": {\"fitted\": false, \"on\": false}, \"switch\": \"on\", \"policy\": {\"bluetooth\": \"allowed\", \"wifi\": \"allowed\"}}\n"},
        // An on bit without its module, bits 5-7 set, switch off: reported as the bits say.
        {0xEB,
         "WiFi:            not fitted\nBluetooth:       fitted, on\nHardware switch: off (radios cut)\nPolicy:          WiFi allowed, Bluetooth allowed\n",
         "{\"status\": 235, \"wifi\": {\"fitted\": false, \"on\": true}, "
         "\"bluetooth\": {\"fitted\": true, \"on\": true}, \"switch\": \"off\", \"policy\": {\"bluetooth\": \"allowed\", \"wifi\": \"allowed\"}}\n"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "status 0x" << std::hex << int(c.byStatus));
        ASSERT_NO_FATAL_FAILURE(Start(c.byStatus));
        std::string strOut;
        EXPECT_EQ(kOk, Ctl("status", strOut));
        EXPECT_EQ(c.pszText, strOut);
        EXPECT_EQ(kOk, Ctl("STATUS --json", strOut));
        EXPECT_EQ(c.pszJson, strOut);
        EXPECT_TRUE(Writes().empty()) << "status must only read";
        EXPECT_EQ(c.byStatus, Status());
    }
}

TEST_F(KovactlTest, SetWritesExactlyTheModeTable)
{
    struct Case {
        BYTE byBefore;
        const char* pszMode;
        std::vector<BYTE> writes;   // Bluetooth first, then WiFi, each a fresh read-modify-write
        BYTE byAfter;
    } const cases[] = {
        {0x1C, "both", {0x1E, 0x1F}, 0x1F},
        {0x1F, "wifi", {0x1D, 0x1D}, 0x1D},
        {0x1D, "bt", {0x1F, 0x1E}, 0x1E},
        {0x14, "wifi", {0x15}, 0x15},            // only WiFi fitted: Bluetooth is left alone
        {0x19, "BT", {0x1B}, 0x1B},              // only Bluetooth fitted: WiFi is left alone
        {0xFE, "wifi", {0xFC, 0xFD}, 0xFD},      // bits 5-7 go back as read
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "set " << c.pszMode << " from 0x" << std::hex << int(c.byBefore));
        ASSERT_NO_FATAL_FAILURE(Start(c.byBefore));
        std::string strOut;
        EXPECT_EQ(kOk, Ctl(std::string("set ") + c.pszMode, strOut)) << strOut;
        EXPECT_EQ(c.writes, Writes());
        EXPECT_EQ(c.byAfter, Status());
    }
}

TEST_F(KovactlTest, RefusalsAndBadArgumentsFailAndWriteNothing)
{
    struct Case {
        BYTE byStatus;
        const char* pszArgs;
        DWORD dwExit;
        const char* pszSays;
    } const cases[] = {
        {0x0C, "set both", kSwitchOff, "switch is off"},
        {0x0F, "set wifi", kSwitchOff, "switch is off"},
        {0x14, "set bt", kNotFitted, "needs Bluetooth"},
        {0x14, "set both", kNotFitted, "needs both"},
        {0x18, "set wifi", kNotFitted, "needs WiFi"},
        {0x1C, "set off", kUsage, "Invalid mode - 'off'"},
        {0x1C, "set", kUsage, "needs a mode"},
        {0x1C, "set wifi bt", kUsage, "one mode"},
        {0x1C, "toggle", kUsage, "Invalid command - 'toggle'"},
        {0x1C, "status --xml", kUsage, "'--xml'"},
        {0x1C, "", kUsage, "no command"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "kovactl " << c.pszArgs);
        ASSERT_NO_FATAL_FAILURE(Start(c.byStatus));
        std::string strOut;
        EXPECT_EQ(c.dwExit, Ctl(c.pszArgs, strOut));
        EXPECT_NE(std::string::npos, strOut.find(c.pszSays)) << strOut;
        EXPECT_NE(std::string::npos, strOut.find("ERROR: ")) << strOut;
        EXPECT_TRUE(Writes().empty());
        EXPECT_EQ(c.byStatus, Status());
    }
}

// A radio the organisation's policy forbids is never switched on; one already on is left
// alone, and switching one off stays the user's.
TEST_F(KovactlTest, ThePolicyRefusesSwitchingAForbiddenRadioOnAndSaysWhich)
{
    kovatest::CPolicySetting policy(HKEY_CURRENT_USER, KOVA_POLICY_ALLOW_BLUETOOTH, 0);
    ASSERT_TRUE(policy.IsSet());
    const struct { BYTE byStatus; const char* pszArgs; DWORD dwExit; } cases[] = {
        {0x1D, "set bt", kPolicy}, {0x1D, "set both", kPolicy}, {0x1F, "set both", kOk},
        {0x1F, "set bt", kOk},     {0x1E, "set wifi", kOk},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "kovactl " << c.pszArgs << " from 0x" << std::hex << int(c.byStatus));
        ASSERT_NO_FATAL_FAILURE(Start(c.byStatus));
        std::string strOut;
        EXPECT_EQ(c.dwExit, Ctl(c.pszArgs, strOut)) << strOut;
        if (c.dwExit == kPolicy)
        {
            EXPECT_NE(std::string::npos, strOut.find("policy forbids switching Bluetooth on")) << strOut;
            EXPECT_TRUE(Writes().empty());
        }
    }
    std::string strOut;
    EXPECT_EQ(kOk, Ctl("status --json", strOut));
    EXPECT_NE(std::string::npos, strOut.find("\"policy\": {\"bluetooth\": \"forbidden\", \"wifi\": \"allowed\"}")) << strOut;
}

TEST_F(KovactlTest, HelpListsCommandsAndExitCodes)
{
    for (const char* pszArg : {"/?", "--help"})
    {
        std::string strOut;
        EXPECT_EQ(kOk, Ctl(pszArg, strOut)) << pszArg;
        for (const char* pszPart : {"KOVACTL status [--json]", "KOVACTL set {both | wifi | bt}", "KOVACTL refresh",
                                    "KOVACTL quit", "KOVACTL diag [--json]", "Exit codes:", "5  Refused",
                                    "7  EMSC.dll does not answer.", "8  Refused: the organisation"})
            EXPECT_NE(std::string::npos, strOut.find(pszPart)) << pszArg << " lacks " << pszPart;
    }
}

// refresh and quit set Kova's events; the test holds them, as a running Kova would.
TEST_F(KovactlTest, RefreshAndQuitSetTheirEventsOnly)
{
    kfw::CHandle hNotify(::CreateEventA(nullptr, FALSE, FALSE, kNotifyEvent));
    kfw::CHandle hClose(::CreateEventA(nullptr, FALSE, FALSE, kCloseEvent));
    ASSERT_TRUE(hNotify && hClose);
    std::string strOut;
    EXPECT_EQ(kOk, Ctl("refresh", strOut)) << strOut;
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(hNotify.Get(), 0));
    EXPECT_EQ(WAIT_TIMEOUT, ::WaitForSingleObject(hClose.Get(), 0));

    EXPECT_EQ(kOk, Ctl("quit", strOut)) << strOut;
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(hClose.Get(), 0));
    EXPECT_EQ(WAIT_TIMEOUT, ::WaitForSingleObject(hNotify.Get(), 0));

    ASSERT_NO_FATAL_FAILURE(Start(0x1C));
    EXPECT_EQ(kOk, Ctl("set both", strOut)) << strOut;
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(hNotify.Get(), 0)) << "set must tell Kova";
}

// A copy of kovactl.exe in a folder of its own below build/bin, run with build/bin (which
// holds a good EMSC.dll) as the current directory: that one must not be taken.
class CCopyBesideBin {
public:
    CCopyBesideBin() : m_strName(UniqueName("kovactl_copy")), m_strPath(BinPath(m_strName.c_str()) + "\\")
    {
        m_bReady = ::CreateDirectoryA(m_strPath.c_str(), nullptr) &&
                   ::CopyFileA(BinPath("kovactl.exe").c_str(), (m_strPath + "kovactl.exe").c_str(), FALSE);
    }
    ~CCopyBesideBin()
    {
        // The image of a process that has just ended can stay locked for a moment.
        PumpUntil([&] {
            ::DeleteFileA((m_strPath + "kovactl.exe").c_str());
            ::DeleteFileA((m_strPath + "EMSC.dll").c_str());
            ::RemoveDirectoryA(m_strPath.c_str());
            return ::GetFileAttributesA(m_strPath.c_str()) == INVALID_FILE_ATTRIBUTES;
        }, 3000);
    }
    CCopyBesideBin(const CCopyBesideBin&) = delete;
    CCopyBesideBin& operator=(const CCopyBesideBin&) = delete;

    bool IsReady() const { return m_bReady; }
    bool AddLibrary(const char* pszRelative)
    {
        return ::CopyFileA(BinPath(pszRelative).c_str(), (m_strPath + "EMSC.dll").c_str(), FALSE) != FALSE;
    }
    // For RunProgram, relative to build/bin.
    std::string Exe() const { return m_strName + "\\kovactl.exe"; }

private:
    std::string m_strName;
    std::string m_strPath;
    bool m_bReady = false;
};

TEST_F(KovactlTest, MissingLibraryAndMissingEntryPointAreReported)
{
    ASSERT_NO_FATAL_FAILURE(Start(0x1C));
    CCopyBesideBin copy;
    ASSERT_TRUE(copy.IsReady());
    std::string strOut;
    EXPECT_EQ(kNoLibrary, Ctl("set both", strOut, copy.Exe().c_str()));
    EXPECT_NE(std::string::npos, strOut.find("ERROR: EMSC.dll was not found")) << strOut;

    ASSERT_TRUE(copy.AddLibrary("noentry\\EMSC.dll"));
    EXPECT_EQ(kNoEntry, Ctl("status", strOut, copy.Exe().c_str()));
    EXPECT_NE(std::string::npos, strOut.find("ERROR: EMSC.dll has no EMSCEvaluate entry point")) << strOut;
    EXPECT_TRUE(Writes().empty());
    EXPECT_EQ(0x1C, Status());

    // The same copy works once the good library sits beside it.
    ASSERT_TRUE(copy.AddLibrary("EMSC.dll"));
    EXPECT_EQ(kOk, Ctl("set both", strOut, copy.Exe().c_str())) << strOut;
    EXPECT_EQ(0x1F, Status());
}

// diag prints the whole report, only reads, and exits as status would, whatever the library.
TEST_F(KovactlTest, DiagReportsEachLibraryStateAndExitsAsStatus)
{
    ASSERT_NO_FATAL_FAILURE(Start(0x1D));
    CCopyBesideBin copy;
    ASSERT_TRUE(copy.IsReady());
    const struct {
        const char* pszName;
        bool bCopy;                 // the copy in a folder of its own, else build/bin's kovactl
        const char* pszLibrary;     // put beside the copy first
        bool bFault;
        DWORD dwExit;
        const char* pszLine;
        const char* pszJson;
    } cases[] = {
        {"present", false, nullptr, false, kOk, "Status byte:       0x1D\n",
         "\"status\": 29, \"wifi\": {\"fitted\": true, \"on\": true}"},
        {"fault", false, nullptr, true, kOk, "Status byte:       read failed", "\"read\": \"failed\", \"result\": 0"},
        {"absent", true, nullptr, false, kNoLibrary, "Library:           not found\n", "\"path\": null"},
        {"no entry", true, "noentry\\EMSC.dll", false, kNoEntry, "EMSCEvaluate:      missing\n",
         "\"entry_point\": false"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.pszName);
        ASSERT_NO_FATAL_FAILURE(SetFault(c.bFault));
        ASSERT_TRUE(!c.pszLibrary || copy.AddLibrary(c.pszLibrary));
        const std::string strExe = c.bCopy ? copy.Exe() : "kovactl.exe";
        std::string strText, strJson;
        EXPECT_EQ(c.dwExit, Ctl("diag", strText, strExe.c_str()));
        EXPECT_EQ(c.dwExit, Ctl("diag --json", strJson, strExe.c_str()));
        for (const char* psz : {"Kova diagnostics", "\nWindows\n  Version:", "\nEMSC.dll\n", c.pszLine})
            EXPECT_NE(std::string::npos, strText.find(psz)) << psz << "\n" << strText;
        EXPECT_NE(std::string::npos, strJson.find(c.pszJson)) << strJson;
        EXPECT_EQ(strJson.size() - 1, strJson.find('\n')) << "one object on one line";
    }
    ASSERT_NO_FATAL_FAILURE(SetFault(false));
    EXPECT_TRUE(Writes().empty()) << "diag must only read";
    EXPECT_EQ(0x1D, Status());
}

// diag reports on the library Kova itself loads: with Kova running, from Kova's folder,
// wherever kovactl is (here a copy in a folder without a library).
TEST_F(KovactlTest, DiagLooksWhereTheRunningKovaLooks)
{
    ASSERT_NO_FATAL_FAILURE(Start(0x1D));
    CCopyBesideBin copy;
    ASSERT_TRUE(copy.IsReady());
    CResidentKova kova(m_state);
    ASSERT_TRUE(kova.IsResident()) << kova.Describe();
    std::string strText;
    EXPECT_EQ(kOk, Ctl("diag", strText, copy.Exe().c_str()));
    for (const char* psz : {"(the running Kova)\n", "Looked in:         the running Kova's folder", "0x1D\n"})
        EXPECT_NE(std::string::npos, strText.find(psz)) << psz << "\n" << strText;
    ASSERT_TRUE(SignalFromAnotherProcess(kCloseEvent));
    EXPECT_EQ(0u, kova.Wait());
}

// A library that never returns: each command gives up in time, says so and exits 7.
TEST_F(KovactlTest, LibraryThatDoesNotAnswerEndsEachCommandWithSeven)
{
    ASSERT_NO_FATAL_FAILURE(Start(0x1F));
    ASSERT_TRUE(m_state.SetDelay(EMSCDEV_DELAY_HANG));
    const struct {
        const char* pszArgs;
        const char* pszSays;
    } cases[] = {
        {"status", "ERROR: EMSC.dll does not answer.\n"},
        {"set wifi", "ERROR: EMSC.dll does not answer.\n"},
        {"diag", "Status byte:       no answer"},
        {"diag --json", "\"read\": \"no_answer\", \"result\": null, \"status\": null"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.pszArgs);
        std::string strOut;
        const DWORD dwStart = ::GetTickCount();
        EXPECT_EQ(kNoAnswer, Ctl(c.pszArgs, strOut));
        EXPECT_LT(::GetTickCount() - dwStart, 8000u);
        EXPECT_NE(std::string::npos, strOut.find(c.pszSays)) << strOut;
    }
    ASSERT_TRUE(m_state.SetDelay(0));
    EXPECT_TRUE(Writes().empty());
}

TEST_F(KovactlTest, RunningKovaFollowsSetAndQuits)
{
    ASSERT_NO_FATAL_FAILURE(Start(0x1F));
    CResidentKova kova(m_state, KovaStart().Tip(kTipBothOn));
    ASSERT_TRUE(kova.IsResident()) << kova.Describe();

    std::string strOut;
    EXPECT_EQ(kOk, Ctl("set wifi", strOut)) << strOut;
    EXPECT_EQ(std::string::npos, strOut.find("not running")) << strOut;
    EXPECT_TRUE(kova.WaitForIcon(kTipWlanOn)) << "the tray did not follow";

    // diag finds it, and the semaphore it made free.
    EXPECT_EQ(kOk, Ctl("diag --json", strOut)) << strOut;
    EXPECT_NE(std::string::npos, strOut.find("\"running\": true, \"pid\": " + std::to_string(kova.Pid()) +
                                             ", \"semaphore\": \"free\"")) << strOut;

    EXPECT_EQ(kOk, Ctl("quit", strOut)) << strOut;
    EXPECT_EQ(0u, kova.Wait());
}

} // namespace
