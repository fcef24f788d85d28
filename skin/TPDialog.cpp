#include "skin/TPDialog.h"

#include <algorithm>
#include <new>

#include "skin/PictureScale.h"
#include "skin/OsVersion.h"
#include "skin/SkinControls.h"
#include "skin/SkinLayout.h"
#include "skin/SkinPicture.h"
#include "skin/TPButton.h"

namespace {

static_assert(sizeof(OSVERSIONINFOEXA) == 156 && sizeof(OSVERSIONINFOA) == 148,
              "GetVersionExA is asked with the 156-byte record, then the 148-byte one");

// Unlocks bits locked by GdipBitmapLockBits at the end of the scope.
class CScopedBitsLock {
public:
    CScopedBitsLock(Gdiplus::GpBitmap* pBitmap, UINT uWidth, UINT uHeight) : m_pBitmap(pBitmap), m_data{}
    {
        Gdiplus::Rect rc(0, 0, static_cast<INT>(uWidth), static_cast<INT>(uHeight));
        m_bLocked = kfw::gdip::GdipBitmapLockBits(pBitmap, &rc, Gdiplus::ImageLockModeRead,
                                                  PixelFormat32bppARGB, &m_data) == Gdiplus::Ok;
    }
    ~CScopedBitsLock()
    {
        if (m_bLocked)
            kfw::gdip::GdipBitmapUnlockBits(m_pBitmap, &m_data);
    }
    CScopedBitsLock(const CScopedBitsLock&) = delete;
    CScopedBitsLock& operator=(const CScopedBitsLock&) = delete;

    bool IsLocked() const { return m_bLocked; }
    const Gdiplus::BitmapData& Data() const { return m_data; }

private:
    Gdiplus::GpBitmap* m_pBitmap;
    Gdiplus::BitmapData m_data;
    bool m_bLocked = false;
};

void GetImageSize(Gdiplus::GpImage* pImage, UINT& ruWidth, UINT& ruHeight)
{
    ruWidth = ruHeight = 0;
    if (kfw::gdip::GdipGetImageWidth(pImage, &ruWidth) != Gdiplus::Ok
        || kfw::gdip::GdipGetImageHeight(pImage, &ruHeight) != Gdiplus::Ok)
        ruWidth = ruHeight = 0;
}

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
bool AttachControlImage(CWnd* pControl, UINT nID, CWnd* pDialog, IStream* pStream, bool bSize)
{
    if (auto* pButton = dynamic_cast<CTPButton*>(pControl))
        return pButton->AttachImage(nID, pDialog, pStream, 4, bSize) != FALSE;
    if (auto* pCheck = dynamic_cast<CTPCheck*>(pControl))
        return pCheck->AttachImage(nID, pDialog, pStream, 4) != FALSE;
    if (auto* pSlider = dynamic_cast<CTPSlider*>(pControl))
        return pSlider->SetSkinImage(nID, pDialog, pStream) != FALSE;
    return true;
}

// The picture drawn at nPicturePct, shown at nDpi: reduced once here, so that the outline
// is cut from the picture as it is shown and every paint is a plain copy. Null when it does
// not decode; at the size it was drawn at when it cannot be resampled.
std::shared_ptr<SkinPicture> DecodeBackground(IStream* pStream, int nPicturePct, int nDpi)
{
    auto pPicture = std::make_shared<SkinPicture>();
    if (kfw::gdip::GdipLoadImageFromStream(pStream, pPicture->image.Put()) != Gdiplus::Ok || !pPicture->image)
        return nullptr;
    UINT uWidth = 0, uHeight = 0;
    GetImageSize(pPicture->image.Get(), uWidth, uHeight);
    pPicture->nWidth = static_cast<int>(uWidth);
    pPicture->nHeight = static_cast<int>(uHeight);
    pPicture->nShownDpi = nDpi;

    const int cx = ScaleForDpi(UnscaledSize(pPicture->nWidth, nPicturePct), nDpi);
    const int cy = ScaleForDpi(UnscaledSize(pPicture->nHeight, nPicturePct), nDpi);
    if ((cx == pPicture->nWidth && cy == pPicture->nHeight) || cx <= 0 || cy <= 0)
        return pPicture;
    kfw::CGdipBitmap scaled;
    kfw::CGdipGraphics graphics;
    if (kfw::gdip::GdipCreateBitmapFromScan0(cx, cy, 0, PixelFormat32bppARGB, nullptr, scaled.Put()) != Gdiplus::Ok
        || kfw::gdip::GdipGetImageGraphicsContext(scaled.Get(), graphics.Put()) != Gdiplus::Ok)
        return pPicture;
    kfw::gdip::GdipSetInterpolationMode(graphics.Get(), Gdiplus::InterpolationModeHighQualityBicubic);
    kfw::gdip::GdipSetPixelOffsetMode(graphics.Get(), Gdiplus::PixelOffsetModeHighQuality);
    if (kfw::gdip::GdipDrawImageRectRectI(graphics.Get(), pPicture->image.Get(), 0, 0, cx, cy, 0, 0,
                                          pPicture->nWidth, pPicture->nHeight, Gdiplus::UnitPixel, nullptr, nullptr,
                                          nullptr) != Gdiplus::Ok)
        return pPicture;
    graphics.Reset();
    pPicture->image = kfw::CGdipImage(scaled.Release());
    pPicture->nWidth = cx;
    pPicture->nHeight = cy;
    return pPicture;
}

// The picture kept for pStream at nDpi, decoded and filed first when none is; null when it
// does not decode.
std::shared_ptr<SkinPicture> KeptBackground(IStream* pStream, int nPicturePct, int nDpi)
{
    std::shared_ptr<SkinPicture> pPicture = FindSkinPicture(pStream, nDpi);
    if (!pPicture)
    {
        pPicture = DecodeBackground(pStream, nPicturePct, nDpi);
        if (pPicture)
            FileSkinPicture(pStream, pPicture);
    }
    return pPicture;
}

// Cut once per picture; every window after the first gets a copy.
void CutOutline(SkinPicture& rPicture)
{
    if (!rPicture.hOutline)
        rPicture.hOutline = CTPDialog::CreateRegionFromImage(rPicture.image.Get(), 0);
}

} // namespace

PFN_GETVERSIONEXA g_pfnGetVersionExA = &::GetVersionExA;
PFN_GETSYSTEMMETRICS g_pfnGetSystemMetrics = &::GetSystemMetrics;
PFN_EXTCREATEREGION g_pfnExtCreateRegion = &::ExtCreateRegion;
PFN_BINDDWMAPI g_pfnBindDwmApi = &kfw::DwmApi;

CTPDialog::CTPDialog(UINT nIDTemplate, CWnd* pParentWnd, IStream* pBackground)
    : CDialog(nIDTemplate, pParentWnd)
{
    LoadBackground(pBackground, 100);
}

CTPDialog::~CTPDialog() = default;

void CTPDialog::SetDpi(int nDpi)
{
    m_nDpi = ClampDpi(nDpi);
}

void CTPDialog::LoadBackground(IStream* pBackground, int nPicturePct)
{
    m_pBackground.reset();
    m_pBackgroundSource = nullptr;
    m_bRegionFromBackground = false;
    m_nWidth = m_nHeight = 0;
    if (!pBackground)
        return;
    m_pBackground = KeptBackground(pBackground, nPicturePct, m_nDpi);
    if (!m_pBackground)
        return;
    m_nWidth = m_pBackground->nWidth;
    m_nHeight = m_pBackground->nHeight;
    m_pBackgroundSource = pBackground;
    m_nBackgroundDpi = m_nDpi;
}

IStream* GetSkinPictureStream(const SkinArchive& rArchive, const char* pszName, int nDpi, int* pnPct)
{
    for (const int nPct : PictureScaleOrder(nDpi))
    {
        if (IStream* pStream = GetSkinStream(rArchive, ScaledMemberName(pszName, nPct).c_str()))
        {
            *pnPct = nPct;
            return pStream;
        }
    }
    *pnPct = 100;
    return nullptr;
}

IStream* GetSkinPictureStream(const char* pszName, int nDpi, int* pnPct)
{
    const SkinArchive* pArchive = GetSkinArchive();
    if (!pArchive || !pszName)
    {
        *pnPct = 100;
        return nullptr;
    }
    return GetSkinPictureStream(*pArchive, pszName, nDpi, pnPct);
}

bool PrepareSkinBackground(const char* pszName, int nDpi)
{
    nDpi = ClampDpi(nDpi);
    int nPct = 100;
    IStream* pStream = GetSkinPictureStream(pszName, nDpi, &nPct);
    if (!pStream)
        return false;
    const std::shared_ptr<SkinPicture> pPicture = KeptBackground(pStream, nPct, nDpi);
    if (!pPicture)
        return false;
    CutOutline(*pPicture);
    return true;
}

void CTPDialog::ApplyRegion()
{
    // Both the layout's picture change and the base initialisation ask for it; reading the
    // alpha of every pixel a second time would give the same outline.
    if (m_bRegionFromBackground || !m_pBackground)
        return;
    SkinPicture& rPicture = *m_pBackground;
    CutOutline(rPicture);
    kfw::CRgnH hRgn(rPicture.hOutline ? ::CreateRectRgn(0, 0, 0, 0) : nullptr);
    if (!hRgn || ::CombineRgn(hRgn.Get(), rPicture.hOutline.Get(), nullptr, RGN_COPY) == ERROR)
        return;
    // From here the window owns the region (and deletes the one it had before).
    if (::SetWindowRgn(m_hWnd, hRgn.Get(), TRUE))
    {
        m_hRgn = hRgn.Release();
        m_bRegionFromBackground = true;
    }
}

BOOL CTPDialog::OnInitDialog()
{
    // Blur behind covers this square only, whatever the picture's size.
    kfw::CRgnH hBlurRgn(::CreateRectRgn(100, 100, 200, 200));

    if (m_nWidth == 0 || !CDialog::OnInitDialog())
    {
        EndDialog(-1);
        return FALSE;
    }
    ApplyRegion();

    if (IsVistaWorkstationCode(GetOSVersionCode()))
    {
        // Results ignored: without composition the window is simply drawn without blur.
        const kfw::DwmApiCalls& dwm = g_pfnBindDwmApi();
        if (dwm.pfnEnableComposition)
            dwm.pfnEnableComposition(DWM_EC_ENABLECOMPOSITION);
        const DWORD dwPolicy = DWMNCRP_ENABLED;
        if (dwm.pfnSetWindowAttribute)
            dwm.pfnSetWindowAttribute(m_hWnd, DWMWA_NCRENDERING_POLICY, &dwPolicy, sizeof dwPolicy);
        DWM_BLURBEHIND blur = {};
        blur.dwFlags = DWM_BB_ENABLE | DWM_BB_BLURREGION;
        blur.fEnable = TRUE;
        blur.hRgnBlur = hBlurRgn.Get();
        blur.fTransitionOnMaximized = FALSE;
        if (dwm.pfnEnableBlurBehindWindow)
            dwm.pfnEnableBlurBehindWindow(m_hWnd, &blur);
    }

    // Exactly the picture's size, placed in the same call.
    const POINT pt = InitialPlace();
    ::SetWindowPos(m_hWnd, HWND_TOP, pt.x, pt.y, m_nWidth, m_nHeight, SWP_SHOWWINDOW);
    m_bSized = true;
    return TRUE;
}

bool CTPDialog::ChangeBackground(IStream* pBackground, int nPicturePct, bool bStayShown)
{
    // Still being initialised the window has not shown: hiding and sizing it is
    // OnInitDialog's one SetWindowPos. Hiding the active window activates another, which
    // then gets the user's next keys: a rescale keeps it shown.
    const bool bHide = m_bSized && !bStayShown;
    if (bHide)
        ::ShowWindow(m_hWnd, SW_HIDE);
    // The archive hands out one stream per member, so the same stream is the same picture:
    // the mode pop-up asks again for the one its constructor decoded.
    if (!m_pBackground || pBackground != m_pBackgroundSource || m_nDpi != m_nBackgroundDpi)
        LoadBackground(pBackground, nPicturePct);
    if (m_nWidth == 0 || !CDialog::OnInitDialog())
    {
        EndDialog(-1);
        return false;
    }
    ApplyRegion();
    if (IsVistaWorkstationCode(GetOSVersionCode()))
    {
        const kfw::DwmApiCalls& dwm = g_pfnBindDwmApi();
        const DWORD dwPolicy = DWMNCRP_ENABLED;
        if (dwm.pfnSetWindowAttribute)
            dwm.pfnSetWindowAttribute(m_hWnd, DWMWA_NCRENDERING_POLICY, &dwPolicy, sizeof dwPolicy);
    }
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
    kfw::CGdipGraphics graphics;
    if (m_pBackground && kfw::gdip::GdipCreateFromHDC(dc.Get(), graphics.Put()) == Gdiplus::Ok)
        kfw::gdip::GdipDrawImageRectRectI(graphics.Get(), m_pBackground->image.Get(), 0, 0, m_nWidth, m_nHeight, 0, 0,
                                          m_nWidth, m_nHeight, Gdiplus::UnitPixel, nullptr, nullptr, nullptr);
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
    if (!g_pfnGetVersionExA(reinterpret_cast<LPOSVERSIONINFOA>(&osvi)))
    {
        // Older systems know only the plain record; the product type then stays 0.
        osvi = {};
        osvi.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
        if (!g_pfnGetVersionExA(reinterpret_cast<LPOSVERSIONINFOA>(&osvi)))
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
    facts.nServerR2 = g_pfnGetSystemMetrics(SM_SERVERR2);
    facts.wArchitecture = si.wProcessorArchitecture;
    return OsVersionCode(facts);
}

bool ReadImageAlphaLocked(Gdiplus::GpImage* pImage, std::vector<uint8_t>& rAlpha, UINT& ruWidth, UINT& ruHeight)
{
    ruWidth = ruHeight = 0;
    Gdiplus::ImageType eType = Gdiplus::ImageTypeUnknown;
    if (!pImage || kfw::gdip::GdipGetImageType(pImage, &eType) != Gdiplus::Ok || eType != Gdiplus::ImageTypeBitmap)
        return false;
    UINT uWidth = 0, uHeight = 0;
    GetImageSize(pImage, uWidth, uHeight);
    size_t cbAlpha = 0;
    if (!AlphaGridBytes(uWidth, uHeight, &cbAlpha))
        return false;
    rAlpha.assign(cbAlpha, 0);
    if (rAlpha.empty())
        return true;

    CScopedBitsLock lock(static_cast<Gdiplus::GpBitmap*>(pImage), uWidth, uHeight);
    if (!lock.IsLocked())
        return false;
    const Gdiplus::BitmapData& bits = lock.Data();
    // The stride is negative for bottom-up bits; either way each row offset must fit.
    const int64_t nStride = bits.Stride;
    const auto cbStride = static_cast<uint64_t>(nStride < 0 ? -nStride : nStride);
    size_t cbBits = 0;
    if (!GridSpanBytes(4 * static_cast<uint64_t>(uWidth), uHeight, cbStride, &cbBits))
        return false;
    for (UINT y = 0; y < uHeight; ++y)
    {
        const auto* pRow = static_cast<const uint8_t*>(bits.Scan0) + static_cast<ptrdiff_t>(y * nStride);
        uint8_t* pOut = rAlpha.data() + static_cast<size_t>(y) * uWidth;
        for (UINT x = 0; x < uWidth; ++x)
            pOut[x] = pRow[4 * x + 3];   // ARGB in memory is B, G, R, A
    }
    ruWidth = uWidth;
    ruHeight = uHeight;
    return true;
}

bool ReadImageAlphaPerPixel(Gdiplus::GpImage* pImage, std::vector<uint8_t>& rAlpha, UINT& ruWidth, UINT& ruHeight)
{
    GetImageSize(pImage, ruWidth, ruHeight);
    size_t cbAlpha = 0;
    if (!AlphaGridBytes(ruWidth, ruHeight, &cbAlpha))
    {
        ruWidth = ruHeight = 0;
        return false;
    }
    rAlpha.assign(cbAlpha, 0);
    auto* pBitmap = static_cast<Gdiplus::GpBitmap*>(pImage);
    Gdiplus::ARGB argbLast = 0xFF000000;   // before any pixel was read: opaque black
    for (UINT y = 0; y < ruHeight; ++y)
    {
        for (UINT x = 0; x < ruWidth; ++x)
        {
            Gdiplus::ARGB argb = 0;
            if (kfw::gdip::GdipBitmapGetPixel(pBitmap, static_cast<INT>(x), static_cast<INT>(y), &argb) == Gdiplus::Ok)
                argbLast = argb;
            rAlpha[static_cast<size_t>(y) * ruWidth + x] = static_cast<uint8_t>(argbLast >> 24);
        }
    }
    return true;
}

kfw::CRgnH CTPDialog::CreateRegionFromImage(Gdiplus::GpImage* pImage, BYTE byKeyAlpha)
{
    if (!pImage)
        return kfw::CRgnH();
    std::vector<uint8_t> alpha;
    UINT uWidth = 0, uHeight = 0;
    try
    {
        // One lock for the whole picture; per pixel only where the bits cannot be locked.
        // A picture too large to outline gets no region, as if it could not be read.
        if (!ReadImageAlphaLocked(pImage, alpha, uWidth, uHeight)
            && !ReadImageAlphaPerPixel(pImage, alpha, uWidth, uHeight))
            return kfw::CRgnH();
    }
    catch (const std::bad_alloc&)
    {
        return kfw::CRgnH();
    }

    // When the record cannot grow, the rectangles gathered so far still make the region.
    const CRegionData data = CollectAlphaRuns(alpha.data(), static_cast<int32_t>(uWidth),
                                              static_cast<int32_t>(uHeight), uWidth, byKeyAlpha);
    if (!data.IsValid())
        return kfw::CRgnH();
    // The size of the whole record, unused room included, as Windows allows.
    return kfw::CRgnH(g_pfnExtCreateRegion(nullptr, data.Size(), static_cast<const RGNDATA*>(data.Data())));
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
        int nPct = 100;
        IStream* pStream = GetSkinPictureStream(rArchive, image.strImage.c_str(), m_nDpi, &nPct);
        if (auto* pButton = dynamic_cast<CTPButton*>(pControl))
            pButton->SetScale(nPct, m_nDpi);
        if (!AttachControlImage(pControl, nID, this, pStream, !bPlaced || place.bKeepSize))
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
