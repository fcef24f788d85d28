#include "skin/SkinControls.h"

namespace {

// False when the stream gives no bitmap.
bool LoadBitmap(kfw::CGdipBitmap& rImage, IStream* pStream)
{
    rImage.Reset();
    kfw::gdip::GdipCreateBitmapFromStream(pStream, rImage.Put());
    return static_cast<bool>(rImage);
}

} // namespace

BOOL CTPCheck::AttachImage(UINT nID, CWnd* pParent, IStream* pStream, int nColumns)
{
    if (nColumns <= 0 || !LoadBitmap(m_pImage, pStream))
        return FALSE;
    if (!m_hWnd && !SubclassDlgItem(nID, pParent))
        return FALSE;
    UINT uWidth = 0, uHeight = 0;
    kfw::gdip::GdipGetImageWidth(m_pImage.Get(), &uWidth);
    kfw::gdip::GdipGetImageHeight(m_pImage.Get(), &uHeight);
    ::SetWindowPos(m_hWnd, HWND_TOP, 0, 0, static_cast<int>(uWidth) / nColumns, static_cast<int>(uHeight) / 2,
                   SWP_NOMOVE | SWP_SHOWWINDOW);
    return TRUE;
}

BOOL CTPSlider::SetSkinImage(UINT nID, CWnd* pParent, IStream* pStream)
{
    if (!LoadBitmap(m_pImage, pStream))
        return FALSE;
    if (!m_hWnd && !SubclassDlgItem(nID, pParent))
        return FALSE;
    return TRUE;
}
