// traywatch.exe as a script uses it: its output lines and exit codes, against traysample.
#include <gtest/gtest.h>

#include <stdio.h>

#include <sstream>

#include "support/TestSupport.h"

using namespace kovatest;

namespace {

const DWORD kWaitMs = 10000;

struct WatchRun {
    DWORD dwCode;
    std::string strOut;
};

WatchRun Watch(const std::string& strArgs)
{
    WatchRun run;
    run.dwCode = RunProgram("traywatch.exe", strArgs, run.strOut);
    return run;
}

// The first output line that starts with strPrefix, without its line break.
std::string LineOf(const std::string& strOut, const std::string& strPrefix)
{
    std::istringstream in(strOut);
    std::string strLine;
    while (std::getline(in, strLine))
    {
        if (!strLine.empty() && strLine.back() == '\r')
            strLine.pop_back();
        if (strLine.compare(0, strPrefix.size(), strPrefix) == 0)
            return strLine;
    }
    return std::string();
}

std::string HexHwnd(HWND hWnd)
{
    char sz[16];
    snprintf(sz, sizeof(sz), "0x%08lx", static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(hWnd)));
    return sz;
}

struct Sample {
    std::string strClass = UniqueName("KovaWatchSample");
    std::string strTip;
    CProcessGuard process;

    explicit Sample(const std::string& strTipText, const char* pszColour = "red")
        : strTip(strTipText)
    {
        process = CProcessGuard::Start("traysample.exe", "--class " + strClass + " --id 9 --tip \"" + strTip +
                                                             "\" --colour " + pszColour);
    }
};

TEST(TrayWatch, ListsTheIconWithOwnerAndTip)
{
    // A backslash in the tip shows the escaping of the free-text field.
    Sample sample(UniqueName("Watch tip") + " a\\b");
    ASSERT_TRUE(sample.process);
    const std::string strEscapedTip = sample.strTip.substr(0, sample.strTip.size() - 3) + "a\\\\b";

    const WatchRun window = Watch("find-window " + sample.strClass + " " + std::to_string(kWaitMs));
    ASSERT_EQ(0u, window.dwCode) << window.strOut;
    const HWND hOwner = ::FindWindowA(sample.strClass.c_str(), nullptr);
    ASSERT_NE(nullptr, hOwner);
    EXPECT_EQ("window hwnd=" + HexHwnd(hOwner) + " pid=" + std::to_string(sample.process.Pid()),
              LineOf(window.strOut, "window "));

    const WatchRun waited = Watch("wait-tip \"" + sample.strTip + "\" " + std::to_string(kWaitMs));
    ASSERT_EQ(0u, waited.dwCode) << waited.strOut;
    const std::string strLine = LineOf(waited.strOut, "icon ");
    const std::string strTail = "owner=" + HexHwnd(hOwner) + " id=9 callback=0x8001 tip=" + strEscapedTip;
    ASSERT_GE(strLine.size(), strTail.size()) << waited.strOut;
    EXPECT_EQ(strTail, strLine.substr(strLine.size() - strTail.size())) << strLine;

    const WatchRun listed = Watch("list");
    ASSERT_EQ(0u, listed.dwCode) << listed.strOut;
    EXPECT_NE(std::string::npos, listed.strOut.find(strLine)) << listed.strOut;

    const WatchRun byClass = Watch("wait-icon class=" + sample.strClass + ",9 1000");
    ASSERT_EQ(0u, byClass.dwCode) << byClass.strOut;
    EXPECT_EQ(strLine, LineOf(byClass.strOut, "icon "));

    const WatchRun counted = Watch("count");
    ASSERT_EQ(0u, counted.dwCode) << counted.strOut;
    int nCount = 0;
    ASSERT_EQ(1, sscanf(LineOf(counted.strOut, "count=").c_str(), "count=%d", &nCount)) << counted.strOut;
    EXPECT_GE(nCount, 1);
}

TEST(TrayWatch, PixelsNameTheMarksColour)
{
    Sample white(UniqueName("White marks"), "white");
    ASSERT_TRUE(white.process);
    ASSERT_EQ(0u, Watch("wait-tip \"" + white.strTip + "\" " + std::to_string(kWaitMs)).dwCode);

    const WatchRun pixels = Watch("pixels \"" + white.strTip + "\" grid");
    ASSERT_EQ(0u, pixels.dwCode) << pixels.strOut;
    const std::string strLine = LineOf(pixels.strOut, "pixels ");
    EXPECT_NE(std::string::npos, strLine.find(" size=16x16 hash=0x")) << strLine;
    EXPECT_NE(std::string::npos, strLine.find(" centre=ffffff colours=black:193,white:63")) << strLine;
    EXPECT_EQ("row 0: 282828", LineOf(pixels.strOut, "row 0:").substr(0, 13)) << pixels.strOut;
}

TEST(TrayWatch, UserExitsThroughTheMenu)
{
    Sample sample(UniqueName("Exit via menu"));
    ASSERT_TRUE(sample.process);
    const std::string strTip = "\"" + sample.strTip + "\"";
    ASSERT_EQ(0u, Watch("wait-tip " + strTip + " " + std::to_string(kWaitMs)).dwCode);

    const WatchRun clicked = Watch("click " + strTip + " right");
    ASSERT_EQ(0u, clicked.dwCode) << clicked.strOut;
    const WatchRun chosen = Watch("menu-choose x " + std::to_string(kWaitMs));
    ASSERT_EQ(0u, chosen.dwCode) << chosen.strOut;
    EXPECT_NE(std::string::npos, LineOf(chosen.strOut, "menu hwnd=").find(" pid=" + std::to_string(sample.process.Pid())))
        << chosen.strOut;
    EXPECT_EQ("closed", LineOf(chosen.strOut, "closed"));

    const WatchRun exited = Watch("wait-exit " + std::to_string(sample.process.Pid()) + " " + std::to_string(kWaitMs));
    // Our guard's handle keeps the ended process, so traywatch can still open it by id.
    ASSERT_EQ(0u, exited.dwCode) << exited.strOut;
    EXPECT_EQ("exit code=0", LineOf(exited.strOut, "exit "));
    EXPECT_EQ(0u, sample.process.Wait(kWaitMs));
    const WatchRun gone = Watch("wait-gone " + strTip + " " + std::to_string(kWaitMs));
    EXPECT_EQ(0u, gone.dwCode) << gone.strOut;
}

TEST(TrayWatch, DoubleClickAndShellRestart)
{
    Sample sample(UniqueName("Restart me"));
    ASSERT_TRUE(sample.process);
    ASSERT_EQ(0u, Watch("wait-tip \"" + sample.strTip + "\" " + std::to_string(kWaitMs)).dwCode);
    const HWND hOwner = ::FindWindowA(sample.strClass.c_str(), nullptr);
    ASSERT_NE(nullptr, hOwner);
    const std::string strOwner = "owner=" + HexHwnd(hOwner) + ",9";

    ASSERT_EQ(0u, Watch("click " + strOwner + " double").dwCode);
    const WatchRun changed = Watch("wait-tip \"" + sample.strTip + " (double-clicked)\" " + std::to_string(kWaitMs));
    EXPECT_EQ(0u, changed.dwCode) << changed.strOut;

    const WatchRun restarted = Watch("simulate-shell-restart " + HexHwnd(hOwner) + " 9");
    ASSERT_EQ(0u, restarted.dwCode) << restarted.strOut;
    EXPECT_EQ("restarted owner=" + HexHwnd(hOwner) + " id=9", LineOf(restarted.strOut, "restarted "));
    const WatchRun back = Watch("wait-icon " + strOwner + " " + std::to_string(kWaitMs));
    ASSERT_EQ(0u, back.dwCode) << back.strOut;
    EXPECT_NE(std::string::npos, back.strOut.find(" tip=" + sample.strTip + " (double-clicked)")) << back.strOut;
}

TEST(TrayWatch, ReportsFailuresByExitCode)
{
    const WatchRun missing = Watch("wait-tip \"" + UniqueName("No such tip") + "\" 200");
    EXPECT_EQ(1u, missing.dwCode) << missing.strOut;
    EXPECT_NE(std::string::npos, missing.strOut.find("timed out")) << missing.strOut;

    EXPECT_EQ(1u, Watch("find-window " + UniqueName("NoSuchClass") + " 200").dwCode);
    EXPECT_EQ(1u, Watch("menu-wait 200").dwCode);
    EXPECT_EQ(1u, Watch("click \"" + UniqueName("No such tip") + "\" left").dwCode);

    EXPECT_EQ(2u, Watch("").dwCode);
    EXPECT_EQ(2u, Watch("fly").dwCode);
    EXPECT_EQ(2u, Watch("click tip right sideways").dwCode);
    EXPECT_EQ(2u, Watch("click tip twice").dwCode);
    EXPECT_EQ(2u, Watch("wait-icon owner=zz,1").dwCode);
    EXPECT_EQ(2u, Watch("simulate-shell-restart 1234").dwCode);

    const WatchRun noIcon = Watch("simulate-shell-restart 1234 1");
    EXPECT_EQ(3u, noIcon.dwCode) << noIcon.strOut;
    EXPECT_NE(std::string::npos, noIcon.strOut.find("no such icon")) << noIcon.strOut;
}

} // namespace
