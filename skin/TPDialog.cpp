#include "skin/TPDialog.h"

#include <algorithm>

#include "framework/LinkedCalls.h"
#include "framework/DpiScale.h"
#include "skin/OsVersion.h"
#include "skin/SkinControls.h"
#include "skin/SkinLayout.h"
#include "skin/TPButton.h"

namespace {

static_assert(sizeof(OSVERSIONINFOEXA) == 156 && sizeof(OSVERSIONINFOA) == 148,
              "GetVersionExA is asked with the 156-byte record, then the 148-byte one");

// A layout member's text: as many bytes as its header's size field gives (never more than
// the archive holds). Read in place: a copy in a temporary file could fail, or be left behind.
bool FindLayoutText(const SkinArchive& rArchive, LPCSTR pszName, const char*& rpText, size_t& rcbText)
{
    const SkinArchiveEntry* pEntry = pszName ? FindSkinEntry(rArchive, pszName) : nullptr;
    uint32_t uSize = 0;
    if (!pEntry || !ParseTarSize(pEntry->abyHeader, &uSize))
        return false;
    rpText = reinterpret_cast<const char*>(pEntry->pbyBytes);
    rcbText = std::min<size_t>(uSize, pEntry->cbBytes);
    return true;
}

// The image hand-over for each kind of skinned control; other windows get no image. bSize
// false: a button is left to the caller to size and show.
bool AttachControlImage(CWnd* pControl, UINT nID, CWnd* pDialog, const SkinPictureRef& rImage, bool bSize)
{
    if (auto* pButton = dynamic_cast<CTPButton*>(pControl))
        return pButton->AttachImage(nID, pDialog, rImage, 4, bSize) != FALSE;
    if (auto* pCheck = dynamic_cast<CTPCheck*>(pControl))
        return pCheck->AttachImage(nID, pDialog, rImage.pStream, 4) != FALSE;
    if (auto* pSlider = dynamic_cast<CTPSlider*>(pControl))
        return pSlider->SetSkinImage(nID, pDialog, rImage.pStream) != FALSE;
    return true;
}

} // namespace


CTPDialog::CTPDialog(UINT nIDTemplate, CWnd* pParentWnd, IStream* pBackground, CSkinPictureStore* pPictures)
    : CDialog(nIDTemplate, pParentWnd), m_pPictures(pPictures)
{
    LoadBackground(SkinPictureRef{ pBackground });
}

CTPDialog::~CTPDialog() = default;

void CTPDialog::SetDpi(int nDpi)
{
    m_nDpi = ClampDpi(nDpi);
}

void CTPDialog::LoadBackground(const SkinPictureRef& rBackground)
{
    m_pBackground = rBackground.pStore ? rBackground.pStore->Background(rBackground, m_nDpi)
                                       : DecodeSkinBackground(rBackground.pStream, rBackground.nPct, m_nDpi);
    m_bRegionFromBackground = false;
    m_nWidth = m_pBackground ? m_pBackground->nWidth : 0;
    m_nHeight = m_pBackground ? m_pBackground->nHeight : 0;
    m_pBackgroundSource = m_pBackground ? rBackground.pStream : nullptr;
    m_nBackgroundDpi = m_nDpi;
}

void CTPDialog::ApplyRegion()
{
    // Both the layout's picture change and the base initialisation ask for it; reading the
    // alpha of every pixel a second time would give the same outline.
    if (m_bRegionFromBackground || !m_pBackground)
        return;
    kfw::CRgnH hRgn = CopySkinOutline(*m_pBackground);
    // From here the window owns the region (and deletes the one it had before).
    if (hRgn && ::SetWindowRgn(m_hWnd, hRgn.Get(), TRUE))
    {
        m_hRgn = hRgn.Release();
        m_bRegionFromBackground = true;
    }
}

bool CTPDialog::ApplyBackground(bool bFirst)
{
    // Blur behind covers this square only, whatever the picture's size.
    kfw::CRgnH hBlurRgn(bFirst ? ::CreateRectRgn(100, 100, 200, 200) : nullptr);
    if (m_nWidth == 0 || !CDialog::OnInitDialog())
    {
        EndDialog(-1);
        return false;
    }
    ApplyRegion();
    if (IsVistaWorkstationCode(GetOSVersionCode()))
    {
        // Results ignored: without composition the window is simply drawn without blur.
        const kfw::DwmApiCalls& dwm = kfw::DwmApi();
        if (bFirst && dwm.pfnEnableComposition)
            dwm.pfnEnableComposition(DWM_EC_ENABLECOMPOSITION);
        const DWORD dwPolicy = DWMNCRP_ENABLED;
        if (dwm.pfnSetWindowAttribute)
            dwm.pfnSetWindowAttribute(m_hWnd, DWMWA_NCRENDERING_POLICY, &dwPolicy, sizeof dwPolicy);
        if (bFirst && dwm.pfnEnableBlurBehindWindow)
        {
            DWM_BLURBEHIND blur = {};
            blur.dwFlags = DWM_BB_ENABLE | DWM_BB_BLURREGION;
            blur.fEnable = TRUE;
            blur.hRgnBlur = hBlurRgn.Get();
            blur.fTransitionOnMaximized = FALSE;
            dwm.pfnEnableBlurBehindWindow(m_hWnd, &blur);
        }
    }
    return true;
}

BOOL CTPDialog::OnInitDialog()
{
    if (!ApplyBackground(true))
        return FALSE;
    // Exactly the picture's size, placed in the same call.
    const POINT pt = InitialPlace();
    ::SetWindowPos(m_hWnd, HWND_TOP, pt.x, pt.y, m_nWidth, m_nHeight, SWP_SHOWWINDOW);
    m_bSized = true;
    return TRUE;
}

bool CTPDialog::ChangeBackground(const SkinPictureRef& rBackground, bool bStayShown)
{
    // Still being initialised the window has not shown: hiding and sizing it is
    // OnInitDialog's one SetWindowPos. Hiding the active window activates another, which
    // then gets the user's next keys: a rescale keeps it shown.
    const bool bHide = m_bSized && !bStayShown;
    if (bHide)
        ::ShowWindow(m_hWnd, SW_HIDE);
    // The archive hands out one stream per member, so the same stream is the same picture:
    // the mode pop-up asks again for the one its constructor decoded.
    if (!m_pBackground || rBackground.pStream != m_pBackgroundSource || m_nDpi != m_nBackgroundDpi)
        LoadBackground(rBackground);
    if (!ApplyBackground(false))
        return false;
    // Showing it again is the caller's business.
    if (bHide)
        ::SetWindowPos(m_hWnd, HWND_TOP, 0, 0, m_nWidth, m_nHeight, SWP_NOMOVE | SWP_HIDEWINDOW);
    else if (m_bSized)
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, m_nWidth, m_nHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    return true;
}

void CTPDialog::OnDestroy()
{
    Default();
    m_bSized = false;
    m_pBackground.reset();
    m_pBackgroundSource = nullptr;
    m_bRegionFromBackground = false;
    m_hRgn = nullptr;   // the window deletes it
}

LRESULT CTPDialog::OnEraseBkgnd(HDC hDC)
{
    RECT rcWindow = {};
    ::GetWindowRect(m_hWnd, &rcWindow);
    const RECT rc = { 0, 0, rcWindow.right - rcWindow.left, rcWindow.bottom - rcWindow.top };
    ::FillRect(hDC, &rc, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
    return 1;
}

void CTPDialog::OnPaint()
{
    kfw::CPaintDC dc(m_hWnd);
    {
        kfw::CGdipGraphics graphics;
        if (m_pBackground && kfw::gdip::GdipCreateFromHDC(dc.Get(), graphics.Put()) == Gdiplus::Ok)
            kfw::gdip::GdipDrawImageRectRectI(graphics.Get(), m_pBackground->image.Get(), 0, 0, m_nWidth, m_nHeight,
                                              0, 0, m_nWidth, m_nHeight, Gdiplus::UnitPixel, nullptr, nullptr, nullptr);
    }
    PaintButtonsInto(dc);
}

void CTPDialog::PaintButtonsInto(const kfw::CPaintDC& dc)
{
    const RECT& rcPaint = dc.Info().rcPaint;
    for (HWND hChild = ::GetWindow(m_hWnd, GW_CHILD); hChild; hChild = ::GetWindow(hChild, GW_HWNDNEXT))
    {
        auto* pButton = dynamic_cast<CTPButton*>(CWnd::FromHandlePermanent(hChild));
        if (!pButton || !::IsWindowVisible(hChild))
            continue;
        RECT rc = {};
        ::GetWindowRect(hChild, &rc);
        ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&rc), 2);
        RECT rcCovered = {};
        if (!::IntersectRect(&rcCovered, &rc, &rcPaint) || !pButton->DrawIntoParent(dc.Get(), rc.left, rc.top))
            continue;
        // Drawn only in part (the paint clips to its own update): the button paints the rest.
        if (::EqualRect(&rcCovered, &rc))
            ::ValidateRect(hChild, nullptr);
    }
}

void CTPDialog::OnLButtonDown(UINT, POINT)
{
    // The system's move loop, as if the caption had been grabbed; returns when the button
    // is released.
    ::SendMessageA(m_hWnd, WM_SYSCOMMAND, SC_MOVE | HTCAPTION, 0);
}

int CTPDialog::GetOSVersionCode()
{
    OSVERSIONINFOEXA osvi = {};
    osvi.dwOSVersionInfoSize = sizeof osvi;
    if (!kfw::g_linked.pfnGetVersionExA(reinterpret_cast<LPOSVERSIONINFOA>(&osvi)))
    {
        // Older systems know only the plain record; the product type then stays 0.
        osvi = {};
        osvi.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
        if (!kfw::g_linked.pfnGetVersionExA(reinterpret_cast<LPOSVERSIONINFOA>(&osvi)))
            return -1;
    }
    SYSTEM_INFO si = {};
    if (kfw::g_kernel32.pfnGetNativeSystemInfo)
        kfw::g_kernel32.pfnGetNativeSystemInfo(&si);

    OsVersionFacts facts = {};
    facts.dwPlatformId = osvi.dwPlatformId;
    facts.dwMajorVersion = osvi.dwMajorVersion;
    facts.dwMinorVersion = osvi.dwMinorVersion;
    facts.chCSDVersion1 = osvi.szCSDVersion[1];
    facts.wProductType = osvi.wProductType;
    facts.nServerR2 = kfw::g_linked.pfnGetSystemMetrics(SM_SERVERR2);
    facts.wArchitecture = si.wProcessorArchitecture;
    return OsVersionCode(facts);
}

BOOL CTPDialog::LoadControlSkin(CWnd* pControl, UINT nID, const SkinArchive& rArchive, LPCSTR pszImageMap,
                                LPCSTR pszPosition)
{
    if (!pControl)
        return FALSE;
    const int nWanted = static_cast<int>(nID);

    const char* pText = nullptr;
    size_t cbText = 0;
    if (!FindLayoutText(rArchive, pszImageMap, pText, cbText))
        return FALSE;
    ImageMapRecord image;
    const LayoutScan eImage = FindImageMapRecord(pText, cbText, nWanted, image);
    if (eImage == LayoutScan::Malformed)
        return FALSE;

    // The place is read before the image is attached, so that a button the record sizes is
    // sized once; a failure still counts only after the attach.
    ControlPlacement place = {};
    BOOL bPlaceResult = FALSE;
    bool bPlaced = false;
    if (FindLayoutText(rArchive, pszPosition, pText, cbText))
    {
        CLayoutScanner scanner(pText, cbText);
        PositionRecord pos = {};
        LayoutScan eScan;
        while ((eScan = scanner.NextPosition(pos)) == LayoutScan::Record)
        {
            // Every record up to the wanted one must name a control of this dialog.
            if (!::GetDlgItem(m_hWnd, pos.nId))
                break;
            if (pos.nId != nWanted)
                continue;
            // A size no control can have counts as a broken record.
            bPlaced = PlacementFromRecord(pos, place);
            bPlaceResult = bPlaced ? TRUE : FALSE;
            break;
        }
        if (eScan != LayoutScan::Record)
            bPlaceResult = eScan == LayoutScan::Malformed ? FALSE : TRUE;
    }

    if (eImage == LayoutScan::Record)
    {
        const SkinPictureRef strip = m_pPictures && m_pPictures->GetArchive() == &rArchive
            ? m_pPictures->FindPicture(image.strImage.c_str(), m_nDpi)
            : FindSkinPicture(rArchive, image.strImage.c_str(), m_nDpi);
        if (auto* pButton = dynamic_cast<CTPButton*>(pControl))
            pButton->SetScale(strip.nPct, m_nDpi);
        if (!AttachControlImage(pControl, nID, this, strip, !bPlaced || place.bKeepSize))
            return FALSE;
    }
    if (!bPlaced)
        return bPlaceResult;
    // A control kind that took no image may not be attached: move the dialog item.
    HWND hControl = pControl->m_hWnd ? pControl->m_hWnd : ::GetDlgItem(m_hWnd, nWanted);
    ::SetWindowPos(hControl, HWND_TOP, ScaleForDpi(place.x, m_nDpi), ScaleForDpi(place.y, m_nDpi),
                   ScaleForDpi(place.cx, m_nDpi), ScaleForDpi(place.cy, m_nDpi),
                   place.bKeepSize ? SWP_NOSIZE : SWP_SHOWWINDOW);
    return TRUE;
}
