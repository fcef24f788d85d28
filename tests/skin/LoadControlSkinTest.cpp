// The layout loader on real dialogs: images and places from the two layout files, read in
// place from the archive's bytes.
#include "support/SkinDialogKit.h"

#include "TarBuilder.h"
#include "skin/SkinControls.h"
#include "skin/TPButton.h"

using namespace kovatest;

namespace {

const char kStoredPositions[] = "1001\t14\t87\t-1\t-1\r\n1002\t91\t87\t-1\t-1\r\n1003\t168\t87\t-1\t-1";

// Where a control sits in its dialog's client area, and how large it is.
std::string Placement(HWND hDlg, HWND hChild)
{
    RECT rc = {};
    ::GetWindowRect(hChild, &rc);
    ::MapWindowPoints(nullptr, hDlg, reinterpret_cast<POINT*>(&rc), 2);
    return std::to_string(rc.right - rc.left) + "x" + std::to_string(rc.bottom - rc.top) + " at ("
        + std::to_string(rc.left) + "," + std::to_string(rc.top) + ")";
}

std::vector<std::string> TempFolderListing()
{
    char szTemp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, szTemp);
    std::vector<std::string> names;
    WIN32_FIND_DATAA fd = {};
    HANDLE hFind = ::FindFirstFileA((std::string(szTemp) + "*").c_str(), &fd);
    if (hFind == INVALID_HANDLE_VALUE)
        return names;
    do
        names.push_back(fd.cFileName);
    while (::FindNextFileA(hFind, &fd));
    ::FindClose(hFind);
    return names;
}

} // namespace

// Pictures of three sizes, so that each button's size tells which one it got: "img/a.bmp"
// makes 75 x 64, "img/b.png" 26 x 156, "img/c.png" 64 x 201.
class LoadControlSkinTest : public SkinDialogFixture {
protected:
    void Layout(const std::vector<std::pair<std::string, std::string>>& texts)
    {
        CTarBuilder tar;
        for (const auto& [pszName, pszFrom] : { std::pair<const char*, const char*>{ "img/a.bmp", "image/4wifi.bmp" },
                                                { "img/b.png", "image/W1x_map.png" },
                                                { "img/c.png", "image/W3x_map.png" } })
        {
            const SkinArchiveEntry* pEntry = FindSkinEntry(m_archive, pszFrom);
            ASSERT_NE(pEntry, nullptr);
            tar.Add(pszName, std::string(reinterpret_cast<const char*>(pEntry->pbyBytes), pEntry->cbBytes));
        }
        for (const auto& [strName, strText] : texts)
            tar.Add(strName, strText);
        tar.End();
        ReleaseSkinArchive(m_layout);
        ASSERT_TRUE(LoadSkinArchive(m_layout, tar.Bytes().data(), tar.Bytes().size()));
    }
    void TearDown() override
    {
        ReleaseSkinArchive(m_layout);
        SkinDialogFixture::TearDown();
    }

    // Runs fn in a live mode selection dialog (buttons 1001-1003) or notice (button 1005).
    void RunIn(UINT nTemplate, const std::function<void(CSkinTestDlg&)>& fn)
    {
        CSkinTestDlg dlg(nTemplate, Skin(nTemplate == IDD_KOVA_DIALOG ? "image/W3x_map.png" : "image/W1x_map.png"));
        bool bRan = false;
        dlg.m_fnInLoop = [&](CSkinTestDlg& d) {
            bRan = true;
            fn(d);
        };
        EXPECT_EQ(dlg.DoModal(), IDOK);
        EXPECT_TRUE(bRan);
    }

    SkinArchive m_layout;
};

TEST_F(LoadControlSkinTest, LineEndsAndSeparatorsReadTheSame)
{
    Layout({ { "crlf.txt", "1001\timg/a.bmp\r\n1002\timg/b.png\r\n1003\timg/c.png" },
             { "lf.txt", "1001\timg/a.bmp\n1002\timg/b.png\n1003\timg/c.png\n" },
             { "space.txt", "1001 img/a.bmp 1002 img/b.png 1003 img/c.png" },
             { "pos.txt", kStoredPositions } });
    for (const char* pszMap : { "crlf.txt", "lf.txt", "space.txt" })
    {
        CTPButton both, wifi, bt;
        RunIn(IDD_KOVA_DIALOG, [&](CSkinTestDlg& d) {
            EXPECT_TRUE(d.LoadControlSkin(&both, IDC_BTN_BOTH, m_layout, pszMap, "pos.txt")) << pszMap;
            EXPECT_TRUE(d.LoadControlSkin(&wifi, IDC_BTN_WIFI, m_layout, pszMap, "pos.txt")) << pszMap;
            EXPECT_TRUE(d.LoadControlSkin(&bt, IDC_BTN_BT, m_layout, pszMap, "pos.txt")) << pszMap;
            EXPECT_EQ(Placement(d.m_hWnd, both.m_hWnd), "75x64 at (14,87)") << pszMap;
            EXPECT_EQ(Placement(d.m_hWnd, wifi.m_hWnd), "26x156 at (91,87)") << pszMap;
            EXPECT_EQ(Placement(d.m_hWnd, bt.m_hWnd), "64x201 at (168,87)") << pszMap;
        });
    }

    // The shipped files: three 75 x 64 buttons side by side 2 pixels apart.
    CTPButton both, wifi, bt;
    RunIn(IDD_KOVA_DIALOG, [&](CSkinTestDlg& d) {
        for (auto [pButton, nID] : { std::pair<CTPButton*, UINT>{ &both, IDC_BTN_BOTH }, { &wifi, IDC_BTN_WIFI },
                                     { &bt, IDC_BTN_BT } })
            EXPECT_TRUE(d.LoadControlSkin(pButton, nID, m_archive, "image/kon_main.txt", "image/kon_main.pos.txt"));
        EXPECT_EQ(Placement(d.m_hWnd, both.m_hWnd), "75x64 at (14,87)");
        EXPECT_EQ(Placement(d.m_hWnd, wifi.m_hWnd), "75x64 at (91,87)");
        EXPECT_EQ(Placement(d.m_hWnd, bt.m_hWnd), "75x64 at (168,87)");
        // The dialog's own paint draws its buttons: none is left to paint after it, so the
        // screen never shows the picture first with the buttons to follow.
        ::RedrawWindow(d.m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
        ::RedrawWindow(d.m_hWnd, nullptr, nullptr, RDW_UPDATENOW | RDW_NOCHILDREN);
        for (const HWND hButton : { both.m_hWnd, wifi.m_hWnd, bt.m_hWnd })
            EXPECT_FALSE(::GetUpdateRect(hButton, nullptr, FALSE));
    });
}

TEST_F(LoadControlSkinTest, PositionRecordsMoveOrSizeAndRaiseTheControl)
{
    struct Case {
        const char* pszPosition;
        const char* pszPlacement;
    };
    for (const Case& c : { Case{ "1003\t91\t87\t-1\t-1", "75x64 at (91,87)" },
                           Case{ "1003\t91\t87\t-1\t500", "75x64 at (91,87)" },
                           Case{ "1003\t10\t20\t110\t70", "100x50 at (10,20)" } })
    {
        Layout({ { "map.txt", "1003\timg/a.bmp" }, { "pos.txt", c.pszPosition } });
        CTPButton bt;
        RunIn(IDD_KOVA_DIALOG, [&](CSkinTestDlg& d) {
            ASSERT_TRUE(d.LoadControlSkin(&bt, IDC_BTN_BT, m_layout, "map.txt", "pos.txt")) << c.pszPosition;
            EXPECT_EQ(Placement(d.m_hWnd, bt.m_hWnd), c.pszPlacement) << c.pszPosition;
            EXPECT_TRUE(::IsWindowVisible(bt.m_hWnd)) << c.pszPosition;
            EXPECT_EQ(::GetWindow(d.m_hWnd, GW_CHILD), bt.m_hWnd) << c.pszPosition;   // top of its siblings
        });
    }
}

TEST_F(LoadControlSkinTest, FirstRecordWinsInBothFiles)
{
    Layout({ { "map.txt", "1003 img/b.png\r\n1003 img/c.png" }, { "pos.txt", "1003 5 6 -1 -1\r\n1003 50 60 -1 -1" } });
    CTPButton bt;
    RunIn(IDD_KOVA_DIALOG, [&](CSkinTestDlg& d) {
        EXPECT_TRUE(d.LoadControlSkin(&bt, IDC_BTN_BT, m_layout, "map.txt", "pos.txt"));
        EXPECT_EQ(Placement(d.m_hWnd, bt.m_hWnd), "26x156 at (5,6)");
    });
}

TEST_F(LoadControlSkinTest, EveryPositionRecordUpToTheWantedOneMustNameAControl)
{
    // The notice has control 1005 only.
    Layout({ { "map.txt", "1005\timg/a.bmp" }, { "pos.txt", "1001\t0\t0\t-1\t-1\r\n1005\t30\t30\t-1\t-1" },
             { "after.txt", "1005\t30\t30\t-1\t-1\r\n1001\t0\t0\t-1\t-1" } });
    CTPButton notice, later;
    RunIn(IDD_SWITCHOFF_DIALOG, [&](CSkinTestDlg& d) {
        RECT rcTemplate = {};
        ::GetWindowRect(::GetDlgItem(d.m_hWnd, IDC_BTN_NOTICE), &rcTemplate);
        ::MapWindowPoints(nullptr, d.m_hWnd, reinterpret_cast<POINT*>(&rcTemplate), 2);
        EXPECT_FALSE(d.LoadControlSkin(&notice, IDC_BTN_NOTICE, m_layout, "map.txt", "pos.txt"));
        // The image stays attached; the control is not moved.
        EXPECT_EQ(Placement(d.m_hWnd, notice.m_hWnd),
                  "75x64 at (" + std::to_string(rcTemplate.left) + "," + std::to_string(rcTemplate.top) + ")");
        ::DestroyWindow(notice.m_hWnd);
        ::CreateWindowExA(0, "BUTTON", "", WS_CHILD | BS_OWNERDRAW, 0, 0, 10, 10, d.m_hWnd,
                          reinterpret_cast<HMENU>(static_cast<UINT_PTR>(IDC_BTN_NOTICE)), nullptr, nullptr);
        // Records after the wanted one are never read.
        EXPECT_TRUE(d.LoadControlSkin(&later, IDC_BTN_NOTICE, m_layout, "map.txt", "after.txt"));
        EXPECT_EQ(Placement(d.m_hWnd, later.m_hWnd), "75x64 at (30,30)");
    });
}

TEST_F(LoadControlSkinTest, AnIdNeitherFileNamesChangesNothing)
{
    Layout({ { "map.txt", "1001\timg/a.bmp" }, { "pos.txt", "1001\t0\t0\t-1\t-1\r\n1002\t5\t5\t-1\t-1" } });
    CTPButton bt;
    RunIn(IDD_KOVA_DIALOG, [&](CSkinTestDlg& d) {
        HWND hItem = ::GetDlgItem(d.m_hWnd, IDC_BTN_BT);
        const std::string strBefore = Placement(d.m_hWnd, hItem);
        EXPECT_TRUE(d.LoadControlSkin(&bt, IDC_BTN_BT, m_layout, "map.txt", "pos.txt"));
        EXPECT_EQ(bt.m_hWnd, nullptr);
        EXPECT_EQ(Placement(d.m_hWnd, hItem), strBefore);
    });
}

TEST_F(LoadControlSkinTest, ImageNamesTheArchiveLacksGiveAnEmptyButtonTooLongOnesFail)
{
    const std::string strName255(255, 'n');
    Layout({ { "missing.txt", "1005\timg/none.bmp" }, { "name255.txt", "1005\t" + strName255 },
             { "name256.txt", "1005\t" + strName255 + "n" }, { "pos.txt", "1005\t14\t44\t-1\t-1" } });
    for (const char* pszMap : { "missing.txt", "name255.txt" })
    {
        CTPButton notice;
        RunIn(IDD_SWITCHOFF_DIALOG, [&](CSkinTestDlg& d) {
            EXPECT_TRUE(d.LoadControlSkin(&notice, IDC_BTN_NOTICE, m_layout, pszMap, "pos.txt")) << pszMap;
            EXPECT_EQ(Placement(d.m_hWnd, notice.m_hWnd), "0x0 at (14,44)") << pszMap;
        });
    }
    CTPButton notice;
    RunIn(IDD_SWITCHOFF_DIALOG, [&](CSkinTestDlg& d) {
        EXPECT_FALSE(d.LoadControlSkin(&notice, IDC_BTN_NOTICE, m_layout, "name256.txt", "pos.txt"));
        EXPECT_EQ(notice.m_hWnd, nullptr);
    });
}

TEST_F(LoadControlSkinTest, MissingOrBrokenFilesFail)
{
    Layout({ { "map.txt", "1005\timg/a.bmp" }, { "pos.txt", "1005\t14\t44\t-1\t-1" }, { "badmap.txt", "1005" },
             { "badpos.txt", "1005\t14\t44\t-1" }, { "widepos.txt", "1005\t-2147483648\t0\t2147483647\t10" } });
    struct Case {
        const char* pszMap;
        const char* pszPosition;
        bool bAttached;
    };
    for (const Case& c : { Case{ "nomap.txt", "pos.txt", false }, Case{ "badmap.txt", "pos.txt", false },
                           Case{ nullptr, "pos.txt", false }, Case{ "map.txt", "nopos.txt", true },
                           Case{ "map.txt", "badpos.txt", true }, Case{ "map.txt", "widepos.txt", true },
                           Case{ "map.txt", nullptr, true } })
    {
        const std::string strWhat = std::string(c.pszMap ? c.pszMap : "null") + " " + (c.pszPosition ? c.pszPosition : "null");
        CTPButton notice;
        RunIn(IDD_SWITCHOFF_DIALOG, [&](CSkinTestDlg& d) {
            HWND hItem = ::GetDlgItem(d.m_hWnd, IDC_BTN_NOTICE);
            RECT rcBefore = {};
            ::GetWindowRect(hItem, &rcBefore);
            EXPECT_FALSE(d.LoadControlSkin(&notice, IDC_BTN_NOTICE, m_layout, c.pszMap, c.pszPosition)) << strWhat;
            EXPECT_EQ(notice.m_hWnd != nullptr, c.bAttached) << strWhat;
            RECT rcAfter = {};
            ::GetWindowRect(hItem, &rcAfter);
            EXPECT_EQ(rcAfter.left, rcBefore.left) << strWhat;   // not moved
            EXPECT_EQ(rcAfter.top, rcBefore.top) << strWhat;
        });
    }
    RunIn(IDD_SWITCHOFF_DIALOG, [&](CSkinTestDlg& d) {
        EXPECT_FALSE(d.LoadControlSkin(nullptr, IDC_BTN_NOTICE, m_layout, "map.txt", "pos.txt"));
    });
}

TEST_F(LoadControlSkinTest, CheckBoxesSlidersAndOtherWindows)
{
    Layout({ { "map.txt", "1005\timg/b.png" }, { "pos.txt", "1005\t14\t44\t-1\t-1" },
             { "size.txt", "1005\t1\t2\t11\t22" } });
    CTPCheck check;
    CTPSlider slider;
    CWnd plain;
    RunIn(IDD_SWITCHOFF_DIALOG, [&](CSkinTestDlg& d) {
        // The check box takes one cell of its 4 x 2 grid (104 x 156 → 26 x 78).
        EXPECT_TRUE(d.LoadControlSkin(&check, IDC_BTN_NOTICE, m_layout, "map.txt", "pos.txt"));
        EXPECT_TRUE(check.HasImage());
        EXPECT_EQ(Placement(d.m_hWnd, check.m_hWnd), "26x78 at (14,44)");
    });
    RunIn(IDD_SWITCHOFF_DIALOG, [&](CSkinTestDlg& d) {
        EXPECT_TRUE(d.LoadControlSkin(&slider, IDC_BTN_NOTICE, m_layout, "map.txt", "size.txt"));
        EXPECT_TRUE(slider.HasImage());
        EXPECT_EQ(Placement(d.m_hWnd, slider.m_hWnd), "10x20 at (1,2)");
    });
    RunIn(IDD_SWITCHOFF_DIALOG, [&](CSkinTestDlg& d) {
        // Any other window object: no image, but its dialog item is still placed.
        EXPECT_TRUE(d.LoadControlSkin(&plain, IDC_BTN_NOTICE, m_layout, "map.txt", "size.txt"));
        EXPECT_EQ(plain.m_hWnd, nullptr);
        EXPECT_EQ(Placement(d.m_hWnd, ::GetDlgItem(d.m_hWnd, IDC_BTN_NOTICE)), "10x20 at (1,2)");
    });
}

TEST_F(LoadControlSkinTest, ReadsInPlaceLeavingNothingInTheTempFolder)
{
    Layout({ { "map.txt", "1005\timg/a.bmp" }, { "pos.txt", "1005\t14\t44\t-1\t-1" }, { "badpos.txt", "1005 x" } });
    const std::vector<std::string> before = TempFolderListing();
    ASSERT_FALSE(before.empty());   // at least "." and ".."

    // Neither a missing temporary folder matters.
    char szTmp[MAX_PATH] = {}, szTemp[MAX_PATH] = {};
    ::GetEnvironmentVariableA("TMP", szTmp, MAX_PATH);
    ::GetEnvironmentVariableA("TEMP", szTemp, MAX_PATH);
    ::SetEnvironmentVariableA("TMP", "C:\\no\\such\\folder");
    ::SetEnvironmentVariableA("TEMP", "C:\\no\\such\\folder");
    CTPButton notice, other;
    RunIn(IDD_SWITCHOFF_DIALOG, [&](CSkinTestDlg& d) {
        EXPECT_TRUE(d.LoadControlSkin(&notice, IDC_BTN_NOTICE, m_archive, "image/nall_main.txt", "image/koff_main.pos.txt"));
        EXPECT_EQ(Placement(d.m_hWnd, notice.m_hWnd), "75x64 at (14,44)");
        EXPECT_FALSE(d.LoadControlSkin(&other, IDC_BTN_NOTICE, m_layout, "map.txt", "badpos.txt"));
    });
    ::SetEnvironmentVariableA("TMP", szTmp[0] ? szTmp : nullptr);
    ::SetEnvironmentVariableA("TEMP", szTemp[0] ? szTemp : nullptr);

    EXPECT_EQ(TempFolderListing(), before);
}
