// Kova.exe in the user's language, as a user and a screen reader meet it: the tray tip, the
// pop-up's title and caption band, its buttons' names and focus, and the About line.
#include <gtest/gtest.h>

#include <oleacc.h>

#include <algorithm>
#include <string>

#include "dialogs/ModeSelection.h"
#include "framework/Handles.h"
#include "res/resource.h"
#include "skin/SkinArchive.h"
#include "skin/SkinCaption.h"
#include "support/KovaSession.h"
#include "support/ResTestUtil.h"
#include "support/SkinDialogKit.h"

using namespace kovatest;
using namespace kovae2e;

namespace {

// The caption band of the three-button pop-up at 96 dpi: rows under the buttons, and the
// margin the caption keeps from each side.
constexpr int kPopupWidth = 257;
constexpr int kPopupHeight = 201;
constexpr int kBandTop = 165;
constexpr int kBandRows = 30;
constexpr int kBandMargin = 4;

bool CloseDialog(CKova& kova, HWND hDlg)
{
    ::PostMessageA(hDlg, WM_COMMAND, IDCANCEL, 0);
    return WaitForNoDialogOf(kova.Pid(), kWaitMs);
}

std::wstring TextOf(HWND hWnd)
{
    wchar_t sz[512] = L"";
    ::GetWindowTextW(hWnd, sz, 512);
    return sz;
}

// What a screen reader is told a window is called.
std::wstring AccessibleName(HWND hWnd)
{
    kfw::CComPtr<IAccessible> pAcc;
    if (FAILED(::AccessibleObjectFromWindow(hWnd, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                            reinterpret_cast<void**>(pAcc.Put()))) || !pAcc)
        return L"(no accessible object)";
    VARIANT self;
    ::VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR bstrName = nullptr;
    if (FAILED(pAcc->get_accName(self, &bstrName)) || !bstrName)
        return L"(no name)";
    std::wstring strName(bstrName, ::SysStringLen(bstrName));
    ::SysFreeString(bstrName);
    return strName;
}

HWND FocusOf(HWND hDlg)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    return ::GetGUIThreadInfo(::GetWindowThreadProcessId(hDlg, nullptr), &info) ? info.hwndFocus : nullptr;
}

// The white pixels of the caption band, and their extent.
struct Band {
    int nLeft = INT_MAX;
    int nRight = -1;
    std::vector<bool> white;
};

Band BandOf(const CCanvas& canvas, int nTop)
{
    Band band;
    for (int y = nTop; y < nTop + kBandRows; ++y)
        for (int x = 0; x < kPopupWidth; ++x)
        {
            const bool bWhite = canvas.At(x, y) == 0xFFFFFF;
            band.white.push_back(bWhite);
            if (bWhite)
            {
                band.nLeft = std::min(band.nLeft, x);
                band.nRight = std::max(band.nRight, x);
            }
        }
    return band;
}

Band ReadBand(HWND hDlg)
{
    RECT rc = {};
    ::GetWindowRect(hDlg, &rc);
    CCanvas screen(kPopupWidth, kBandRows, 0);
    kfw::CWindowDC dcScreen(nullptr);
    ::BitBlt(screen.DC(), 0, 0, kPopupWidth, kBandRows, dcScreen.Get(), rc.left, rc.top + kBandTop, SRCCOPY);
    return BandOf(screen, 0);
}

// The band as Kova draws the English status line: what the screen must show in English and
// must not show in any other language.
Band EnglishBand(HMODULE hKova)
{
    kfw::CGdiplusSession gdiplus;
    SkinArchive archive;
    kfw::CGdipImage background;
    IStream* pStream = gdiplus.IsStarted() && LoadSkinArchive(archive, hKova)
        ? GetSkinStream(archive, "image/W3x_map.png") : nullptr;
    if (!pStream || kfw::gdip::GdipLoadImageFromStream(pStream, background.Put()) != Gdiplus::Ok)
        return Band();
    CCanvas canvas(kPopupWidth, kPopupHeight, 0);
    const Gdiplus::PointF origin(CAPTION_AT_THREE.x, CAPTION_AT_THREE.y);
    SkinCaptionStyle style;
    style.fBandWidth = static_cast<Gdiplus::REAL>(kPopupWidth - 1 - 2 * kBandMargin);
    const std::wstring strStatus = restest::LangString(hKova, IDS_CURRENT_BOTH, 0x0409);
    DrawSkinCaption(canvas.DC(), background.Get(), kPopupWidth, kPopupHeight, strStatus.c_str(), &origin, style);
    return BandOf(canvas, kBandTop);
}

// Run once as it comes and again under LC_ALL=de_DE.UTF-8 and ja_JP.UTF-8 (see CMakeLists):
// Wine gives Kova the test's language, and the texts must be that language's.
TEST(KovaLanguage, TipCaptionNamesAndAboutLineComeInTheUsersLanguage)
{
    const WORD wUiLanguage = ::GetUserDefaultUILanguage();
    const struct {
        const char* pszExe;
        WORD wLang;   // the block its texts come from
    } rows[] = {
        { "Kova.exe", wUiLanguage },
        { "KovaPseudo.exe", 0x0409 },   // every text 40 % longer and accented, whatever the language
    };
    ASSERT_TRUE(ParkPointer());
    const kfw::CModule hKova(::LoadLibraryExA(BinPath("Kova.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    const Band english = EnglishBand(hKova.Get());
    ASSERT_GE(english.nRight, 0);
    for (const auto& row : rows)
    {
        SCOPED_TRACE(std::string(row.pszExe) + " in language " + std::to_string(wUiLanguage));
        const std::string strExe = BinPath(row.pszExe);
        if (std::string(row.pszExe) != "Kova.exe"
            && (wUiLanguage != 0x0409 || ::GetFileAttributesA(strExe.c_str()) == INVALID_FILE_ATTRIBUTES))
            continue;   // once is enough; and it is built only where Python is at hand
        kfw::CModule hTexts(::LoadLibraryExA(strExe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
        ASSERT_TRUE(hTexts);
        auto text = [&](UINT uId) { return restest::LangString(hTexts.Get(), uId, row.wLang); };
        ASSERT_FALSE(text(IDS_CURRENT_BOTH).empty()) << "no texts for the language";

        CResidentKova kova(0x1F, KovaStart().Exe(strExe));
        ASSERT_TRUE(kova.IsResident()) << kova.Describe();
        const TrayIcon icon = kova.StartIcon();
        EXPECT_EQ(icon.strTip, text(IDI_TRAY_BOTH_ON)) << Narrow(icon.strTip);

        HWND hDlg = OpenByHotKey(kova);
        ASSERT_NE(hDlg, nullptr);
        // The title a screen reader announces is the status line, in the language.
        const std::wstring strStatus = TextOf(hDlg);
        EXPECT_EQ(strStatus, text(IDS_CURRENT_BOTH)) << Narrow(strStatus);
        Band band;
        EXPECT_TRUE(PumpUntil([&] { band = ReadBand(hDlg); return band.nRight >= 0; }, kWaitMs));
        EXPECT_GE(band.nLeft, kBandMargin);
        EXPECT_LE(band.nRight, kPopupWidth - 1 - kBandMargin);
        const bool bEnglish = row.wLang == 0x0409 && std::string(row.pszExe) == "Kova.exe";
        EXPECT_EQ(band.white == english.white, bEnglish) << "the band against the English text";

        // The buttons' names are their template texts in the language.
        restest::Template parsed;
        ASSERT_TRUE(restest::ParseTemplate(restest::ResourceBytes(hTexts.Get(), MAKEINTRESOURCEW(IDD_KOVA_DIALOG),
                                                                  MAKEINTRESOURCEW(5), row.wLang), parsed));
        for (const UINT uButton : { IDC_BTN_BOTH, IDC_BTN_WIFI, IDC_BTN_BT })
        {
            const auto it = std::find_if(parsed.controls.begin(), parsed.controls.end(),
                                         [&](const restest::Control& c) { return c.id == static_cast<int>(uButton); });
            ASSERT_NE(it, parsed.controls.end());
            EXPECT_EQ(Narrow(AccessibleName(::GetDlgItem(hDlg, static_cast<int>(uButton)))), it->text);
        }
        ASSERT_TRUE(CloseDialog(kova, hDlg));

        ::PostMessageA(kova.Frame(), WM_COMMAND, ID_APP_ABOUT, 0);
        HWND hAbout = WaitForDialogOf(kova.Pid(), kWaitMs);
        ASSERT_NE(hAbout, nullptr);
        EXPECT_EQ(TextOf(::GetDlgItem(hAbout, IDC_ABOUT_VERSION)).rfind(L"Kova Ver ", 0), 0u);
        ASSERT_TRUE(CloseDialog(kova, hAbout));
        ::PostMessageA(kova.Frame(), WM_CLOSE, 0, 0);
        EXPECT_EQ(kova.Wait(), 0u);
    }
}

TEST(KovaLanguage, EveryLayoutNamesItsButtonsAndTheFocusFollowsTheSelection)
{
    const std::string strExe = BinPath("Kova.exe");
    kfw::CModule hTexts(::LoadLibraryExA(strExe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    ASSERT_TRUE(hTexts);
    auto name = [&](int nDialog, UINT uButton) {
        restest::Template parsed;
        restest::ParseTemplate(restest::ResourceBytes(hTexts.Get(), MAKEINTRESOURCEW(nDialog), MAKEINTRESOURCEW(5),
                                                      ::GetUserDefaultUILanguage()), parsed);
        for (const auto& control : parsed.controls)
            if (control.id == static_cast<int>(uButton))
                return control.text;
        return std::string("(none)");
    };
    // Parked: a button under the pointer would be selected by hovering.
    CResidentKova kova(0x1F, KovaStart().Parked());
    ASSERT_TRUE(kova.IsResident()) << kova.Describe();

    // Three buttons: the focus starts on the selected one and each step to the right moves
    // it to the next, which names itself.
    HWND hDlg = OpenByHotKey(kova);
    ASSERT_NE(hDlg, nullptr);
    const int kOrder[] = { IDC_BTN_BOTH, IDC_BTN_WIFI, IDC_BTN_BT };
    for (int nStep = 0; nStep < 4; ++nStep)
    {
        if (nStep > 0)
        {
            const std::wstring strBefore = TextOf(hDlg);
            ASSERT_TRUE(Scan("0x4D ext") && Scan("0x4D ext up"));
            ASSERT_TRUE(PumpUntil([&] { return TextOf(hDlg) != strBefore; }, kWaitMs)) << nStep;
        }
        // Both radios are on: that entry is selected first, then WiFi, Bluetooth, both again.
        HWND hSelected = ::GetDlgItem(hDlg, kOrder[nStep % 3]);
        HWND hFocus = nullptr;
        EXPECT_TRUE(PumpUntil([&] { return (hFocus = FocusOf(hDlg)) == hSelected; }, kWaitMs))
            << nStep << ": " << ::GetDlgCtrlID(hFocus) << " " << Narrow(TextOf(hDlg));
        EXPECT_EQ(Narrow(AccessibleName(hFocus)), name(IDD_KOVA_DIALOG, static_cast<UINT>(::GetDlgCtrlID(hFocus))));
    }
    ASSERT_TRUE(CloseDialog(kova, hDlg));

    // One radio, and the notice: the one button each shows is named.
    const struct { BYTE byStatus; int nDialog; UINT uButton; } layouts[] = {
        { 0x1A, IDD_KOVA_DIALOG, IDC_BTN_WIFI },
        { 0x0F, IDD_SWITCHOFF_DIALOG, IDC_BTN_NOTICE },
    };
    for (const auto& layout : layouts)
    {
        ASSERT_TRUE(kova.State().Set(layout.byStatus));
        hDlg = OpenByHotKey(kova);
        ASSERT_NE(hDlg, nullptr) << int(layout.byStatus);
        EXPECT_FALSE(TextOf(hDlg).empty()) << int(layout.byStatus);
        EXPECT_EQ(Narrow(AccessibleName(::GetDlgItem(hDlg, static_cast<int>(layout.uButton)))),
                  name(layout.nDialog, layout.uButton));
        ASSERT_TRUE(CloseDialog(kova, hDlg));
    }
    ::PostMessageA(kova.Frame(), WM_CLOSE, 0, 0);
    EXPECT_EQ(kova.Wait(), 0u);
}

} // namespace
