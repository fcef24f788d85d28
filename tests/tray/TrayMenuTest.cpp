// The icon's mouse events: the context menu on a right-button release, the default
// command on a double click, nothing on anything else.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TrayTestIds.h"
#include "support/TestSupport.h"
#include "support/TrayTestSupport.h"

using kovatest::CNotifyWnd;

namespace {

constexpr UINT WM_TRAY_TEST_CALLBACK = WM_USER + 0xC4;
constexpr UINT MN_GETHMENU_ = 0x01E1;   // not in MinGW's headers

// Watches for the pop-up from a thread timer, which TrackPopupMenu's own loop dispatches:
// notes what the menu looks like, then plays the keys (or ends the menu when there are none).
class CMenuDriver {
public:
    struct Key {
        UINT uMsg;   // WM_KEYDOWN or WM_CHAR
        WPARAM wParam;
    };

    explicit CMenuDriver(std::vector<Key> keys) : m_keys(std::move(keys))
    {
        s_pThis = this;
        m_uTimer = ::SetTimer(nullptr, 0, 10, &OnTimer);
    }
    ~CMenuDriver()
    {
        ::KillTimer(nullptr, m_uTimer);
        s_pThis = nullptr;
    }
    CMenuDriver(const CMenuDriver&) = delete;
    CMenuDriver& operator=(const CMenuDriver&) = delete;

    bool m_bSeen = false;
    bool m_bGaveUp = false;
    RECT m_rcMenu = {};
    HMENU m_hMenu = nullptr;
    std::vector<UINT> m_itemIds;
    UINT m_uDefault = ~0u;

private:
    static HWND FindOurMenu()
    {
        for (HWND h = ::FindWindowExA(nullptr, nullptr, "#32768", nullptr); h;
             h = ::FindWindowExA(nullptr, h, "#32768", nullptr))
            if (::IsWindowVisible(h) && ::GetWindowThreadProcessId(h, nullptr) == ::GetCurrentThreadId())
                return h;
        return nullptr;
    }

    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD)
    {
        CMenuDriver& d = *s_pThis;
        if (d.m_bSeen)
            return;
        HWND hMenuWnd = FindOurMenu();
        if (!hMenuWnd)
        {
            if (++d.m_nTicks > 300)   // about 3 s: never leave the test inside a menu loop
            {
                d.m_bGaveUp = true;
                ::EndMenu();
            }
            return;
        }
        d.m_bSeen = true;
        ::GetWindowRect(hMenuWnd, &d.m_rcMenu);
        d.m_hMenu = reinterpret_cast<HMENU>(::SendMessageA(hMenuWnd, MN_GETHMENU_, 0, 0));
        for (int i = 0; i < ::GetMenuItemCount(d.m_hMenu); ++i)
            d.m_itemIds.push_back(::GetMenuItemID(d.m_hMenu, i));
        d.m_uDefault = ::GetMenuDefaultItem(d.m_hMenu, TRUE, 0);
        if (d.m_keys.empty())
            ::EndMenu();
        for (const Key& k : d.m_keys)
            ::PostMessageA(hMenuWnd, k.uMsg, k.wParam, 0);
    }

    std::vector<Key> m_keys;
    UINT_PTR m_uTimer = 0;
    int m_nTicks = 0;
    static inline CMenuDriver* s_pThis = nullptr;
};

bool AnyMenuShown()
{
    for (HWND h = ::FindWindowExA(nullptr, nullptr, "#32768", nullptr); h;
         h = ::FindWindowExA(nullptr, h, "#32768", nullptr))
        if (::IsWindowVisible(h))
            return true;
    return false;
}

class TrayMenuTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_wnd.GetSafeHwnd());
        m_tray.SetNotificationWnd(&m_wnd, WM_TRAY_TEST_CALLBACK);
        kovatest::PumpPending();
        m_wnd.Clear();
    }

    CNotifyWnd m_wnd;
    CTrayIcon m_tray{ IDR_TEST_TRAY };
};

} // namespace

TEST_F(TrayMenuTest, RightButtonUpShowsTheMenuAtTheCursorAndSendsTheChoice)
{
    struct Case {
        const char* pszWhat;
        std::vector<CMenuDriver::Key> keys;
        std::vector<WPARAM> commands;
    };
    const Case cases[] = {
        { "dismissed", {}, {} },
        { "first item", { { WM_KEYDOWN, VK_DOWN }, { WM_KEYDOWN, VK_RETURN } }, { 129 } },
        { "separator skipped", { { WM_KEYDOWN, VK_UP }, { WM_KEYDOWN, VK_RETURN } }, { 57665 } },
        { "access key", { { WM_CHAR, 'a' } }, { 57664 } },
    };
    const POINT ptCursor = { 300, 200 };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.pszWhat);
        m_wnd.Clear();
        ASSERT_TRUE(::SetCursorPos(ptCursor.x, ptCursor.y));
        LRESULT lResult = 0;
        CMenuDriver driver(c.keys);
        lResult = m_tray.OnTrayNotification(IDR_TEST_TRAY, WM_RBUTTONUP);
        EXPECT_EQ(lResult, 1);
        ASSERT_TRUE(driver.m_bSeen) << "no pop-up menu appeared";
        EXPECT_FALSE(driver.m_bGaveUp);

        EXPECT_EQ(driver.m_itemIds, (std::vector<UINT>{ 129, 57664, 0, 57665 }));
        EXPECT_EQ(driver.m_uDefault, 0u) << "\"&Option\" is not the default item";
        EXPECT_EQ(driver.m_rcMenu.left, ptCursor.x);
        EXPECT_EQ(driver.m_rcMenu.top, ptCursor.y);
        EXPECT_EQ(m_wnd.Of(WM_INITMENUPOPUP).size(), 1u);
        // Loaded for this event only, and gone with it.
        EXPECT_FALSE(::IsMenu(driver.m_hMenu));

        // The menu posts the chosen command to the notification window.
        kovatest::PumpUntil([&] { return m_wnd.Of(WM_COMMAND).size() >= c.commands.size(); }, 2000);
        kovatest::PumpPending();
        std::vector<WPARAM> commands;
        for (const auto& e : m_wnd.Of(WM_COMMAND))
        {
            commands.push_back(e.wParam);
            EXPECT_EQ(e.lParam, 0);
        }
        EXPECT_EQ(commands, c.commands);
    }
}

TEST_F(TrayMenuTest, DoubleClickSendsTheDefaultCommandWithoutAMenu)
{
    const LRESULT lResult = m_tray.OnTrayNotification(IDR_TEST_TRAY, WM_LBUTTONDBLCLK);
    EXPECT_EQ(lResult, 1);
    // Sent, not posted: there before any message is pumped.
    const auto commands = m_wnd.Of(WM_COMMAND);
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0].wParam, 129u);
    EXPECT_EQ(commands[0].lParam, 0);
    EXPECT_TRUE(m_wnd.Of(WM_INITMENUPOPUP).empty());
    EXPECT_FALSE(AnyMenuShown());
}

// The shell's callbacks for each gesture, version 3 taken or refused, and what the shell
// sends while a command runs: the menu or the default command once per gesture.
TEST_F(TrayMenuTest, EachGestureActsOnceWhateverTheShellSendsForIt)
{
    kovatest::CFakeShell shell;
    constexpr LPARAM LUp = WM_LBUTTONUP, Sel = NIN_SELECT, Key = NIN_KEYSELECT, RUp = WM_RBUTTONUP, Ctx = WM_CONTEXTMENU;
    const struct { const char* pszWhat; BOOL bVersion; std::vector<LPARAM> events; LPARAM lDuringCommand; size_t nMenus, nCommands; } cases[] = {
        { "left click", TRUE, { LUp, WM_MOUSEMOVE, Sel }, 0, 0, 0 },
        { "double click", TRUE, { LUp, Sel, WM_LBUTTONDBLCLK, LUp, Sel }, Sel, 0, 1 },
        { "Enter on the icon the pointer chose", TRUE, { Sel }, 0, 0, 1 },
        { "Enter on the focused icon, reported twice", TRUE, { Key }, Key, 0, 1 },
        { "right click", TRUE, { RUp, Ctx }, 0, 1, 0 },
        { "Shift+F10", TRUE, { Ctx }, 0, 1, 0 },
        { "right click, version refused", FALSE, { RUp }, 0, 1, 0 },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.pszWhat);
        CTrayIcon tray(IDR_TEST_TRAY);
        tray.SetNotificationWnd(&m_wnd, WM_TRAY_TEST_CALLBACK);
        shell.m_bVersionAnswer = c.bVersion;
        ASSERT_TRUE(tray.SetIcon(IDR_TEST_TRAY, NIM_ADD));
        m_wnd.Clear();
        m_wnd.m_fnOnCommand = [&] { tray.OnTrayNotification(IDR_TEST_TRAY, c.lDuringCommand); };
        for (LPARAM lEvent : c.events)
        {
            CMenuDriver driver({});   // ends any menu the event opens
            tray.OnTrayNotification(IDR_TEST_TRAY, lEvent);
        }
        kovatest::PumpPending();
        EXPECT_EQ(m_wnd.Of(WM_INITMENUPOPUP).size(), c.nMenus);
        EXPECT_EQ(m_wnd.Of(WM_COMMAND).size(), c.nCommands);
    }
    m_wnd.m_fnOnCommand = nullptr;
}

// Events that are not for this icon, or not handled, or without a usable menu: 0 and nothing.
TEST_F(TrayMenuTest, OtherEventsAreAnsweredWithZeroAndDoNothing)
{
    CTrayIcon noMenu(IDR_TEST_NOTHING);
    noMenu.SetNotificationWnd(&m_wnd, WM_TRAY_TEST_CALLBACK);
    CTrayIcon noPopup(IDR_TEST_NO_POPUP);
    noPopup.SetNotificationWnd(&m_wnd, WM_TRAY_TEST_CALLBACK);

    struct Case {
        const char* pszWhat;
        CTrayIcon* pTray;
        WPARAM wID;
        LPARAM lEvent;
    };
    const Case cases[] = {
        { "foreign id, right button", &m_tray, IDR_TEST_TRAY + 1, WM_RBUTTONUP },
        { "foreign id, double click", &m_tray, 0, WM_LBUTTONDBLCLK },
        { "foreign id in the high word", &m_tray, 0x10000 | IDR_TEST_TRAY, WM_LBUTTONDBLCLK },
        { "single click", &m_tray, IDR_TEST_TRAY, WM_LBUTTONUP },
        { "left button down", &m_tray, IDR_TEST_TRAY, WM_LBUTTONDOWN },
        { "right button down", &m_tray, IDR_TEST_TRAY, WM_RBUTTONDOWN },
        { "mouse move", &m_tray, IDR_TEST_TRAY, WM_MOUSEMOVE },
        { "middle button up", &m_tray, IDR_TEST_TRAY, WM_MBUTTONUP },
        { "right double click", &m_tray, IDR_TEST_TRAY, WM_RBUTTONDBLCLK },
        { "no menu resource, right button", &noMenu, IDR_TEST_NOTHING, WM_RBUTTONUP },
        { "no menu resource, double click", &noMenu, IDR_TEST_NOTHING, WM_LBUTTONDBLCLK },
        { "menu without pop-up, right button", &noPopup, IDR_TEST_NO_POPUP, WM_RBUTTONUP },
        { "menu without pop-up, double click", &noPopup, IDR_TEST_NO_POPUP, WM_LBUTTONDBLCLK },
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.pszWhat);
        m_wnd.Clear();
        EXPECT_EQ(c.pTray->OnTrayNotification(c.wID, c.lEvent), 0);
        kovatest::PumpPending();
        EXPECT_TRUE(m_wnd.Of(WM_COMMAND).empty());
        EXPECT_TRUE(m_wnd.Of(WM_INITMENUPOPUP).empty());
        EXPECT_FALSE(AnyMenuShown());
    }
}
