// kovamicro's own faults: figures summarised wrongly, a command line misread, a series that
// never stops, a failing or leaking piece reported as fine, and pieces that no longer drive
// Kova's real code (a missing skin member, a pop-up that does not show or paint).
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "bench/micro/MicroPieces.h"
#include "dialogs/ScanHook.h"
#include "bench/micro/MicroStats.h"
#include "skin/TPDialog.h"
#include "support/TestSupport.h"

namespace {

// --- summaries and output -----------------------------------------------------------------------

TEST(MicroStats, SummariesAndTheirLines)
{
    // The medians themselves are the driver's (BenchStats): here only that each figure lands
    // in its field.
    const MicroSummary sum = Summarise({ 8.0, 2.0, 6.0, 4.0 });
    EXPECT_EQ(std::vector<double>({ double(sum.nReps), sum.dMedian, sum.dMin, sum.dMax }),
              std::vector<double>({ 4.0, 5.0, 2.0, 8.0 }));
    EXPECT_EQ(Summarise({}).nReps, 0u);

    MicroSummary s;
    s.nReps = 200;
    s.dMedian = 1234.5678;
    s.dMin = 1000.0;
    s.dMax = 2000.004;
    EXPECT_EQ(MicroJsonLine("popup_mode_three", s),
              "{\"name\":\"popup_mode_three\",\"unit\":\"us\",\"reps\":200,\"median\":1234.57,\"min\":1000.00,"
              "\"max\":2000.00}");
    EXPECT_EQ(MicroJsonLine("a\"b\\c\n", s).find("{\"name\":\"a\\\"b\\\\c\\u000a\",\"unit\""), 0u);
    EXPECT_NE(MicroTableRow("popup_mode_three", s).find("1234.6"), std::string::npos);

    // Kova's own work: the plain window's figures taken off, never below zero.
    const MicroSummary own = OwnWork(s, Summarise({ 200.0, 1500.0, 3000.0 }));
    EXPECT_EQ(std::vector<double>({ own.dMedian, own.dMin, own.dMax }), std::vector<double>({ 0.0, 800.0, 0.0 }));
}

// --- command line and stopping rule -------------------------------------------------------------

TEST(MicroOptions, CommandLines)
{
    MicroOptions o;
    std::string strError;
    ASSERT_TRUE(ParseMicroOptions({}, o, strError));
    EXPECT_EQ(o.nReps, 0u);
    EXPECT_EQ(o.nWarmup, MICRO_DEFAULT_WARMUP);
    EXPECT_TRUE(IsPieceSelected(o, "anything"));

    ASSERT_TRUE(ParseMicroOptions({ "--reps", "50", "--warmup", "0", "--budget-ms", "300", "--only", "region",
                                    "--only", "popup_notice", "--quiet" },
                                  o, strError));
    EXPECT_EQ(o.nReps, 50u);
    EXPECT_EQ(o.nWarmup, 0u);
    EXPECT_DOUBLE_EQ(o.dBudgetMs, 300.0);
    EXPECT_TRUE(o.bQuiet);
    EXPECT_TRUE(IsPieceSelected(o, "region_three_perpixel"));
    EXPECT_TRUE(IsPieceSelected(o, "popup_notice"));
    EXPECT_FALSE(IsPieceSelected(o, "popup_mode_three"));

    const std::vector<std::vector<std::string>> bad = {
        { "--reps", "0" }, { "--reps", "-3" }, { "--reps", "ten" }, { "--reps", "5x" }, { "--reps" },
        { "--budget-ms", "0" }, { "--only" }, { "--repetitions", "5" }, { "popup" },
    };
    for (const auto& args : bad)
    {
        strError.clear();
        EXPECT_FALSE(ParseMicroOptions(args, o, strError)) << args[0];
        EXPECT_FALSE(strError.empty()) << args[0];
    }
}

TEST(MicroOptions, SeriesStopWhenAskedOrWhenTheBudgetIsSpent)
{
    MicroOptions fixed;
    fixed.nReps = 7;
    EXPECT_TRUE(WantAnotherRep(fixed, 6, 1e9));   // an exact count ignores the budget
    EXPECT_FALSE(WantAnotherRep(fixed, 7, 0.0));

    MicroOptions automatic;
    automatic.dBudgetMs = 1000.0;
    EXPECT_TRUE(WantAnotherRep(automatic, 0, 5000.0));   // a slow piece still gets its minimum
    EXPECT_TRUE(WantAnotherRep(automatic, MICRO_AUTO_MIN_REPS - 1, 5000.0));
    EXPECT_FALSE(WantAnotherRep(automatic, MICRO_AUTO_MIN_REPS, 1000.0));
    EXPECT_TRUE(WantAnotherRep(automatic, 100, 999.0));
    EXPECT_FALSE(WantAnotherRep(automatic, MICRO_AUTO_MAX_REPS, 1.0));   // a fast one stops at the cap
}

// --- the runner ---------------------------------------------------------------------------------

MicroOptions Reps(size_t nReps, size_t nWarmup = 1)
{
    MicroOptions o;
    o.nReps = nReps;
    o.nWarmup = nWarmup;
    return o;
}

TEST(MicroRunner, ReportsFailuresStagesAndLeaks)
{
    // A failure in the series is reported with where it happened, and tear-down still runs.
    int nCalls = 0;
    bool bTornDown = false;
    MicroPiece failing{ "failing", nullptr,
                        [&](CRepTimer& t, std::string& e) {
                            t.Start();
                            t.Stop();
                            e = "boom";
                            return ++nCalls < 3;
                        },
                        [&] { bTornDown = true; } };
    MicroResult r = RunMicroPiece(failing, Reps(5));
    EXPECT_FALSE(r.bOk);
    EXPECT_EQ(r.strError, "repetition 2: boom");
    EXPECT_TRUE(r.series.empty());
    EXPECT_TRUE(bTornDown);

    bTornDown = false;
    MicroPiece noSetUp{ "no_set_up", [](std::string& e) { e = "no member"; return false; },
                        [](CRepTimer&, std::string&) { return true; }, [&] { bTornDown = true; } };
    r = RunMicroPiece(noSetUp, Reps(2));
    EXPECT_EQ(r.strError, "set-up: no member");
    EXPECT_TRUE(bTornDown);

    MicroPiece untimed{ "untimed", nullptr, [](CRepTimer&, std::string&) { return true; }, nullptr };
    r = RunMicroPiece(untimed, Reps(2));
    EXPECT_FALSE(r.bOk);
    EXPECT_NE(r.strError.find("timed nothing"), std::string::npos) << r.strError;

    // Stages follow their piece, named after it, with one sample per repetition.
    MicroPiece staged{ "staged", nullptr,
                       [](CRepTimer& t, std::string&) {
                           const int64_t a = CRepTimer::Now();
                           t.SetSpan(a, a + 10);
                           t.Stage("second", a, a + 4);
                           t.Stage("first", a + 4, a + 10);
                           return true;
                       },
                       nullptr };
    r = RunMicroPiece(staged, Reps(4));
    ASSERT_TRUE(r.bOk) << r.strError;
    ASSERT_EQ(r.series.size(), 3u);
    EXPECT_EQ(r.series[0].first, "staged");
    EXPECT_EQ(r.series[1].first, "staged.second");
    EXPECT_EQ(r.series[2].first, "staged.first");
    for (const auto& s : r.series)
        EXPECT_EQ(s.second.nReps, 4u);
    EXPECT_NEAR(r.series[0].second.dMedian, CRepTimer::TicksToUs(10), 1e-9);

    // One kernel handle left behind per repetition.
    std::vector<kfw::CHandle> kept;
    MicroPiece leaking{ "leaking", nullptr,
                        [&](CRepTimer& t, std::string&) {
                            t.Start();
                            kept.emplace_back(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
                            t.Stop();
                            return true;
                        },
                        nullptr };
    r = RunMicroPiece(leaking, Reps(20));
    EXPECT_FALSE(r.bOk);
    EXPECT_NE(r.strError.find("handles"), std::string::npos) << r.strError;

    // And one brush, which Wine's own counters do not see.
    std::vector<kfw::CBrushH> brushes;
    MicroPiece leakingGdi{ "leaking_gdi", nullptr,
                           [&](CRepTimer& t, std::string&) {
                               t.Start();
                               brushes.emplace_back(::CreateSolidBrush(RGB(1, 2, 3)));
                               t.Stop();
                               return true;
                           },
                           nullptr };
    r = RunMicroPiece(leakingGdi, Reps(20));
    EXPECT_FALSE(r.bOk);
    EXPECT_NE(r.strError.find("GDI objects"), std::string::npos) << r.strError;

    // What is released within the repetition is no leak.
    MicroPiece tidy{ "tidy", nullptr,
                     [](CRepTimer& t, std::string&) {
                         t.Start();
                         kfw::CHandle hEvent(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
                         kfw::CBrushH hBrush(::CreateSolidBrush(RGB(1, 2, 3)));
                         t.Stop();
                         return hEvent && hBrush;
                     },
                     nullptr };
    r = RunMicroPiece(tidy, Reps(20));
    EXPECT_TRUE(r.bOk) << r.strError;
}

// --- the pieces on Kova's real code -------------------------------------------------------------

const MicroPiece* Find(const std::vector<MicroPiece>& pieces, const std::string& strName)
{
    for (const MicroPiece& piece : pieces)
    {
        if (piece.strName == strName)
            return &piece;
    }
    return nullptr;
}

TEST(MicroPieces, EveryPieceRunsOnTheRealSkinAndPopUps)
{
    ASSERT_TRUE(kovatest::ParkPointer());
    CMicroContext context;
    std::string strError;
    ASSERT_TRUE(context.Open(strError)) << strError;
    const std::vector<MicroPiece> pieces = MakeMicroPieces(context);

    for (const char* pszName : { "archive_load", "background_decode_three", "region_three", "region_one_perpixel",
                                 "alpha_three_locked", "caption_three", "caption_notice", "button_draw",
                                 "radio_status_read", "popup_mode_three", "popup_mode_one", "popup_notice" })
        EXPECT_NE(Find(pieces, pszName), nullptr) << pszName;

    for (const MicroPiece& piece : pieces)
    {
        const MicroResult r = RunMicroPiece(piece, Reps(2));
        ASSERT_TRUE(r.bOk) << piece.strName << ": " << r.strError;
        ASSERT_FALSE(r.series.empty());
        EXPECT_GT(r.series[0].second.dMin, 0.0) << piece.strName;
        if (piece.strName == "popup_mode_three" || piece.strName == "popup_mode_one" || piece.strName == "popup_notice")
        {
            EXPECT_NE(Find(pieces, MicroPlainWindowOf(piece.strName)), nullptr) << piece.strName;   // a plain window to set against
            // Construct, create, init, show, paint, close.
            ASSERT_EQ(r.series.size(), 7u) << piece.strName;
            EXPECT_EQ(r.series[3].first, piece.strName + ".init");
        }
    }
    // The pop-ups gave their keyboard hook back.
    EXPECT_FALSE(ScanHook::IsInstalled());
}

TEST(MicroPieces, AMissingSkinMemberFailsThePiecesThatNeedItByName)
{
    CMicroContext context;
    std::string strError;
    ASSERT_TRUE(context.Open(strError)) << strError;
    ASSERT_EQ(context.Archive().erase("image/W3x_map.png"), 1u);
    const std::vector<MicroPiece> pieces = MakeMicroPieces(context);

    for (const char* pszName : { "background_decode_three", "region_three", "caption_three", "popup_mode_three" })
    {
        const MicroPiece* pPiece = Find(pieces, pszName);
        ASSERT_NE(pPiece, nullptr) << pszName;
        const MicroResult r = RunMicroPiece(*pPiece, Reps(2));
        EXPECT_FALSE(r.bOk) << pszName;
        EXPECT_NE(r.strError.find("\"image/W3x_map.png\""), std::string::npos) << pszName << ": " << r.strError;
    }
    const MicroResult r = RunMicroPiece(*Find(pieces, "popup_notice"), Reps(2));
    EXPECT_TRUE(r.bOk) << r.strError;
}

TEST(MicroPieces, TheStepByStepPopUpCoversItsWholeSpan)
{
    ASSERT_TRUE(kovatest::ParkPointer());
    CMicroContext context;
    std::string strError;
    ASSERT_TRUE(context.Open(strError)) << strError;
    const std::vector<MicroPiece> pieces = MakeMicroPieces(context);
    const MicroPiece* pSteps = Find(pieces, "popup_mode_three_steps");
    ASSERT_NE(pSteps, nullptr);

    const MicroResult r = RunMicroPiece(*pSteps, Reps(3));
    ASSERT_TRUE(r.bOk) << r.strError;
    EXPECT_FALSE(ScanHook::IsInstalled());

    std::vector<std::string> names;
    for (const auto& series : r.series)
        names.push_back(series.first);
    ASSERT_GE(names.size(), 10u);
    EXPECT_EQ(names[1], "popup_mode_three_steps.construct");
    EXPECT_EQ(names.back(), "popup_mode_three_steps.close");
    for (const char* pszStep : { ".create_dialog_window", ".init_control_skins",
                                 ".init_change_background_setwindowrgn_place",
                                 ".init_button_images", ".show", ".paint" })
        EXPECT_NE(std::find(names.begin(), names.end(), "popup_mode_three_steps" + std::string(pszStep)), names.end())
            << pszStep;
    // The steps up to the paint follow one another without a gap: together they are the span.
    double dSteps = 0.0;
    for (size_t i = 1; i + 1 < r.series.size(); ++i)
        dSteps += r.series[i].second.dMin;
    EXPECT_LE(dSteps, r.series[0].second.dMax * 1.0001);
}

// --- the program --------------------------------------------------------------------------------

TEST(KovaMicro, PrintsOneJsonLinePerSeriesAndExitsByOutcome)
{
    std::string strOut;
    ASSERT_EQ(kovatest::RunProgram("kovamicro.exe", "--only archive_load --reps 3 --quiet", strOut), 0u) << strOut;
    EXPECT_EQ(strOut.find("{\"name\":\"archive_load\",\"unit\":\"us\",\"reps\":3,\"median\":"), 0u) << strOut;
    EXPECT_EQ(strOut.find('{', 1), std::string::npos) << strOut;

    ASSERT_EQ(kovatest::RunProgram("kovamicro.exe", "--list", strOut), 0u) << strOut;
    std::vector<std::string> lines;
    for (size_t i = 0; i < strOut.size();)
    {
        const size_t nEnd = std::min(strOut.find_first_of("\r\n", i), strOut.size());
        if (nEnd > i)
            lines.push_back(strOut.substr(i, nEnd - i));
        i = nEnd + 1;
    }
    for (const char* pszName : { "archive_load", "region_three_perpixel", "button_draw", "popup_mode_three",
                                 "popup_notice" })
        EXPECT_NE(std::find(lines.begin(), lines.end(), pszName), lines.end()) << pszName << " in\n" << strOut;
    EXPECT_EQ(strOut.find('{'), std::string::npos) << "--list timed something";

    EXPECT_EQ(kovatest::RunProgram("kovamicro.exe", "--reps 0", strOut), 2u);
    EXPECT_NE(strOut.find("--reps"), std::string::npos) << strOut;
    EXPECT_EQ(kovatest::RunProgram("kovamicro.exe", "--only no_such_piece", strOut), 1u);
    EXPECT_NE(strOut.find("no piece matches"), std::string::npos) << strOut;
}

} // namespace
