// The menu, dialogs and strings per language, read as FindResourceExW finds them: every
// language complete, shaped like English, in its own words; and the pseudo-language program.
#include "support/ResTestUtil.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <set>
#include <utility>

namespace {

const WORD kEnglish = 0x0409;
// English, German, French, Spanish, Italian, Brazilian Portuguese, Japanese, Chinese, Korean.
const WORD kLanguages[] = {kEnglish, 0x0407, 0x040C, 0x0C0A, 0x0410, 0x0416, 0x0411, 0x0804, 0x0412};
const int kDialogs[] = {IDD_ABOUTBOX, IDD_KOVA_DIALOG, IDD_SWITCHOFF_DIALOG};
const UINT kTitles[] = {IDR_MAINFRAME, IDS_APP_TITLE};
const UINT kOwnBundles[] = {IDS_CAPTION_FONT};
// The status texts: every translation words them its own way.
const UINT kStatusIds[] = {IDS_OFF_BOTH, IDS_WIFI_ON, IDS_BT_ON, IDS_CHANGE_BOTH, IDS_CHANGE_WIFI,
    IDS_CHANGE_BT, IDI_TRAY_BOTH_ON, IDI_TRAY_BOTH_OFF, IDI_TRAY_BT_ON, IDI_TRAY_BT_OFF,
    IDI_TRAY_WLAN_ON, IDI_TRAY_WLAN_OFF, IDS_TIP_BOTH, IDS_TIP_WIFI, IDS_TIP_BT, IDS_TIP_OFF,
    IDS_CURRENT_BOTH, IDS_CURRENT_WIFI, IDS_CURRENT_BT, IDS_OFF_WIFI, IDS_OFF_BT};

BOOL CALLBACK AddLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD wLang, LONG_PTR lParam)
{
    reinterpret_cast<std::set<WORD>*>(lParam)->insert(wLang);
    return TRUE;
}

TEST(ResourceLanguages, MenuDialogsAndStringsComeInExactlyTheNineLanguages)
{
    std::vector<std::pair<LPCWSTR, UINT>> resources = {{MAKEINTRESOURCEW(4) /* RT_MENU */, IDR_MAINFRAME}};
    for (int id : kDialogs)
        resources.emplace_back(MAKEINTRESOURCEW(5) /* RT_DIALOG */, id);
    for (UINT id : kStatusIds)
        resources.emplace_back(MAKEINTRESOURCEW(6) /* RT_STRING */, id / 16 + 1);
    for (UINT id : kTitles)
        resources.emplace_back(MAKEINTRESOURCEW(6), id / 16 + 1);
    for (UINT id : kOwnBundles)
        resources.emplace_back(MAKEINTRESOURCEW(6), id / 16 + 1);
    const std::set<WORD> expected(std::begin(kLanguages), std::end(kLanguages));
    for (const auto& r : resources) {
        std::set<WORD> found;
        ::EnumResourceLanguagesW(nullptr, r.first, MAKEINTRESOURCEW(r.second), AddLanguage,
                                 reinterpret_cast<LONG_PTR>(&found));
        EXPECT_EQ(expected, found) << "type " << reinterpret_cast<UINT_PTR>(r.first) << " name " << r.second;
    }
}

struct MenuItem {
    UINT id;
    std::wstring text;
};

std::vector<MenuItem> PopupItems(WORD wLang)
{
    restest::Bytes b = restest::ResourceBytes(nullptr, MAKEINTRESOURCEW(IDR_MAINFRAME), MAKEINTRESOURCEW(4), wLang);
    kfw::CMenuH hMenu(b.p ? ::LoadMenuIndirectW(b.p) : nullptr);
    HMENU hPopup = hMenu ? ::GetSubMenu(hMenu.Get(), 0) : nullptr;
    std::vector<MenuItem> items;
    for (int pos = 0; hPopup && pos < ::GetMenuItemCount(hPopup); ++pos) {
        wchar_t text[64] = {};
        ::GetMenuStringW(hPopup, pos, text, 64, MF_BYPOSITION);
        items.push_back({::GetMenuItemID(hPopup, pos), text});
    }
    return items;
}

restest::Template Dialog(int id, WORD wLang)
{
    restest::Template t;
    EXPECT_TRUE(restest::ParseTemplate(restest::ResourceBytes(nullptr, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(5), wLang), t));
    return t;
}

size_t Lines(const std::wstring& s) { return std::count(s.begin(), s.end(), L'\n'); }

TEST(ResourceLanguages, EachLanguageHasEnglishShapesInItsOwnWords)
{
    const std::vector<MenuItem> enMenu = PopupItems(kEnglish);
    ASSERT_EQ(4u, enMenu.size());
    for (WORD wLang : kLanguages) {
        SCOPED_TRACE(testing::Message() << "language 0x" << std::hex << wLang);
        const bool translated = wLang != kEnglish;
        for (UINT id : kTitles)
            EXPECT_EQ(L"Kova", restest::LangString(nullptr, id, wLang)) << id;
        for (UINT id : kStatusIds) {
            std::wstring en = restest::LangString(nullptr, id, kEnglish);
            std::wstring text = restest::LangString(nullptr, id, wLang);
            EXPECT_FALSE(text.empty()) << id;
            EXPECT_EQ(Lines(en), Lines(text)) << id;
            if (translated) {
                EXPECT_NE(en, text) << id;
            }
        }

        // Same commands in the same order (the first is the default); each keeps an access key.
        std::vector<MenuItem> menu = PopupItems(wLang);
        ASSERT_EQ(enMenu.size(), menu.size());
        for (size_t i = 0; i < menu.size(); ++i) {
            EXPECT_EQ(enMenu[i].id, menu[i].id) << i;
            if (menu[i].id == 0)
                continue;   // the separator
            EXPECT_NE(std::wstring::npos, menu[i].text.find(L'&')) << i;
            if (translated) {
                EXPECT_NE(enMenu[i].text, menu[i].text) << i;
            }
        }

        // The skinned pop-ups place controls by the English geometry, and "Kova Ver " is kept.
        for (int id : kDialogs) {
            restest::Template en = Dialog(id, kEnglish), t = Dialog(id, wLang);
            EXPECT_EQ(en.cx, t.cx) << id;
            EXPECT_EQ(en.cy, t.cy) << id;
            if (translated && !en.title.empty()) {
                EXPECT_NE(en.title, t.title) << id;
            }
            ASSERT_EQ(en.controls.size(), t.controls.size()) << id;
            for (size_t i = 0; i < t.controls.size(); ++i) {
                const restest::Control& a = en.controls[i];
                const restest::Control& b = t.controls[i];
                EXPECT_TRUE(a.id == b.id && a.x == b.x && a.y == b.y && a.cx == b.cx && a.cy == b.cy)
                    << id << " control " << i;
                if (a.text == "Kova Ver " || a.text[0] == '#' || !translated) {
                    EXPECT_EQ(a.text, b.text) << id << " control " << i;
                } else {
                    EXPECT_NE(a.text, b.text) << id << " control " << i;
                }
            }
        }
    }
}

#if defined(KOVA_PSEUDO_EXE)
// KovaPseudo.exe carries generated texts as its English: longer, accented, line breaks kept.
TEST(ResourceLanguages, PseudoProgramTextsAreLongerAndAccented)
{
    kfw::CModule hPseudo(::LoadLibraryExA(KOVA_PSEUDO_EXE, nullptr, LOAD_LIBRARY_AS_DATAFILE));
    ASSERT_TRUE(hPseudo) << ::GetLastError();
    for (UINT id : {IDS_WIFI_ON, IDS_OFF_BT, IDS_CHANGE_BOTH, IDI_TRAY_WLAN_OFF, IDS_TIP_BOTH}) {
        std::wstring en = restest::LangString(nullptr, id, kEnglish);
        std::wstring pseudo = restest::LangString(hPseudo.Get(), id, kEnglish);
        EXPECT_GE(pseudo.size() * 10, en.size() * 14) << id;
        EXPECT_TRUE(std::any_of(pseudo.begin(), pseudo.end(), [](wchar_t c) { return c >= 0xC0; })) << id;
        EXPECT_EQ(Lines(en), Lines(pseudo)) << id;
    }
    EXPECT_EQ(L"Kova", restest::LangString(hPseudo.Get(), IDS_APP_TITLE, kEnglish));
    std::set<WORD> languages;
    ::EnumResourceLanguagesW(hPseudo.Get(), MAKEINTRESOURCEW(6), MAKEINTRESOURCEW(IDS_WIFI_ON / 16 + 1),
                             AddLanguage, reinterpret_cast<LONG_PTR>(&languages));
    EXPECT_EQ(std::set<WORD>{kEnglish}, languages);
}
#endif

} // namespace
