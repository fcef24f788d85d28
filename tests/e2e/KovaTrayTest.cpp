// Kova.exe in the notification area: the icon and tip of the radio state at start, after
// another process announces a change, and after the shell comes back.
#include <gtest/gtest.h>

#include <map>

#include "support/KovaSession.h"
#include "support/PolicySetting.h"

using namespace kovatest;
using namespace kovae2e;

namespace {

bool IsOffTip(const std::wstring& strTip)
{
    return strTip.find(L"disabled") != std::wstring::npos;
}

// One picture per tip, and a different picture for every tip: the tip and the picture
// are chosen together, so a picture seen twice must come with the same tip.
class CPictureBook {
public:
    void Record(const std::wstring& strTip, const PixelDigest& digest)
    {
        auto it = m_byTip.find(strTip);
        if (it != m_byTip.end())
        {
            EXPECT_EQ(it->second, digest.ulHash) << "another picture for " << Narrow(strTip);
            return;
        }
        for (const auto& entry : m_byTip)
            EXPECT_NE(entry.second, digest.ulHash)
                << Narrow(strTip) << " shows the picture of " << Narrow(entry.first);
        m_byTip[strTip] = digest.ulHash;
    }
    size_t Size() const { return m_byTip.size(); }

private:
    std::map<std::wstring, unsigned long> m_byTip;
};

// Red marks cross out what is off; nothing is crossed out while a radio is on.
void ExpectMarksMatchTip(const std::wstring& strTip, const PixelDigest& digest)
{
    if (IsOffTip(strTip))
        EXPECT_GT(digest.Count("red"), 8) << Narrow(strTip);
    else
        EXPECT_EQ(0, digest.Count("red")) << Narrow(strTip);
}

TEST(KovaTray, StartShowsTheIconAndTipOfTheRadioState)
{
    const struct {
        BYTE byStatus;
        const wchar_t* pszTip;
    } cases[] = {
        {0x1F, kTipBothOn},
        {0x1D, kTipWlanOn},
        {0x0F, kTipBothOff},   // both on, but the switch is off
        {0x00, kTipBothOff},   // nothing fitted
    };
    CPictureBook book;
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "status 0x" << std::hex << int(c.byStatus));
        CResidentKova kova(c.byStatus);
        ASSERT_TRUE(kova.IsResident()) << kova.Describe();
        TrayIcon icon = kova.StartIcon();
        EXPECT_TRUE(kova.WaitForIcon(c.pszTip, &icon)) << "tip: " << Narrow(icon.strTip);
        EXPECT_TRUE(icon.bVisible);
        EXPECT_EQ(kTrayCallback, icon.uCallbackMessage);

        PixelDigest digest;
        ASSERT_TRUE(SampleSettledPicture(kova.Icon(), digest));
        ExpectMarksMatchTip(c.pszTip, digest);
        book.Record(c.pszTip, digest);

        // Stopped the way its peers stop it, so that the next start finds the name free.
        ASSERT_TRUE(SignalFromAnotherProcess(kCloseEvent));
        EXPECT_EQ(0u, kova.Wait());
    }
    EXPECT_EQ(3u, book.Size());
}

TEST(KovaTray, NotifyEventRereadsTheStateIntoIconAndTip)
{
    CResidentKova kova(0x1F, KovaStart().Tip(kTipBothOn));
    ASSERT_TRUE(kova.IsResident()) << kova.Describe();
    const TrayIcon first = kova.StartIcon();
    PixelDigest digest;
    ASSERT_TRUE(SampleSettledPicture(kova.Icon(), digest));
    CPictureBook book;
    book.Record(kTipBothOn, digest);

    // Every step changes the tip, so that each wait proves a new reading; together they
    // visit all six pictures, most of them more than once by different bytes.
    const struct {
        BYTE byStatus;
        const wchar_t* pszTip;
    } steps[] = {
        {0x1D, kTipWlanOn},  {0x1E, kTipBtOn},    {0x1C, kTipBothOff}, {0x14, kTipWlanOff},
        {0x0F, kTipBothOff}, {0x18, kTipBtOff},   {0x00, kTipBothOff}, {0x05, kTipWlanOff},
        {0x1A, kTipBtOn},    {0x15, kTipWlanOn},  {0x08, kTipBtOff},   {0x1F, kTipBothOn},
    };
    for (const auto& s : steps)
    {
        SCOPED_TRACE(testing::Message() << "status 0x" << std::hex << int(s.byStatus));
        ASSERT_TRUE(kova.State().Set(s.byStatus));
        ASSERT_TRUE(SignalFromAnotherProcess(kNotifyEvent));
        TrayIcon icon;
        ASSERT_TRUE(kova.WaitForIcon(s.pszTip, &icon));
        // Changed in place: the same icon, not a new one added beside it.
        EXPECT_EQ(first.hWnd, icon.hWnd);

        const unsigned long ulBefore = digest.ulHash;
        ASSERT_TRUE(SampleSettledPicture(kova.Icon(), digest, &ulBefore)) << "the picture did not change";
        ExpectMarksMatchTip(s.pszTip, digest);
        book.Record(s.pszTip, digest);
    }
    EXPECT_EQ(6u, book.Size());

    std::vector<TrayIcon> icons;
    ASSERT_TRUE(ListTrayIcons(icons));
    int nOurs = 0;
    for (const TrayIcon& icon : icons)
        nOurs += kova.Icon().Matches(icon) ? 1 : 0;
    EXPECT_EQ(1, nOurs);
}

// The organisation's policy set and taken away while Kova runs: the tip follows at once,
// with no restart and nothing polled.
TEST(KovaTray, TheTipSaysWhichRadioThePolicyKeepsOff)
{
    CResidentKova kova(0x1D, KovaStart().Tip(kTipWlanOn));   // WiFi on, Bluetooth off
    ASSERT_TRUE(kova.IsResident()) << kova.Describe();
    {
        CPolicySetting policy(HKEY_CURRENT_USER, KOVA_POLICY_ALLOW_BLUETOOTH, 0);
        ASSERT_TRUE(policy.IsSet());
        EXPECT_TRUE(kova.WaitForIcon(L"Wireless LAN is enabled.\nBluetooth: turned off by your organisation"));
    }
    EXPECT_TRUE(kova.WaitForIcon(kTipWlanOn));
}

TEST(KovaTray, ShellRestartAddsTheIconAgainWithTheStateOfThatMoment)
{
    CResidentKova kova(0x1F, KovaStart().Tip(kTipBothOn));
    ASSERT_TRUE(kova.IsResident()) << kova.Describe();
    TrayIcon before = kova.StartIcon();

    // The switch went off while explorer was away: nobody told Kova, the restart must.
    const struct {
        BYTE byStatus;
        const wchar_t* pszTip;
    } restarts[] = {{0x1E, kTipBtOn}, {0x0F, kTipBothOff}};
    for (const auto& r : restarts)
    {
        SCOPED_TRACE(testing::Message() << "status 0x" << std::hex << int(r.byStatus));
        ASSERT_TRUE(kova.State().Set(r.byStatus));
        std::string strError;
        ASSERT_TRUE(SimulateShellRestart(kova.Frame(), kTrayId, kWaitMs, &strError)) << strError;
        TrayIcon after;
        ASSERT_TRUE(kova.WaitForIcon(r.pszTip, &after));
        EXPECT_NE(before.hWnd, after.hWnd);
        EXPECT_EQ(kTrayCallback, after.uCallbackMessage);
        PixelDigest digest;
        ASSERT_TRUE(SampleSettledPicture(kova.Icon(), digest));
        ExpectMarksMatchTip(r.pszTip, digest);
        before = after;
    }

    // The icon added again still answers: its menu opens.
    std::string strError;
    ASSERT_TRUE(ClickTrayIcon(before, ClickKind::Right, ClickMethod::Input, &strError)) << strError;
    ASSERT_TRUE(WaitForPopupMenu(kWaitMs, nullptr, kova.Pid()));
    ASSERT_TRUE(PressKey("esc"));
    EXPECT_TRUE(WaitForNoPopupMenu(kWaitMs, kova.Pid()));
}

} // namespace
