// The controller's calls into EMSC.dll when the library misbehaves: a call that does not
// return, and an unload while one is inside. Driven through the development library.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "framework/Handles.h"
#include "radio/EmscAccess.h"
#include "radio/EmscCall.h"
#include "radio/RadioBits.h"
#include "radio/SystemController.h"
#include "support/EmscState.h"
#include "support/TestSupport.h"
#include "support/TraceCapture.h"

namespace {

// The library bound as the process's entry point for one scope.
class CBoundEntry {
public:
    explicit CBoundEntry(HMODULE hModule) { BindEmscEntry(hModule); }
    ~CBoundEntry() { BindEmscEntry(nullptr); }
    CBoundEntry(const CBoundEntry&) = delete;
    CBoundEntry& operator=(const CBoundEntry&) = delete;
};

} // namespace

// A slow library is waited for; one that does not return fails the read in time as an
// unread byte, its late return writes nothing of the caller's, nothing else reaches it
// meanwhile (each call that did would trace a time-out of its own), and the next read after
// the release works. The development library holds no lock while it delays: another process
// changes the state meanwhile.
TEST(EmscController, CallThatDoesNotReturnFailsInTimeAndLetsNothingThrough)
{
    kovatest::CEmscState state(0x1F);
    ASSERT_TRUE(state.IsReady());
    const CBoundEntry entry(state.Module());
    ASSERT_TRUE(state.SetDelay(300));
    SystemController controller;
    controller.QueryWsBlStatus();
    EXPECT_TRUE(controller.LastReadAnswered());
    ASSERT_TRUE(state.ClearLog());
    ASSERT_TRUE(state.SetDelay(EMSCDEV_DELAY_HANG));
    const kovatest::CTraceCapture trace;

    uint8_t byRegister = EC_REG_RADIO_STATUS;
    uint8_t abyOut[2] = { STATUS_UNREAD, 0xCC };
    bool bAnswered = true;
    const DWORD dwStart = ::GetTickCount();
    EXPECT_EQ(EmscEvaluate(EmscRequest{ EC_CMD_READ, {}, &byRegister, 1, abyOut, 1 }, &bAnswered), 0);
    EXPECT_LT(::GetTickCount() - dwStart, 8000u);
    EXPECT_FALSE(bAnswered);
    EXPECT_TRUE(EmscCallPending());

    controller.QueryWsBlStatus();
    EXPECT_EQ(controller.returnECData, STATUS_UNREAD);
    EXPECT_FALSE(controller.LastReadAnswered());
    ApplyModeCode(controller, MODE_WIFI_ONLY, TRUE);
    uint8_t abyWrite[2] = { EC_REG_RADIO_STATUS, 0x1D };
    EXPECT_EQ(EmscEvaluate(EmscRequest{ EC_CMD_WRITE, {}, abyWrite, 2, nullptr, 0 }), 0);
    EXPECT_EQ(trace.Count("EMSCEvaluate did not return within 2000 ms"), 1u);
    EXPECT_EQ(trace.Count("EMSCEvaluate not called: an earlier call has not returned"), 4u);
    std::string strOut;
    EXPECT_EQ(kovatest::RunProgram("emscdev.exe", "set 0x2C", strOut), 0u) << strOut;

    EXPECT_TRUE(state.SetDelay(0));
    EXPECT_TRUE(kovatest::PumpUntil([] { return !EmscCallPending(); }, 8000));
    EXPECT_EQ(abyOut[0], STATUS_UNREAD) << "written after the caller gave up";
    EXPECT_EQ(abyOut[1], 0xCC);
    EXPECT_EQ(state.Log().size(), 1u) << "only the call that hung reached the library";
    EXPECT_EQ(state.Get(), 0x2C);

    controller.QueryWsBlStatus();
    EXPECT_TRUE(controller.LastReadAnswered());
    EXPECT_EQ(controller.returnECData, 0x2C);
}

// Unloading with a call inside neither waits for it nor frees the code it runs in.
TEST(EmscController, UnloadWithACallInsideLeavesTheLibraryMapped)
{
    kovatest::CEmscState state;
    CEmscAccess emsc;
    ASSERT_EQ(emsc.Load(), EmscLoad::Loaded);
    EXPECT_EQ(emsc.CandidateIndex(), 0u) << "the program's folder comes first";
    const HMODULE hModule = emsc.Module();
    auto pfnSetDelay = reinterpret_cast<PFN_EMSCDEVSETDELAY>(
        reinterpret_cast<void (*)()>(::GetProcAddress(hModule, EMSCDEV_SETDELAY)));
    ASSERT_TRUE(pfnSetDelay && pfnSetDelay(EMSCDEV_DELAY_HANG) == 1);
    const kovatest::CTraceCapture quiet;
    SystemController controller;
    controller.QueryWsBlStatus();
    EXPECT_FALSE(controller.LastReadAnswered());

    emsc.Unload();   // a join or a free here would hang or crash the test
    EXPECT_EQ(g_pfnEMSCEvaluate, nullptr);
    EXPECT_EQ(::GetModuleHandleA("EMSC"), hModule);

    // Once the call is back the library can go; the reference it kept is ours to drop.
    EXPECT_EQ(pfnSetDelay(0), 1);
    EXPECT_TRUE(kovatest::PumpUntil([] { return !EmscCallPending(); }, 8000));
    kfw::CModule(hModule).Reset();
    EXPECT_EQ(::GetModuleHandleA("EMSC"), nullptr);
}
