// The image button as a real owner-drawn child under Wine: what it draws, its mouse states
// under real input, its animation thread, and its failures.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "framework/GdiPlus.h"
#include "framework/Handles.h"
#include "TarBuilder.h"
#include "framework/LinkedCalls.h"
#include "skin/TPButton.h"
#include "support/Canvas.h"
#include "support/Seam.h"
#include "support/TestSupport.h"

using kovatest::CCountingStream;
using kovatest::CountThreads;
using kovatest::PumpUntil;

namespace {

constexpr UINT IDC_FIRST = 1001;
constexpr UINT IDC_SECOND = 1002;
const COLORREF kSlices[4] = { RGB(200, 40, 40), RGB(40, 200, 40), RGB(40, 40, 200), RGB(120, 120, 120) };
const COLORREF kFrames[3] = { RGB(250, 0, 0), RGB(0, 250, 0), RGB(0, 0, 250) };
constexpr COLORREF kSentinel = RGB(1, 2, 3);

kfw::CComPtr<IStream> StreamOf(const std::vector<uint8_t>& bytes)
{
    kfw::CComPtr<IStream> pStream;
    HGLOBAL hMem = ::GlobalAlloc(GMEM_MOVEABLE, bytes.empty() ? 1 : bytes.size());
    if (!hMem)
        return pStream;
    if (void* p = ::GlobalLock(hMem))
    {
        if (!bytes.empty())
            std::memcpy(p, bytes.data(), bytes.size());
        ::GlobalUnlock(hMem);
    }
    if (FAILED(::CreateStreamOnHGlobal(hMem, TRUE, pStream.Put())))
        ::GlobalFree(hMem);
    return pStream;
}

void Put16(std::vector<uint8_t>& v, uint32_t n) { v.push_back(n & 0xFF); v.push_back((n >> 8) & 0xFF); }
void Put32(std::vector<uint8_t>& v, uint32_t n) { Put16(v, n & 0xFFFF); Put16(v, n >> 16); }

// A 24-bit bottom-up BMP of four flat slices side by side.
std::vector<uint8_t> StripBmp(int cx, int cy)
{
    const uint32_t cbRow = (static_cast<uint32_t>(cx) * 3 + 3) & ~3u;
    std::vector<uint8_t> v;
    v.push_back('B'); v.push_back('M');
    Put32(v, 54 + cbRow * cy); Put32(v, 0); Put32(v, 54);
    Put32(v, 40); Put32(v, cx); Put32(v, cy); Put16(v, 1); Put16(v, 24);
    Put32(v, 0); Put32(v, cbRow * cy); Put32(v, 2835); Put32(v, 2835); Put32(v, 0); Put32(v, 0);
    for (int y = 0; y < cy; ++y)
    {
        for (int x = 0; x < cx; ++x)
        {
            const COLORREF cr = kSlices[x / (cx / 4)];
            v.push_back(GetBValue(cr)); v.push_back(GetGValue(cr)); v.push_back(GetRValue(cr));
        }
        v.resize(v.size() + cbRow - cx * 3, 0);
    }
    return v;
}

// A GIF89a whose frame i is flat colour kFrames[i] shown for adwDelays[i] centiseconds.
// The pixels are written as 3-bit literal codes with a clear code before every two, so the
// code size never grows and no compression is needed.
std::vector<uint8_t> AnimatedGif(int cx, int cy, const std::vector<uint16_t>& adwDelays)
{
    std::vector<uint8_t> v = { 'G', 'I', 'F', '8', '9', 'a' };
    Put16(v, cx); Put16(v, cy);
    v.push_back(0x81);   // global colour table of 4 entries
    v.push_back(0); v.push_back(0);
    for (int i = 0; i < 4; ++i)
    {
        const COLORREF cr = i < 3 ? kFrames[i] : RGB(0, 0, 0);
        v.push_back(GetRValue(cr)); v.push_back(GetGValue(cr)); v.push_back(GetBValue(cr));
    }
    for (size_t f = 0; f < adwDelays.size(); ++f)
    {
        const uint8_t gce[] = { 0x21, 0xF9, 4, 0x04, 0, 0, 0, 0 };   // disposal: keep
        v.insert(v.end(), gce, gce + sizeof gce);
        v[v.size() - 4] = adwDelays[f] & 0xFF;
        v[v.size() - 3] = adwDelays[f] >> 8;
        v.push_back(0x2C); Put16(v, 0); Put16(v, 0); Put16(v, cx); Put16(v, cy); v.push_back(0);
        v.push_back(2);   // LZW minimum code size: clear 4, end 5

        std::vector<uint8_t> data;
        uint32_t acc = 0;
        int nBits = 0;
        auto code = [&](uint32_t c) {
            acc |= c << nBits;
            nBits += 3;
            while (nBits >= 8) { data.push_back(acc & 0xFF); acc >>= 8; nBits -= 8; }
        };
        for (int p = 0; p < cx * cy; ++p)
        {
            if (p % 2 == 0)
                code(4);
            code(static_cast<uint32_t>(f % 3));
        }
        code(5);
        if (nBits)
            data.push_back(acc & 0xFF);
        for (size_t i = 0; i < data.size(); i += 255)
        {
            const size_t n = std::min<size_t>(255, data.size() - i);
            v.push_back(static_cast<uint8_t>(n));
            v.insert(v.end(), data.begin() + i, data.begin() + i + n);
        }
        v.push_back(0);
    }
    v.push_back(0x3B);
    return v;
}

// A visible top-level window with two owner-drawn buttons, counting their notifications.
class CTestParent : public CWnd {
public:
    BOOL Create()
    {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = ::DefWindowProcA;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
        wc.lpszClassName = "KovaButtonTestParent";
        ::RegisterClassA(&wc);
        if (!CreateEx(WS_EX_TOPMOST, wc.lpszClassName, "", WS_POPUP | WS_VISIBLE, 100, 100, 400, 200,
                      nullptr, nullptr))
            return FALSE;
        for (UINT nID : { IDC_FIRST, IDC_SECOND })
            ::CreateWindowExA(0, "BUTTON", "", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW,
                              nID == IDC_FIRST ? 20 : 150, 20, 10, 10, m_hWnd,
                              reinterpret_cast<HMENU>(static_cast<UINT_PTR>(nID)), wc.hInstance, nullptr);
        return TRUE;
    }

    int m_nClicked = 0;
    int m_nDoubleClicked = 0;

    BEGIN_MSG_MAP(CTestParent)
        if (uMsg == WM_COMMAND && LOWORD(wParam) == IDC_FIRST)
        {
            if (HIWORD(wParam) == BN_CLICKED) ++m_nClicked;
            if (HIWORD(wParam) == BN_DOUBLECLICKED) ++m_nDoubleClicked;
            lResult = 0;
            return TRUE;
        }
    END_MSG_MAP()
};

// Red and blue swapped: a COLORREF as a DIB holds it, and back.
constexpr uint32_t SwapRB(uint32_t c) { return RGB(GetBValue(c), GetGValue(c), GetRValue(c)); }

// The shared canvas filled with the sentinel, read in COLORREFs.
class CCanvas : public kovatest::CCanvas {
public:
    CCanvas(int cx, int cy) : kovatest::CCanvas(cx, cy, SwapRB(kSentinel)) {}
    HDC Get() const { return DC(); }
    COLORREF At(int x, int y) const { return SwapRB(kovatest::CCanvas::At(x, y)); }
};

// What the button shows now, drawn by the system button's own paint code (which asks the
// parent, which reflects WM_DRAWITEM to the button object).
void Print(HWND hButton, CCanvas& canvas)
{
    ::SendMessageA(hButton, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.Get()), PRF_CLIENT);
}
COLORREF Shown(HWND hButton)
{
    RECT rc = {};
    ::GetClientRect(hButton, &rc);
    if (rc.right <= 0 || rc.bottom <= 0)
        return kSentinel;
    CCanvas canvas(rc.right, rc.bottom);
    Print(hButton, canvas);
    return canvas.At(rc.right / 2, rc.bottom / 2);
}

SIZE WindowSize(HWND hWnd)
{
    RECT rc = {};
    ::GetWindowRect(hWnd, &rc);
    return SIZE{ rc.right - rc.left, rc.bottom - rc.top };
}

POINT CentreOf(HWND hWnd)
{
    RECT rc = {};
    ::GetWindowRect(hWnd, &rc);
    return POINT{ (rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2 };
}

class TPButtonTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_gdiplus.IsStarted());
        ASSERT_TRUE(m_parent.Create());
        m_hFirst = ::GetDlgItem(m_parent.m_hWnd, IDC_FIRST);
        m_hSecond = ::GetDlgItem(m_parent.m_hWnd, IDC_SECOND);
        m_pStrip = StreamOf(StripBmp(300, 64));
        ASSERT_TRUE(m_pStrip);
    }
    void TearDown() override
    {
        if (m_parent.m_hWnd)
            ::DestroyWindow(m_parent.m_hWnd);
    }

    kfw::CGdiplusSession m_gdiplus;
    CTestParent m_parent;
    HWND m_hFirst = nullptr;
    HWND m_hSecond = nullptr;
    kfw::CComPtr<IStream> m_pStrip;
};

} // namespace

TEST_F(TPButtonTest, DrawsTheSliceOfItsStateAndHighlight)
{
    CTPButton button;
    ASSERT_TRUE(button.AttachImage(IDC_FIRST, &m_parent, m_pStrip.Get(), 4));
    EXPECT_EQ(button.m_hWnd, m_hFirst);
    EXPECT_EQ(WindowSize(m_hFirst).cx, 75);
    EXPECT_EQ(WindowSize(m_hFirst).cy, 64);
    EXPECT_TRUE(::IsWindowVisible(m_hFirst));

    // Every pixel of the button, and nothing past it, comes from the state's columns.
    auto expectSlice = [&](int nSlice, const char* pszWhen) {
        CCanvas canvas(100, 70);
        Print(m_hFirst, canvas);
        int nWrong = 0;
        for (int y = 0; y < 70; ++y)
            for (int x = 0; x < 100; ++x)
                nWrong += canvas.At(x, y) != (x < 75 && y < 64 ? kSlices[nSlice] : kSentinel);
        EXPECT_EQ(nWrong, 0) << pszWhen << ": expected slice " << nSlice;
    };
    expectSlice(0, "normal");
    ::SendMessageA(m_hFirst, WM_MOUSEHOVER, 0, 0);
    expectSlice(1, "hovered");
    ::SendMessageA(m_hFirst, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    expectSlice(2, "pressed");
    ::SendMessageA(m_hFirst, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
    expectSlice(0, "released");
    EXPECT_EQ(m_parent.m_nClicked, 1);

    EXPECT_TRUE(button.SetHighlight(1));
    expectSlice(1, "highlighted");
    ::SendMessageA(m_hFirst, WM_MOUSEHOVER, 0, 0);
    ::SendMessageA(m_hFirst, WM_MOUSELEAVE, 0, 0);
    expectSlice(1, "highlighted after a leave");
    ::SendMessageA(m_hFirst, WM_MOUSEHOVER, 0, 0);
    EXPECT_TRUE(button.SetHighlight(0));   // also back to normal from hovered
    expectSlice(0, "highlight off");
}

DWORD g_dwContrastFlags = 0;   // what the fake settings read reports
BOOL WINAPI FakeSystemParametersInfo(UINT uiAction, UINT, PVOID pvParam, UINT)
{
    static_cast<HIGHCONTRASTW*>(pvParam)->dwFlags = g_dwContrastFlags;
    return uiAction == SPI_GETHIGHCONTRAST;
}

// In high contrast the highlighted button has a frame of the system's highlight colour inside
// it, 2 px at 96 dpi, scaled with the button; otherwise it shows the slice alone.
TEST_F(TPButtonTest, HighContrastFramesTheHighlightedButtonInTheHighlightColour)
{
    const kovatest::CSeam contrast(kfw::g_linked.pfnSystemParametersInfoW, &FakeSystemParametersInfo);
    const struct { DWORD dwFlags; BYTE bHighlight; int nDpi, n; } rows[] = {
        { HCF_HIGHCONTRASTON, 1, 96, 2 }, { HCF_HIGHCONTRASTON, 1, 192, 4 }, { HCF_HIGHCONTRASTON, 0, 96, 0 },
        { HCF_AVAILABLE, 1, 96, 0 },
    };
    for (const auto& r : rows)
    {
        SCOPED_TRACE(testing::Message() << r.dwFlags << " " << int(r.bHighlight) << " " << r.nDpi);
        g_dwContrastFlags = r.dwFlags;
        CTPButton button;
        button.SetScale(100, r.nDpi);
        ASSERT_TRUE(button.AttachImage(IDC_FIRST, &m_parent, m_pStrip.Get(), 4));
        button.SetHighlight(r.bHighlight);
        CCanvas canvas(160, 140);
        Print(m_hFirst, canvas);
        const int cx = button.GetDrawWidth(), cy = button.GetDrawHeight(), n = std::max(r.n, 1);
        for (POINT pt : { POINT{ 0, 0 }, POINT{ n - 1, cy / 2 }, POINT{ cx / 2, cy - n }, POINT{ cx - n, n - 1 } })
            EXPECT_EQ(canvas.At(pt.x, pt.y) == ::GetSysColor(COLOR_HIGHLIGHT), r.n > 0) << pt.x << "," << pt.y;
        EXPECT_NE(canvas.At(n, cy / 2), ::GetSysColor(COLOR_HIGHLIGHT));
        EXPECT_EQ(canvas.At(cx / 2, cy / 2), kSlices[r.bHighlight]);
    }
}

TEST_F(TPButtonTest, ReplacedImageKeepsTheSizeAndShowsAtTheNextPaint)
{
    CTPButton button;
    ASSERT_TRUE(button.AttachImage(IDC_FIRST, &m_parent, m_pStrip.Get(), 4));
    kfw::CComPtr<IStream> pSmall = StreamOf(StripBmp(40, 8));
    EXPECT_FALSE(button.ReplaceImage(pSmall.Get()));   // a still image starts no animation
    EXPECT_EQ(WindowSize(m_hFirst).cx, 75);
    EXPECT_EQ(WindowSize(m_hFirst).cy, 64);
    CCanvas canvas(75, 64);
    Print(m_hFirst, canvas);
    EXPECT_EQ(canvas.At(5, 4), kSlices[0]);
    EXPECT_EQ(canvas.At(5, 20), kSentinel);   // the small strip covers only its own 10 x 8
}

TEST_F(TPButtonTest, TheStillStripShownIsNotDecodedAgainAnyOtherIs)
{
    CCountingStream strip(m_pStrip.Get());
    kfw::CComPtr<IStream> pSmall = StreamOf(StripBmp(40, 8));
    CTPButton button;
    ASSERT_TRUE(button.AttachImage(IDC_FIRST, &m_parent, &strip, 4));
    int nUses = strip.Uses();
    ASSERT_GT(nUses, 0);

    // Asked again at every arrow key of the mode pop-up.
    EXPECT_FALSE(button.ReplaceImage(&strip));
    EXPECT_EQ(strip.Uses(), nUses) << "the strip shown decoded again";
    EXPECT_TRUE(button.HasImage());
    EXPECT_EQ(button.GetImageWidth(), 300);
    EXPECT_EQ(button.GetSliceWidth(), 75);
    CCanvas canvas(75, 64);
    Print(m_hFirst, canvas);
    EXPECT_EQ(canvas.At(5, 4), kSlices[0]);

    EXPECT_FALSE(button.ReplaceImage(pSmall.Get()));
    EXPECT_EQ(button.GetImageWidth(), 40);
    EXPECT_FALSE(button.ReplaceImage(&strip));
    EXPECT_GT(strip.Uses(), nUses) << "the strip replaced before must be decoded";
    EXPECT_EQ(button.GetImageWidth(), 300);

    // Attached in other slices: the same strip cut in four is another image.
    CTPButton halves;
    ASSERT_TRUE(halves.AttachImage(IDC_SECOND, &m_parent, &strip, 2));
    EXPECT_EQ(halves.GetSliceWidth(), 150);
    nUses = strip.Uses();
    EXPECT_FALSE(halves.ReplaceImage(&strip));
    EXPECT_GT(strip.Uses(), nUses);
    EXPECT_EQ(halves.GetSliceWidth(), 75);
}

TEST_F(TPButtonTest, HoverLeaveAndPressUnderRealMouse)
{
    CTPButton button;
    ASSERT_TRUE(button.AttachImage(IDC_FIRST, &m_parent, m_pStrip.Get(), 4));
    const POINT ptIn = CentreOf(m_hFirst);
    const POINT ptOut = { ptIn.x + 200, ptIn.y + 60 };   // over the parent, off the button
    kovatest::SendMouseAt(ptOut);
    kovatest::PumpPending();
    ASSERT_EQ(Shown(m_hFirst), kSlices[0]);

    kovatest::SendMouseAt(ptIn);
    EXPECT_TRUE(PumpUntil([&] { return Shown(m_hFirst) == kSlices[1]; }, 3000)) << "hover";
    kovatest::SendMouseAt(ptOut);
    EXPECT_TRUE(PumpUntil([&] { return Shown(m_hFirst) == kSlices[0]; }, 3000)) << "leave";

    kovatest::SendMouseAt(ptIn);
    ASSERT_TRUE(PumpUntil([&] { return Shown(m_hFirst) == kSlices[1]; }, 3000));
    kovatest::SendMouseButtons({ MOUSEEVENTF_LEFTDOWN });
    EXPECT_TRUE(PumpUntil([&] { return Shown(m_hFirst) == kSlices[2]; }, 3000)) << "press";
    // Moving while held changes nothing, even over the edge and back.
    kovatest::SendMouseAt(POINT{ ptIn.x + 3, ptIn.y + 2 });
    PumpUntil([] { return false; }, 150);
    EXPECT_EQ(Shown(m_hFirst), kSlices[2]) << "moved while held";

    kovatest::SendMouseButtons({ MOUSEEVENTF_LEFTUP });
    EXPECT_TRUE(PumpUntil([&] { return m_parent.m_nClicked == 1; }, 3000));
    EXPECT_EQ(Shown(m_hFirst), kSlices[0]) << "released: normal until the next hover report";
    EXPECT_EQ(button.GetPressParity(), 1u);
}

TEST_F(TPButtonTest, DoubleClickNotifiesOnce)
{
    CTPButton button;
    ASSERT_TRUE(button.AttachImage(IDC_FIRST, &m_parent, m_pStrip.Get(), 4));
    kovatest::SendMouseAt(CentreOf(m_hFirst));
    ASSERT_TRUE(PumpUntil([&] { return Shown(m_hFirst) == kSlices[1]; }, 3000));

    ASSERT_TRUE(kovatest::SendMouseButtons(
        { MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP }));
    ASSERT_TRUE(PumpUntil([&] { return m_parent.m_nClicked >= 1; }, 3000));
    PumpUntil([&] { return m_parent.m_nClicked > 1 || m_parent.m_nDoubleClicked > 0; }, 300);
    EXPECT_EQ(m_parent.m_nClicked, 1);
    EXPECT_EQ(m_parent.m_nDoubleClicked, 0);
    EXPECT_EQ(button.GetPressParity(), 1u) << "the second press never reached the button";
}

TEST_F(TPButtonTest, SpaceBarShowsPressedOnlyWithEvenPressParity)
{
    CTPButton button;
    ASSERT_TRUE(button.AttachImage(IDC_FIRST, &m_parent, m_pStrip.Get(), 4));
    auto space = [&](UINT uMsg) { ::SendMessageA(m_hFirst, uMsg, VK_SPACE, uMsg == WM_KEYUP ? 0xC0390001 : 0x00390001); };
    auto click = [&] {
        ::SendMessageA(m_hFirst, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
        ::SendMessageA(m_hFirst, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
    };

    // No press yet: the space bar shows the pressed slice, and it stays after the key.
    space(WM_KEYDOWN);
    EXPECT_EQ(Shown(m_hFirst), kSlices[2]);
    space(WM_KEYUP);
    EXPECT_EQ(m_parent.m_nClicked, 1);
    EXPECT_EQ(Shown(m_hFirst), kSlices[2]) << "stays until a mouse event";

    click();   // parity 1
    EXPECT_EQ(Shown(m_hFirst), kSlices[0]);
    space(WM_KEYDOWN);
    EXPECT_EQ(Shown(m_hFirst), kSlices[0]) << "odd parity";
    space(WM_KEYUP);

    click();   // parity 0 again
    space(WM_KEYDOWN);
    EXPECT_EQ(Shown(m_hFirst), kSlices[2]) << "even parity";
    space(WM_KEYUP);
    EXPECT_EQ(m_parent.m_nClicked, 5);
}

// Through a store, a still strip is filed under its member name and shared; an animated one
// is decoded for each button, with its frames and delays.
TEST_F(TPButtonTest, AStoreSharesStillStripsAndDecodesAnimatedOnesForEachButton)
{
    const std::vector<uint8_t> bmp = StripBmp(300, 64), gif = AnimatedGif(40, 8, { 10, 20, 30 });
    const kovatest::CTarBuilder tar = kovatest::CTarBuilder().Add("s.bmp", std::string(bmp.begin(), bmp.end()))
                                .Add("m.gif", std::string(gif.begin(), gif.end())).End();
    SkinArchive archive;
    ASSERT_TRUE(LoadSkinArchive(archive, tar.Bytes().data(), tar.Bytes().size()));
    CSkinPictureStore store;
    store.SetArchive(&archive);
    CTPButton still, moving;
    ASSERT_TRUE(still.AttachImage(IDC_FIRST, &m_parent, store.FindPicture("s.bmp", 96), 4));
    ASSERT_TRUE(moving.AttachImage(IDC_SECOND, &m_parent, store.FindPicture("m.gif", 96), 4));
    EXPECT_EQ(moving.GetFrameCount(), 3u);
    const SkinStrip shared = store.Strip(store.FindPicture("s.bmp", 96));
    ASSERT_NE(shared.pStill, nullptr);
    EXPECT_EQ(shared.nWidth, 300);
    const SkinStrip own = store.Strip(store.FindPicture("m.gif", 96));
    EXPECT_TRUE(own.pStill == nullptr && own.image);
    EXPECT_EQ(own.adwFrameDelays, (std::vector<uint32_t>{ 10, 20, 30 }));
}

TEST_F(TPButtonTest, AnimatesFramesIndependentlyAndStopsAtDestroy)
{
    const int nThreads = CountThreads();
    kfw::CComPtr<IStream> pGif = StreamOf(AnimatedGif(40, 8, { 10, 20, 30 }));
    CTPButton first;
    CTPButton second;
    ASSERT_TRUE(first.AttachImage(IDC_FIRST, &m_parent, pGif.Get(), 4));
    EXPECT_EQ(first.GetFrameCount(), 3u);

    // Both buttons on the same archive stream, started out of step.
    ASSERT_TRUE(PumpUntil([&] { return Shown(m_hFirst) == kFrames[1]; }, 2000));
    ASSERT_TRUE(second.AttachImage(IDC_SECOND, &m_parent, pGif.Get(), 4));
    EXPECT_TRUE(PumpUntil([&] { return CountThreads() == nThreads + 2; }, 2000));

    // Each button's frames and how long each stayed, until both went round once.
    struct Seen { COLORREF cr; ULONGLONG ullAt; };
    std::vector<Seen> aSeen[2];
    const HWND ahWnd[2] = { m_hFirst, m_hSecond };
    PumpUntil([&] {
        const ULONGLONG ullNow = ::GetTickCount64();
        for (int i = 0; i < 2; ++i)
        {
            const COLORREF cr = Shown(ahWnd[i]);
            if (aSeen[i].empty() || aSeen[i].back().cr != cr)
                aSeen[i].push_back({ cr, ullNow });
        }
        return aSeen[0].size() >= 5 && aSeen[1].size() >= 5;
    }, 4000);
    for (int i = 0; i < 2; ++i)
    {
        ASSERT_GE(aSeen[i].size(), 5u) << "button " << i;
        const int nFirst = i == 0 ? 1 : 0;   // the first button was already at frame 1
        for (size_t k = 0; k < 5; ++k)
            EXPECT_EQ(aSeen[i][k].cr, kFrames[(nFirst + k) % 3]) << "button " << i << " step " << k;
        // Whole intervals only (the first one started before we looked).
        for (size_t k = 1; k + 1 < 5; ++k)
        {
            const int nMs = static_cast<int>(aSeen[i][k + 1].ullAt - aSeen[i][k].ullAt);
            const int nDelay = 100 * static_cast<int>((nFirst + k) % 3 + 1);
            EXPECT_GE(nMs, nDelay - 40) << "button " << i << " frame " << (nFirst + k) % 3;
            EXPECT_LE(nMs, nDelay + 150) << "button " << i << " frame " << (nFirst + k) % 3;
        }
    }

    // Destroyed in the middle of its longest frame: the thread ends at once, not after it.
    ASSERT_TRUE(PumpUntil([&] { return Shown(m_hFirst) == kFrames[2]; }, 2000));
    const ULONGLONG ullStart = ::GetTickCount64();
    ::DestroyWindow(m_hFirst);
    EXPECT_TRUE(PumpUntil([&] { return CountThreads() == nThreads + 1; }, 100));
    EXPECT_LT(::GetTickCount64() - ullStart, 100u);
    EXPECT_FALSE(first.HasImage());
    EXPECT_EQ(first.GetFrameCount(), 0u);
}

TEST_F(TPButtonTest, ReplacingAnAnimationLeavesOneThread)
{
    const int nThreads = CountThreads();
    kfw::CComPtr<IStream> pGif = StreamOf(AnimatedGif(40, 8, { 10, 20, 30 }));
    kfw::CComPtr<IStream> pFast = StreamOf(AnimatedGif(40, 8, { 0, 0 }));
    {
        CTPButton button;
        ASSERT_TRUE(button.AttachImage(IDC_FIRST, &m_parent, pGif.Get(), 4));
        EXPECT_TRUE(button.ReplaceImage(pGif.Get()));
        EXPECT_TRUE(button.ReplaceImage(pFast.Get()));
        EXPECT_TRUE(PumpUntil([&] { return CountThreads() == nThreads + 1; }, 2000));
        PumpUntil([] { return false; }, 100);
        EXPECT_EQ(CountThreads(), nThreads + 1);

        // Frames without a delay step at the default pace, not as fast as the CPU allows.
        int nChanges = 0;
        COLORREF crLast = Shown(m_hFirst);
        const ULONGLONG ullStart = ::GetTickCount64();
        PumpUntil([&] {
            const COLORREF cr = Shown(m_hFirst);
            nChanges += cr != crLast;
            crLast = cr;
            return false;
        }, 450);
        const int nElapsed = static_cast<int>(::GetTickCount64() - ullStart);
        EXPECT_GE(nChanges, 2);
        EXPECT_LE(nChanges, nElapsed / 80 + 1);

        EXPECT_FALSE(button.ReplaceImage(m_pStrip.Get()));
        EXPECT_EQ(CountThreads(), nThreads);
        EXPECT_TRUE(button.ReplaceImage(pGif.Get()));
        EXPECT_EQ(CountThreads(), nThreads + 1);
    }
    // The object went before its window: its destructor joined the thread.
    EXPECT_EQ(CountThreads(), nThreads);
}

TEST_F(TPButtonTest, FailuresLeaveTheButtonUsable)
{
    kfw::CComPtr<IStream> pJunk = StreamOf(std::vector<uint8_t>(200, 0x5A));
    {
        // Not a picture: attached and shown, at 0 x 0.
        CTPButton button;
        EXPECT_TRUE(button.AttachImage(IDC_FIRST, &m_parent, pJunk.Get(), 4));
        EXPECT_EQ(button.m_hWnd, m_hFirst);
        EXPECT_EQ(WindowSize(m_hFirst).cx, 0);
        EXPECT_TRUE(::IsWindowVisible(m_hFirst));
        EXPECT_FALSE(button.HasImage());
    }
    {
        CTPButton button;
        EXPECT_TRUE(button.AttachImage(IDC_SECOND, &m_parent, nullptr, 4));
        EXPECT_EQ(WindowSize(m_hSecond).cy, 0);
        EXPECT_FALSE(button.ReplaceImage(nullptr));
    }
    CTPButton button;
    EXPECT_FALSE(button.AttachImage(999, &m_parent, m_pStrip.Get(), 4)) << "no such item";
    EXPECT_EQ(button.m_hWnd, nullptr);
    EXPECT_TRUE(button.HasImage()) << "kept, not shown";
    EXPECT_FALSE(button.AttachImage(IDC_FIRST, nullptr, m_pStrip.Get(), 4)) << "no parent";
    EXPECT_FALSE(button.AttachImage(IDC_FIRST, &m_parent, m_pStrip.Get(), 0)) << "no slices";
    EXPECT_EQ(button.m_hWnd, nullptr);

    // Still good for a proper attach afterwards.
    ASSERT_TRUE(button.AttachImage(IDC_FIRST, &m_parent, m_pStrip.Get(), 4));
    EXPECT_EQ(WindowSize(m_hFirst).cx, 75);
    EXPECT_EQ(Shown(m_hFirst), kSlices[0]);
}
