// CTPDialog: the base of the skinned pop-ups. One PNG with alpha from the skin archive gives
// the window its look, size and outline; the window drags by its background, and on Windows
// Vista (6.0) workstations gets desktop composition with blur behind it.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <dwmapi.h>

#include <memory>

#include "framework/Dialog.h"
#include "framework/DynCalls.h"
#include "framework/GdiPlus.h"
#include "framework/Handles.h"
#include "skin/PictureStore.h"
#include "skin/SkinArchive.h"

class CTPDialog : public CDialog {
public:
    // pBackground: a stream from GetSkinStream, borrowed; the picture reads from it while it
    // lives. Null or undecodable: width and height 0, and DoModal returns -1. pPictures: the
    // store its pictures are kept in (its archive's members only); null: decoded for it alone.
    CTPDialog(UINT nIDTemplate, CWnd* pParentWnd, IStream* pBackground, CSkinPictureStore* pPictures = nullptr);
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
    bool ChangeBackground(const SkinPictureRef& rBackground, bool bStayShown = false);
    bool ChangeBackground(IStream* pBackground, int nPicturePct = 100, bool bStayShown = false)
    {
        return ChangeBackground(SkinPictureRef{ pBackground, nPicturePct }, bStayShown);
    }

    // The DPI the skin is shown at from the next picture, image and placement on (clamped).
    void SetDpi(int nDpi);
    int GetDpi() const { return m_nDpi; }

    // Gives control nID its image strip (image-map file) and place (position file), both read
    // afresh from rArchive, both at the dialog's DPI; a strip of the store's archive is kept there. pControl is a CTPButton, CTPCheck or CTPSlider, or any window
    // object (which gets no image). FALSE when pControl is null, a file is missing or has a
    // broken record, the image cannot be attached, or a position record up to the wanted one
    // names an id that is no child of this dialog. TRUE also when no record names nID.
    BOOL LoadControlSkin(CWnd* pControl, UINT nID, const SkinArchive& rArchive, LPCSTR pszImageMap,
                         LPCSTR pszPosition);

    // The version code of the running Windows (see OsVersionCode); -1 when it cannot be read.
    static int GetOSVersionCode();
    // The outline of pImage (see CreateSkinOutline).
    static kfw::CRgnH CreateRegionFromImage(Gdiplus::GpImage* pImage, BYTE byKeyAlpha)
    {
        return CreateSkinOutline(pImage, byKeyAlpha);
    }

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
    // Draws the skinned buttons into the dialog's own paint, after its picture: the window
    // reaches the screen whole, never its picture first with its buttons to follow. A
    // button drawn whole needs no paint of its own.
    void PaintButtonsInto(const kfw::CPaintDC& dc);

    std::shared_ptr<SkinPicture> m_pBackground;   // null without a picture, and after WM_DESTROY
    HRGN m_hRgn = nullptr;           // last handed to the window, which owns it
    int m_nWidth = 0;
    int m_nHeight = 0;
    int m_nDpi = 96;

    // Takes the picture, from its store or decoded here, and shows it at the dialog's DPI; no
    // window needed.
    void LoadBackground(const SkinPictureRef& rBackground);

    CSkinPictureStore* const m_pPictures;

private:
    // The picture's part of initialisation, for the first showing (with the Vista set-up's
    // composition and blur) and for a change of picture: the dialog base, the outline, the
    // frame rendering. False after ending the dialog with -1.
    bool ApplyBackground(bool bFirst);
    // Cuts the window to the picture's outline, once per picture; keeps the old shape when
    // no region is made.
    void ApplyRegion();

    IStream* m_pBackgroundSource = nullptr;   // the picture's stream: compared, never read
    int m_nBackgroundDpi = 96;                // the DPI the picture was shown at
    bool m_bRegionFromBackground = false;     // the window's outline is the current picture's
    bool m_bSized = false;                    // OnInitDialog has sized and placed the window
};

