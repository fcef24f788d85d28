#include "bench/micro/MicroPieces.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>

#include "dialogs/KovaDlg.h"
#include "dialogs/ModeSelection.h"
#include "dialogs/ScanHook.h"
#include "dialogs/SwitchOffDlg.h"
#include "radio/SystemController.h"
#include "res/resource.h"
#include "skin/RegionRuns.h"
#include "skin/SkinCaption.h"
#include "skin/TPButton.h"
#include "skin/TPDialog.h"
#include "support/Canvas.h"
#include "tools/emsc/EmscDev.h"

namespace {

// The context's store, while one is open: the pieces ask it as the pop-ups do.
CSkinPictureStore* g_pPictures = nullptr;

const SkinArchiveEntry* FindMember(const char* pszName)
{
    const SkinArchive* pArchive = g_pPictures ? g_pPictures->GetArchive() : nullptr;
    return pArchive ? FindSkinEntry(*pArchive, pszName) : nullptr;
}

// Member pszName as drawn, filed in the store under its name.
SkinPictureRef StoredMember(const char* pszName)
{
    const SkinArchive* pArchive = g_pPictures ? g_pPictures->GetArchive() : nullptr;
    SkinPictureRef picture(pArchive ? GetSkinStream(*pArchive, pszName) : nullptr);
    if (picture.pStream)
    {
        picture.pStore = g_pPictures;
        picture.strName = pszName;
    }
    return picture;
}

const char kButtonStrip[] = "image/4wifiandbt.bmp";    // "both on", the widest strip
const char kButtonStripOff[] = "image/4alloff.bmp";     // its grey counterpart

// Where the pop-ups put their captions: the mode pop-up's three-button status line, and
// the notice's caption.
const Gdiplus::PointF kCaptionAtThree(CAPTION_AT_THREE.x, CAPTION_AT_THREE.y);
const Gdiplus::PointF kCaptionAtNotice(CAPTION_AT_ONE.x, CAPTION_AT_ONE.y);

// A pop-up that has not shown and painted by then has hung; it is ended and the piece fails.
constexpr UINT kPopupTimeoutMs = 10000;
constexpr UINT_PTR kPopupTimeoutTimer = 0x4B4D;
constexpr UINT kMsgShown = WM_APP + 0x3A1;
constexpr int kPopupTimedOut = -2;

bool RequireMember(const char* pszName, std::string& rstrError)
{
    const SkinArchiveEntry* pEntry = FindMember(pszName);
    if (pEntry && pEntry->pStream)
        return true;
    rstrError = std::string("the skin archive has no member \"") + pszName + "\"";
    return false;
}

bool LoadResText(UINT uID, std::wstring& rstr, std::string& rstrError)
{
    wchar_t sz[512] = L"";
    const int cch = ::LoadStringW(::GetModuleHandleA(nullptr), uID, sz, 512);
    if (cch <= 0)
    {
        rstrError = "string " + std::to_string(uID) + " is missing from the resources";
        return false;
    }
    rstr.assign(sz, static_cast<size_t>(cch));
    return true;
}

// Filled with a colour no skin picture draws: whether anything was drawn at all.
constexpr uint32_t kFill = 0x00FF00FF;
bool IsTouched(const kovatest::CCanvas& canvas) { return canvas.ChangedFrom(kFill).cChanged > 0; }

struct WindowDestroyer {
    void operator()(HWND hWnd) const { ::DestroyWindow(hWnd); }
};
using CWindowOwner = std::unique_ptr<std::remove_pointer_t<HWND>, WindowDestroyer>;

// A background from the store: as drawn, or (bShown) at the display's DPI, chosen and scaled
// as a pop-up does.
class CShownBackground : public CTPDialog {
public:
    CShownBackground(const char* pszMember, bool bShown) : CTPDialog(IDD_KOVA_DIALOG, nullptr, nullptr, g_pPictures)
    {
        if (bShown)
        {
            kfw::CWindowDC dc(nullptr);
            SetDpi(dc.Get() ? ::GetDeviceCaps(dc.Get(), LOGPIXELSX) : 96);
        }
        LoadBackground(bShown ? g_pPictures->FindPicture(pszMember, GetDpi()) : StoredMember(pszMember));
    }
};

// A pop-up's background as the pop-up holds it: decoded by CTPDialog from the archive, as
// drawn or (bShown) at the display's DPI.
struct PopupBackground {
    std::unique_ptr<CTPDialog> dialog;

    bool Load(const char* pszMember, std::string& rstrError, bool bShown = false)
    {
        if (!RequireMember(pszMember, rstrError))
            return false;
        dialog = std::make_unique<CShownBackground>(pszMember, bShown);
        if (dialog->GetBackgroundWidth() > 0 && dialog->GetBackgroundHeight() > 0)
            return true;
        rstrError = std::string("\"") + pszMember + "\" does not decode";
        dialog.reset();
        return false;
    }
    Gdiplus::GpImage* Image() const { return dialog->GetBackground(); }
    int Width() const { return dialog->GetBackgroundWidth(); }
    int Height() const { return dialog->GetBackgroundHeight(); }
};

// --- start-up ---------------------------------------------------------------------------------

MicroPiece ArchiveLoadPiece()
{
    MicroPiece piece;
    piece.strName = "archive_load";
    piece.fnRep = [](CRepTimer& rTimer, std::string& rstrError) {
        const HINSTANCE hInstance = ::GetModuleHandleA(nullptr);
        SkinArchive table;
        BOOL bLoaded = FALSE;
        // As the application does at start-up: the resource stays in the module image,
        // the table copies each member out of it.
        rTimer.Start();
        if (HRSRC hRes = ::FindResourceA(hInstance, MAKEINTRESOURCEA(IDR_SKIN_TAR), "tar"))
        {
            HGLOBAL hData = ::LoadResource(hInstance, hRes);
            if (const void* pData = hData ? ::LockResource(hData) : nullptr)
            {
                SkinArchive archive;
                bLoaded = LoadSkinArchive(archive, pData, ::SizeofResource(hInstance, hRes));
                table = std::move(archive);
            }
        }
        rTimer.Stop();
        const SkinArchiveEntry* pEntry = FindSkinEntry(table, SKIN_BACKGROUND_THREE);
        const bool bOk = bLoaded && pEntry && pEntry->cbBytes > 0;
        if (!bOk)
            rstrError = "the skin archive (resource 149 \"tar\") did not load whole";
        ReleaseSkinArchive(table);
        return bOk;
    };
    return piece;
}

// --- the parts of a pop-up ----------------------------------------------------------------------

MicroPiece DecodePiece(const char* pszName, const char* pszMember)
{
    MicroPiece piece;
    piece.strName = pszName;
    piece.fnSetUp = [pszMember](std::string& rstrError) { return RequireMember(pszMember, rstrError); };
    piece.fnRep = [pszMember](CRepTimer& rTimer, std::string& rstrError) {
        // The pop-ups' constructors: stream from the table, picture decoded by CTPDialog.
        std::optional<CShownBackground> dialog;
        rTimer.Start();
        dialog.emplace(pszMember, false);
        rTimer.Stop();
        if (dialog->GetBackgroundWidth() > 0)
            return true;
        rstrError = std::string("\"") + pszMember + "\" does not decode";
        return false;
    };
    return piece;
}

struct RegionState {
    PopupBackground background;
    kfw::CRgnH hReference;   // CreateRegionFromImage's outline, made once

    bool SetUp(const char* pszMember, std::string& rstrError, bool bShown = false)
    {
        if (!background.Load(pszMember, rstrError, bShown))
            return false;
        hReference = CTPDialog::CreateRegionFromImage(background.Image(), 0);
        if (hReference)
            return true;
        rstrError = std::string("no outline can be made from \"") + pszMember + "\"";
        return false;
    }
    void TearDown()
    {
        hReference.Reset();
        background.dialog.reset();
    }
};

void AddRegionPieces(std::vector<MicroPiece>& rPieces, const std::string& strBackground, const char* pszMember)
{
    auto state = std::make_shared<RegionState>();
    auto setUp = [state, pszMember](std::string& rstrError) { return state->SetUp(pszMember, rstrError); };
    auto tearDown = [state] { state->TearDown(); };

    // The whole outline as the pop-ups make it (the bits locked once).
    MicroPiece whole;
    whole.strName = "region_" + strBackground;
    whole.fnSetUp = setUp;
    whole.fnTearDown = tearDown;
    whole.fnRep = [state](CRepTimer& rTimer, std::string& rstrError) {
        rTimer.Start();
        kfw::CRgnH hRgn = CTPDialog::CreateRegionFromImage(state->background.Image(), 0);
        rTimer.Stop();
        if (hRgn && ::EqualRgn(hRgn.Get(), state->hReference.Get()))
            return true;
        rstrError = "the outline differs from the first one made";
        return false;
    };
    rPieces.push_back(whole);

    // The same steps with the alpha read pixel by pixel, as CreateRegionFromImage does when
    // the bits cannot be locked; each step is also a stage of its own.
    MicroPiece perPixel;
    perPixel.strName = "region_" + strBackground + "_perpixel";
    perPixel.fnSetUp = setUp;
    perPixel.fnTearDown = tearDown;
    perPixel.fnRep = [state](CRepTimer& rTimer, std::string& rstrError) {
        std::vector<uint8_t> alpha;
        UINT uWidth = 0, uHeight = 0;
        rTimer.Start();
        const int64_t t0 = CRepTimer::Now();
        ReadImageAlphaPerPixel(state->background.Image(), alpha, uWidth, uHeight);
        const int64_t t1 = CRepTimer::Now();
        const CRegionData data = CollectAlphaRuns(alpha.data(), static_cast<int32_t>(uWidth),
                                                  static_cast<int32_t>(uHeight), uWidth, 0);
        const int64_t t2 = CRepTimer::Now();
        kfw::CRgnH hRgn;
        if (data.IsValid())
            hRgn.Reset(::ExtCreateRegion(nullptr, data.Size(), static_cast<const RGNDATA*>(data.Data())));
        const int64_t t3 = CRepTimer::Now();
        rTimer.Stop();
        rTimer.Stage("alpha", t0, t1);
        rTimer.Stage("runs", t1, t2);
        rTimer.Stage("extcreateregion", t2, t3);
        if (hRgn && ::EqualRgn(hRgn.Get(), state->hReference.Get()))
            return true;
        rstrError = "reading pixel by pixel gives another outline than locking the bits";
        return false;
    };
    rPieces.push_back(perPixel);

    // The locked read on its own: with the two stages above it makes up the whole outline.
    MicroPiece locked;
    locked.strName = "alpha_" + strBackground + "_locked";
    locked.fnSetUp = setUp;
    locked.fnTearDown = tearDown;
    locked.fnRep = [state](CRepTimer& rTimer, std::string& rstrError) {
        std::vector<uint8_t> alpha;
        UINT uWidth = 0, uHeight = 0;
        rTimer.Start();
        const bool bRead = ReadImageAlphaLocked(state->background.Image(), alpha, uWidth, uHeight);
        rTimer.Stop();
        if (bRead && uWidth == static_cast<UINT>(state->background.Width()))
            return true;
        rstrError = "the bits of the background cannot be locked";
        return false;
    };
    rPieces.push_back(locked);
}

// pOrigin null: the background alone, as DrawSkinCaption draws it without a caption.
MicroPiece CaptionPiece(const char* pszName, const char* pszMember, UINT uCaptionId, const Gdiplus::PointF* pOrigin)
{
    struct State {
        PopupBackground background;
        std::wstring strCaption;
    };
    auto state = std::make_shared<State>();
    MicroPiece piece;
    piece.strName = pszName;
    piece.fnSetUp = [state, pszMember, uCaptionId](std::string& rstrError) {
        return state->background.Load(pszMember, rstrError) && LoadResText(uCaptionId, state->strCaption, rstrError);
    };
    piece.fnTearDown = [state] { state->background.dialog.reset(); };
    piece.fnRep = [state, pOrigin](CRepTimer& rTimer, std::string& rstrError) {
        const PopupBackground& bg = state->background;
        kovatest::CCanvas canvas(bg.Width(), bg.Height(), kFill);
        if (!canvas.IsValid())
        {
            rstrError = "no memory DC";
            return false;
        }
        // PaintSkinCaption's work without BeginPaint: background, then the caption's path.
        rTimer.Start();
        const Gdiplus::GpStatus status =
            DrawSkinCaption(canvas.DC(), bg.Image(), bg.Width(), bg.Height(), state->strCaption.c_str(), pOrigin);
        rTimer.Stop();
        if (status == Gdiplus::Ok && IsTouched(canvas))
            return true;
        rstrError = "DrawSkinCaption failed, GDI+ status " + std::to_string(static_cast<int>(status));
        if (status == Gdiplus::FontFamilyNotFound)
            rstrError += " (no \"Times New Roman\": the Wine prefix needs its font replacement)";
        return false;
    };
    return piece;
}

// The caption's font family, which DrawSkinCaption looks up at every paint.
MicroPiece FontFamilyPiece()
{
    MicroPiece piece;
    piece.strName = "caption_font_family";
    piece.fnRep = [](CRepTimer& rTimer, std::string& rstrError) {
        kfw::CGdipFontFamily family;
        rTimer.Start();
        const Gdiplus::GpStatus status =
            kfw::gdip::GdipCreateFontFamilyFromName(L"Times New Roman", nullptr, family.Put());
        rTimer.Stop();
        if (status == Gdiplus::Ok)
            return true;
        rstrError = "no \"Times New Roman\" (GDI+ status " + std::to_string(static_cast<int>(status)) + ")";
        return false;
    };
    return piece;
}

// A hidden window with one owner-drawn button skinned as the pop-ups skin theirs.
struct ButtonFixture {
    CWnd parent;
    CTPButton button;

    bool Create(std::string& rstrError)
    {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = ::DefWindowProcA;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.lpszClassName = "KovaMicroButtonParent";
        ::RegisterClassA(&wc);   // already there from an earlier run of the piece: fine
        if (!parent.CreateEx(0, wc.lpszClassName, "", WS_POPUP, 0, 0, 300, 100, nullptr, nullptr) ||
            !::CreateWindowExA(0, "BUTTON", "", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, 0, 0, 10, 10, parent.m_hWnd,
                               reinterpret_cast<HMENU>(static_cast<UINT_PTR>(IDC_BTN_BOTH)), wc.hInstance, nullptr))
        {
            rstrError = "the button's window cannot be created";
            return false;
        }
        if (!button.AttachImage(IDC_BTN_BOTH, &parent, StoredMember(kButtonStrip), 4) || button.GetSliceWidth() <= 0)
        {
            rstrError = std::string("\"") + kButtonStrip + "\" cannot be attached to the button";
            return false;
        }
        // The selected entry of a freshly opened pop-up shows its highlight slice.
        button.SetHighlight(1);
        return true;
    }
    ~ButtonFixture()
    {
        if (parent.m_hWnd)
            parent.DestroyWindow();
    }
};

using ButtonFixtureSlot = std::shared_ptr<std::optional<ButtonFixture>>;

MicroPiece ButtonPiece(const char* pszName, const ButtonFixtureSlot& fixture)
{
    MicroPiece piece;
    piece.strName = pszName;
    piece.fnSetUp = [fixture](std::string& rstrError) {
        if (!RequireMember(kButtonStrip, rstrError))
            return false;
        fixture->emplace();
        return (*fixture)->Create(rstrError);
    };
    piece.fnTearDown = [fixture] { fixture->reset(); };
    return piece;
}

MicroPiece ButtonDrawPiece()
{
    auto fixture = std::make_shared<std::optional<ButtonFixture>>();
    MicroPiece piece = ButtonPiece("button_draw", fixture);
    piece.fnRep = [fixture](CRepTimer& rTimer, std::string& rstrError) {
        CTPButton& button = (*fixture)->button;
        const int cx = button.GetSliceWidth(), cy = button.GetImageHeight();
        kovatest::CCanvas canvas(cx, cy, kFill);
        if (!canvas.IsValid())
        {
            rstrError = "no memory DC";
            return false;
        }
        // What the dialog reflects to the button when the system asks it to draw.
        DRAWITEMSTRUCT dis = {};
        dis.CtlType = ODT_BUTTON;
        dis.CtlID = IDC_BTN_BOTH;
        dis.itemAction = ODA_DRAWENTIRE;
        dis.hwndItem = button.m_hWnd;
        dis.hDC = canvas.DC();
        dis.rcItem = RECT{ 0, 0, cx, cy };
        rTimer.Start();
        button.DrawItem(&dis);
        rTimer.Stop();
        if (IsTouched(canvas))
            return true;
        rstrError = "the button drew nothing";
        return false;
    };
    return piece;
}

// A new strip for an attached button, as the mode pop-up gives each button at opening and at
// every arrow key in the three-button layout: the strip decoded from the archive again.
MicroPiece ButtonImagePiece()
{
    auto fixture = std::make_shared<std::optional<ButtonFixture>>();
    MicroPiece piece = ButtonPiece("button_image_replace", fixture);
    // The strip a button already shows is kept as it is: alternate two, so each call decodes.
    auto bOff = std::make_shared<bool>(false);
    piece.fnRep = [fixture, bOff](CRepTimer& rTimer, std::string& rstrError) {
        CTPButton& button = (*fixture)->button;
        *bOff = !*bOff;
        const char* pszStrip = *bOff ? kButtonStripOff : kButtonStrip;
        rTimer.Start();
        button.ReplaceImage(StoredMember(pszStrip));
        rTimer.Stop();
        if (button.HasImage() && button.GetImageWidth() > 0)
            return true;
        rstrError = std::string("\"") + pszStrip + "\" does not decode";
        return false;
    };
    return piece;
}

// No Kova code: a plain pop-up window of a pop-up's size at the display's DPI created, cut to
// the real outline, shown, painted black and destroyed. What the window system itself costs here.
MicroPiece WindowFloorPiece(const char* pszName, const char* pszBackground)
{
    auto state = std::make_shared<RegionState>();
    MicroPiece piece;
    piece.strName = pszName;
    piece.fnSetUp = [state, pszBackground](std::string& rstrError) { return state->SetUp(pszBackground, rstrError, true); };
    piece.fnTearDown = [state] { state->TearDown(); };
    piece.fnRep = [state](CRepTimer& rTimer, std::string& rstrError) {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = ::DefWindowProcA;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.hbrBackground = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
        wc.lpszClassName = "KovaMicroFloor";
        ::RegisterClassA(&wc);
        const int cx = state->background.Width(), cy = state->background.Height();
        kfw::CRgnH hRgn(::CreateRectRgn(0, 0, 0, 0));
        ::CombineRgn(hRgn.Get(), state->hReference.Get(), nullptr, RGN_COPY);

        const int64_t t0 = CRepTimer::Now();
        CWindowOwner window(::CreateWindowExA(WS_EX_TOPMOST, wc.lpszClassName, "", WS_POPUP, 300, 200, cx, cy,
                                              nullptr, nullptr, wc.hInstance, nullptr));
        const HWND hWnd = window.get();
        const int64_t t1 = CRepTimer::Now();
        if (hWnd && ::SetWindowRgn(hWnd, hRgn.Get(), TRUE))
            hRgn.Release();   // the window's now
        const int64_t t2 = CRepTimer::Now();
        if (hWnd)
            ::ShowWindow(hWnd, SW_SHOWNORMAL);
        const int64_t t3 = CRepTimer::Now();
        if (hWnd)
            ::UpdateWindow(hWnd);
        const int64_t t4 = CRepTimer::Now();
        const bool bShown = hWnd && ::IsWindowVisible(hWnd);
        window.reset();
        const int64_t t5 = CRepTimer::Now();
        if (!bShown)
        {
            rstrError = "a plain window could not be created and shown";
            return false;
        }
        rTimer.SetSpan(t0, t4);
        rTimer.Stage("create", t0, t1);
        rTimer.Stage("set_region", t1, t2);
        rTimer.Stage("show", t2, t3);
        rTimer.Stage("paint", t3, t4);
        rTimer.Stage("destroy", t4, t5);
        return true;
    };
    return piece;
}

MicroPiece RadioReadPiece(CMicroContext& rContext)
{
    MicroPiece piece;
    piece.strName = "radio_status_read";
    piece.fnSetUp = [&rContext](std::string& rstrError) {
        if (rContext.SetRadioStatus(MICRO_STATUS_BOTH_ON))
            return true;
        rstrError = "the status byte cannot be set";
        return false;
    };
    piece.fnRep = [](CRepTimer& rTimer, std::string& rstrError) {
        SystemController controller;
        // The pop-up's own read at opening: one request, then the flags.
        rTimer.Start();
        controller.QueryWsBlStatus();
        const bool bAll = controller.IsKillSwitchOn() && controller.IsWirelessExist() &&
                          controller.IsBluetoothExist() && controller.IsWirelessOn() && controller.IsBluetoothOn();
        rTimer.Stop();
        if (bAll)
            return true;
        rstrError = "the radios do not read as set (0x1F)";
        return false;
    };
    return piece;
}

// --- whole pop-ups ------------------------------------------------------------------------------

struct PopupStamps {
    int64_t tInitBegin = 0;
    int64_t tInitEnd = 0;
    int64_t tShown = 0;
    int64_t tPainted = 0;
    int nPaints = 0;       // WM_PAINT of the dialog
    int nButtonsPainted = 0;   // shown buttons with nothing left to paint
    bool bVisible = false;
};

// The real pop-up, noting when it initialises, shows and has painted. Once the modal loop
// runs (the window is then shown), it paints everything pending at once and ends.
template <class TDialog>
class CPopupProbe : public TDialog {
public:
    CPopupProbe(PopupStamps& rStamps, CSkinPictureStore& rPictures) : TDialog(nullptr, rPictures), m_rStamps(rStamps) {}

    BOOL OnInitDialog() override
    {
        m_rStamps.tInitBegin = CRepTimer::Now();
        const BOOL bResult = TDialog::OnInitDialog();
        m_rStamps.tInitEnd = CRepTimer::Now();
        // FALSE may only mean that the pop-up set its own focus; one that ended itself
        // returns from DoModal before these come.
        ::SetTimer(this->m_hWnd, kPopupTimeoutTimer, kPopupTimeoutMs, nullptr);
        ::PostMessageA(this->m_hWnd, kMsgShown, 0, 0);
        return bResult;
    }

    BEGIN_MSG_MAP(CPopupProbe)
        ON_MESSAGE(kMsgShown, OnShown)
        if (uMsg == WM_TIMER && wParam == kPopupTimeoutTimer)
        {
            this->EndDialog(kPopupTimedOut);
            lResult = 0;
            return TRUE;
        }
        CHAIN_MSG_MAP(TDialog)
    END_MSG_MAP()

protected:
    LRESULT WindowProc(UINT uMsg, WPARAM wParam, LPARAM lParam) override
    {
        if (uMsg == WM_PAINT)
            ++m_rStamps.nPaints;
        return TDialog::WindowProc(uMsg, wParam, lParam);
    }

private:
    LRESULT OnShown(WPARAM, LPARAM)
    {
        m_rStamps.tShown = CRepTimer::Now();
        m_rStamps.bVisible = ::IsWindowVisible(this->m_hWnd) != FALSE;
        ::RedrawWindow(this->m_hWnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        m_rStamps.tPainted = CRepTimer::Now();
        // Painted by the dialog's own paint or by themselves: either way none is left over.
        for (HWND hChild = ::GetWindow(this->m_hWnd, GW_CHILD); hChild; hChild = ::GetWindow(hChild, GW_HWNDNEXT))
            m_rStamps.nButtonsPainted += ::IsWindowVisible(hChild) && !::GetUpdateRect(hChild, nullptr, FALSE);
        ::KillTimer(this->m_hWnd, kPopupTimeoutTimer);
        this->EndDialog(IDOK);
        return 0;
    }

    PopupStamps& m_rStamps;
};

template <class TDialog>
MicroPiece PopupPiece(CMicroContext& rContext, const char* pszName, BYTE byStatus, int nButtons,
                      std::vector<const char*> members)
{
    MicroPiece piece;
    piece.strName = pszName;
    // Without a member the pop-up would still show, only emptier: check them first.
    piece.fnSetUp = [&rContext, byStatus, members](std::string& rstrError) {
        for (const char* pszMember : members)
        {
            if (!RequireMember(pszMember, rstrError))
                return false;
        }
        if (rContext.SetRadioStatus(byStatus))
            return true;
        rstrError = "the status byte cannot be set";
        return false;
    };
    piece.fnRep = [&rContext, nButtons](CRepTimer& rTimer, std::string& rstrError) {
        PopupStamps stamps;
        std::optional<CPopupProbe<TDialog>> dialog;
        // As the main frame runs a pop-up: constructed (the background decoded), run
        // modally, destroyed when it closes.
        const int64_t tStart = CRepTimer::Now();
        dialog.emplace(stamps, rContext.Pictures());
        const int64_t tBuilt = CRepTimer::Now();
        const INT_PTR nResult = dialog->DoModal();
        // Closing by a key would give the hook back; ending it from outside does not.
        ScanHook().Remove();
        dialog.reset();
        const int64_t tGone = CRepTimer::Now();

        if (nResult != IDOK)
        {
            rstrError = nResult == kPopupTimedOut
                ? "the pop-up did not show and paint within " + std::to_string(kPopupTimeoutMs) + " ms"
                : "the pop-up could not be created or ended itself while initialising (" +
                      std::to_string(static_cast<long long>(nResult)) + ")";
            return false;
        }
        if (!stamps.bVisible || stamps.nPaints < 1 || stamps.nButtonsPainted < nButtons)
        {
            rstrError = "the pop-up was " + std::string(stamps.bVisible ? "" : "not ") + "visible, painted " +
                        std::to_string(stamps.nPaints) + " time(s) with " + std::to_string(stamps.nButtonsPainted) +
                        " button(s) painted; wanted at least 1 and " + std::to_string(nButtons);
            return false;
        }
        rTimer.SetSpan(tStart, stamps.tPainted);
        rTimer.Stage("construct", tStart, tBuilt);
        rTimer.Stage("create", tBuilt, stamps.tInitBegin);
        rTimer.Stage("init", stamps.tInitBegin, stamps.tInitEnd);
        rTimer.Stage("show", stamps.tInitEnd, stamps.tShown);
        rTimer.Stage("paint", stamps.tShown, stamps.tPainted);
        rTimer.Stage("close", stamps.tPainted, tGone);
        return true;
    };
    return piece;
}

} // namespace

CMicroContext::~CMicroContext()
{
    g_pPictures = nullptr;
    m_pictures.Clear();
    ReleaseSkinArchive(m_archive);
    m_emsc.Unload();
    if (!m_strStateFile.empty())
    {
        ::SetEnvironmentVariableA(EMSCDEV_STATE_ENV, nullptr);
        ::DeleteFileA(m_strStateFile.c_str());
    }
}

bool CMicroContext::Open(std::string& rstrError)
{
    if (!m_gdiplus.IsStarted())
    {
        rstrError = "GDI+ did not start (status " + std::to_string(static_cast<int>(m_gdiplus.Status())) + ")";
        return false;
    }
    if (!LoadSkinArchive(m_archive, ::GetModuleHandleA(nullptr)))
    {
        rstrError = "the skin archive (resource 149 \"tar\") cannot be loaded from this program";
        return false;
    }
    m_pictures.SetArchive(&m_archive);
    g_pPictures = &m_pictures;

    // A status file of our own, named before the library is loaded: it reads the name from
    // the environment on every call.
    char szFolder[MAX_PATH] = "";
    char szFile[MAX_PATH] = "";
    if (!::GetTempPathA(MAX_PATH, szFolder) || !::GetTempFileNameA(szFolder, "kmb", 0, szFile))
    {
        rstrError = "no temporary file for the radio status";
        return false;
    }
    m_strStateFile = szFile;
    ::SetEnvironmentVariableA(EMSCDEV_STATE_ENV, szFile);
    const EmscLoad eLoad = m_emsc.Load();
    if (eLoad != EmscLoad::Loaded)
    {
        rstrError = eLoad == EmscLoad::NotFound
                        ? "EMSC.dll is not beside this program (build the development library, emsc_cdecl)"
                        : "EMSC.dll has no EMSCEvaluate entry point";
        return false;
    }
    if (!SetRadioStatus(MICRO_STATUS_BOTH_ON))
    {
        rstrError = "EMSC.dll beside this program is not the development library, or its status file cannot be written";
        return false;
    }
    return true;
}

bool CMicroContext::SetRadioStatus(BYTE byStatus)
{
    FARPROC pfn = m_emsc.Module() ? ::GetProcAddress(m_emsc.Module(), EMSCDEV_SETSTATUS) : nullptr;
    auto pfnSet = reinterpret_cast<PFN_EMSCDEVSETSTATUS>(reinterpret_cast<void (*)()>(pfn));
    return pfnSet && pfnSet(byStatus) == 1;
}

std::string MicroPlainWindowOf(const std::string& strPiece)
{
    if (strPiece == "popup_mode_three")
        return "window_floor";
    return strPiece == "popup_mode_one" || strPiece == "popup_notice" ? "window_floor_one" : "";
}

std::vector<MicroPiece> MakeMicroPieces(CMicroContext& rContext)
{
    std::vector<MicroPiece> pieces;
    pieces.push_back(ArchiveLoadPiece());
    pieces.push_back(DecodePiece("background_decode_three", SKIN_BACKGROUND_THREE));
    pieces.push_back(DecodePiece("background_decode_one", SKIN_BACKGROUND_ONE));
    AddRegionPieces(pieces, "three", SKIN_BACKGROUND_THREE);
    AddRegionPieces(pieces, "one", SKIN_BACKGROUND_ONE);
    pieces.push_back(CaptionPiece("caption_three", SKIN_BACKGROUND_THREE, IDS_CURRENT_BOTH, &kCaptionAtThree));
    pieces.push_back(CaptionPiece("caption_three_background_only", SKIN_BACKGROUND_THREE, IDS_CURRENT_BOTH, nullptr));
    pieces.push_back(FontFamilyPiece());
    pieces.push_back(CaptionPiece("caption_notice", SKIN_BACKGROUND_ONE, IDS_OFF_BOTH, &kCaptionAtNotice));
    pieces.push_back(ButtonDrawPiece());
    pieces.push_back(ButtonImagePiece());
    pieces.push_back(RadioReadPiece(rContext));
    pieces.push_back(WindowFloorPiece("window_floor", SKIN_BACKGROUND_THREE));
    pieces.push_back(WindowFloorPiece("window_floor_one", SKIN_BACKGROUND_ONE));
    const std::vector<const char*> modeMembers = { SKIN_BACKGROUND_THREE, SKIN_BACKGROUND_ONE, "image/kon_main.txt",
                                                   "image/kon_main.pos.txt", kButtonStrip, "image/4wifi_off.bmp",
                                                   "image/4bluetooth_off.bmp", "image/4bluetooth.bmp" };
    pieces.push_back(PopupPiece<CKovaDlg>(rContext, "popup_mode_three", MICRO_STATUS_BOTH_ON, 3,
                                          modeMembers));
    pieces.push_back(PopupPiece<CKovaDlg>(rContext, "popup_mode_one", MICRO_STATUS_BT_ONLY, 1,
                                          modeMembers));
    pieces.push_back(ModeStepsPiece(rContext));
    pieces.push_back(PopupPiece<CSwitchOffDlg>(rContext, "popup_notice", MICRO_STATUS_SWITCH_OFF, 1,
                                               { SKIN_BACKGROUND_ONE, "image/nall_main.txt", "image/koff_main.pos.txt" }));
    return pieces;
}
