// Kova.exe's pop-ups opened and closed many times by the user's hot key, keys and clicks:
// each gives back every handle, GDI object, window and thread it took.
//
// Kova keeps nothing of a pop-up once it is closed, but the platform keeps what the first
// ones made it load, and a warm-up of the same pop-ups absorbs that before the reference
// census. Under Wine 8 it is, for every layout: user32's cache of released window DCs
// (dlls/win32u/dce.c keeps up to 64, each a DC, its visible region and one more object:
// GDI objects come in threes, 5 to 10 entries here), the brushes and bitmaps of the system
// colours the dialog manager first paints with (18 objects, the About box too); for the
// skinned pop-ups also the first GDI+ decode, which brings in windowscodecs and COM (their
// OleMainThreadWnd window, 12 handles, 10 bitmaps). One round of the pop-ups takes the
// cache to its size for that layout; the next leaves the counts alike, and from there on
// they must come back exactly: any allowance would hide a leak on the timer's path, which
// runs only twice.
#include <gtest/gtest.h>

#include <windows.h>

#include <stdio.h>

#include <string>
#include <vector>

#include "harness/ProcessCensus.h"
#include "res/resource.h"
#include "support/KovaSession.h"

using namespace kovatest;
using namespace kovae2e;

namespace {

const WORD kHotScan = 0x04;
const WORD kEnterScan = 0x1C;
const WORD kEscScan = 0x01;
// Pop-ups close by themselves 4 s after they are shown with no pointer on them.
const DWORD kTimerCloseWaitMs = 4000 + kWaitMs;
// The notice's picture, in its client area.
const POINT kOnNoticePicture = { 51, 76 };

enum class Close { Esc, Enter, Click, Timer };

const char* NameOf(Close eClose)
{
    switch (eClose)
    {
    case Close::Esc: return "Esc";
    case Close::Enter: return "Enter";
    case Close::Click: return "a click";
    case Close::Timer: return "its timer";
    }
    return "?";
}

bool operator==(const ProcessCensus& a, const ProcessCensus& b)
{
    return a.nHandles == b.nHandles && a.nGdi == b.nGdi && a.nUser == b.nUser && a.nThreads == b.nThreads;
}

// One kind of pop-up: the radio states it opens on, in turn, how it is closed, in turn, and
// how often; two of the pop-ups are left to close by their timer, when they have one.
struct Kind {
    std::vector<BYTE> statuses;
    std::vector<Close> closes;
    int nCycles = 200;
    bool bTimer = true;
    bool bAbout = false;
};

class KovaLeak : public ::testing::Test {
protected:
    // Parked: a pointer resting on a pop-up holds it open.
    KovaLeak() : m_kova(0x1F, KovaStart().Parked()) {}

    void SetUp() override { ASSERT_TRUE(m_kova.IsResident()) << m_kova.Describe(); }

    // Opens and closes the pop-up nCycles times; the cycles numbered in timerCycles (from
    // 0) are left to close by themselves.
    void Cycle(const Kind& kind, int nFirst, int nCycles, const std::vector<int>& timerCycles = {})
    {
        for (int i = nFirst; i < nFirst + nCycles; ++i)
        {
            bool bTimer = false;
            for (int n : timerCycles)
                bTimer = bTimer || n == i;
            const Close eClose = bTimer ? Close::Timer : kind.closes[i % kind.closes.size()];
            const BYTE byStatus = kind.statuses[i % kind.statuses.size()];
            SCOPED_TRACE(testing::Message() << "cycle " << i << ", status 0x" << std::hex << int(byStatus)
                                            << ", closed by " << NameOf(eClose));
            ASSERT_TRUE(kind.bAbout || m_kova.State().Set(byStatus));
            ASSERT_NO_FATAL_FAILURE(OpenAndClose(kind.bAbout, eClose));
        }
    }

    void OpenAndClose(bool bAbout, Close eClose)
    {
        HWND hDlg = nullptr;
        if (bAbout)
        {
            ASSERT_TRUE(::PostMessageA(m_kova.Frame(), WM_COMMAND, ID_APP_ABOUT, 0));
            hDlg = WaitForDialogOf(m_kova.Pid(), kWaitMs, "About Kova");
            ASSERT_NE(hDlg, nullptr) << "no About box";
            // Its keys come through the dialog manager: only once it has the keyboard.
            ASSERT_TRUE(PumpUntil([&] { return ::GetForegroundWindow() == hDlg; }, kWaitMs))
                << "the About box never came to the front";
        }
        else
        {
            ASSERT_TRUE(SendScanKey(kHotScan, 0, KEYEVENTF_EXTENDEDKEY));
            hDlg = WaitForDialogOf(m_kova.Pid(), kWaitMs);
            ASSERT_NE(hDlg, nullptr) << "no pop-up from the hot key";
            ASSERT_TRUE(SendScanKey(kHotScan, 0, KEYEVENTF_EXTENDEDKEY | KEYEVENTF_KEYUP));
        }

        switch (eClose)
        {
        case Close::Esc:
            ASSERT_TRUE(StrokeScanKey(kEscScan, VK_ESCAPE));
            break;
        case Close::Enter:
            // Kova's pop-ups take Enter from their keyboard hook, by scan code. With a
            // virtual key the key message would stay queued behind the pop-up's close, and
            // the dialog manager of the next pop-up would take it for its own Enter. The
            // About box has only the dialog manager.
            ASSERT_TRUE(StrokeScanKey(kEnterScan, bAbout ? VK_RETURN : 0));
            break;
        case Close::Click: {
            POINT pt = kOnNoticePicture;
            ASSERT_TRUE(::ClientToScreen(hDlg, &pt));
            ASSERT_TRUE(ClickAt(pt));
            break;
        }
        case Close::Timer:
            break;
        }
        EXPECT_TRUE(PumpUntil([&] { return !::IsWindow(hDlg); }, eClose == Close::Timer ? kTimerCloseWaitMs : kWaitMs))
            << "still open after " << NameOf(eClose);
        // The pop-up opens where a resting pointer would hold it.
        if (eClose == Close::Click)
        {
            ASSERT_TRUE(ParkPointer());
        }
        // Answered only once Kova is back in its own loop, with its hook in place again.
        DWORD_PTR dwResult = 0;
        ASSERT_TRUE(::SendMessageTimeoutA(m_kova.Frame(), WM_NULL, 0, 0, SMTO_NORMAL, kWaitMs, &dwResult))
            << "Kova does not answer after its pop-up";
        ASSERT_TRUE(::IsWindow(hDlg) == FALSE);
    }

    // Counts taken every 100 ms until two in a row agree (10 s at most): a pop-up's window
    // is gone before everything of it is.
    void SettledCensus(ProcessCensus& rCensus)
    {
        ProcessCensus last;
        ASSERT_TRUE(TakeCensus(m_kova.Pid(), last));
        bool bSettled = false;
        const ULONGLONG ullEnd = ::GetTickCount64() + 10000;
        while (!bSettled && ::GetTickCount64() < ullEnd)
        {
            PumpUntil([] { return false; }, 100);
            ProcessCensus now;
            ASSERT_TRUE(TakeCensus(m_kova.Pid(), now));
            bSettled = now == last;
            last = now;
        }
        ASSERT_TRUE(bSettled) << "the counts kept moving: " << DescribeCensus(last);
        rCensus = last;
    }

    // The warm-up, the reference census, the cycles, and the census again.
    void ExpectNoLeak(const Kind& kind)
    {
        const ULONGLONG ullStart = ::GetTickCount64();
        ProcessCensus start;
        ASSERT_NO_FATAL_FAILURE(SettledCensus(start));

        // Rounds of the same pop-ups until one leaves the counts where the one before did.
        const int nRound = static_cast<int>(kind.statuses.size() * kind.closes.size()) * 4;
        const int nMaxRounds = 8;
        ProcessCensus before = start, reference;
        int nRounds = 0;
        for (;;)
        {
            ASSERT_NO_FATAL_FAILURE(Cycle(kind, 0, nRound));
            ASSERT_NO_FATAL_FAILURE(SettledCensus(reference));
            ++nRounds;
            if (reference == before)
                break;
            ASSERT_LT(nRounds, nMaxRounds) << "no warm-up round leaves the counts alike: "
                                           << DescribeCensus(before) << " then " << DescribeCensus(reference);
            before = reference;
        }

        std::vector<int> timerCycles;
        if (kind.bTimer)
            timerCycles = { kind.nCycles / 2 - 1, kind.nCycles - 1 };
        ASSERT_NO_FATAL_FAILURE(Cycle(kind, 0, kind.nCycles, timerCycles));
        ProcessCensus after;
        ASSERT_NO_FATAL_FAILURE(SettledCensus(after));
        printf("start: %s; warm after %d rounds of %d: %s; after %d more: %s; %.1f s\n", DescribeCensus(start).c_str(),
               nRounds, nRound, DescribeCensus(reference).c_str(), kind.nCycles, DescribeCensus(after).c_str(),
               (::GetTickCount64() - ullStart) / 1000.0);
        EXPECT_TRUE(after == reference) << "after warming up: " << DescribeCensus(reference) << "\nafter "
                                        << kind.nCycles << " more: " << DescribeCensus(after);
    }

    CResidentKova m_kova;
};

// Both radios fitted and on, the switch on: three entries.
TEST_F(KovaLeak, ModePopupWithThreeEntries)
{
    ExpectNoLeak({ { 0x1F }, { Close::Esc, Close::Enter } });
}

// One radio fitted, Bluetooth or WiFi in turn: one entry.
TEST_F(KovaLeak, ModePopupWithOneEntry)
{
    ExpectNoLeak({ { 0x1A, 0x15 }, { Close::Esc, Close::Enter } });
}

// The switch off: the notice of both radios, of WiFi only, of Bluetooth only.
TEST_F(KovaLeak, SwitchOffNoticeOfBothRadios)
{
    ExpectNoLeak({ { 0x0F }, { Close::Enter, Close::Click } });
}

TEST_F(KovaLeak, SwitchOffNoticeOfWifi)
{
    ExpectNoLeak({ { 0x05 }, { Close::Enter, Close::Click } });
}

TEST_F(KovaLeak, SwitchOffNoticeOfBluetooth)
{
    ExpectNoLeak({ { 0x0A }, { Close::Enter, Close::Click } });
}

// The About box, from the tray menu's command; it has no timer.
TEST_F(KovaLeak, AboutBox)
{
    ExpectNoLeak({ { 0x1F }, { Close::Esc, Close::Enter }, 50, false, true });
}

} // namespace
