#include "skin/TPButton.h"

#include <commctrl.h>

#include <algorithm>
#include <utility>

#include "framework/LinkedCalls.h"
#include "framework/DynCalls.h"
#include "skin/ButtonLogic.h"
#include "skin/PictureScale.h"
#include "skin/PictureStore.h"


bool HighContrastOn()
{
    HIGHCONTRASTW hc = {};
    hc.cbSize = sizeof hc;
    return kfw::g_linked.pfnSystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof hc, &hc, 0) && (hc.dwFlags & HCF_HIGHCONTRASTON);
}

namespace {

namespace gdip = kfw::gdip;

// The strip's own colours may hide which button is chosen; the system's highlight colour
// cannot, whatever the theme. Drawn inside the button, so nothing around it changes.
void DrawSelectionFrame(HDC hDC, int x, int y, int cx, int cy, int nDpi)
{
    const int n = std::min({ ScaleForDpi(2, nDpi), cx / 2, cy / 2 });
    HBRUSH hBrush = ::GetSysColorBrush(COLOR_HIGHLIGHT);   // the system's: never deleted
    const RECT sides[] = { { 0, 0, cx, n }, { 0, cy - n, cx, cy }, { 0, n, n, cy - n }, { cx - n, n, cx, cy - n } };
    for (RECT rc : sides)
    {
        ::OffsetRect(&rc, x, y);
        ::FillRect(hDC, &rc, hBrush);
    }
}

// The time dimension of a multi-frame image (GDI+'s FrameDimensionTime), spelt out so no
// GUID library is needed.
const GUID FRAME_DIMENSION_TIME = { 0x6aedbd6d, 0x3fb5, 0x418a,
                                   { 0x83, 0xa6, 0x7f, 0x45, 0x22, 0x9d, 0xc8, 0x72 } };

class CCritSecLock {
public:
    explicit CCritSecLock(CRITICAL_SECTION& cs) noexcept : m_cs(cs) { ::EnterCriticalSection(&m_cs); }
    ~CCritSecLock() { ::LeaveCriticalSection(&m_cs); }
    CCritSecLock(const CCritSecLock&) = delete;
    CCritSecLock& operator=(const CCritSecLock&) = delete;
private:
    CRITICAL_SECTION& m_cs;
};

} // namespace

CTPButton::CTPButton()
{
    ::InitializeCriticalSection(&m_csFrame);
}

CTPButton::~CTPButton()
{
    // Normally WM_DESTROY did this; an object that goes before its window, or never had
    // one, may still run an animation.
    ReleaseImage();
    ::DeleteCriticalSection(&m_csFrame);
}

BOOL CTPButton::AttachImage(UINT nID, CWnd* pParent, const SkinPictureRef& rStrip, int nSliceCount, bool bSize)
{
    // The slice width divides by it; no caller may pass less than one slice.
    if (nSliceCount < 1)
        return FALSE;
    m_bHighContrast = HighContrastOn();
    if (!LoadImage(rStrip, nSliceCount))
        return FALSE;

    // Attaching the same item again (a second skin pass) keeps the binding we have.
    HWND hItem = pParent && pParent->m_hWnd ? ::GetDlgItem(pParent->m_hWnd, static_cast<int>(nID)) : nullptr;
    if (!hItem || (m_hWnd != hItem && !SubclassDlgItem(nID, pParent)))
        return FALSE;   // the image stays held, not shown and not animated

    if (bSize)
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, m_nDrawWidth, m_nDrawHeight,
                       SWP_NOMOVE | SWP_NOZORDER | SWP_SHOWWINDOW);
    StartAnimation();
    return TRUE;
}

bool CTPButton::ReplaceImage(const SkinPictureRef& rStrip)
{
    // The mode pop-up asks for every button's strip at each arrow key, mostly the one shown.
    // The archive hands out one stream per member, so the same stream is the same strip; a
    // still one decoded again would look the same (an animation restarts, as before).
    if (Image() && rStrip.pStream == m_pImageSource && m_nSliceCount == 4 && m_nFrameCount < 2)
        return false;
    // Not resized and not repainted: the owner repaints when it has chosen every image.
    return LoadImage(rStrip, 4) && StartAnimation();
}

void CTPButton::SetScale(int nPicturePct, int nDpi)
{
    m_nPicturePct = nPicturePct;
    m_nDpi = nDpi;
}

bool CTPButton::SetHighlight(BYTE bHighlight)
{
    m_bHighlight = bHighlight;
    m_nState = TPBUTTON_NORMAL;
    return true;
}

bool CTPButton::LoadImage(const SkinPictureRef& rStrip, int nSliceCount)
{
    ReleaseImage();
    SkinStrip strip = rStrip.pStore ? rStrip.pStore->Strip(rStrip) : DecodeSkinStrip(rStrip.pStream);
    if (!strip.bMade)
        return false;
    // A null or undecodable stream leaves no picture: the button is still attached, at 0 x 0.
    m_pStill = std::move(strip.pStill);
    m_pImage = std::move(strip.image);
    m_pImageStream = std::move(strip.pImageStream);
    m_adwFrameDelays = std::move(strip.adwFrameDelays);
    m_nFrameCount = strip.nFrames;
    m_nImageWidth = strip.nWidth;
    m_nImageHeight = strip.nHeight;
    m_nSliceWidth = m_nImageWidth / nSliceCount;
    m_nDrawWidth = ScaleForDpi(UnscaledSize(m_nSliceWidth, m_nPicturePct), m_nDpi);
    m_nDrawHeight = ScaleForDpi(UnscaledSize(m_nImageHeight, m_nPicturePct), m_nDpi);
    m_pImageSource = Image() ? rStrip.pStream : nullptr;
    m_nSliceCount = nSliceCount;
    return true;
}

bool CTPButton::StartAnimation()
{
    // Images without delays (one frame, or no delay property) are shown still.
    if (m_animation.IsStarted() || m_nFrameCount < 2 || m_adwFrameDelays.empty())
        return false;
    return m_animation.Start([this](const kfw::CThread::CContext& context) { return Animate(context.StopEvent()); });
}

void CTPButton::StopAnimation()
{
    // The stop ends the wait at once; joining makes sure the thread no longer touches the
    // image, its delays or the lock before any of them goes. The thread holds the lock only
    // around a frame change and never sends to this thread, so this cannot deadlock.
    m_animation.Stop();
}

void CTPButton::ReleaseImage()
{
    StopAnimation();
    m_nFrameCount = 0;
    m_adwFrameDelays.clear();
    m_pImage.Reset();
    m_pStill.reset();
    m_pImageStream.Reset();
    m_pImageSource = nullptr;
}

// Runs while the image is unchanged: every change of the image, its delays or the window
// joins this thread first, so it reads them without the lock.
DWORD CTPButton::Animate(HANDLE hStop)
{
    const UINT nFrames = m_nFrameCount;
    UINT nIndex = 0;
    while (m_nFrameCount != 0)
    {
        {
            CCritSecLock lock(m_csFrame);
            gdip::GdipImageSelectActiveFrame(m_pImage.Get(), &FRAME_DIMENSION_TIME, nIndex);
        }
        const DWORD dwDelay = AnimationFrameDelayMs(m_adwFrameDelays.data(), m_adwFrameDelays.size(), nIndex);
        nIndex = NextAnimationFrame(nIndex, nFrames);
        // Posts a paint request only; the button draws on its own thread.
        if (m_hWnd)
            ::InvalidateRect(m_hWnd, nullptr, TRUE);
        if (::WaitForSingleObject(hStop, dwDelay) != WAIT_TIMEOUT)
            break;
    }
    return 0;
}

void CTPButton::Invalidate()
{
    if (m_hWnd)
        ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

void CTPButton::DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct)
{
    if (!lpDrawItemStruct)
        return;
    // The system button draws itself selected while held by the mouse or by the space bar;
    // the mouse handlers already set the pressed state, the keyboard does not.
    DrawFace(lpDrawItemStruct->hDC, 0, 0, (lpDrawItemStruct->itemState & ODS_SELECTED) != 0);
}

BOOL CTPButton::DrawIntoParent(HDC hDC, int x, int y)
{
    return DrawFace(hDC, x, y, (::SendMessageW(m_hWnd, BM_GETSTATE, 0, 0) & BST_PUSHED) != 0);
}

BOOL CTPButton::DrawFace(HDC hDC, int x, int y, bool bHeldBySystem)
{
    m_nState = ButtonStateForDraw(m_nState, m_dwPressParity, bHeldBySystem);
    {
        kfw::CGdipGraphics graphics;
        gdip::GdipCreateFromHDC(hDC, graphics.Put());
        if (!graphics)
            return FALSE;
        // Held for the whole draw, so the animation never changes frames in the middle of it.
        CCritSecLock lock(m_csFrame);
        Gdiplus::GpImage* const pImage = Image();
        if (!pImage)
            return FALSE;
        const int xSrc = ButtonSliceLeft(ButtonSliceForState(m_nState, m_bHighlight), m_nSliceWidth);
        // A strip of another scale is reduced (or, past the largest, enlarged) as it is drawn.
        if (m_nDrawWidth != m_nSliceWidth || m_nDrawHeight != m_nImageHeight)
        {
            gdip::GdipSetInterpolationMode(graphics.Get(), Gdiplus::InterpolationModeHighQualityBicubic);
            gdip::GdipSetPixelOffsetMode(graphics.Get(), Gdiplus::PixelOffsetModeHighQuality);
        }
        gdip::GdipDrawImageRectRectI(graphics.Get(), pImage, x, y, m_nDrawWidth, m_nDrawHeight,
                                     xSrc, 0, m_nSliceWidth, m_nImageHeight, Gdiplus::UnitPixel,
                                     nullptr, nullptr, nullptr);
    }   // GDI+ has drawn and let go of the DC
    if (m_bHighlight && m_bHighContrast)
        DrawSelectionFrame(hDC, x, y, m_nDrawWidth, m_nDrawHeight, m_nDpi);
    return TRUE;
}

LRESULT CTPButton::DefWindowProc(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    // The second press of a double click would show the button pushed and, for an
    // owner-drawn button, notify BN_DOUBLECLICKED: the system button never sees it.
    if (uMsg == WM_LBUTTONDBLCLK)
        uMsg = WM_NULL;
    return CButton::DefWindowProc(uMsg, wParam, lParam);
}

void CTPButton::OnMouseMove(UINT nFlags, POINT)
{
    // While the button is held the pressed slice stays, whatever the mouse does.
    if (nFlags & MK_LBUTTON)
        return;
    Default();
    if (m_nState == TPBUTTON_HOVERED)
        return;
    // Tracking ends with each hover report, so it is asked for again on the next move;
    // 1 ms makes the hover look immediate.
    TRACKMOUSEEVENT tme = {};
    tme.cbSize = sizeof tme;
    tme.dwFlags = TME_HOVER | TME_LEAVE;
    tme.hwndTrack = m_hWnd;
    tme.dwHoverTime = 1;
    if (::TrackMouseEvent(&tme))
        Invalidate();
}

void CTPButton::OnMouseHover(UINT, POINT)
{
    m_nState = TPBUTTON_HOVERED;
    Invalidate();
}

void CTPButton::OnMouseLeave()
{
    m_nState = TPBUTTON_NORMAL;
    Invalidate();
}

void CTPButton::OnLButtonDown(UINT, POINT)
{
    // The system button captures the mouse and draws itself pushed first.
    Default();
    m_dwPressParity ^= 1;
    m_nState = TPBUTTON_PRESSED;
    Invalidate();
}

void CTPButton::OnLButtonUp(UINT, POINT)
{
    // The system button releases the mouse and sends BN_CLICKED, whose handler runs now.
    Default();
    m_nState = TPBUTTON_NORMAL;
    Invalidate();
}

LRESULT CTPButton::OnEraseBkgnd(HDC)
{
    // The slice covers the whole button: erasing would only flicker.
    return 1;
}

void CTPButton::OnDestroy()
{
    // The system button needs no WM_DESTROY of its own; the image goes with the window.
    ReleaseImage();
}
