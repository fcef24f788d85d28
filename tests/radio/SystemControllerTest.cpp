// SystemController against fake EMSCEvaluate entry points of both calling conventions.
#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "radio/EmscCall.h"
#include "radio/RadioBits.h"
#include "radio/SystemController.h"
#include "StackMark.h"
#include "support/TraceCapture.h"

namespace {

struct Recorded {
    uint8_t command;
    std::vector<uint8_t> in;
    uint32_t inLength;
    bool bHadOut;
    uint32_t outLength;
};

// A one-byte EC that keeps what is written and remembers every request.
struct FakeEc {
    uint8_t byStatus = 0;
    bool bFault = false;
    std::vector<Recorded> requests;
    std::set<uintptr_t> recordAddresses;   // where the by-value record sat on the stack
    bool bTrackAddresses = false;
};
FakeEc g_fake;

int Serve(const EmscRequest& request)
{
    if (g_fake.bTrackAddresses) {
        g_fake.recordAddresses.insert(reinterpret_cast<uintptr_t>(&request));
        return 1;
    }
    Recorded r{ request.command, {}, request.inLength, request.outBuffer != nullptr, request.outLength };
    if (request.inBuffer)
        r.in.assign(request.inBuffer, request.inBuffer + request.inLength);
    g_fake.requests.push_back(r);
    if (request.command == EC_CMD_READ && !g_fake.bFault && request.outBuffer && request.outLength >= 1)
        request.outBuffer[0] = g_fake.byStatus;
    if (request.command == EC_CMD_WRITE && request.inLength == 2)
        g_fake.byStatus = request.inBuffer[1];
    return 1;
}

extern "C" int __cdecl FakeCdecl(EmscRequest request) { return Serve(request); }
extern "C" int __stdcall FakeStdcall(EmscRequest request) { return Serve(request); }


struct Convention {
    const char* pszName;
    PFN_EMSCEVALUATE pfnEntry;
};
void PrintTo(const Convention& convention, std::ostream* pOut) { *pOut << convention.pszName; }

class SystemControllerTest : public ::testing::TestWithParam<Convention> {
protected:
    void SetUp() override
    {
        g_fake = FakeEc();
        g_pfnEMSCEvaluate = GetParam().pfnEntry;
    }
    void TearDown() override
    {
        g_pfnEMSCEvaluate = nullptr;
    }

    // The values written to register 0xBB, in order.
    static std::vector<uint8_t> WrittenValues()
    {
        std::vector<uint8_t> values;
        for (const Recorded& r : g_fake.requests)
            if (r.command == EC_CMD_WRITE && r.in.size() == 2 && r.in[0] == EC_REG_RADIO_STATUS)
                values.push_back(r.in[1]);
        return values;
    }

    SystemController m_controller;
    kovatest::CTraceCapture m_trace;
};

struct Answers { BOOL bWlanOn, bBtOn, bWlanExist, bBtExist, bSwitchOn; };

Answers Ask(SystemController& controller)
{
    return { controller.IsWirelessOn(), controller.IsBluetoothOn(), controller.IsWirelessExist(),
             controller.IsBluetoothExist(), controller.IsKillSwitchOn() };
}

void ExpectAnswers(const Answers& got, const Answers& want, uint8_t byStatus)
{
    EXPECT_EQ(got.bWlanOn, want.bWlanOn) << "status 0x" << std::hex << +byStatus;
    EXPECT_EQ(got.bBtOn, want.bBtOn) << "status 0x" << std::hex << +byStatus;
    EXPECT_EQ(got.bWlanExist, want.bWlanExist) << "status 0x" << std::hex << +byStatus;
    EXPECT_EQ(got.bBtExist, want.bBtExist) << "status 0x" << std::hex << +byStatus;
    EXPECT_EQ(got.bSwitchOn, want.bSwitchOn) << "status 0x" << std::hex << +byStatus;
}

} // namespace

TEST_P(SystemControllerTest, QueryReadsRegister0xBBOnceAndAnswersOneOrZero)
{
    struct Case { uint8_t byStatus; Answers answers; };
    const Case aCases[] = {
        { 0x1F, { 1, 1, 1, 1, 1 } },
        { 0x00, { 0, 0, 0, 0, 0 } },
        { 0x14, { 0, 0, 1, 0, 1 } },
        { 0x0A, { 0, 1, 0, 1, 0 } },
        { 0xE0, { 0, 0, 0, 0, 0 } },   // bits 5-7 mean nothing
        { 0xFF, { 1, 1, 1, 1, 1 } },
    };
    for (const Case& c : aCases) {
        g_fake.byStatus = c.byStatus;
        g_fake.requests.clear();
        m_controller.QueryWsBlStatus();
        EXPECT_EQ(m_controller.returnECData, c.byStatus);
        ExpectAnswers(Ask(m_controller), c.answers, c.byStatus);
        // The questions come from the cache: still the one read.
        ASSERT_EQ(g_fake.requests.size(), 1u);
        const Recorded& r = g_fake.requests[0];
        EXPECT_EQ(r.command, EC_CMD_READ);
        EXPECT_EQ(r.in, std::vector<uint8_t>{ EC_REG_RADIO_STATUS });
        EXPECT_EQ(r.inLength, 1u);
        EXPECT_TRUE(r.bHadOut);
        EXPECT_EQ(r.outLength, 1u);
    }
}

TEST_P(SystemControllerTest, DebuggerLinesAreExact)
{
    g_fake.byStatus = 0x1F;
    m_controller.QueryWsBlStatus();
    g_fake.byStatus = 0x00;
    m_controller.QueryWsBlStatus();
    g_fake.byStatus = 0xE4;
    m_controller.QueryWsBlStatus();
    Ask(m_controller);
    const std::vector<std::string> expected = {
        "void SystemController::QueryWsBlStatus()", "ECNRWD.returnECData is Hex(0x1f)",
        "void SystemController::QueryWsBlStatus()", "ECNRWD.returnECData is Hex(0x0)",
        "void SystemController::QueryWsBlStatus()", "ECNRWD.returnECData is Hex(0xe4)",
        "BOOL SystemController::IsWirelessOn()",
        "BOOL SystemController::IsBluetoothOn()",
        "BOOL SystemController::IsWirelessExist()",
        "BOOL SystemController::IsBluetoothExist()",
        "BOOL SystemController::IsKillSwitchOn()",
    };
    EXPECT_EQ(m_trace.Lines(), expected);

    // A set writes no line of its own: only those of its fresh read.
    m_trace.Clear();
    m_controller.SetBluetoothOn(TRUE);
    EXPECT_EQ(m_trace.Lines(), (std::vector<std::string>{ "void SystemController::QueryWsBlStatus()",
                                                  "ECNRWD.returnECData is Hex(0xe4)" }));
}

TEST_P(SystemControllerTest, SetReadsAgainAndWritesOneBitBack)
{
    enum Which { WLAN, BT };
    struct Case { uint8_t byStatus; Which eWhich; BOOL bOn; uint8_t byWritten; };
    const Case aCases[] = {
        { 0x14, WLAN, TRUE, 0x15 },
        { 0x1F, BT, FALSE, 0x1D },
        { 0x1F, WLAN, FALSE, 0x1E },
        { 0xF4, WLAN, TRUE, 0xF5 },    // bits 5-7 read as set go back set
        { 0xFD, BT, FALSE, 0xFD },     // already off: written anyway, unchanged
        { 0xA8, BT, 2, 0xAA },         // any non-zero BOOL means on
    };
    for (const Case& c : aCases) {
        g_fake.byStatus = c.byStatus;
        g_fake.requests.clear();
        m_controller.returnECData = static_cast<BYTE>(~c.byStatus);   // stale: must not be used
        BOOL bResult = c.eWhich == WLAN ? m_controller.SetWirelessOn(c.bOn) : m_controller.SetBluetoothOn(c.bOn);
        EXPECT_EQ(bResult, TRUE);
        ASSERT_EQ(g_fake.requests.size(), 2u) << "status 0x" << std::hex << +c.byStatus;
        EXPECT_EQ(g_fake.requests[0].command, EC_CMD_READ);
        const Recorded& w = g_fake.requests[1];
        EXPECT_EQ(w.command, EC_CMD_WRITE);
        EXPECT_EQ(w.in, (std::vector<uint8_t>{ EC_REG_RADIO_STATUS, c.byWritten }))
            << "status 0x" << std::hex << +c.byStatus;
        EXPECT_EQ(w.inLength, 2u);
        EXPECT_FALSE(w.bHadOut);
        EXPECT_EQ(w.outLength, 0u);
    }
}

TEST_P(SystemControllerTest, WriteLeavesTheCacheAtTheByteReadBeforeIt)
{
    g_fake.byStatus = 0x14;
    m_controller.SetWirelessOn(TRUE);
    EXPECT_EQ(g_fake.byStatus, 0x15);
    EXPECT_EQ(m_controller.returnECData, 0x14);
    EXPECT_EQ(m_controller.IsWirelessOn(), FALSE);
    m_controller.QueryWsBlStatus();
    EXPECT_EQ(m_controller.IsWirelessOn(), TRUE);
}

TEST_P(SystemControllerTest, TwoSetsInARowCompose)
{
    g_fake.byStatus = 0x1C;
    m_controller.SetWirelessOn(TRUE);
    m_controller.SetBluetoothOn(TRUE);
    EXPECT_EQ(WrittenValues(), (std::vector<uint8_t>{ 0x1D, 0x1F }));

    // And the controllers of two owners do not see each other's writes until they read.
    SystemController other;
    other.QueryWsBlStatus();
    m_controller.SetWirelessOn(FALSE);
    EXPECT_EQ(other.returnECData, 0x1F);
    EXPECT_EQ(g_fake.byStatus, 0x1E);
}

TEST_P(SystemControllerTest, ReadThatFillsNothingLeaves0x66)
{
    g_fake.byStatus = 0x1F;
    m_controller.QueryWsBlStatus();
    g_fake.bFault = true;
    m_trace.Clear();
    m_controller.QueryWsBlStatus();
    EXPECT_EQ(m_controller.returnECData, 0x66);
    // WLAN fitted and off, BT not fitted, switch off (bit 1 is set but means nothing then).
    ExpectAnswers(Ask(m_controller), { 0, 1, 1, 0, 0 }, 0x66);
    ASSERT_GE(m_trace.Lines().size(), 2u);
    EXPECT_EQ(m_trace.Lines()[1], "ECNRWD.returnECData is Hex(0x66)");
}

TEST_P(SystemControllerTest, ModeCodesWriteWhatTheFittedRadiosAllow)
{
    struct Case { int nCode; BOOL bBothFitted; uint8_t byStatus; std::vector<uint8_t> writes; };
    const Case aCases[] = {
        { MODE_BT_ONLY, TRUE, 0x1D, { 0x1F, 0x1E } },
        { MODE_BT_ONLY, FALSE, 0x19, { 0x1B } },        // BT only fitted: bit 0 is never cleared
        { MODE_BOTH_ON, TRUE, 0x1C, { 0x1E, 0x1F } },
        { MODE_BOTH_ON, FALSE, 0x14, { 0x16, 0x17 } },
        { MODE_WIFI_ONLY, TRUE, 0x1E, { 0x1C, 0x1D } },
        { MODE_WIFI_ONLY, FALSE, 0x16, { 0x17 } },      // WLAN only fitted: bit 1 is left alone
        { MODE_WIFI_ONLY, TRUE, 0xFE, { 0xFC, 0xFD } },
        { 0, TRUE, 0x1F, {} },
        { 2, TRUE, 0x1F, {} },
        { 133, TRUE, 0x1F, {} },
        { -1, FALSE, 0x1F, {} },
    };
    for (const Case& c : aCases) {
        g_fake.byStatus = c.byStatus;
        g_fake.requests.clear();
        ApplyModeCode(m_controller, c.nCode, c.bBothFitted);
        EXPECT_EQ(WrittenValues(), c.writes) << "code " << c.nCode << " both fitted " << c.bBothFitted;
        // One fresh read before each write, nothing at all for a value that is no mode.
        EXPECT_EQ(g_fake.requests.size(), 2 * c.writes.size()) << "code " << c.nCode;
    }
}

TEST_P(SystemControllerTest, StackStaysBalancedOverManyCalls)
{
    // The record is passed by value: a __stdcall library pops it, a __cdecl one leaves it.
    // Called from one place in a loop, the record must land at the same address every time,
    // and the loop's own stack pointer must not move.
    volatile uint32_t dwCanaryBefore = 0xC0FFEE11;
    uint8_t byRegister = EC_REG_RADIO_STATUS;
    uint8_t byOut = 0;
    EmscRequest request = {};
    request.command = EC_CMD_READ;
    request.inBuffer = &byRegister;
    request.inLength = 1;
    request.outBuffer = &byOut;
    request.outLength = 1;
    volatile uint32_t dwCanaryAfter = 0x5AFE5AFE;
    g_fake.bTrackAddresses = true;

    uintptr_t uFirstMark = 0;
    int nMoved = 0;
    for (int i = 0; i < 5000; ++i) {
        uintptr_t uMark = StackMark();
        if (i == 0)
            uFirstMark = uMark;
        else if (uMark != uFirstMark)
            ++nMoved;
        EXPECT_EQ(EmscInvoke(GetParam().pfnEntry, request), 1);
    }
    EXPECT_EQ(nMoved, 0);
    EXPECT_EQ(g_fake.recordAddresses.size(), 1u);
    EXPECT_EQ(dwCanaryBefore, 0xC0FFEE11u);
    EXPECT_EQ(dwCanaryAfter, 0x5AFE5AFEu);
}

INSTANTIATE_TEST_SUITE_P(Conventions, SystemControllerTest,
                         ::testing::Values(Convention{ "Cdecl", reinterpret_cast<PFN_EMSCEVALUATE>(&FakeCdecl) },
                                           Convention{ "Stdcall", reinterpret_cast<PFN_EMSCEVALUATE>(&FakeStdcall) }),
                         [](const ::testing::TestParamInfo<Convention>& info) { return std::string(info.param.pszName); });

TEST(SystemControllerNoLibrary, NullEntryPointIsNeverCalled)
{
    g_fake = FakeEc();
    g_pfnEMSCEvaluate = nullptr;
    kovatest::CTraceCapture trace;
    SystemController controller;
    controller.QueryWsBlStatus();
    EXPECT_EQ(controller.returnECData, 0x66);
    EXPECT_EQ(controller.SetWirelessOn(TRUE), TRUE);
    ApplyModeCode(controller, MODE_BOTH_ON, TRUE);
    uint8_t byRegister = EC_REG_RADIO_STATUS;
    EXPECT_EQ(EmscEvaluate(EmscRequest{ EC_CMD_WRITE, {}, &byRegister, 1, nullptr, 0 }), 0);
}

TEST(SystemControllerNoLibrary, ModuleWithoutTheExportLeavesTheEntryPointNull)
{
    g_pfnEMSCEvaluate = reinterpret_cast<PFN_EMSCEVALUATE>(&FakeCdecl);
    EXPECT_FALSE(BindEmscEntry(::GetModuleHandleA("kernel32.dll")));
    EXPECT_EQ(g_pfnEMSCEvaluate, nullptr);
    g_pfnEMSCEvaluate = reinterpret_cast<PFN_EMSCEVALUATE>(&FakeCdecl);
    EXPECT_FALSE(BindEmscEntry(nullptr));
    EXPECT_EQ(g_pfnEMSCEvaluate, nullptr);
}
