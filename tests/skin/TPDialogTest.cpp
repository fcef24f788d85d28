// The skinned dialog base: the region data of its outline, the version code, the Vista
// set-up through seams, and real dialogs under Wine (size, outline, erase, drag, new picture).
#include "support/SkinDialogKit.h"

#include <atomic>
#include <sstream>
#include <thread>

#include "OsVersionTable.h"
#include "framework/LinkedCalls.h"

using namespace kovatest;

namespace {

// What ExtCreateRegion was handed last.
struct RegionCall {
    DWORD cbData = 0;
    DWORD dwType = 0;
    DWORD nCount = 0;
    RECT rcBound = {};
    std::vector<RECT> rects;
} g_lastRegion;
int g_nRegionsMade = 0;

HRGN WINAPI RecordingExtCreateRegion(const XFORM* lpx, DWORD nCount, const RGNDATA* lpData)
{
    ++g_nRegionsMade;
    g_lastRegion = RegionCall();
    g_lastRegion.cbData = nCount;
    g_lastRegion.dwType = lpData->rdh.iType;
    g_lastRegion.nCount = lpData->rdh.nCount;
    g_lastRegion.rcBound = lpData->rdh.rcBound;
    const auto* pRects = reinterpret_cast<const RECT*>(lpData->Buffer);
    g_lastRegion.rects.assign(pRects, pRects + lpData->rdh.nCount);
    return ::ExtCreateRegion(lpx, nCount, lpData);
}

std::string Str(const RECT& rc)
{
    std::ostringstream s;
    s << "(" << rc.left << "," << rc.top << ")-(" << rc.right << "," << rc.bottom << ")";
    return s.str();
}

std::vector<std::string> Strs(const std::vector<RECT>& rects)
{
    std::vector<std::string> v;
    for (const RECT& rc : rects)
        v.push_back(Str(rc));
    return v;
}

// --- The version query, faked ------------------------------------------------------------

struct FakeVersion {
    OsVersionFacts facts = {};
    bool bFailExtended = false;
    bool bFailPlain = false;
    std::vector<DWORD> sizesAsked;
} g_version;

BOOL WINAPI FakeGetVersionExA(LPOSVERSIONINFOA p)
{
    g_version.sizesAsked.push_back(p->dwOSVersionInfoSize);
    const bool bExtended = p->dwOSVersionInfoSize == sizeof(OSVERSIONINFOEXA);
    if ((bExtended && g_version.bFailExtended) || (!bExtended && g_version.bFailPlain))
        return FALSE;
    p->dwPlatformId = g_version.facts.dwPlatformId;
    p->dwMajorVersion = g_version.facts.dwMajorVersion;
    p->dwMinorVersion = g_version.facts.dwMinorVersion;
    p->szCSDVersion[0] = ' ';
    p->szCSDVersion[1] = g_version.facts.chCSDVersion1;
    if (bExtended)
        reinterpret_cast<LPOSVERSIONINFOEXA>(p)->wProductType = g_version.facts.wProductType;
    return TRUE;
}
void WINAPI FakeGetNativeSystemInfo(LPSYSTEM_INFO p)
{
    p->wProcessorArchitecture = g_version.facts.wArchitecture;
}
int WINAPI FakeGetSystemMetrics(int nIndex)
{
    return nIndex == SM_SERVERR2 ? g_version.facts.nServerR2 : 0;
}

// The version seams for one test, reporting facts.
class CFakeVersion {
public:
    explicit CFakeVersion(const OsVersionFacts& facts)
    {
        g_version = FakeVersion();
        g_version.facts = facts;
    }

private:
    CSeam<decltype(kfw::LinkedCalls::pfnGetVersionExA)> m_version{ kfw::g_linked.pfnGetVersionExA, &FakeGetVersionExA };
    CSeam<PFN_GETNATIVESYSTEMINFO> m_native{ kfw::g_kernel32.pfnGetNativeSystemInfo, &FakeGetNativeSystemInfo };
    CSeam<decltype(kfw::LinkedCalls::pfnGetSystemMetrics)> m_metrics{ kfw::g_linked.pfnGetSystemMetrics, &FakeGetSystemMetrics };
};

const OsVersionFacts kVistaX86 = { 2, 6, 0, ' ', OS_PRODUCT_WORKSTATION, 0, 0 };
const OsVersionFacts kVistaX64 = { 2, 6, 0, ' ', OS_PRODUCT_WORKSTATION, 0, OS_ARCH_AMD64 };
const OsVersionFacts kXp = { 2, 5, 1, ' ', OS_PRODUCT_WORKSTATION, 0, 0 };
const OsVersionFacts kSeven = { 2, 6, 1, ' ', OS_PRODUCT_WORKSTATION, 0, OS_ARCH_AMD64 };

// --- dwmapi.dll, faked -------------------------------------------------------------------

std::vector<std::string> g_dwmCalls;

HRESULT WINAPI FakeEnableComposition(UINT uAction)
{
    g_dwmCalls.push_back("composition " + std::to_string(uAction));
    return S_OK;
}
HRESULT WINAPI FakeSetWindowAttribute(HWND hWnd, DWORD dwAttribute, LPCVOID pv, DWORD cb)
{
    g_dwmCalls.push_back("attribute " + std::to_string(::IsWindow(hWnd)) + " " + std::to_string(dwAttribute) + " "
                         + std::to_string(*static_cast<const DWORD*>(pv)) + " " + std::to_string(cb));
    return S_OK;
}
HRESULT WINAPI FakeEnableBlurBehindWindow(HWND hWnd, const DWM_BLURBEHIND* pBlur)
{
    RECT rc = {};
    ::GetRgnBox(pBlur->hRgnBlur, &rc);
    g_dwmCalls.push_back("blur " + std::to_string(::IsWindow(hWnd)) + " " + std::to_string(pBlur->dwFlags) + " "
                         + std::to_string(pBlur->fEnable) + " " + Str(rc) + " "
                         + std::to_string(pBlur->fTransitionOnMaximized));
    return E_NOTIMPL;   // as Wine's
}

} // namespace

// --- Region data ----------------------------------------------------------------------------

class SkinRegion : public SkinDialogFixture {
protected:
    CSeam<decltype(kfw::LinkedCalls::pfnExtCreateRegion)> m_seam{ kfw::g_linked.pfnExtCreateRegion, &RecordingExtCreateRegion };
};

TEST_F(SkinRegion, SyntheticPicturesGiveTheExactRegionData)
{
    const Gdiplus::ARGB O = 0x00FFFFFF, F = 0x01000000, S = 0xFF102030;   // transparent, faint, solid
    struct Case {
        const char* pszWhat;
        int nWidth, nHeight;
        std::vector<Gdiplus::ARGB> pixels;
        std::vector<RECT> rects;
        RECT bounds;
    };
    const Case cases[] = {
        { "faint is inside, transparent outside, empty row skipped", 5, 3,
          { O, F, S, O, S,  O, O, O, O, O,  S, S, O, O, O },
          { { 1, 0, 3, 1 }, { 4, 0, 5, 1 }, { 0, 2, 2, 3 } }, { 0, 0, 5, 3 } },
        { "fully transparent", 4, 2, std::vector<Gdiplus::ARGB>(8, O), {}, { 0x7FFFFFFF, 0x7FFFFFFF, 0, 0 } },
    };
    for (const Case& c : cases)
    {
        kfw::CGdipImage image = ImageFromArgb(c.nWidth, c.nHeight, c.pixels);
        ASSERT_TRUE(image) << c.pszWhat;
        kfw::CRgnH hRgn = CTPDialog::CreateRegionFromImage(image.Get(), 0);
        ASSERT_TRUE(hRgn) << c.pszWhat;
        EXPECT_EQ(g_lastRegion.cbData, 32u + 16u * 100u) << c.pszWhat;
        EXPECT_EQ(g_lastRegion.dwType, static_cast<DWORD>(RDH_RECTANGLES)) << c.pszWhat;
        EXPECT_EQ(Strs(g_lastRegion.rects), Strs(c.rects)) << c.pszWhat;
        EXPECT_EQ(Str(g_lastRegion.rcBound), Str(c.bounds)) << c.pszWhat;
        EXPECT_TRUE(::EqualRgn(hRgn.Get(), RegionOf(c.rects).Get())) << c.pszWhat;
    }

    // The record grows by 100 rectangles and is handed over whole.
    for (const auto& [nRows, cbData] : { std::pair<int, DWORD>{ 100, 32 + 16 * 100 }, { 101, 32 + 16 * 200 },
                                         { 200, 32 + 16 * 200 }, { 201, 32 + 16 * 300 } })
    {
        // Two runs a row on even rows, none on odd ones.
        std::vector<Gdiplus::ARGB> pixels;
        for (int y = 0; y < nRows; ++y)
            for (Gdiplus::ARGB argb : { S, O, S })
                pixels.push_back(y % 2 ? O : argb);
        kfw::CGdipImage image = ImageFromArgb(3, nRows, pixels);
        kfw::CRgnH hRgn = CTPDialog::CreateRegionFromImage(image.Get(), 0);
        ASSERT_TRUE(hRgn);
        const DWORD nRuns = static_cast<DWORD>(2 * ((nRows + 1) / 2));
        EXPECT_EQ(g_lastRegion.nCount, nRuns) << nRows;
        EXPECT_EQ(g_lastRegion.cbData, cbData) << nRows;
        const LONG yLast = 2 * ((nRows - 1) / 2);
        EXPECT_EQ(Str(g_lastRegion.rects.back()), Str(RECT{ 2, yLast, 3, yLast + 1 })) << nRows;
    }

    EXPECT_FALSE(CTPDialog::CreateRegionFromImage(nullptr, 0));
}

TEST_F(SkinRegion, ShippedBackgroundsGiveOneRunPerOutlineRow)
{
    struct Case {
        const char* pszName;
        size_t cRuns;
        DWORD uCapacity;
    };
    for (const Case& c : { Case{ "image/W3x_map.png", 254, 300 }, Case{ "image/W1x_map.png", 156, 200 } })
    {
        kfw::CGdipImage image = DecodeMember(m_archive, c.pszName);
        ASSERT_TRUE(image) << c.pszName;
        const Outline outline = OutlineOf(image.Get());
        EXPECT_EQ(outline.runs.size(), c.cRuns) << c.pszName;

        kfw::CRgnH hRgn = CTPDialog::CreateRegionFromImage(image.Get(), 0);
        ASSERT_TRUE(hRgn) << c.pszName;
        EXPECT_EQ(g_lastRegion.nCount, c.cRuns) << c.pszName;
        EXPECT_EQ(Strs(g_lastRegion.rects), Strs(outline.runs)) << c.pszName;
        EXPECT_EQ(Str(g_lastRegion.rcBound), Str(outline.bounds)) << c.pszName;
        EXPECT_EQ(g_lastRegion.cbData, 32 + 16 * c.uCapacity) << c.pszName;
    }
}

TEST_F(SkinRegion, BulkReadingSeesTheSameAlphaAsReadingPixelByPixel)
{
    std::vector<Gdiplus::ARGB> graded;
    for (Gdiplus::ARGB a = 0; a < 256; ++a)
        graded.push_back(a << 24 | (a * 0x010203u & 0xFFFFFFu));
    kfw::CGdipImage gradedImage = ImageFromArgb(16, 16, graded);
    kfw::CGdipImage w3x = DecodeMember(m_archive, "image/W3x_map.png");
    kfw::CGdipImage w1x = DecodeMember(m_archive, "image/W1x_map.png");
    for (Gdiplus::GpImage* pImage : { gradedImage.Get(), w3x.Get(), w1x.Get() })
    {
        std::vector<uint8_t> bulk, single;
        UINT uBulkW = 0, uBulkH = 0, uW = 0, uH = 0;
        ASSERT_TRUE(ReadImageAlphaLocked(pImage, bulk, uBulkW, uBulkH));
        ReadImageAlphaPerPixel(pImage, single, uW, uH);
        EXPECT_EQ(uBulkW, uW);
        EXPECT_EQ(uBulkH, uH);
        EXPECT_GT(uW * uH, 0u);
        EXPECT_TRUE(bulk == single);
    }
}

// --- Version code ---------------------------------------------------------------------------

TEST(SkinVersionCode, EveryRowThroughTheVersionQuery)
{
    for (const OsVersionRow& row : kOsVersionRows)
    {
        CFakeVersion fake(row.facts);
        EXPECT_EQ(CTPDialog::GetOSVersionCode(), row.nCode)
            << row.facts.dwPlatformId << " " << row.facts.dwMajorVersion << "." << row.facts.dwMinorVersion;
        EXPECT_EQ(g_version.sizesAsked, std::vector<DWORD>{ 156 });
    }
}

TEST(SkinVersionCode, FallsBackToThePlainRecordThenGivesUp)
{
    {
        // The plain record has no product type: a Vista workstation reads as a server.
        CFakeVersion fake(kVistaX64);
        g_version.bFailExtended = true;
        EXPECT_EQ(CTPDialog::GetOSVersionCode(), 15);
        EXPECT_EQ(g_version.sizesAsked, (std::vector<DWORD>{ 156, 148 }));
    }
    {
        CFakeVersion fake(kVistaX64);
        g_version.bFailExtended = g_version.bFailPlain = true;
        EXPECT_EQ(CTPDialog::GetOSVersionCode(), -1);
    }
    {
        // No GetNativeSystemInfo: the processor reads as x86.
        CFakeVersion fake(kVistaX64);
        CSeam<PFN_GETNATIVESYSTEMINFO> noNative(kfw::g_kernel32.pfnGetNativeSystemInfo, nullptr);
        EXPECT_EQ(CTPDialog::GetOSVersionCode(), 11);
    }
}

// --- Real dialogs ---------------------------------------------------------------------------

using SkinDialog = SkinDialogFixture;

TEST_F(SkinDialog, TakesExactlyThePicturesSizeAndOutline)
{
    struct Case {
        UINT nTemplate;
        const char* pszBackground;
        LONG cx, cy;
    };
    for (const Case& c : { Case{ IDD_SWITCHOFF_DIALOG, "image/W1x_map.png", 104, 156 },
                           Case{ IDD_KOVA_DIALOG, "image/W3x_map.png", 257, 201 } })
    {
        kfw::CGdipImage own = DecodeMember(m_archive, c.pszBackground);
        const Outline outline = OutlineOf(own.Get());
        CSkinTestDlg dlg(c.nTemplate, Skin(c.pszBackground));
        EXPECT_EQ(dlg.GetBackgroundWidth(), c.cx);
        EXPECT_EQ(dlg.GetBackgroundHeight(), c.cy);
        bool bRan = false;
        dlg.m_fnInLoop = [&](CSkinTestDlg& d) {
            bRan = true;
            RECT rcWindow = {}, rcClient = {};
            ::GetWindowRect(d.m_hWnd, &rcWindow);
            ::GetClientRect(d.m_hWnd, &rcClient);
            EXPECT_EQ(Str(rcWindow), Str(RECT{ 0, 0, c.cx, c.cy })) << c.pszBackground;
            EXPECT_EQ(Str(rcClient), Str(RECT{ 0, 0, c.cx, c.cy })) << c.pszBackground;
            EXPECT_TRUE(::IsWindowVisible(d.m_hWnd));
            kfw::CRgnH hWindowRgn = WindowRegion(d.m_hWnd);
            ASSERT_TRUE(hWindowRgn);
            EXPECT_TRUE(::EqualRgn(hWindowRgn.Get(), RegionOf(outline.runs).Get())) << c.pszBackground;

            // The erase fills the window's whole size black.
            CCanvas canvas(c.cx, c.cy, 0xFFFFFF);
            EXPECT_NE(::SendMessageA(d.m_hWnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(canvas.DC()), 0), 0);
            EXPECT_EQ(canvas.ChangedFrom(0).cChanged, 0);

            for (UINT uMsg : { WM_DWMCOMPOSITIONCHANGED, WM_DWMNCRENDERINGCHANGED, WM_DWMCOLORIZATIONCOLORCHANGED,
                               WM_DWMWINDOWMAXIMIZEDCHANGE })
                EXPECT_EQ(::SendMessageA(d.m_hWnd, uMsg, 0, 0), 1) << uMsg;
        };
        EXPECT_EQ(dlg.DoModal(), IDOK);
        EXPECT_TRUE(bRan);
        EXPECT_EQ(dlg.GetBackground(), nullptr);   // released with the window
    }
}

TEST_F(SkinDialog, WithoutAPictureDoModalReturnsMinusOne)
{
    for (IStream* pStream : { static_cast<IStream*>(nullptr), Skin("image/kon_main.txt") })
    {
        CSkinTestDlg dlg(IDD_SWITCHOFF_DIALOG, pStream);
        EXPECT_EQ(dlg.GetBackgroundWidth(), 0);
        EXPECT_EQ(dlg.GetBackgroundHeight(), 0);
        bool bRan = false;
        dlg.m_fnInLoop = [&](CSkinTestDlg&) { bRan = true; };
        EXPECT_EQ(dlg.DoModal(), -1);
        EXPECT_FALSE(bRan);
        EXPECT_EQ(dlg.m_hWnd, nullptr);
    }
}

TEST_F(SkinDialog, DragsByItsBackground)
{
    CSkinTestDlg dlg(IDD_SWITCHOFF_DIALOG, Skin("image/W1x_map.png"));
    RECT rcBefore = {}, rcAfter = {};
    const POINT ptDelta = { 60, 40 };
    dlg.m_fnInLoop = [&](CSkinTestDlg& d) {
        // Topmost: windows of other test programs may share the display.
        ::SetWindowPos(d.m_hWnd, HWND_TOPMOST, 100, 100, 0, 0, SWP_NOSIZE);
        ::GetWindowRect(d.m_hWnd, &rcBefore);
        // A point of the background (opaque, no control over it).
        POINT ptClient = { 20, 120 };
        ASSERT_EQ(::ChildWindowFromPoint(d.m_hWnd, ptClient), d.m_hWnd);
        POINT pt = { rcBefore.left + ptClient.x, rcBefore.top + ptClient.y };
        ASSERT_EQ(::WindowFromPoint(pt), d.m_hWnd);

        std::atomic<bool> bSent{ false };
        const DWORD dwUiThread = ::GetCurrentThreadId();
        std::thread input([&] {
            SendMouseAt(pt, 0);
            SendMouseAt(pt, MOUSEEVENTF_LEFTDOWN);
            // The move loop starts from wherever the cursor is then: move only once it runs.
            GUITHREADINFO gti = {};
            gti.cbSize = sizeof gti;
            WaitUntil([&] { return ::GetGUIThreadInfo(dwUiThread, &gti) && (gti.flags & GUI_INMOVESIZE); });
            for (int i = 1; i <= 5; ++i)
                SendMouseAt(POINT{ pt.x + ptDelta.x * i / 5, pt.y + ptDelta.y * i / 5 }, 0);
            SendMouseAt(POINT{ pt.x + ptDelta.x, pt.y + ptDelta.y }, MOUSEEVENTF_LEFTUP);
            bSent = true;
        });
        // The system's move loop takes its starting point when it gets round to it, which
        // may be after the first step of the drag: the window follows most of the way.
        const bool bMoved = PumpUntil([&] {
            ::GetWindowRect(d.m_hWnd, &rcAfter);
            return bSent && rcAfter.left - rcBefore.left == ptDelta.x && rcAfter.top - rcBefore.top == ptDelta.y;
        }, 3000);
        input.join();
        const LONG dx = rcAfter.left - rcBefore.left, dy = rcAfter.top - rcBefore.top;
        EXPECT_TRUE(bMoved || (dx >= ptDelta.x * 3 / 5 && dx <= ptDelta.x && dy * ptDelta.x == dx * ptDelta.y))
            << "from " << Str(rcBefore) << " to " << Str(rcAfter);
    };
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.m_sysCommands, std::vector<WPARAM>{ SC_MOVE | HTCAPTION });
}

TEST_F(SkinDialog, ChangeBackgroundKeepsTheCornerTakesTheNewPictureAndStaysHidden)
{
    kfw::CGdipImage own = DecodeMember(m_archive, "image/W3x_map.png");
    const Outline outline = OutlineOf(own.Get());
    CSkinTestDlg dlg(IDD_SWITCHOFF_DIALOG, Skin("image/W1x_map.png"));
    dlg.m_fnInLoop = [&](CSkinTestDlg& d) {
        ::SetWindowPos(d.m_hWnd, nullptr, 200, 100, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        ASSERT_TRUE(d.ChangeBackground(Skin("image/W3x_map.png")));
        RECT rc = {};
        ::GetWindowRect(d.m_hWnd, &rc);
        EXPECT_EQ(Str(rc), Str(RECT{ 200, 100, 200 + 257, 100 + 201 }));
        EXPECT_FALSE(::IsWindowVisible(d.m_hWnd));
        EXPECT_EQ(d.GetBackgroundWidth(), 257);
        kfw::CRgnH hWindowRgn = WindowRegion(d.m_hWnd);
        ASSERT_TRUE(hWindowRgn);
        EXPECT_TRUE(::EqualRgn(hWindowRgn.Get(), RegionOf(outline.runs).Get()));

        // A stream that gives no picture ends the dialog.
        EXPECT_FALSE(d.ChangeBackground(nullptr));
        d.m_nEndWith = 0;
    };
    EXPECT_EQ(dlg.DoModal(), -1);
}

TEST_F(SkinDialog, EachPictureIsDecodedAndCutOnceAnotherOneStillReplacesIt)
{
    CSeam seam(kfw::g_linked.pfnExtCreateRegion, &RecordingExtCreateRegion);
    g_nRegionsMade = 0;
    kfw::CComPtr<IStream> pThree = MemberStream(m_archive, "image/W3x_map.png");
    ASSERT_TRUE(pThree);
    CCountingStream three(pThree.Get());
    kfw::CGdipImage ownThree = DecodeMember(m_archive, "image/W3x_map.png");
    kfw::CGdipImage ownOne = DecodeMember(m_archive, "image/W1x_map.png");
    const Outline outlineThree = OutlineOf(ownThree.Get());
    const Outline outlineOne = OutlineOf(ownOne.Get());
    const auto expectPicture = [&](HWND hWnd, const CTPDialog& d, const Outline& outline, int cx, const char* pszWhen) {
        EXPECT_EQ(d.GetBackgroundWidth(), cx) << pszWhen;
        kfw::CRgnH hWindowRgn = WindowRegion(hWnd);
        ASSERT_TRUE(hWindowRgn) << pszWhen;
        EXPECT_TRUE(::EqualRgn(hWindowRgn.Get(), RegionOf(outline.runs).Get())) << pszWhen;
    };

    CSkinTestDlg dlg(IDD_KOVA_DIALOG, &three);
    ASSERT_GT(three.Uses(), 0);
    // As the mode pop-up opens: the constructor's picture asked for again, then the base.
    dlg.m_fnBeforeInit = [&](CSkinTestDlg& d) {
        const int nUses = three.Uses();
        EXPECT_TRUE(d.ChangeBackground(&three));
        EXPECT_EQ(three.Uses(), nUses) << "the same picture decoded again";
        EXPECT_EQ(g_nRegionsMade, 1);
    };
    dlg.m_fnInLoop = [&](CSkinTestDlg& d) {
        EXPECT_EQ(g_nRegionsMade, 1) << "the base cut the window again";
        expectPicture(d.m_hWnd, d, outlineThree, 257, "opened");

        const int nUses = three.Uses();
        EXPECT_TRUE(d.ChangeBackground(&three));
        EXPECT_EQ(three.Uses(), nUses);
        EXPECT_EQ(g_nRegionsMade, 1);
        expectPicture(d.m_hWnd, d, outlineThree, 257, "the same again");

        EXPECT_TRUE(d.ChangeBackground(Skin("image/W1x_map.png")));
        EXPECT_EQ(g_nRegionsMade, 2);
        expectPicture(d.m_hWnd, d, outlineOne, 104, "another picture");

        EXPECT_TRUE(d.ChangeBackground(&three));
        EXPECT_GT(three.Uses(), nUses) << "the first picture is gone and must be decoded";
        EXPECT_EQ(g_nRegionsMade, 3);
        expectPicture(d.m_hWnd, d, outlineThree, 257, "the first one back");
    };
    EXPECT_EQ(dlg.DoModal(), IDOK);
}

// --- The Vista set-up -------------------------------------------------------------------------

TEST_F(SkinDialog, VistaWorkstationsGetCompositionBlurBehindASquare)
{
    for (const OsVersionFacts& facts : { kVistaX86, kVistaX64 })
    {
        CFakeVersion fake(facts);
        ASSERT_TRUE(IsVistaWorkstationCode(CTPDialog::GetOSVersionCode()));
        kfw::DwmApiCalls& dwmapi = kfw::DwmApi();
        CSeam composition(dwmapi.pfnEnableComposition, &FakeEnableComposition);
        CSeam attribute(dwmapi.pfnSetWindowAttribute, &FakeSetWindowAttribute);
        CSeam blur(dwmapi.pfnEnableBlurBehindWindow, &FakeEnableBlurBehindWindow);
        g_dwmCalls.clear();

        CSkinTestDlg dlg(IDD_KOVA_DIALOG, Skin("image/W3x_map.png"));
        dlg.m_fnInLoop = [&](CSkinTestDlg& d) {
            EXPECT_EQ(g_dwmCalls, (std::vector<std::string>{ "composition 1", "attribute 1 2 2 4",
                                                             "blur 1 3 1 (100,100)-(200,200) 0" }));
            g_dwmCalls.clear();
            EXPECT_TRUE(d.ChangeBackground(Skin("image/W1x_map.png")));
            EXPECT_EQ(g_dwmCalls, (std::vector<std::string>{ "attribute 1 2 2 4" }));
        };
        EXPECT_EQ(dlg.DoModal(), IDOK);
    }
}

TEST_F(SkinDialog, OtherWindowsVersionsNeverLoadDwmApi)
{
    ASSERT_EQ(::GetModuleHandleA("dwmapi"), nullptr) << "loaded before the test: it proves nothing";
    for (const OsVersionFacts& facts : { kXp, kSeven })
    {
        CFakeVersion fake(facts);
        CSkinTestDlg dlg(IDD_SWITCHOFF_DIALOG, Skin("image/W1x_map.png"));
        dlg.m_fnInLoop = [&](CSkinTestDlg& d) { EXPECT_TRUE(d.ChangeBackground(Skin("image/W3x_map.png"))); };
        EXPECT_EQ(dlg.DoModal(), IDOK);
    }
    EXPECT_EQ(::GetModuleHandleA("dwmapi"), nullptr);

    // The binding itself works where the library exists (Wine has one).
    const kfw::DwmApiCalls& dwm = kfw::DwmApi();
    EXPECT_NE(::GetModuleHandleA("dwmapi"), nullptr);
    EXPECT_NE(dwm.pfnEnableComposition, nullptr);
    EXPECT_NE(dwm.pfnSetWindowAttribute, nullptr);
    EXPECT_NE(dwm.pfnEnableBlurBehindWindow, nullptr);
}
