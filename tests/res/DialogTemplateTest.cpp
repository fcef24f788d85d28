// The three dialog templates, parsed from the raw DLGTEMPLATE / DLGTEMPLATEEX bytes, and then
// created for real to be sure Windows reads them the same way.
#include "support/ResTestUtil.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using restest::Control;
using restest::Template;
using restest::ParseTemplate;

const DWORD kOwnerDrawButton = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_OWNERDRAW;

struct TemplateCase {
    int id;
    bool ex;
    DWORD style;
    short cx, cy;
    const char* title;
    WORD pointSize;
    const char* face;
    std::vector<Control> controls;
};

std::vector<TemplateCase> Cases()
{
    return {
        {IDD_ABOUTBOX, false, WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT,
         214, 61, "About Kova", 8, "MS Sans Serif",
         {{WS_CHILD | WS_VISIBLE | SS_ICON, 0, 14, 11, 20, 20, -1, "Static", "#128"},
          {WS_CHILD | WS_VISIBLE | WS_GROUP | SS_LEFT, 0, 43, 16, 162, 9, IDC_ABOUT_VERSION, "Static", "Kova Ver "}}},
        {IDD_KOVA_DIALOG, true, WS_POPUP | WS_VISIBLE | DS_CENTER | DS_SETFONT | DS_FIXEDSYS,
         269, 164, "", 8, "MS Shell Dlg",
         {{kOwnerDrawButton, 0, 56, 12, 45, 47, IDC_BTN_WIFI, "Button", "WiFi only"},
          {kOwnerDrawButton, 0, 104, 12, 45, 47, IDC_BTN_BT, "Button", "Bluetooth only"},
          {kOwnerDrawButton, 0, 8, 12, 45, 47, IDC_BTN_BOTH, "Button", "WiFi and Bluetooth on"}}},
        {IDD_SWITCHOFF_DIALOG, false, WS_POPUP | DS_SETFONT, 135, 95, "", 8, "MS Sans Serif",
         {{kOwnerDrawButton, 0, 46, 11, 42, 43, IDC_BTN_NOTICE, "Button", "Close"}}},
    };
}

TEST(ResourceDialogs, TemplatesHoldExactlyTheDescribedWindowsAndControls)
{
    ASSERT_EQ(0x5001000Bu, kOwnerDrawButton);
    for (const TemplateCase& c : Cases()) {
        SCOPED_TRACE("template " + std::to_string(c.id));
        Template t;
        ASSERT_TRUE(ParseTemplate(restest::ResourceBytes(nullptr, MAKEINTRESOURCEA(c.id), RT_DIALOG), t));
        EXPECT_EQ(c.ex, t.ex);
        EXPECT_EQ(c.style, t.style) << std::hex << (c.style ^ t.style);
        EXPECT_EQ(0u, t.exStyle);
        EXPECT_EQ(0, t.x);
        EXPECT_EQ(0, t.y);
        EXPECT_EQ(c.cx, t.cx);
        EXPECT_EQ(c.cy, t.cy);
        EXPECT_EQ("", t.menu);
        EXPECT_EQ("", t.cls);
        EXPECT_EQ(c.title, t.title);
        EXPECT_EQ(c.pointSize, t.pointSize);
        EXPECT_EQ(c.face, t.face);
        if (t.ex) {
            EXPECT_EQ(0, t.weight);
            EXPECT_EQ(0, t.italic);
        }
        ASSERT_EQ(c.controls.size(), t.controls.size());
        for (size_t i = 0; i < c.controls.size(); ++i) {
            const Control& want = c.controls[i];
            const Control& got = t.controls[i];
            SCOPED_TRACE("control " + std::to_string(i));
            EXPECT_EQ(want.id, got.id);
            EXPECT_EQ(want.cls, got.cls);
            EXPECT_EQ(want.text, got.text);
            EXPECT_EQ(want.style, got.style) << std::hex << (want.style ^ got.style);
            EXPECT_EQ(want.exStyle, got.exStyle);
            EXPECT_EQ(want.x, got.x);
            EXPECT_EQ(want.y, got.y);
            EXPECT_EQ(want.cx, got.cx);
            EXPECT_EQ(want.cy, got.cy);
        }
    }
}

INT_PTR CALLBACK NullDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

using CWindowH = kfw::UniqueHandle<kfw::NullHandleTraits<HWND, &::DestroyWindow>>;

TEST(ResourceDialogs, TemplatesCreateRealDialogsWithTheirControls)
{
    for (const TemplateCase& c : Cases()) {
        SCOPED_TRACE("template " + std::to_string(c.id));
        CWindowH hDlg(::CreateDialogParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(c.id), nullptr,
                                           NullDialogProc, 0));
        ASSERT_TRUE(hDlg) << ::GetLastError();
        for (const Control& control : c.controls) {
            if (control.id == -1)
                continue;
            HWND hItem = ::GetDlgItem(hDlg.Get(), control.id);
            ASSERT_NE(nullptr, hItem) << control.id;
            char cls[32] = {};
            ::GetClassNameA(hItem, cls, sizeof cls);
            EXPECT_STRCASEEQ(control.cls.c_str(), cls);
        }
        if (c.id == IDD_ABOUTBOX) {
            // The icon control found icon 128 in this module.
            HWND hIcon = ::GetWindow(hDlg.Get(), GW_CHILD);
            ASSERT_NE(nullptr, hIcon);
            EXPECT_NE(0, ::SendMessageA(hIcon, STM_GETICON, 0, 0));
        }
    }
}

} // namespace
