// The tray observer against traysample.exe under Wine: what a user sees of a tray program
// (icon, tip, picture) and what a user does to it (clicks, menu keys, a shell restart).
#include <gtest/gtest.h>

#include "harness/TrayObserver.h"
#include "support/TestSupport.h"

using namespace kovatest;

namespace {

const DWORD kWaitMs = 10000;
const UINT kSampleCallback = WM_APP + 1;   // traysample's callback message

std::wstring Wide(const std::string& str)
{
    return std::wstring(str.begin(), str.end());
}

// One running traysample with a class and tip of its own, so that icons of other tests
// and other programs in the tray never match.
struct Sample {
    std::string strClass;
    std::string strTip;
    UINT uID;
    CProcessGuard process;
    HWND hWnd = nullptr;

    explicit Sample(const char* pszColour = "red", UINT uIconId = 5)
        : strClass(UniqueName("KovaSample")), strTip(UniqueName("Sample tip")), uID(uIconId)
    {
        process = CProcessGuard::Start("traysample.exe", "--class " + strClass + " --id " + std::to_string(uID) +
                                                             " --tip \"" + strTip + "\" --colour " + pszColour);
        if (process)
            hWnd = WaitForWindow(strClass.c_str(), kWaitMs);
    }
    CIconSelector ByOwner() const { return CIconSelector::ByOwner(hWnd, uID); }
    CIconSelector ByTip(const std::string& str) const { return CIconSelector::ByTip(Wide(str)); }
    std::string Tip2() const { return strTip + " (double-clicked)"; }
};

#define ASSERT_SAMPLE_UP(s)              \
    ASSERT_TRUE((s).process);            \
    ASSERT_NE(nullptr, (s).hWnd);        \
    ASSERT_TRUE(WaitForTrayIcon((s).ByTip((s).strTip), kWaitMs))

TEST(TrayObserver, IconShowsWithTipAndItsOwner)
{
    Sample sample;
    ASSERT_SAMPLE_UP(sample);

    TrayIcon icon;
    ASSERT_TRUE(FindTrayIcon(sample.ByTip(sample.strTip), icon));
    EXPECT_TRUE(icon.bVisible);
    EXPECT_LT(icon.rc.left, icon.rc.right);
    EXPECT_LT(icon.rc.top, icon.rc.bottom);
    ASSERT_TRUE(icon.bOwnerKnown) << "explorer's icon record was not understood";
    EXPECT_EQ(sample.hWnd, icon.hOwner);
    EXPECT_EQ(sample.uID, icon.uID);
    EXPECT_EQ(kSampleCallback, icon.uCallbackMessage);

    // The three ways to name it find the same icon.
    TrayIcon byOwner, byClass;
    ASSERT_TRUE(FindTrayIcon(sample.ByOwner(), byOwner));
    ASSERT_TRUE(FindTrayIcon(CIconSelector::ByOwnerClass(sample.strClass, sample.uID), byClass));
    EXPECT_EQ(icon.hWnd, byOwner.hWnd);
    EXPECT_EQ(icon.hWnd, byClass.hWnd);
    EXPECT_FALSE(FindTrayIcon(CIconSelector::ByOwner(sample.hWnd, sample.uID + 1), byOwner));
}

TEST(TrayObserver, PixelDigestTellsPicturesApart)
{
    Sample red1("red"), red2("red"), white("white");
    ASSERT_SAMPLE_UP(red1);
    ASSERT_SAMPLE_UP(red2);
    ASSERT_SAMPLE_UP(white);

    auto digestOf = [](const Sample& s, PixelDigest& rDigest) {
        TrayIcon icon;
        return FindTrayIcon(s.ByOwner(), icon) && SampleIconPixels(icon, rDigest);
    };
    PixelDigest dRed1, dRed2, dWhite;
    ASSERT_TRUE(digestOf(red1, dRed1));
    ASSERT_TRUE(digestOf(red2, dRed2));
    ASSERT_TRUE(digestOf(white, dWhite));

    // The same picture at another place in the tray gives the same digest.
    EXPECT_EQ(dRed1.ulHash, dRed2.ulHash);
    EXPECT_NE(dRed1.ulHash, dWhite.ulHash);

    // traysample's cross: 12x3 + 12x3 - 3x3 pixels on a dark ground, nothing of the tray.
    EXPECT_EQ(16, dRed1.cx);
    EXPECT_EQ(63, dRed1.Count("red"));
    EXPECT_EQ(0, dRed1.Count("white"));
    EXPECT_EQ(16 * 16 - 63, dRed1.Count("black"));
    EXPECT_EQ(63, dWhite.Count("white"));
    EXPECT_EQ(0, dWhite.Count("red"));
    EXPECT_EQ(RGB(255, 0, 0), dRed1.At(8, 8));
    EXPECT_EQ(RGB(40, 40, 40), dRed1.At(0, 0));
}

TEST(TrayObserver, RightClickMenuExitEndsTheProgramAndItsIcon)
{
    Sample sample;
    ASSERT_SAMPLE_UP(sample);
    TrayIcon icon;
    ASSERT_TRUE(FindTrayIcon(sample.ByOwner(), icon));

    std::string strError;
    ASSERT_TRUE(ClickTrayIcon(icon, ClickKind::Right, ClickMethod::Input, &strError)) << strError;
    PopupMenu menu;
    ASSERT_TRUE(WaitForPopupMenu(kWaitMs, &menu, sample.process.Pid()));
    EXPECT_LT(menu.rc.left, menu.rc.right);

    ASSERT_TRUE(PressKey("x", &strError)) << strError;
    EXPECT_EQ(0u, sample.process.Wait(kWaitMs));
    EXPECT_TRUE(WaitForTrayIconGone(sample.ByTip(sample.strTip), kWaitMs));
    EXPECT_FALSE(FindPopupMenu(menu, sample.process.Pid()));
}

TEST(TrayObserver, EscClosesTheMenuAndTheProgramRunsOn)
{
    Sample sample;
    ASSERT_SAMPLE_UP(sample);
    TrayIcon icon;
    ASSERT_TRUE(FindTrayIcon(sample.ByOwner(), icon));

    // Posted mouse messages reach the owner as well as real input does.
    ASSERT_TRUE(ClickTrayIcon(icon, ClickKind::Right, ClickMethod::Post));
    ASSERT_TRUE(WaitForPopupMenu(kWaitMs, nullptr, sample.process.Pid()));
    ASSERT_TRUE(PressKey("esc"));
    ASSERT_TRUE(WaitForNoPopupMenu(kWaitMs, sample.process.Pid()));
    EXPECT_TRUE(sample.process.IsRunning());
    EXPECT_TRUE(FindTrayIcon(sample.ByTip(sample.strTip), icon));

    EXPECT_FALSE(PressKey("no such key"));
    EXPECT_FALSE(PressKey("X"));   // needs Shift: no access key is typed that way
}

TEST(TrayObserver, DoubleClickChangesTheTip)
{
    Sample sample;
    ASSERT_SAMPLE_UP(sample);
    TrayIcon icon;
    ASSERT_TRUE(FindTrayIcon(sample.ByOwner(), icon));

    ASSERT_TRUE(ClickTrayIcon(icon, ClickKind::Double, ClickMethod::Input));
    TrayIcon changed;
    ASSERT_TRUE(WaitForTrayIcon(sample.ByTip(sample.Tip2()), kWaitMs, &changed));
    EXPECT_EQ(icon.hWnd, changed.hWnd);
    EXPECT_FALSE(FindTrayIcon(sample.ByTip(sample.strTip), changed));

    // A single click is not a double click.
    ASSERT_TRUE(ClickTrayIcon(icon, ClickKind::Left, ClickMethod::Post));
    ASSERT_TRUE(ClickTrayIcon(icon, ClickKind::Double, ClickMethod::Post));
    EXPECT_TRUE(WaitForTrayIcon(sample.ByTip(sample.strTip), kWaitMs));
}

TEST(TrayObserver, ShellRestartRemovesAndBringsBackTheIcon)
{
    Sample sample;
    ASSERT_SAMPLE_UP(sample);
    TrayIcon before;
    ASSERT_TRUE(FindTrayIcon(sample.ByOwner(), before));

    std::string strError;
    ASSERT_TRUE(SimulateShellRestart(sample.hWnd, sample.uID, kWaitMs, &strError)) << strError;
    TrayIcon after;
    ASSERT_TRUE(WaitForTrayIcon(sample.ByOwner(), kWaitMs, &after));
    EXPECT_NE(before.hWnd, after.hWnd);   // a new icon, not the old one left standing
    EXPECT_EQ(Wide(sample.strTip), after.strTip);

    EXPECT_FALSE(SimulateShellRestart(sample.hWnd, sample.uID + 1, kWaitMs, &strError));
    EXPECT_NE(std::string::npos, strError.find("no such icon")) << strError;
}

TEST(TrayObserver, ClicksNeedALiveIcon)
{
    Sample sample;
    ASSERT_SAMPLE_UP(sample);
    TrayIcon icon;
    ASSERT_TRUE(FindTrayIcon(sample.ByOwner(), icon));
    sample.process.Terminate();
    ASSERT_TRUE(WaitForTrayIconGone(sample.ByOwner(), kWaitMs));

    std::string strError;
    EXPECT_FALSE(ClickTrayIcon(icon, ClickKind::Right, ClickMethod::Input, &strError));
    EXPECT_NE(std::string::npos, strError.find("gone")) << strError;
}

TEST(IconSelector, ParsesEachForm)
{
    TrayIcon icon;
    icon.hWnd = reinterpret_cast<HWND>(0x30);
    icon.bOwnerKnown = true;
    icon.hOwner = reinterpret_cast<HWND>(0x1006e);
    icon.uID = 128;
    icon.bHasTip = true;
    icon.strTip = L"owner=1006e";   // a tip that looks like a selector, matched only as tip=

    const struct {
        const wchar_t* pszSpec;
        bool bParses;
        bool bMatches;
    } cases[] = {
        {L"owner=1006e,128", true, true},
        {L"owner=0x1006e,0x80", true, true},
        {L"owner=1006e,129", true, false},
        {L"owner=1006f,128", true, false},
        {L"owner=zz,128", false, false},
        {L"owner=1006e,", false, false},
        {L"owner=1006e", false, false},
        {L"tip=owner=1006e", true, true},
        {L"tip=owner=1006", true, false},
        {L"Some tip", true, false},
    };
    for (const auto& c : cases)
    {
        CIconSelector sel;
        const bool bParses = CIconSelector::Parse(c.pszSpec, sel);
        EXPECT_EQ(c.bParses, bParses) << std::string(c.pszSpec, c.pszSpec + wcslen(c.pszSpec));
        if (bParses)
        {
            EXPECT_EQ(c.bMatches, sel.Matches(icon)) << sel.Describe();
        }
    }

    // Without the owner record only the tip can name the icon.
    icon.bOwnerKnown = false;
    EXPECT_FALSE(CIconSelector::ByOwner(icon.hOwner, icon.uID).Matches(icon));
    icon.bHasTip = false;
    icon.strTip.clear();
    EXPECT_FALSE(CIconSelector::ByTip(L"").Matches(icon));
}

TEST(PixelDigest, NamesColoursAsTheEyeDoes)
{
    const struct {
        COLORREF cr;
        const char* pszName;
    } cases[] = {
        {RGB(0, 0, 0), "black"},      {RGB(40, 40, 40), "black"},    {RGB(128, 128, 128), "grey"},
        {RGB(192, 192, 192), "grey"}, {RGB(240, 240, 240), "white"}, {RGB(255, 255, 255), "white"},
        {RGB(255, 0, 0), "red"},      {RGB(200, 30, 40), "red"},     {RGB(255, 0, 40), "red"},
        {RGB(255, 255, 0), "yellow"}, {RGB(0, 200, 0), "green"},     {RGB(0, 255, 255), "cyan"},
        {RGB(0, 0, 255), "blue"},     {RGB(30, 60, 220), "blue"},    {RGB(255, 0, 255), "magenta"},
    };
    for (const auto& c : cases)
        EXPECT_STREQ(c.pszName, ColourName(c.cr))
            << int(GetRValue(c.cr)) << "," << int(GetGValue(c.cr)) << "," << int(GetBValue(c.cr));
}

} // namespace
