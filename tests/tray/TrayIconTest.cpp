// CTrayIcon's record and shell requests, through the fake shell and through Wine's own.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "TrayTestIds.h"
#include "framework/Handles.h"
#include "harness/TrayObserver.h"
#include "support/TestSupport.h"
#include "support/TraceCapture.h"
#include "support/TrayTestSupport.h"

using kovatest::CFakeShell;
using kovatest::CNotifyWnd;

namespace {

constexpr UINT WM_TRAY_TEST_CALLBACK = WM_USER + 0xC4;
constexpr UINT I = NIF_ICON, T = NIF_TIP, M = NIF_MESSAGE;
const std::string kLongString = [] {
    std::string str;
    for (int i = 0; i < 20; ++i)
        str += "0123456789";
    return str;
}();


std::wstring Wide(const char* pszUtf8)
{
    wchar_t sz[512] = L"";
    ::MultiByteToWideChar(CP_UTF8, 0, pszUtf8, -1, sz, 512);
    return sz;
}

HICON ModuleIcon(UINT uID)
{
    // Shared icons: the same handle CTrayIcon gets for that id.
    return ::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(uID));
}

// Fields Kova never uses (balloons, state, version, GUID) must stay zero.
bool RestIsZero(NOTIFYICONDATAW nid)
{
    nid.cbSize = 0;
    nid.hWnd = nullptr;
    nid.uID = 0;
    nid.uFlags = 0;
    nid.uCallbackMessage = 0;
    nid.hIcon = nullptr;
    std::memset(nid.szTip, 0, sizeof nid.szTip);
    const NOTIFYICONDATAW zero = {};
    return std::memcmp(&nid, &zero, sizeof nid) == 0;
}

class TrayIconTest : public ::testing::Test {
protected:
    TrayIconTest()
    {
        // An icon of the caller's own, not from the module's resources.
        m_hOwnIcon.Reset(static_cast<HICON>(::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_TEST_TRAY),
                                                         IMAGE_ICON, 16, 16, 0)));
    }
    void SetUp() override
    {
        ASSERT_TRUE(m_wnd.GetSafeHwnd());
        ASSERT_TRUE(m_hOwnIcon);
    }

    CNotifyWnd m_wnd;
    kfw::CIcon m_hOwnIcon;
    CFakeShell m_shell;
    kovatest::CTraceCapture m_trace;
};

} // namespace

TEST_F(TrayIconTest, ConstructionFillsTheRecordAndAsksNothingOfTheShell)
{
    struct Case {
        UINT uID;
        std::string strTip;
    };
    const Case cases[] = {
        { IDR_TEST_TRAY, "Kova" },
        { IDR_TEST_NOTHING, "" },
        { IDS_TEST_SCRIPTS, "Bluetooth \xD0\xB2\xD0\xBA\xD0\xBB. \xE6\x9C\x89\xE5\x8A\xB9 \xF0\x9F\x93\xB6" },
    };
    for (const Case& c : cases)
    {
        CTrayIcon tray(c.uID);
        const NOTIFYICONDATAW& nid = tray.GetNotifyIconData();
        EXPECT_EQ(nid.cbSize, 956u);
        EXPECT_EQ(nid.uID, c.uID);
        EXPECT_EQ(kovatest::TipOf(nid), c.strTip);
        EXPECT_EQ(nid.hIcon, nullptr);
        EXPECT_EQ(nid.uFlags, 0u);
        EXPECT_TRUE(RestIsZero(nid));
        EXPECT_FALSE(tray.IsShown());
    }
    EXPECT_TRUE(m_shell.m_calls.empty()) << "construction or destruction of a hidden icon called the shell";
}

// Sequences of SetIcon calls: the request each one makes (or not), the record it sends,
// what it returns and whether the icon counts as shown afterwards.
TEST_F(TrayIconTest, SetIconMakesTheRequestsOfEachSequence)
{
    enum class Icon { None, Own };
    struct Step {
        UINT uID;            // SetIcon(uID, dwMessage) unless eIcon/pszTip are used
        Icon eIcon;          // SetIcon(hicon, lpTip, dwMessage) when uID is ~0u
        const char* pszTip;
        DWORD dwMessage;
        BOOL bShellAnswer;
        // expected
        BOOL bResult;
        bool bCall;
        DWORD dwSent;
        UINT uFlags;
        std::string strTip;
        bool bShown;
    };
    constexpr UINT ByHandle = ~0u;
    const std::string strBoth = "Bluetooth and Wireless LAN are enabled.";
    const std::string strBt = "Bluetooth is enabled.";
    struct Sequence {
        const char* pszWhat;
        std::vector<Step> steps;
    };
    const Sequence sequences[] = {
        { "add, change, delete, delete again",
          { { IDI_TEST_BOTH_ON, Icon::None, nullptr, NIM_ADD, TRUE, TRUE, true, NIM_ADD, I | T | M, strBoth, true },
            { IDI_TEST_BT_ON, Icon::None, nullptr, NIM_MODIFY, TRUE, TRUE, true, NIM_MODIFY, I | T | M, strBt, true },
            { 0, Icon::None, nullptr, NIM_DELETE, TRUE, TRUE, true, NIM_DELETE, T | M, strBt, false },
            { 0, Icon::None, nullptr, NIM_DELETE, TRUE, TRUE, false, 0, 0, strBt, false } } },
        { "delete with nothing shown",
          { { 0, Icon::None, nullptr, NIM_DELETE, FALSE, TRUE, false, 0, 0, "Kova", false },
            { ByHandle, Icon::None, "tip", NIM_ADD, FALSE, TRUE, false, 0, 0, "Kova", false } } },
        { "a null icon means removal, whatever was asked",
          { { IDI_TEST_BOTH_ON, Icon::None, nullptr, NIM_ADD, TRUE, TRUE, true, NIM_ADD, I | T | M, strBoth, true },
            { 0, Icon::None, nullptr, NIM_MODIFY, TRUE, TRUE, true, NIM_DELETE, T | M, strBoth, false } } },
        { "a failed add or change leaves the icon hidden",
          { { IDI_TEST_BOTH_ON, Icon::None, nullptr, NIM_ADD, FALSE, FALSE, true, NIM_ADD, I | T | M, strBoth, false },
            { 0, Icon::None, nullptr, NIM_DELETE, TRUE, TRUE, false, 0, 0, strBoth, false },
            { IDI_TEST_BOTH_ON, Icon::None, nullptr, NIM_ADD, TRUE, TRUE, true, NIM_ADD, I | T | M, strBoth, true },
            { IDI_TEST_BT_ON, Icon::None, nullptr, NIM_MODIFY, FALSE, FALSE, true, NIM_MODIFY, I | T | M, strBt, false },
            { 0, Icon::None, nullptr, NIM_MODIFY, TRUE, TRUE, false, 0, 0, strBt, false } } },
        { "a failed delete still counts as removed",
          { { IDI_TEST_BOTH_ON, Icon::None, nullptr, NIM_ADD, TRUE, TRUE, true, NIM_ADD, I | T | M, strBoth, true },
            { 0, Icon::None, nullptr, NIM_DELETE, FALSE, FALSE, true, NIM_DELETE, T | M, strBoth, false },
            { 0, Icon::None, nullptr, NIM_DELETE, TRUE, TRUE, false, 0, 0, strBoth, false } } },
        { "an id without an icon removes, one without a string sends no tip",
          { { IDI_TEST_NO_STRING, Icon::None, nullptr, NIM_ADD, TRUE, TRUE, true, NIM_ADD, I | M, "", true },
            { IDS_TEST_NO_ICON, Icon::None, nullptr, NIM_MODIFY, TRUE, TRUE, true, NIM_DELETE, T | M,
              "String without icon", false } } },
    };

    for (const Sequence& seq : sequences)
    {
        SCOPED_TRACE(seq.pszWhat);
        CFakeShell& shell = m_shell;
        {
            CTrayIcon tray(IDR_TEST_TRAY);
            tray.SetNotificationWnd(&m_wnd, WM_TRAY_TEST_CALLBACK);
            HICON hLastSent = nullptr;
            for (size_t i = 0; i < seq.steps.size(); ++i)
            {
                const Step& s = seq.steps[i];
                SCOPED_TRACE(i);
                shell.m_calls.clear();
                shell.m_versionAfter.clear();
                shell.m_results.assign(1, s.bShellAnswer);
                HICON hIcon = nullptr;
                BOOL bResult;
                if (s.uID == ByHandle)
                {
                    hIcon = s.eIcon == Icon::Own ? m_hOwnIcon.Get() : nullptr;
                    bResult = tray.SetIcon(hIcon, s.pszTip ? Wide(s.pszTip).c_str() : nullptr, s.dwMessage);
                }
                else
                {
                    // The tray loads an icon of its own: whichever it sent is the one it shows.
                    hIcon = ModuleIcon(s.uID);
                    bResult = tray.SetIcon(s.uID, s.dwMessage);
                    if (hIcon && !shell.m_calls.empty())
                        hIcon = shell.m_calls[0].nid.hIcon;
                }
                EXPECT_EQ(bResult, s.bResult);
                EXPECT_EQ(tray.IsShown(), s.bShown);
                EXPECT_EQ(kovatest::TipOf(tray.GetNotifyIconData()), s.strTip);
                ASSERT_EQ(shell.m_calls.size(), s.bCall ? 1u : 0u);
                // Each add the shell took is followed at once by version 3 for it.
                const bool bAdded = s.bCall && s.dwSent == NIM_ADD && s.bShellAnswer;
                EXPECT_EQ(shell.m_versionAfter, bAdded ? std::vector<size_t>{ 1 } : std::vector<size_t>{});
                EXPECT_EQ(tray.IsVersioned(), s.bShown);
                if (hIcon)
                    hLastSent = hIcon;
                if (!s.bCall)
                    continue;
                const CFakeShell::Call& call = shell.m_calls[0];
                EXPECT_EQ(call.dwMessage, s.dwSent);
                EXPECT_EQ(call.nid.cbSize, 956u);
                EXPECT_EQ(call.nid.hWnd, m_wnd.GetSafeHwnd());
                EXPECT_EQ(call.nid.uID, static_cast<UINT>(IDR_TEST_TRAY));
                EXPECT_EQ(call.nid.uFlags, s.uFlags);
                EXPECT_EQ(call.nid.uCallbackMessage, WM_TRAY_TEST_CALLBACK);
                EXPECT_EQ(call.nid.hIcon, hLastSent);
                EXPECT_EQ(kovatest::TipOf(call.nid), s.strTip);
                EXPECT_TRUE(RestIsZero(call.nid));
            }
            shell.m_results.clear();
        }
    }
}

// The shell holds 127 UTF-16 units of a tip: each way a tip comes in is cut there, never
// through a surrogate pair, and never past the field into the rest of the record.
TEST_F(TrayIconTest, TipsAreCutTo127UnitsWhicheverWayTheyComeIn)
{
    const std::string str127 = kLongString.substr(0, 127);
    const std::string str128 = kLongString.substr(0, 128);
    const std::string str126Pair = kLongString.substr(0, 126) + "\xF0\x9F\x93\xB6";   // two UTF-16 units
    const std::string strNoted = std::string("Bluetooth is enabled.\n") + kLongString;

    CTrayIcon tray(IDI_TEST_LONG_TIP);
    EXPECT_EQ(kovatest::TipOf(tray.GetNotifyIconData()), str127) << "the string loaded at construction";
    EXPECT_TRUE(RestIsZero(tray.GetNotifyIconData()));
    tray.SetNotificationWnd(&m_wnd, WM_TRAY_TEST_CALLBACK);

    // In order, on one icon: a step without text keeps the tip before it.
    constexpr UINT ByText = ~0u;
    const struct {
        const char* pszWhat;
        UINT uID;              // SetIcon(uID, ...) unless ByText: SetIcon(own icon, pszTip, ...)
        const char* pszTip;
        const char* pszNote;   // the tip's note (a policy's), for an id
        DWORD dwMessage;
        UINT uFlags;
        std::string strTip;
    } steps[] = {
        { "200 characters of text", ByText, kLongString.c_str(), nullptr, NIM_ADD, I | T | M, str127 },
        { "a short text", ByText, "short", nullptr, NIM_MODIFY, I | T | M, "short" },
        { "a 200-character string by id", IDI_TEST_LONG_TIP, nullptr, nullptr, NIM_MODIFY, I | T | M, str127 },
        { "128 characters of text", ByText, str128.c_str(), nullptr, NIM_MODIFY, I | T | M, str127 },
        { "no text keeps the cut tip", ByText, nullptr, nullptr, NIM_MODIFY, I | T | M, str127 },
        { "an empty text sends no tip", ByText, "", nullptr, NIM_MODIFY, I | M, "" },
        { "a pair across the end goes whole", ByText, str126Pair.c_str(), nullptr, NIM_MODIFY, I | T | M,
          str126Pair.substr(0, 126) },
        { "a long note after the string", IDI_TEST_BT_ON, nullptr, kLongString.c_str(), NIM_MODIFY, I | T | M,
          strNoted.substr(0, 127) },
    };
    for (const auto& s : steps)
    {
        SCOPED_TRACE(s.pszWhat);
        m_shell.m_calls.clear();
        tray.SetTipNote(s.pszNote ? Wide(s.pszNote) : std::wstring());
        const BOOL bResult = s.uID == ByText
            ? tray.SetIcon(m_hOwnIcon.Get(), s.pszTip ? Wide(s.pszTip).c_str() : nullptr, s.dwMessage)
            : tray.SetIcon(s.uID, s.dwMessage);
        EXPECT_TRUE(bResult);
        EXPECT_TRUE(tray.IsShown());
        EXPECT_EQ(kovatest::TipOf(tray.GetNotifyIconData()), s.strTip);
        ASSERT_EQ(m_shell.m_calls.size(), 1u);
        const CFakeShell::Call& call = m_shell.m_calls[0];
        EXPECT_EQ(call.dwMessage, s.dwMessage);
        EXPECT_EQ(call.nid.uFlags, s.uFlags);
        EXPECT_EQ(kovatest::TipOf(call.nid), s.strTip);
        EXPECT_TRUE(RestIsZero(call.nid));
    }
}

TEST_F(TrayIconTest, DestructionDeletesAShownIcon)
{
    for (bool bShow : { true, false })
    {
        SCOPED_TRACE(bShow ? "shown" : "hidden");
        m_shell.m_calls.clear();
        {
            CTrayIcon tray(IDR_TEST_TRAY);
            tray.SetNotificationWnd(&m_wnd, WM_TRAY_TEST_CALLBACK);
            if (bShow)
            {
                ASSERT_TRUE(tray.SetIcon(IDI_TEST_BOTH_ON, NIM_ADD));
            }
            m_shell.m_calls.clear();
        }
        ASSERT_EQ(m_shell.m_calls.size(), bShow ? 1u : 0u);
        if (bShow)
        {
            EXPECT_EQ(m_shell.m_calls[0].dwMessage, static_cast<DWORD>(NIM_DELETE));
            EXPECT_EQ(m_shell.m_calls[0].nid.hWnd, m_wnd.GetSafeHwnd());
            EXPECT_EQ(m_shell.m_calls[0].nid.uID, static_cast<UINT>(IDR_TEST_TRAY));
        }
    }
}

// NIF_MESSAGE only with both a window and a message; the window is kept when null is passed.
TEST_F(TrayIconTest, CallbackNeedsBothWindowAndMessage)
{
    struct Case {
        const char* pszWhat;
        bool bCallSet;
        bool bWnd;
        UINT uCbMsg;
        UINT uFlags;
        size_t nTraceLines;
    };
    const Case cases[] = {
        { "never set", false, false, 0, I | T, 0 },
        { "window without message", true, true, 0, I | T, 1 },
        { "message without window", true, false, WM_TRAY_TEST_CALLBACK, I | T, 0 },
        { "both", true, true, WM_TRAY_TEST_CALLBACK, I | T | M, 1 },
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.pszWhat);
        CTrayIcon tray(IDR_TEST_TRAY);
        m_trace.Clear();
        if (c.bCallSet)
            tray.SetNotificationWnd(c.bWnd ? &m_wnd : nullptr, c.uCbMsg);
        EXPECT_EQ(m_trace.Lines().size(), c.nTraceLines);
        if (c.nTraceLines)
        {
            EXPECT_EQ(m_trace.Lines()[0], "void CTrayIcon::SetNotificationWnd(CWnd* pNotifyWnd, UINT uCbMsg)");
        }
        m_shell.m_calls.clear();
        ASSERT_TRUE(tray.SetIcon(m_hOwnIcon.Get(), nullptr, NIM_ADD));
        ASSERT_EQ(m_shell.m_calls.size(), 1u);
        EXPECT_EQ(m_shell.m_calls[0].nid.uFlags, c.uFlags);
        EXPECT_EQ(m_shell.m_calls[0].nid.hWnd, c.bWnd ? m_wnd.GetSafeHwnd() : nullptr);
        EXPECT_EQ(m_shell.m_calls[0].nid.uCallbackMessage, c.uCbMsg);
    }
    // Passing no window later keeps the one given before, and changes the message.
    CTrayIcon tray(IDR_TEST_TRAY);
    tray.SetNotificationWnd(&m_wnd, WM_TRAY_TEST_CALLBACK);
    tray.SetNotificationWnd(nullptr, WM_TRAY_TEST_CALLBACK + 1);
    EXPECT_EQ(tray.GetNotifyIconData().hWnd, m_wnd.GetSafeHwnd());
    EXPECT_EQ(tray.GetNotifyIconData().uCallbackMessage, WM_TRAY_TEST_CALLBACK + 1);
}

TEST_F(TrayIconTest, WritesItsDebugLines)
{
    CTrayIcon tray(IDR_TEST_TRAY);
    tray.SetNotificationWnd(&m_wnd, WM_TRAY_TEST_CALLBACK);
    m_trace.Clear();
    tray.SetIcon(IDI_TEST_BOTH_ON, NIM_ADD);
    tray.SetIcon(nullptr, nullptr, NIM_DELETE);
    tray.SetIcon(nullptr, nullptr, NIM_DELETE);   // returns early, after its line
    tray.OnTrayNotification(IDR_TEST_TRAY + 1, WM_RBUTTONUP);
    const std::vector<std::string> expected = {
        "BOOL CTrayIcon::SetIcon(UINT uID, DWORD dwMessage)",
        "BOOL CTrayIcon::SetIcon(HICON hicon, LPCSTR lpTip, DWORD dwMessage)",
        "BOOL CTrayIcon::SetIcon(HICON hicon, LPCSTR lpTip, DWORD dwMessage)",
        "BOOL CTrayIcon::SetIcon(HICON hicon, LPCSTR lpTip, DWORD dwMessage)",
        "LRESULT CTrayIcon::OnTrayNotification(WPARAM wID, LPARAM lEvent)",
    };
    EXPECT_EQ(m_trace.Lines(), expected);
}

// Wine's own Shell_NotifyIconA, seen from explorer's side.
TEST(TrayIconShellTest, AddsChangesAndDeletesTheIconInTheRealTray)
{
    using kovatest::CIconSelector;
    CNotifyWnd wnd;
    ASSERT_TRUE(wnd.GetSafeHwnd());
    const CIconSelector sel = CIconSelector::ByOwner(wnd.GetSafeHwnd(), IDR_TEST_TRAY);
    auto tipIs = [&](const wchar_t* pszTip) {
        return kovatest::PumpUntil([&] {
            kovatest::TrayIcon icon;
            return kovatest::FindTrayIcon(sel, icon) && icon.bHasTip && icon.strTip == pszTip;
        });
    };

    CTrayIcon tray(IDR_TEST_TRAY);
    tray.SetNotificationWnd(&wnd, WM_TRAY_TEST_CALLBACK);
    ASSERT_TRUE(tray.SetIcon(IDI_TEST_BOTH_ON, NIM_ADD));
    EXPECT_TRUE(tray.IsShown());
    EXPECT_TRUE(tipIs(L"Bluetooth and Wireless LAN are enabled."));

    // The shell refuses a second add for the same window and id; that object stays hidden.
    {
        CTrayIcon twin(IDR_TEST_TRAY);
        twin.SetNotificationWnd(&wnd, WM_TRAY_TEST_CALLBACK);
        EXPECT_FALSE(twin.SetIcon(IDI_TEST_BT_ON, NIM_ADD));
        EXPECT_FALSE(twin.IsShown());
    }

    EXPECT_TRUE(tray.IsVersioned()) << "the shell refused version 3";
    ASSERT_TRUE(tray.SetIcon(IDS_TEST_SCRIPTS, NIM_MODIFY));
    EXPECT_TRUE(tipIs(L"Bluetooth \x0432\x043A\x043B. \x6709\x52B9 \xD83D\xDCF6"));
    ASSERT_TRUE(tray.SetIcon(IDI_TEST_BT_ON, NIM_MODIFY));
    EXPECT_TRUE(tipIs(L"Bluetooth is enabled."));

    ASSERT_TRUE(tray.SetIcon(0u, NIM_DELETE));
    EXPECT_FALSE(tray.IsShown());
    EXPECT_TRUE(kovatest::WaitForTrayIconGone(sel, 5000));
    // A change of an icon the shell no longer holds fails and leaves the object hidden.
    EXPECT_FALSE(tray.SetIcon(IDI_TEST_BT_ON, NIM_MODIFY));
    EXPECT_FALSE(tray.IsShown());
}

namespace {

using namespace kovatest;

IconLook LookOf(UINT uID, int cx, int cy)
{
    kfw::CIcon hicon(static_cast<HICON>(
        ::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(uID), IMAGE_ICON, cx, cy, 0)));
    IconLook look;
    EXPECT_TRUE(ReadIcon(hicon.Get(), look)) << uID;
    return look;
}

} // namespace

TEST_F(TrayIconTest, IconHasTheSmallIconSizeOfTheTaskbarsDpi)
{
    CLookSeams seams;
    CStandInTaskbar taskbar;
    ASSERT_NE(taskbar.Get(), nullptr);
    // Wine 8 has the calls; the e2e tests rely on them being bound.
    ASSERT_NE(seams.m_dpi.Saved(), nullptr);
    ASSERT_NE(seams.m_windowDpi.Saved(), nullptr);
    ASSERT_NE(seams.m_metrics.Saved(), nullptr);
    const int cxSys = ::GetSystemMetrics(SM_CXSMICON), cySys = ::GetSystemMetrics(SM_CYSMICON);
    kfw::CWindowDC screen(nullptr);
    const int nScreenDpi = ::GetDeviceCaps(screen.Get(), LOGPIXELSX);
    const int nSystemDpi = static_cast<int>(FakeDpiForSystem());   // what it said first, for good
    const struct {
        const char* pszWhat;
        PFN_GETDPIFORWINDOW pfnWindowDpi;
        PFN_GETDPIFORSYSTEM pfnDpi;
        UINT uTaskbarDpi;
        PFN_GETSYSTEMMETRICSFORDPI pfnMetrics;
        int cx, cy;
    } rows[] = {
        { "96", &FakeDpiForWindow, &FakeDpiForSystem, 96, &FakeMetricsForDpi, 16, 12 },
        { "144", &FakeDpiForWindow, &FakeDpiForSystem, 144, &FakeMetricsForDpi, 24, 18 },
        { "the system's metrics at 144", &FakeDpiForWindow, &FakeDpiForSystem, 144, seams.m_metrics.Saved(), 24, 24 },
        { "without the DPI metrics call", &FakeDpiForWindow, &FakeDpiForSystem, 144, nullptr, cxSys, cySys },
        { "without GetDpiForWindow: the system's", nullptr, &FakeDpiForSystem, 144, &FakeMetricsForDpi,
          nSystemDpi / 6, nSystemDpi / 8 },
        { "without either: the screen's", nullptr, nullptr, 144, &FakeMetricsForDpi, nScreenDpi / 6, nScreenDpi / 8 },
    };
    for (const auto& r : rows)
    {
        SCOPED_TRACE(r.pszWhat);
        kfw::g_user32.pfnGetDpiForWindow = r.pfnWindowDpi;
        kfw::g_user32.pfnGetDpiForSystem = r.pfnDpi;
        kfw::g_user32.pfnGetSystemMetricsForDpi = r.pfnMetrics;
        g_uFakeTaskbarDpi = r.uTaskbarDpi;
        g_hDpiAsked = nullptr;
        CTrayIcon tray(IDR_TEST_TRAY);
        m_shell.m_calls.clear();
        ASSERT_TRUE(tray.SetIcon(IDI_TEST_BOTH_ON, NIM_ADD));
        ASSERT_EQ(m_shell.m_calls.size(), 1u);
        IconLook look;
        ASSERT_TRUE(ReadIcon(m_shell.m_calls[0].nid.hIcon, look));
        EXPECT_EQ(look.cx, r.cx);
        EXPECT_EQ(look.cy, r.cy);
        if (r.pfnWindowDpi)
        {
            EXPECT_EQ(g_hDpiAsked, ::FindWindowA("Shell_TrayWnd", nullptr));
        }
    }
    kfw::g_user32.pfnGetDpiForWindow = seams.m_windowDpi.Saved();
    // As bound at start, at the test's 96 DPI: the 16-pixel picture itself, unscaled.
    kfw::g_user32.pfnGetDpiForSystem = seams.m_dpi.Saved();
    kfw::g_user32.pfnGetSystemMetricsForDpi = seams.m_metrics.Saved();
    ASSERT_EQ(seams.m_dpi.Saved()(), 96u);
    CTrayIcon tray(IDR_TEST_TRAY);
    ASSERT_TRUE(tray.SetIcon(IDI_TEST_BOTH_ON, NIM_ADD));
    IconLook look;
    ASSERT_TRUE(ReadIcon(m_shell.m_calls.back().nid.hIcon, look));
    EXPECT_EQ(look.pixels, LookOf(IDI_TEST_BOTH_ON, 16, 16).pixels);
}

// Each icon the tray loads is alive while the shell copies it, and goes once the shell has
// the next one or has removed the icon.
TEST_F(TrayIconTest, EachIconLivesUntilTheShellHasTheNextOne)
{
    CTrayIcon tray(IDR_TEST_TRAY);
    tray.SetNotificationWnd(&m_wnd, WM_TRAY_TEST_CALLBACK);
    HICON hPrevious = nullptr;
    bool bPreviousAliveDuringCall = false;
    m_shell.m_fnDuringCall = [&](const NOTIFYICONDATAW&) {
        IconLook look;
        bPreviousAliveDuringCall = ReadIcon(hPrevious, look);
    };
    const struct { UINT uID; DWORD dwMessage; } steps[] = {
        { IDI_TEST_BOTH_ON, NIM_ADD }, { IDI_TEST_BT_ON, NIM_MODIFY }, { IDI_TEST_BT_ON, NIM_MODIFY }, { 0, NIM_DELETE },
    };
    for (const auto& s : steps)
    {
        SCOPED_TRACE(s.uID);
        ASSERT_TRUE(tray.SetIcon(s.uID, s.dwMessage));
        const HICON hSent = m_shell.m_calls.back().nid.hIcon;
        IconLook look;
        if (hPrevious)
        {
            EXPECT_TRUE(bPreviousAliveDuringCall);
            if (hSent != hPrevious)
            {
                EXPECT_FALSE(ReadIcon(hPrevious, look)) << "the icon before outlived the change";
            }
        }
        if (s.dwMessage == NIM_DELETE)
            EXPECT_FALSE(ReadIcon(hSent, look)) << "the removed icon was kept";
        else
            EXPECT_TRUE(ReadIcon(hSent, look));
        hPrevious = hSent;
    }
    m_shell.m_fnDuringCall = nullptr;
}

TEST_F(TrayIconTest, TaskbarThemeIsReadFromTheUsersPersonalizeKey)
{
    CLookSeams seams;
    kfw::g_linked.pfnRegGetValueA = &FakeRegGetValue;
    using B = std::vector<BYTE>;
    const struct {
        RegAnswer answer;
        TaskbarTheme eTheme;
    } rows[] = {
        { { ERROR_SUCCESS, REG_DWORD, B{ 1, 0, 0, 0 } }, TaskbarTheme::Light },
        { { ERROR_FILE_NOT_FOUND, REG_NONE, B{} }, TaskbarTheme::Dark },
        { { ERROR_SUCCESS, REG_BINARY, B(12, 1) }, TaskbarTheme::Dark },   // longer than any DWORD; the
                                                                            // rest is TrayLook's table
    };
    for (const auto& r : rows)
    {
        g_reg = r.answer;
        g_regAsked.clear();
        EXPECT_EQ(ReadTaskbarTheme(), r.eTheme) << r.answer.dwType;
        const std::vector<std::string> asked = { "HKCU", "Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize",
                                                 "SystemUsesLightTheme", std::to_string(RRF_RT_ANY) };
        EXPECT_EQ(g_regAsked, asked);
    }
}

// Light taskbars get the light twin where the module has one, the dark picture otherwise;
// the tip is always the dark id's.
TEST_F(TrayIconTest, LightTaskbarGetsTheLightTwinOrTheDarkPicture)
{
    CLookSeams seams;
    kfw::g_user32.pfnGetDpiForSystem = &FakeDpiForSystem;
    g_uFakeDpi = 96;
    const struct { TaskbarTheme eTheme; UINT uID; UINT uPicture; const char* pszTip; } rows[] = {
        { TaskbarTheme::Light, IDI_TEST_BOTH_ON, IDI_TEST_BOTH_ON_LIGHT, "Bluetooth and Wireless LAN are enabled." },
        { TaskbarTheme::Light, IDI_TEST_BT_ON, IDI_TEST_BT_ON, "Bluetooth is enabled." },
        { TaskbarTheme::Dark, IDI_TEST_BOTH_ON, IDI_TEST_BOTH_ON, "Bluetooth and Wireless LAN are enabled." },
    };
    ASSERT_NE(LookOf(IDI_TEST_BOTH_ON_LIGHT, 16, 16).pixels, LookOf(IDI_TEST_BOTH_ON, 16, 16).pixels);
    CTrayIcon tray(IDR_TEST_TRAY);
    DWORD dwMessage = NIM_ADD;
    for (const auto& r : rows)
    {
        SCOPED_TRACE(r.uID);
        tray.SetTaskbarTheme(r.eTheme);
        EXPECT_EQ(tray.GetTaskbarTheme(), r.eTheme);
        ASSERT_TRUE(tray.SetIcon(r.uID, std::exchange(dwMessage, NIM_MODIFY)));
        IconLook look;
        ASSERT_TRUE(ReadIcon(m_shell.m_calls.back().nid.hIcon, look));
        EXPECT_EQ(look.pixels, LookOf(r.uPicture, 16, 16).pixels);
        EXPECT_EQ(kovatest::TipOf(m_shell.m_calls.back().nid), r.pszTip);
    }
}
