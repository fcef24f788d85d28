// The three dialog templates, parsed from the raw DLGTEMPLATE / DLGTEMPLATEEX bytes, and then
// created for real to be sure Windows reads them the same way.
#include "ResTestUtil.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

struct Control {
    DWORD style = 0, exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    int id = 0;
    std::string cls;    // predefined classes by name ("Button"), others as stored
    std::string text;   // an ordinal as "#128"
};

struct Template {
    bool ex = false;
    DWORD style = 0, exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    std::string menu, cls, title;
    WORD pointSize = 0, weight = 0;
    BYTE italic = 0, charset = 0;
    std::string face;
    std::vector<Control> controls;
};

class Reader {
public:
    explicit Reader(restest::Bytes b) : m_p(b.p), m_end(b.p + b.size) {}
    bool Ok() const { return m_ok; }
    WORD Word() { return Need(2) ? Advance(restest::Le16(m_p), 2) : 0; }
    DWORD Dword() { return Need(4) ? Advance(restest::Le32(m_p), 4) : 0; }
    BYTE Byte() { return Need(1) ? Advance(*m_p, 1) : 0; }
    void AlignDword(const BYTE* base) { while ((m_p - base) % 4 && Need(1)) ++m_p; }
    // sz_Or_Ord: 0 (none), 0xFFFF + ordinal, or a zero-terminated UTF-16 string (ASCII here).
    std::string SzOrOrd()
    {
        WORD first = Word();
        if (first == 0xFFFF)
            return "#" + std::to_string(Word());
        std::string s;
        for (WORD c = first; c && m_ok; c = Word())
            s += c < 0x80 ? static_cast<char>(c) : '?';
        return s;
    }
    std::string Sz()
    {
        std::string s;
        for (WORD c = Word(); c && m_ok; c = Word())
            s += c < 0x80 ? static_cast<char>(c) : '?';
        return s;
    }
    const BYTE* Pos() const { return m_p; }
    void Skip(size_t n) { if (Need(n)) m_p += n; }

private:
    bool Need(size_t n)
    {
        if (static_cast<size_t>(m_end - m_p) < n)
            m_ok = false;
        return m_ok;
    }
    template <class T>
    T Advance(T v, size_t n) { m_p += n; return v; }

    const BYTE* m_p;
    const BYTE* m_end;
    bool m_ok = true;
};

std::string ClassName(const std::string& stored)
{
    static const char* const kAtoms[] = {"Button", "Edit", "Static", "ListBox", "ScrollBar", "ComboBox"};
    if (stored.size() > 1 && stored[0] == '#') {
        int atom = std::stoi(stored.substr(1));
        if (atom >= 0x80 && atom <= 0x85)
            return kAtoms[atom - 0x80];
    }
    return stored;
}

bool ParseTemplate(restest::Bytes b, Template& t)
{
    if (!b.p)
        return false;
    Reader r(b);
    t.ex = restest::Le16(b.p) == 1 && b.size > 4 && restest::Le16(b.p + 2) == 0xFFFF;
    WORD count = 0;
    if (t.ex) {
        r.Word(); r.Word(); r.Dword();   // version, signature, help id
        t.exStyle = r.Dword();
        t.style = r.Dword();
    } else {
        t.style = r.Dword();
        t.exStyle = r.Dword();
    }
    count = r.Word();
    t.x = static_cast<short>(r.Word()); t.y = static_cast<short>(r.Word());
    t.cx = static_cast<short>(r.Word()); t.cy = static_cast<short>(r.Word());
    t.menu = r.SzOrOrd();
    t.cls = r.SzOrOrd();
    t.title = r.Sz();
    if (t.style & DS_SETFONT) {
        t.pointSize = r.Word();
        if (t.ex) {
            t.weight = r.Word();
            t.italic = r.Byte();
            t.charset = r.Byte();
        }
        t.face = r.Sz();
    }
    for (WORD i = 0; i < count && r.Ok(); ++i) {
        r.AlignDword(b.p);
        Control c;
        if (t.ex) {
            r.Dword();   // help id
            c.exStyle = r.Dword();
            c.style = r.Dword();
        } else {
            c.style = r.Dword();
            c.exStyle = r.Dword();
        }
        c.x = static_cast<short>(r.Word()); c.y = static_cast<short>(r.Word());
        c.cx = static_cast<short>(r.Word()); c.cy = static_cast<short>(r.Word());
        c.id = t.ex ? static_cast<int>(r.Dword()) : static_cast<short>(r.Word());
        c.cls = ClassName(r.SzOrOrd());
        c.text = r.SzOrOrd();
        r.Skip(r.Word());   // creation data
        t.controls.push_back(c);
    }
    return r.Ok();
}

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
         {{kOwnerDrawButton, 0, 56, 12, 45, 47, IDC_BTN_WIFI, "Button", "Btn2"},
          {kOwnerDrawButton, 0, 104, 12, 45, 47, IDC_BTN_BT, "Button", "Btn3"},
          {kOwnerDrawButton, 0, 8, 12, 45, 47, IDC_BTN_BOTH, "Button", "Btn1"}}},
        {IDD_SWITCHOFF_DIALOG, false, WS_POPUP | DS_SETFONT, 135, 95, "", 8, "MS Sans Serif",
         {{kOwnerDrawButton, 0, 46, 11, 42, 43, IDC_BTN_NOTICE, "Button", "Btn5"}}},
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

struct WindowTraits {
    using Type = HWND;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::DestroyWindow(h); }
};
using CWindowH = kfw::UniqueHandle<WindowTraits>;

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
