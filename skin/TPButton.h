// CTPButton: an owner-drawn push button that draws one slice of a horizontal image strip
// for its state (normal, hovered, pressed), animating images of several frames.
#pragma once

#include <windows.h>
#include <objidl.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "framework/Button.h"
#include "framework/GdiPlus.h"
#include "framework/Handles.h"
#include "framework/Thread.h"
#include "skin/ButtonLogic.h"
#include "skin/PictureStore.h"

// Whether the user asked for high contrast; read when a pop-up opens, so a change shows at
// the next opening.
bool HighContrastOn();

// Run-time class name "CTPButton": the layout loader recognises it with dynamic_cast.
class CTPButton : public CButton {
public:
    CTPButton();
    // Called when the owning dialog object goes; stops an animation still running.
    ~CTPButton() override;

    // Subclasses the dialog item nID of pParent and gives it strip rStrip (its stream borrowed;
    // the bitmap reads from it while it lives), cut into nSliceCount slices; the button takes
    // the size of one slice and is shown. FALSE when no bitmap object can be made or the item
    // cannot be subclassed (the image is then kept but not shown). High contrast is read here,
    // as each pop-up is made: a highlighted button then has a frame of the highlight colour.
    // bSize false: neither sized nor shown, the caller places it.
    BOOL AttachImage(UINT nID, CWnd* pParent, const SkinPictureRef& rStrip, int nSliceCount, bool bSize = true);
    // The same for a stream of no store, decoded for this button.
    BOOL AttachImage(UINT nID, CWnd* pParent, IStream* pStream, int nSliceCount, bool bSize = true)
    {
        return AttachImage(nID, pParent, SkinPictureRef{ pStream }, nSliceCount, bSize);
    }
    // Another strip of 4 slices for an attached button, shown at the next repaint, size kept.
    // The stream of the still strip it shows already decodes nothing. True only when the new
    // image started an animation.
    bool ReplaceImage(const SkinPictureRef& rStrip);
    bool ReplaceImage(IStream* pStream) { return ReplaceImage(SkinPictureRef{ pStream }); }
    // The strips that follow were drawn at nPicturePct percent and are shown at nDpi: the
    // button is sized and draws at the slice's 96-dpi size scaled to nDpi.
    void SetScale(int nPicturePct, int nDpi);
    // bHighlight 1: the normal state shows the hover slice. Resets the state to normal; no repaint.
    bool SetHighlight(BYTE bHighlight);

    // Called for each WM_DRAWITEM the parent reflects to this button.
    void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) override;
    // Draws the button's look into its parent's paint, its top left at (x, y); TRUE when
    // drawn. The parent shows itself whole in one paint instead of its background first.
    BOOL DrawIntoParent(HDC hDC, int x, int y);

    // What the button shows, for its owner and for tests.
    DWORD GetPressParity() const { return m_dwPressParity; }
    int GetImageWidth() const { return m_nImageWidth; }
    int GetImageHeight() const { return m_nImageHeight; }
    int GetSliceWidth() const { return m_nSliceWidth; }
    int GetDrawWidth() const { return m_nDrawWidth; }
    int GetDrawHeight() const { return m_nDrawHeight; }
    UINT GetFrameCount() const { return m_nFrameCount; }
    bool HasImage() const { return Image() != nullptr; }

    BEGIN_MSG_MAP(CTPButton)
        ON_WM_MOUSEMOVE()
        ON_WM_MOUSEHOVER()
        ON_WM_MOUSELEAVE()
        ON_WM_LBUTTONDOWN()
        ON_WM_LBUTTONUP()
        ON_WM_ERASEBKGND()
        ON_WM_DESTROY()
        CHAIN_MSG_MAP(CButton)
    END_MSG_MAP()

protected:
    // Called for messages the map left to the system button; swallows double clicks.
    LRESULT DefWindowProc(UINT uMsg, WPARAM wParam, LPARAM lParam) override;

    void OnMouseMove(UINT nFlags, POINT point);
    void OnMouseHover(UINT nFlags, POINT point);
    void OnMouseLeave();
    void OnLButtonDown(UINT nFlags, POINT point);
    void OnLButtonUp(UINT nFlags, POINT point);
    LRESULT OnEraseBkgnd(HDC hDC);
    void OnDestroy();

private:
    // The strip drawn: the button's own, or the shared still.
    Gdiplus::GpImage* Image() const { return m_pImage ? m_pImage.Get() : m_pStill ? m_pStill->image.Get() : nullptr; }
    // The slice for the state, with the system's own press (mouse or space bar) taken in.
    BOOL DrawFace(HDC hDC, int x, int y, bool bHeldBySystem);
    // Takes rStrip as the image, from its store or decoded here; false when no bitmap object.
    bool LoadImage(const SkinPictureRef& rStrip, int nSliceCount);
    // Stops and joins the animation, then releases the image and its frame delays.
    void ReleaseImage();
    bool StartAnimation();
    void StopAnimation();
    void Invalidate();
    DWORD Animate(HANDLE hStop);

    DWORD m_dwPressParity = 0;             // flips at every left-button press
    int m_nState = TPBUTTON_NORMAL;      // 0 normal, 1 hovered, 2 pressed
    int m_nImageWidth = 0;
    int m_nImageHeight = 0;
    int m_nSliceWidth = 0;
    kfw::CGdipBitmap m_pImage;                // decoded for this button (and animated here)...
    std::shared_ptr<SkinPicture> m_pStill;    // ...or a still strip shared from the picture store
    std::vector<uint32_t> m_adwFrameDelays;   // centiseconds, one per frame; empty: no animation
    std::atomic<UINT> m_nFrameCount{ 0 };
    CRITICAL_SECTION m_csFrame{};        // the image's active frame, between drawing and animation
    BYTE m_bHighlight = 0;
    bool m_bHighContrast = false;

    // Waits on nothing but its stop, so it is joined without a bound before the image or its
    // delays go, and reads them as members.
    kfw::CThread m_animation{ L"Kova button animation", INFINITE };
    kfw::CComPtr<IStream> m_pImageStream;  // the image's own seek pointer on the borrowed stream
    IStream* m_pImageSource = nullptr;   // the borrowed stream itself: compared, never read
    int m_nSliceCount = 0;
    int m_nPicturePct = 100;
    int m_nDpi = 96;
    int m_nDrawWidth = 0;                // the slice as shown
    int m_nDrawHeight = 0;
};
