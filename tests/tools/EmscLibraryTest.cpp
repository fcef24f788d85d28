// SystemController and emscdev.exe against the real development EMSC.dll, both builds.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "framework/Handles.h"
#include "radio/EmscCall.h"
#include "radio/RadioBits.h"
#include "radio/StackMark.h"
#include "radio/SystemController.h"
#include "support/EmscState.h"
#include "support/TestSupport.h"
#include "support/TraceCapture.h"
#include "tools/emsc/EmscDev.h"

namespace {

template <class Pfn>
Pfn Export(HMODULE hModule, const char* pszName)
{
    return reinterpret_cast<Pfn>(reinterpret_cast<void (*)(void)>(::GetProcAddress(hModule, pszName)));
}

// The library with its test exports resolved; bound as the process's entry point while alive.
class CEmscLibrary {
public:
    explicit CEmscLibrary(const std::string& strPath) : m_module(::LoadLibraryA(strPath.c_str()))
    {
        HMODULE h = m_module.Get();
        pfnGetStatus = Export<PFN_EMSCDEVGETSTATUS>(h, EMSCDEV_GETSTATUS);
        pfnSetStatus = Export<PFN_EMSCDEVSETSTATUS>(h, EMSCDEV_SETSTATUS);
        pfnGetFault = Export<PFN_EMSCDEVGETFAULT>(h, EMSCDEV_GETFAULT);
        pfnSetFault = Export<PFN_EMSCDEVSETFAULT>(h, EMSCDEV_SETFAULT);
        pfnGetDelay = Export<PFN_EMSCDEVGETDELAY>(h, EMSCDEV_GETDELAY);
        pfnSetDelay = Export<PFN_EMSCDEVSETDELAY>(h, EMSCDEV_SETDELAY);
        pfnReadLog = Export<PFN_EMSCDEVREADLOG>(h, EMSCDEV_READLOG);
        pfnClearLog = Export<PFN_EMSCDEVCLEARLOG>(h, EMSCDEV_CLEARLOG);
        BindEmscEntry(h);
    }
    ~CEmscLibrary() { BindEmscEntry(nullptr); }
    CEmscLibrary(const CEmscLibrary&) = delete;
    CEmscLibrary& operator=(const CEmscLibrary&) = delete;

    bool Complete() const
    {
        return m_module && g_pfnEMSCEvaluate && pfnGetStatus && pfnSetStatus && pfnGetFault &&
               pfnSetFault && pfnGetDelay && pfnSetDelay && pfnReadLog && pfnClearLog;
    }
    uint8_t Status() const
    {
        uint8_t by = 0;
        EXPECT_EQ(pfnGetStatus(&by), 1);
        return by;
    }
    std::vector<EmscDevLogEntry> Log(uint32_t nMax = EMSCDEV_LOG_CAPACITY) const
    {
        std::vector<EmscDevLogEntry> entries(nMax);
        uint32_t nCopied = 0;
        EXPECT_EQ(pfnReadLog(entries.data(), nMax, &nCopied), 1);
        entries.resize(nCopied);
        return entries;
    }

    PFN_EMSCDEVGETSTATUS pfnGetStatus;
    PFN_EMSCDEVSETSTATUS pfnSetStatus;
    PFN_EMSCDEVGETFAULT pfnGetFault;
    PFN_EMSCDEVSETFAULT pfnSetFault;
    PFN_EMSCDEVGETDELAY pfnGetDelay;
    PFN_EMSCDEVSETDELAY pfnSetDelay;
    PFN_EMSCDEVREADLOG pfnReadLog;
    PFN_EMSCDEVCLEARLOG pfnClearLog;

private:
    kfw::CModule m_module;
};

class EmscLibraryTest : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_library.Complete()) << kovatest::BinPath(GetParam());
    }

    kovatest::CEmscState m_state;   // before the library: it reads the variable on each call
    CEmscLibrary m_library{ kovatest::BinPath(GetParam()) };
    kovatest::CTraceCapture m_quiet;
};

} // namespace

TEST_P(EmscLibraryTest, NewStateIs0x1FAndReadsAndWritesReachIt)
{
    EXPECT_EQ(m_library.Status(), EMSCDEV_INITIAL_STATUS);
    SystemController controller;
    controller.QueryWsBlStatus();
    EXPECT_EQ(controller.returnECData, 0x1F);

    ASSERT_EQ(m_library.pfnSetStatus(0x14), 1);
    ASSERT_EQ(m_library.pfnClearLog(), 1);
    controller.SetWirelessOn(TRUE);
    EXPECT_EQ(m_library.Status(), 0x15);

    std::vector<EmscDevLogEntry> log = m_library.Log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].command, EC_CMD_READ);
    EXPECT_EQ(log[0].bAccepted, 1);
    EXPECT_EQ(log[0].inLength, 1u);
    EXPECT_EQ(log[0].outLength, 1u);
    EXPECT_EQ(log[0].abyIn[0], EC_REG_RADIO_STATUS);
    EXPECT_EQ(log[1].command, EC_CMD_WRITE);
    EXPECT_EQ(log[1].bAccepted, 1);
    EXPECT_EQ(log[1].cbInCopied, 2);
    EXPECT_EQ(log[1].abyIn[0], EC_REG_RADIO_STATUS);
    EXPECT_EQ(log[1].abyIn[1], 0x15);
    EXPECT_EQ(log[1].bHadOutBuffer, 0);
    EXPECT_EQ(log[1].dwProcessId, ::GetCurrentProcessId());

    ApplyModeCode(controller, MODE_BT_ONLY, TRUE);
    EXPECT_EQ(m_library.Status(), 0x16);
}

TEST_P(EmscLibraryTest, FaultModeLeavesTheReadBufferAndTheControllerSees0x66)
{
    ASSERT_EQ(m_library.pfnSetFault(1), 1);
    int bFault = 0;
    ASSERT_EQ(m_library.pfnGetFault(&bFault), 1);
    EXPECT_EQ(bFault, 1);
    SystemController controller;
    controller.QueryWsBlStatus();
    EXPECT_EQ(controller.returnECData, 0x66);
    EXPECT_EQ(controller.IsKillSwitchOn(), FALSE);
    EXPECT_EQ(m_library.Log().back().bAccepted, 0);

    // Writes still land; reads come back once the fault is off.
    controller.SetBluetoothOn(FALSE);
    ASSERT_EQ(m_library.pfnSetFault(0), 1);
    controller.QueryWsBlStatus();
    EXPECT_EQ(controller.returnECData, 0x64);   // the 0x66 it read, with bit 1 cleared
}

TEST_P(EmscLibraryTest, MalformedRequestsAreRefusedWithoutTouchingMemory)
{
    struct Case {
        const char* pszWhat;
        uint8_t command;
        std::vector<uint8_t> in;   // empty: null inBuffer
        uint32_t inLength;
        bool bOut;
        uint32_t outLength;
        int nResult;
        uint8_t byOut0;            // first byte of the reply buffer afterwards
        uint8_t byStatusAfter;
    };
    const uint8_t CANARY = 0xCC;
    const Case aCases[] = {
        { "read", EC_CMD_READ, { 0xBB }, 1, true, 1, 1, 0x3A, 0x3A },
        { "read, bigger buffer", EC_CMD_READ, { 0xBB }, 1, true, 4, 1, 0x3A, 0x3A },
        { "read, no out buffer", EC_CMD_READ, { 0xBB }, 1, false, 1, 0, CANARY, 0x3A },
        { "read, out length 0", EC_CMD_READ, { 0xBB }, 1, true, 0, 0, CANARY, 0x3A },
        { "read, other register", EC_CMD_READ, { 0xBC }, 1, true, 1, 0, CANARY, 0x3A },
        { "read, no in buffer", EC_CMD_READ, {}, 1, true, 1, 0, CANARY, 0x3A },
        { "read, in length 0", EC_CMD_READ, { 0xBB }, 0, true, 1, 0, CANARY, 0x3A },
        { "read, in length 2", EC_CMD_READ, { 0xBB, 0x00 }, 2, true, 1, 0, CANARY, 0x3A },
        { "write, in length 1", EC_CMD_WRITE, { 0xBB, 0x01 }, 1, false, 0, 0, CANARY, 0x3A },
        { "write, in length 3", EC_CMD_WRITE, { 0xBB, 0x01, 0x02 }, 3, false, 0, 0, CANARY, 0x3A },
        { "write, other register", EC_CMD_WRITE, { 0xBA, 0x01 }, 2, false, 0, 0, CANARY, 0x3A },
        { "write, no in buffer", EC_CMD_WRITE, {}, 2, false, 0, 0, CANARY, 0x3A },
        { "write with a reply buffer", EC_CMD_WRITE, { 0xBB, 0x05 }, 2, true, 4, 1, CANARY, 0x05 },
        { "other command", 0xB2, { 0xBB, 0x01 }, 2, true, 4, 0, CANARY, 0x3A },
        { "no command", 0x00, { 0xBB }, 1, true, 1, 0, CANARY, 0x3A },
    };
    for (const Case& c : aCases) {
        ASSERT_EQ(m_library.pfnSetStatus(0x3A), 1);
        std::vector<uint8_t> in = c.in;
        uint8_t abyOut[8];
        std::memset(abyOut, CANARY, sizeof abyOut);
        EmscRequest request = {};
        request.command = c.command;
        request.inBuffer = in.empty() ? nullptr : in.data();
        request.inLength = c.inLength;
        request.outBuffer = c.bOut ? abyOut : nullptr;
        request.outLength = c.outLength;
        EXPECT_EQ(EmscEvaluate(request), c.nResult) << c.pszWhat;
        EXPECT_EQ(abyOut[0], c.byOut0) << c.pszWhat;
        for (size_t i = 1; i < sizeof abyOut; ++i)
            EXPECT_EQ(abyOut[i], CANARY) << c.pszWhat << ", byte " << i;
        EXPECT_EQ(m_library.Status(), c.byStatusAfter) << c.pszWhat;
        EXPECT_EQ(m_library.Log().back().bAccepted, c.nResult) << c.pszWhat;
    }
}

TEST_P(EmscLibraryTest, CommandIsByteZeroOnlyWhateverThePadding)
{
    uint8_t byRegister = EC_REG_RADIO_STATUS;
    uint8_t byOut = 0;
    EmscRequest request = { EC_CMD_READ, { 0xDE, 0xAD, 0xBF }, &byRegister, 1, &byOut, 1 };
    EXPECT_EQ(EmscEvaluate(request), 1);
    EXPECT_EQ(byOut, EMSCDEV_INITIAL_STATUS);
}

TEST_P(EmscLibraryTest, LogKeepsTheNewestRequestsOldestFirst)
{
    ASSERT_EQ(m_library.pfnClearLog(), 1);
    EXPECT_TRUE(m_library.Log().empty());
    SystemController controller;
    const uint32_t nCalls = EMSCDEV_LOG_CAPACITY + 6;
    for (uint32_t i = 0; i < nCalls; ++i)
        controller.QueryWsBlStatus();

    std::vector<EmscDevLogEntry> log = m_library.Log();
    ASSERT_EQ(log.size(), static_cast<size_t>(EMSCDEV_LOG_CAPACITY));
    for (size_t i = 0; i < log.size(); ++i)
        EXPECT_EQ(log[i].dwSequence, nCalls - EMSCDEV_LOG_CAPACITY + 1 + i);

    std::vector<EmscDevLogEntry> newest = m_library.Log(3);
    ASSERT_EQ(newest.size(), 3u);
    EXPECT_EQ(newest[0].dwSequence, nCalls - 2);
    EXPECT_EQ(newest[2].dwSequence, nCalls);

    uint32_t nCopied = 99;
    EXPECT_EQ(m_library.pfnReadLog(nullptr, 0, &nCopied), 1);
    EXPECT_EQ(nCopied, 0u);
    EXPECT_EQ(m_library.pfnReadLog(nullptr, 1, &nCopied), 0);
    EXPECT_EQ(m_library.pfnReadLog(log.data(), 1, nullptr), 0);
    EXPECT_EQ(m_library.pfnGetStatus(nullptr), 0);
    EXPECT_EQ(m_library.pfnGetFault(nullptr), 0);
}

TEST_P(EmscLibraryTest, ManyCrossModuleCallsKeepTheStack)
{
    volatile uint32_t dwCanary = 0xC0FFEE11;
    SystemController controller;
    uintptr_t uFirstMark = 0;
    int nMoved = 0;
    for (int i = 0; i < 2000; ++i) {
        uintptr_t uMark = StackMark();
        if (i == 0)
            uFirstMark = uMark;
        else if (uMark != uFirstMark)
            ++nMoved;
        controller.SetBluetoothOn(i & 1);
    }
    EXPECT_EQ(nMoved, 0);
    EXPECT_EQ(dwCanary, 0xC0FFEE11u);
    EXPECT_EQ(m_library.Status(), 0x1F);   // the last call, i = 1999, set it on
}

INSTANTIATE_TEST_SUITE_P(Builds, EmscLibraryTest, ::testing::Values("EMSC.dll", "stdcall\\EMSC.dll"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             return std::string(std::strchr(info.param, '\\') ? "Stdcall" : "Cdecl");
                         });

TEST(EmscState, KeptWhileNoProcessHoldsTheLibraryAndSharedByBothBuilds)
{
    kovatest::CEmscState state;
    {
        CEmscLibrary library(kovatest::BinPath("EMSC.dll"));
        ASSERT_TRUE(library.Complete());
        ASSERT_EQ(library.pfnSetStatus(0x2B), 1);
        ASSERT_EQ(library.pfnSetFault(1), 1);
    }
    {
        CEmscLibrary library(kovatest::BinPath("stdcall\\EMSC.dll"));
        ASSERT_TRUE(library.Complete());
        EXPECT_EQ(library.Status(), 0x2B);
        int bFault = 0;
        EXPECT_EQ(library.pfnGetFault(&bFault), 1);
        EXPECT_EQ(bFault, 1);
        ASSERT_EQ(library.pfnSetStatus(0x0C), 1);
    }
    CEmscLibrary library(kovatest::BinPath("EMSC.dll"));
    ASSERT_TRUE(library.Complete());
    EXPECT_EQ(library.Status(), 0x0C);
}

namespace {

struct ToolRun {
    DWORD dwExitCode = 0xFFFFFFFF;
    std::string strOut;
};

ToolRun RunEmscdev(const std::string& strArgs)
{
    ToolRun run;
    run.dwExitCode = kovatest::RunProgram("emscdev.exe", strArgs, run.strOut, 30000);
    return run;
}

} // namespace

TEST(Emscdev, SharesTheStateWithARunningProcess)
{
    kovatest::CEmscState state;
    CEmscLibrary library(kovatest::BinPath("stdcall\\EMSC.dll"));
    ASSERT_TRUE(library.Complete());

    ToolRun set = RunEmscdev("set 0x2A");
    EXPECT_EQ(set.dwExitCode, 0u) << set.strOut;
    SystemController controller;
    const kovatest::CTraceCapture quiet;
    controller.QueryWsBlStatus();
    EXPECT_EQ(controller.returnECData, 0x2A);
    controller.SetWirelessOn(TRUE);

    ToolRun get = RunEmscdev("get");
    EXPECT_EQ(get.dwExitCode, 0u);
    EXPECT_EQ(get.strOut.substr(0, 4), "0x2b") << get.strOut;

    ToolRun log = RunEmscdev("log");
    EXPECT_EQ(log.dwExitCode, 0u);
    EXPECT_NE(log.strOut.find("write cmd 0xb1 in [bb 2b] inLength 2 outLength 0 (no out) served"), std::string::npos)
        << log.strOut;
    EXPECT_EQ(RunEmscdev("clear").dwExitCode, 0u);
    EXPECT_TRUE(library.Log().empty());

    EXPECT_EQ(RunEmscdev("fault on").dwExitCode, 0u);
    ToolRun fault = RunEmscdev("fault");
    EXPECT_EQ(fault.dwExitCode, 0u);
    EXPECT_EQ(fault.strOut.substr(0, 2), "on");
    controller.QueryWsBlStatus();
    EXPECT_EQ(controller.returnECData, 0x66);
    EXPECT_EQ(RunEmscdev("fault off").dwExitCode, 0u);
    int bFault = 1;
    EXPECT_EQ(library.pfnGetFault(&bFault), 1);
    EXPECT_EQ(bFault, 0);

    const struct { const char* pszSet; uint32_t dwDelay; const char* pszShown; } delays[] = {
        { "delay hang", EMSCDEV_DELAY_HANG, "hang\r" }, { "delay 1500", 1500, "1500\r" }, { "delay 0", 0, "0\r" },
    };
    for (const auto& d : delays) {
        EXPECT_EQ(RunEmscdev(d.pszSet).dwExitCode, 0u) << d.pszSet;
        uint32_t dwDelay = 1;
        EXPECT_EQ(library.pfnGetDelay(&dwDelay), 1);
        EXPECT_EQ(dwDelay, d.dwDelay) << d.pszSet;
        EXPECT_EQ(RunEmscdev("delay").strOut.substr(0, std::strlen(d.pszShown)), d.pszShown) << d.pszSet;
    }
}

TEST(Emscdev, UsageErrorsExitWithTwoAndChangeNothing)
{
    kovatest::CEmscState state;
    CEmscLibrary library(kovatest::BinPath("EMSC.dll"));
    ASSERT_TRUE(library.Complete());
    ASSERT_EQ(library.pfnSetStatus(0x11), 1);
    const char* aszArgs[] = {
        "", "bogus", "GET", "set", "set 0x100", "set 256", "set -1", "set x1", "set 0x1G", "set \"\"",
        "set 1 2", "fault maybe", "fault on off", "get extra", "clear now",
        "delay -1", "delay 0x10", "delay 4294967295", "delay hung", "delay 1 2",
    };
    for (const char* pszArgs : aszArgs) {
        ToolRun run = RunEmscdev(pszArgs);
        EXPECT_EQ(run.dwExitCode, 2u) << "emscdev " << pszArgs;
        EXPECT_NE(run.strOut.find("usage: emscdev"), std::string::npos) << "emscdev " << pszArgs;
    }
    EXPECT_EQ(library.Status(), 0x11);
    int bFault = 1;
    EXPECT_EQ(library.pfnGetFault(&bFault), 1);
    EXPECT_EQ(bFault, 0);
    uint32_t dwDelay = 1;
    EXPECT_EQ(library.pfnGetDelay(&dwDelay), 1);
    EXPECT_EQ(dwDelay, 0u);

    // Bases strtoul understands, up to the top of the byte.
    EXPECT_EQ(RunEmscdev("set 255").dwExitCode, 0u);
    EXPECT_EQ(library.Status(), 0xFF);
    EXPECT_EQ(RunEmscdev("set 037").dwExitCode, 0u);
    EXPECT_EQ(library.Status(), 037);
}
