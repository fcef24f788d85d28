// CTPDialog: the base of the skinned pop-ups. One PNG with alpha from the skin archive gives
// the window its look, size and outline; the window drags by its background, and on Windows
// Vista (6.0) workstations gets desktop composition with blur behind it.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <dwmapi.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "framework/Dialog.h"
#include "framework/DynCalls.h"
#include "framework/GdiPlus.h"
#include "framework/Handles.h"
#include "skin/RegionRuns.h"
#include "skin/SkinArchive.h"
#include "skin/SkinPicture.h"

class CTPDialog : public CDialog {
public:
    // pBackground: a stream from GetSkinStream, borrowed; the picture reads from it while it
    // lives. Null or undecodable: width and height 0, and DoModal returns -1.
    CTPDialog(UINT nIDTemplate, CWnd* pParentWnd, IStream* pBackground);
    // Called when the dialog object goes; releases the picture if the window did not.
    ~CTPDialog() override;

    // Called with WM_INITDIALOG, after a subclass has skinned its controls: cuts the window
    // to the picture, sizes it to the picture at InitialPlace and shows it. FALSE after
    // ending the dialog with -1 (no picture, or the base initialisation failed).
    BOOL OnInitDialog() override;

    // Swaps the picture of the live dialog: reshaped, resized, corner kept, left hidden.
    // Before OnInitDialog has shown it, only reshaped: OnInitDialog sizes it.
    // The stream the picture came from again decodes nothing and keeps the outline.
    // false after ending the dialog with -1 when the stream gives no picture.
    // nPicturePct: the scale the picture was drawn at; it is shown at the dialog's DPI.
    // bStayShown: a shown dialog stays shown (and active), as for a change of scale.
    bool ChangeBackground(IStream* pBackground, int nPicturePct = 100, bool bStayShown = false);

    // The DPI the skin is shown at from the next picture, image and placement on (clamped).
    void SetDpi(int nDpi);
    int GetDpi() const { return m_nDpi; }

    // Gives control nID its image strip (image-map file) and place (position file), both read
    // afresh from rArchive, both at the dialog's DPI. pControl is a CTPButton, CTPCheck or CTPSlider, or any window
    // object (which gets no image). FALSE when pControl is null, a file is missing or has a
    // broken record, the image cannot be attached, or a position record up to the wanted one
    // names an id that is no child of this dialog. TRUE also when no record names nID.
    BOOL LoadControlSkin(CWnd* pControl, UINT nID, const SkinArchive& rArchive, LPCSTR pszImageMap,
                         LPCSTR pszPosition);

    // The version code of the running Windows (see OsVersionCode); -1 when it cannot be read.
    static int GetOSVersionCode();
    // The region of the pixels of pImage whose alpha differs from byKeyAlpha, built from
    // one-pixel-high runs; null when pImage has no pixels to read or no record can be made.
    static kfw::CRgnH CreateRegionFromImage(Gdiplus::GpImage* pImage, BYTE byKeyAlpha);

    Gdiplus::GpImage* GetBackground() const { return m_pBackground ? m_pBackground->image.Get() : nullptr; }
    int GetBackgroundWidth() const { return m_nWidth; }
    int GetBackgroundHeight() const { return m_nHeight; }

    BEGIN_MSG_MAP(CTPDialog)
        ON_MESSAGE(WM_DWMCOLORIZATIONCOLORCHANGED, OnDwmNotify)
        ON_MESSAGE(WM_DWMCOMPOSITIONCHANGED, OnDwmNotify)
        ON_MESSAGE(WM_DWMNCRENDERINGCHANGED, OnDwmNotify)
        ON_MESSAGE(WM_DWMWINDOWMAXIMIZEDCHANGE, OnDwmNotify)
        ON_WM_DESTROY()
        ON_WM_ERASEBKGND()
        ON_WM_PAINT()
        ON_WM_LBUTTONDOWN()
        CHAIN_MSG_MAP(CDialog)
    END_MSG_MAP()

protected:
    // Called by OnInitDialog for the window's top-left corner, the picture's size known.
    virtual POINT InitialPlace() const { return POINT{ 0, 0 }; }
    // Composition is set up once; changes to it are acknowledged and otherwise ignored.
    LRESULT OnDwmNotify(WPARAM, LPARAM) { return 1; }
    void OnDestroy();
    LRESULT OnEraseBkgnd(HDC hDC);
    void OnPaint();
    void OnLButtonDown(UINT nFlags, POINT point);

    std::shared_ptr<SkinPicture> m_pBackground;   // null without a picture, and after WM_DESTROY
    HRGN m_hRgn = nullptr;           // last handed to the window, which owns it
    int m_nWidth = 0;
    int m_nHeight = 0;
    int m_nDpi = 96;

    // Decodes the picture drawn at nPicturePct and shows it at the dialog's DPI; no window needed.
    void LoadBackground(IStream* pBackground, int nPicturePct);

private:
    // Cuts the window to the picture's outline, once per picture; keeps the old shape when
    // no region is made.
    void ApplyRegion();

    IStream* m_pBackgroundSource = nullptr;   // the picture's stream: compared, never read
    int m_nBackgroundDpi = 96;                // the DPI the picture was shown at
    bool m_bRegionFromBackground = false;     // the window's outline is the current picture's
    bool m_bSized = false;                    // OnInitDialog has sized and placed the window
};

// The stream of skin picture pszName (its 1x member name) for nDpi: the nearest scale at or
// above it, else the next one the archive holds; *pnPct gets the scale found. Null when none.
IStream* GetSkinPictureStream(const SkinArchive& rArchive, const char* pszName, int nDpi, int* pnPct);
IStream* GetSkinPictureStream(const char* pszName, int nDpi, int* pnPct);
// Decodes background pszName of the application's archive for nDpi and cuts its outline,
// unless that is kept already, so that the pop-up showing it first finds both ready. False
// when there is no such picture or it does not decode.
bool PrepareSkinBackground(const char* pszName, int nDpi);

// The alpha of every pixel of pImage, row by row, into rAlpha (resized to width x height).
// ReadImageAlphaLocked locks the bits once (false when the image is no bitmap or cannot be
// locked); ReadImageAlphaPerPixel reads pixel by pixel, and a pixel that cannot be read
// counts as the one before it (opaque black before any). Both are false for a side beyond
// REGION_SIDE_MAX.
bool ReadImageAlphaLocked(Gdiplus::GpImage* pImage, std::vector<uint8_t>& rAlpha, UINT& ruWidth, UINT& ruHeight);
bool ReadImageAlphaPerPixel(Gdiplus::GpImage* pImage, std::vector<uint8_t>& rAlpha, UINT& ruWidth, UINT& ruHeight);

// Seams for tests: the calls of this file that leave the program's control.
using PFN_GETVERSIONEXA = BOOL(WINAPI*)(LPOSVERSIONINFOA lpVersionInformation);
using PFN_GETSYSTEMMETRICS = int(WINAPI*)(int nIndex);
using PFN_EXTCREATEREGION = HRGN(WINAPI*)(const XFORM* lpx, DWORD nCount, const RGNDATA* lpData);
extern PFN_GETVERSIONEXA g_pfnGetVersionExA;              // GetVersionExA
extern PFN_GETSYSTEMMETRICS g_pfnGetSystemMetrics;        // GetSystemMetrics
extern PFN_EXTCREATEREGION g_pfnExtCreateRegion;          // ExtCreateRegion

// The Vista set-up's dwmapi list, asked for at each set-up.
using PFN_BINDDWMAPI = const kfw::DwmApiCalls& (*)();
extern PFN_BINDDWMAPI g_pfnBindDwmApi;                    // kfw::DwmApi
