// CSkinPopup: what the two skinned pop-ups share. While one is open it owns the keyboard
// hook; it closes by itself 4 seconds after its last use unless the pointer is on it; it
// opens centred, relays the mouse to its tool tip, opens the help on F1, and can tell the
// main frame to re-read the radios. The pop-ups add only their own decisions.
#pragma once

#include <windows.h>

#include <string>

#include "framework/ToolTipCtrl.h"
#include "res/KovaNames.h"
#include "dialogs/PopupPlacement.h"
#include "framework/DpiScale.h"
#include "skin/TPButton.h"
#include "skin/TPDialog.h"

constexpr UINT_PTR ID_TIMER_AUTOCLOSE = 1;
constexpr UINT AUTOCLOSE_MS = 4000;
// Room kept clear at each side of the caption's band, in 96-dpi pixels.
constexpr float CAPTION_MARGIN = 4.0f;
// A two-line tip's wrap width (96-dpi pixels): wide enough for either line of the longest
// tip, narrow enough that its line break takes effect.
constexpr int TIP_WRAP_WIDTH = 260;

// A monitor a pop-up may open on: its work area and DPI. The finder fills rInfo and says
// true when that monitor can be had; replaceable by tests.
struct PopupMonitorInfo {
    ScreenRect rcWork;
    int nDpi;
};
using PFN_FINDPOPUPMONITOR = bool (*)(PopupMonitor eWhich, PopupMonitorInfo& rInfo);
extern PFN_FINDPOPUPMONITOR g_pfnFindPopupMonitor;

class CSkinPopup : public CTPDialog {
public:
    // pszBackground: the 1x member of the background picture; rPictures: the store its
    // pictures and caption faces come from, living as long as the pop-up.
    CSkinPopup(UINT nIDTemplate, CWnd* pParentWnd, const char* pszBackground, CSkinPictureStore& rPictures);
    ~CSkinPopup() override;

    // Called with WM_INITDIALOG: hook, close timer, the monitor and its DPI, the pop-up's own
    // OnInitPopup, the skinned base, centring in the monitor's work area. The window first
    // shows after this, at its final place.
    BOOL OnInitDialog() override;
    // Called for every message of the modal loop: feeds the tool tip, and the pointer on
    // the pop-up puts the close off.
    BOOL PreTranslateMessage(MSG* pMsg) override;

    // String uID of the program, or strMissing when it has none.
    static std::wstring LoadResString(UINT uID, std::wstring strMissing = std::wstring());
    // Where a pop-up made now would open: the foreground window's monitor, else the
    // pointer's, else the primary one. A pop-up made while a CPopupMonitorPin lives opens
    // where this said when the pin was made.
    static PopupMonitorInfo FindMonitor();

    // Ends the pop-up with nResult: tool tips off, keys given back, the window below activated.
    void CloseDialog(int nResult = IDOK);
    // The open pop-up, if any, ends without a choice (IDCANCEL); false when none is open.
    static bool CloseOpen();

    BEGIN_MSG_MAP(CSkinPopup)
        ON_WM_CREATE()
        ON_WM_TIMER()
        ON_WM_MOUSELEAVE()
        ON_WM_MOUSEMOVE()
        ON_WM_NCHITTEST()
        ON_WM_HELP()
        ON_WM_WINDOWPOSCHANGING()
        ON_WM_ERASEBKGND()
        ON_WM_PAINT()
        ON_WM_DPICHANGED()
        CHAIN_MSG_MAP(CTPDialog)
    END_MSG_MAP()

protected:
    // Called from OnInitDialog once the hook and the timer are set: read the radios and
    // lay the pop-up out.
    virtual void OnInitPopup() = 0;
    // Called after each step of the opening, with the step's name (a profiling seam).
    virtual void OnInitStep(const char* /*pszStep*/) {}
    // Called when the pop-up moved to a monitor of another DPI, after the background: give
    // the controls their images and places at GetDpi().
    virtual void OnScaleChanged() {}
    // Called when the tip is made, at the pointer's first move over the pop-up: add the tools.
    virtual void OnAddTips() {}
    // Whether the tip wraps at TIP_WRAP_WIDTH, so that a two-line text breaks at its "\n".
    virtual bool WrapsTips() const { return false; }
    // The button the keyboard focus starts on; null: the dialog's first.
    virtual HWND SelectedButton() const { return nullptr; }

    // The background pszName (1x member) at the pop-up's DPI.
    void SetBackground(const char* pszName);
    // The strip pszName (1x member) at the pop-up's DPI for a button already attached.
    void SetButtonImage(CTPButton& rButton, const char* pszName);
    CSkinPictureStore& Pictures() const { return *m_pPictures; }
    // 96-dpi pixels at the pop-up's DPI.
    int Scaled(int nValue) const { return ScaleForDpi(nValue, GetDpi()); }

    int OnCreate(LPCREATESTRUCTA lpCreateStruct);
    void OnTimer(UINT_PTR nIDEvent);
    void OnMouseLeave();
    void OnMouseMove(UINT nFlags, POINT point);
    LRESULT OnNcHitTest(POINT point);
    BOOL OnHelpInfo(HELPINFO* pHelpInfo);
    void OnWindowPosChanging(WINDOWPOS* pWindowPos);
    void FocusSelected();
    // Called by the base's OnInitDialog: centred in the monitor's work area.
    POINT InitialPlace() const override;
    LRESULT OnEraseBkgnd(HDC hDC);
    void OnPaint();
    void OnDpiChanged(UINT nDpiX, UINT nDpiY, RECT* pSuggested);

    void FocusControl(HWND hControl);
    // The tip's wrap width at GetDpi(), once it exists: the text grows with the scale, and
    // its lines must break where they do at 100 %.
    void SetTipWidth();
    void RestartAutoClose();
    void StopAutoClose();
    // Sends WM_MODE_CHANGED to the main frame, found by its class; the tray shows the new
    // state before this returns.
    static void NotifyMainFrame();

    CToolTipCtrl m_toolTip;                         // made by the pointer's first move
    std::wstring m_strTip;
    std::wstring m_strCaption;                      // drawn by OnPaint...
    std::wstring m_strCaptionFont;                  // ...in this face (empty: the default)...
    bool m_bHighContrast = false;                   // ...in the system's text colours
    const Gdiplus::PointF* m_pCaptionAt = nullptr;  // ...centred on x, top at y; null: none

private:
    bool IsPointerOver() const;

    const char* m_pszBackground;
    PopupMonitorInfo m_monitor;     // where it opens, found when it is made
    bool m_bTracking = false;       // a hover and leave report of the window is asked for
    bool m_bInitialising = false;   // OnInitDialog runs: the window must not show yet
    bool m_bRescaling = false;      // built again for a new DPI: the window stays shown
};
