// What the skinned-dialog tests share: GDI+ and the real archive, a modal skinned dialog that
// runs a check inside its own loop, streams of our own, and the outline of a picture worked
// out pixel by pixel without the code under test.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "framework/GdiPlus.h"
#include "framework/Handles.h"
#include "res/resource.h"
#include "skin/SkinArchive.h"
#include "skin/TPDialog.h"
#include "support/Canvas.h"
#include "support/Seam.h"
#include "support/TestSupport.h"

namespace kovatest {

constexpr int kDialogTimedOut = -2;

// Runs m_fnBeforeInit with WM_INITDIALOG before the base initialisation (as a subclass
// skins itself), m_fnInLoop inside the modal loop once the dialog is initialised, then ends
// it with m_nEndWith (0: the check ended it itself); a safety timer turns a hang into
// kDialogTimedOut.
class CSkinTestDlg : public CTPDialog {
public:
    CSkinTestDlg(UINT nIDTemplate, IStream* pBackground) : CTPDialog(nIDTemplate, nullptr, pBackground) {}

    std::function<void(CSkinTestDlg&)> m_fnBeforeInit;
    std::function<void(CSkinTestDlg&)> m_fnInLoop;
    int m_nEndWith = IDOK;
    std::vector<WPARAM> m_sysCommands;

    BOOL OnInitDialog() override
    {
        if (m_fnBeforeInit)
            m_fnBeforeInit(*this);
        const BOOL bDone = CTPDialog::OnInitDialog();
        if (bDone)
        {
            ::SetTimer(m_hWnd, 1, 15000, nullptr);
            ::PostMessageA(m_hWnd, WM_APP, 0, 0);
        }
        return bDone;
    }

    BEGIN_MSG_MAP(CSkinTestDlg)
        if (uMsg == WM_SYSCOMMAND)
            m_sysCommands.push_back(wParam);   // and on to the default handling
        ON_MESSAGE(WM_APP, OnRunCheck)
        ON_WM_TIMER()
        CHAIN_MSG_MAP(CTPDialog)
    END_MSG_MAP()

    LRESULT OnRunCheck(WPARAM, LPARAM)
    {
        if (m_fnInLoop)
            m_fnInLoop(*this);
        if (m_nEndWith)
            EndDialog(m_nEndWith);
        return 0;
    }
    void OnTimer(UINT_PTR) { EndDialog(kDialogTimedOut); }
};

// GDI+ for the test and the archive Kova ships (resource 149 of the test program).
class SkinDialogFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_gdiplus.IsStarted());
        ASSERT_TRUE(LoadSkinArchive(m_archive));
    }
    void TearDown() override { ReleaseSkinArchive(m_archive); }

    IStream* Skin(const char* pszName) const { return GetSkinStream(m_archive, pszName); }

    kfw::CGdiplusSession m_gdiplus;
    SkinArchive m_archive;
};

// A stream of its own over bytes (the archive's streams are shared with the dialog).
inline kfw::CComPtr<IStream> StreamOver(const void* pData, size_t cbData)
{
    kfw::CComPtr<IStream> pStream;
    HGLOBAL hMem = ::GlobalAlloc(GMEM_MOVEABLE, cbData ? cbData : 1);
    if (!hMem)
        return pStream;
    if (void* p = ::GlobalLock(hMem))
    {
        if (cbData)
            std::memcpy(p, pData, cbData);
        ::GlobalUnlock(hMem);
    }
    if (FAILED(::CreateStreamOnHGlobal(hMem, TRUE, pStream.Put())))
        ::GlobalFree(hMem);
    return pStream;
}

inline kfw::CComPtr<IStream> MemberStream(const SkinArchive& rArchive, const char* pszName)
{
    const SkinArchiveEntry* pEntry = FindSkinEntry(rArchive, pszName);
    return pEntry ? StreamOver(pEntry->pbyBytes, pEntry->cbBytes) : kfw::CComPtr<IStream>();
}

inline kfw::CGdipImage DecodeMember(const SkinArchive& rArchive, const char* pszName)
{
    kfw::CGdipImage image;
    kfw::CComPtr<IStream> pStream = MemberStream(rArchive, pszName);
    if (pStream)
        kfw::gdip::GdipLoadImageFromStream(pStream.Get(), image.Put());
    return image;   // decoded at once: GDI+ keeps its own reference to the stream otherwise
}

// A picture from ARGB values, row by row.
// A pixel of a decoded picture, 0xAARRGGBB.
inline uint32_t PixelOf(Gdiplus::GpImage* pImage, int x, int y)
{
    Gdiplus::ARGB argb = 0;
    kfw::gdip::GdipBitmapGetPixel(static_cast<Gdiplus::GpBitmap*>(pImage), x, y, &argb);
    return argb;
}

// The screen's pixels right now.
inline std::unique_ptr<CCanvas> CaptureScreen()
{
    const int cx = ::GetSystemMetrics(SM_CXSCREEN), cy = ::GetSystemMetrics(SM_CYSCREEN);
    auto pShot = std::make_unique<CCanvas>(cx, cy, 0);
    kfw::CWindowDC screen(nullptr);
    ::BitBlt(pShot->DC(), 0, 0, cx, cy, screen.Get(), 0, 0, SRCCOPY);
    return pShot;
}

// A bitmap as a PNG file, for a person to look at.
inline bool SavePng(HBITMAP hBitmap, const wchar_t* pszPath)
{
    static const CLSID kPngEncoder = { 0x557CF406, 0x1A04, 0x11D3, { 0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E } };
    kfw::CGdipBitmap bitmap;
    return kfw::gdip::GdipCreateBitmapFromHBITMAP(hBitmap, nullptr, bitmap.Put()) == Gdiplus::Ok &&
           kfw::gdip::GdipSaveImageToFile(bitmap.Get(), pszPath, &kPngEncoder, nullptr) == Gdiplus::Ok;
}

inline kfw::CGdipImage ImageFromArgb(int nWidth, int nHeight, std::vector<Gdiplus::ARGB> pixels)
{
    kfw::CGdipBitmap bitmap;
    kfw::gdip::GdipCreateBitmapFromScan0(nWidth, nHeight, 0, PixelFormat32bppARGB, nullptr, bitmap.Put());
    for (int y = 0; y < nHeight && bitmap; ++y)
        for (int x = 0; x < nWidth; ++x)
            kfw::gdip::GdipBitmapSetPixel(bitmap.Get(), x, y, pixels[static_cast<size_t>(y * nWidth + x)]);
    return kfw::CGdipImage(bitmap.Release());
}

// The outline worked out here, one GdipBitmapGetPixel a pixel: the runs of nonzero alpha.
struct Outline {
    std::vector<RECT> runs;
    RECT bounds = { 0x7FFFFFFF, 0x7FFFFFFF, 0, 0 };
};
inline Outline OutlineOf(Gdiplus::GpImage* pImage)
{
    Outline outline;
    UINT uWidth = 0, uHeight = 0;
    kfw::gdip::GdipGetImageWidth(pImage, &uWidth);
    kfw::gdip::GdipGetImageHeight(pImage, &uHeight);
    auto* pBitmap = static_cast<Gdiplus::GpBitmap*>(pImage);
    for (LONG y = 0; y < static_cast<LONG>(uHeight); ++y)
    {
        LONG nStart = -1;
        for (LONG x = 0; x <= static_cast<LONG>(uWidth); ++x)
        {
            Gdiplus::ARGB argb = 0;
            const bool bInside = x < static_cast<LONG>(uWidth)
                && kfw::gdip::GdipBitmapGetPixel(pBitmap, x, y, &argb) == Gdiplus::Ok && (argb >> 24) != 0;
            if (bInside && nStart < 0)
                nStart = x;
            if (!bInside && nStart >= 0)
            {
                outline.runs.push_back({ nStart, y, x, y + 1 });
                outline.bounds.left = std::min(outline.bounds.left, nStart);
                outline.bounds.top = std::min(outline.bounds.top, y);
                outline.bounds.right = std::max(outline.bounds.right, x);
                outline.bounds.bottom = std::max(outline.bounds.bottom, y + 1);
                nStart = -1;
            }
        }
    }
    return outline;
}

// The union of the runs as a GDI region, for EqualRgn.
inline kfw::CRgnH RegionOf(const std::vector<RECT>& runs, int dx = 0, int dy = 0)
{
    kfw::CRgnH hRgn(::CreateRectRgn(0, 0, 0, 0));
    for (const RECT& rc : runs)
    {
        kfw::CRgnH hRun(::CreateRectRgn(rc.left + dx, rc.top + dy, rc.right + dx, rc.bottom + dy));
        ::CombineRgn(hRgn.Get(), hRgn.Get(), hRun.Get(), RGN_OR);
    }
    return hRgn;
}

// The region a window has (SetWindowRgn), or null.
inline kfw::CRgnH WindowRegion(HWND hWnd)
{
    kfw::CRgnH hRgn(::CreateRectRgn(0, 0, 0, 0));
    if (::GetWindowRgn(hWnd, hRgn.Get()) == ERROR)
        hRgn.Reset();
    return hRgn;
}

} // namespace kovatest
