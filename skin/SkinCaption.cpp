#include "skin/SkinCaption.h"

#include <cstring>
#include <new>
#include <vector>

#include "framework/Handles.h"

namespace {

// Keeps the first failure; later steps still run.
class CFirstFailure {
public:
    void operator<<(Gdiplus::GpStatus status)
    {
        if (m_status == Gdiplus::Ok)
            m_status = status;
    }
    Gdiplus::GpStatus Get() const { return m_status; }

private:
    Gdiplus::GpStatus m_status = Gdiplus::Ok;
};

// The caption in UTF-16 through the system's ANSI code page; empty when it cannot be made.
std::vector<WCHAR> ToWide(LPCSTR pszCaption)
{
    std::vector<WCHAR> text;
    const int cch = ::MultiByteToWideChar(CP_ACP, 0, pszCaption, -1, nullptr, 0);
    if (cch <= 0)
        return text;
    try
    {
        text.resize(static_cast<size_t>(cch));
    }
    catch (const std::bad_alloc&)
    {
        return text;   // no caption this time; the paint goes on
    }
    ::MultiByteToWideChar(CP_ACP, 0, pszCaption, static_cast<int>(std::strlen(pszCaption)), text.data(), cch);
    text.back() = L'\0';
    return text;
}

} // namespace

Gdiplus::GpStatus DrawSkinCaption(HDC hDC, Gdiplus::GpImage* pBackground, INT nWidth, INT nHeight,
                                  LPCSTR pszCaption, const Gdiplus::PointF* pOrigin, Gdiplus::REAL fEmSize)
{
    namespace gdip = kfw::gdip;
    CFirstFailure failure;

    // Released in reverse: path, format, brush, family, graphics.
    kfw::CGdipGraphics graphics;
    failure << gdip::GdipCreateFromHDC(hDC, graphics.Put());
    if (!graphics)
        return failure.Get();
    failure << gdip::GdipSetSmoothingMode(graphics.Get(), Gdiplus::SmoothingModeAntiAlias);
    failure << gdip::GdipDrawImageRectRectI(graphics.Get(), pBackground, 0, 0, nWidth, nHeight, 0, 0, nWidth, nHeight,
                                            Gdiplus::UnitPixel, nullptr, nullptr, nullptr);

    kfw::CGdipFontFamily family;
    failure << gdip::GdipCreateFontFamilyFromName(L"Times New Roman", nullptr, family.Put());
    kfw::CGdipSolidFill brush;
    failure << gdip::GdipCreateSolidFill(0xFFFFFFFF, brush.Put());
    kfw::CGdipStringFormat format;
    failure << gdip::GdipCreateStringFormat(0, LANG_NEUTRAL, format.Put());
    failure << gdip::GdipSetStringFormatAlign(format.Get(), Gdiplus::StringAlignmentCenter);
    kfw::CGdipPath path;
    failure << gdip::GdipCreatePath(Gdiplus::FillModeAlternate, path.Put());

    if (pOrigin && pszCaption && *pszCaption)
    {
        const std::vector<WCHAR> text = ToWide(pszCaption);
        // Width and height 0: no wrapping; centred on x, running down from y.
        const Gdiplus::RectF layout(pOrigin->X, pOrigin->Y, 0.0f, 0.0f);
        if (!text.empty())
            failure << gdip::GdipAddPathString(path.Get(), text.data(), -1, family.Get(), Gdiplus::FontStyleBold,
                                               fEmSize, &layout, format.Get());
    }
    failure << gdip::GdipFillPath(graphics.Get(), brush.Get(), path.Get());
    return failure.Get();
}

void PaintSkinCaption(HWND hWnd, Gdiplus::GpImage* pBackground, INT nWidth, INT nHeight, LPCSTR pszCaption,
                      const Gdiplus::PointF* pOrigin, Gdiplus::REAL fEmSize)
{
    kfw::CPaintDC dc(hWnd);
    DrawSkinCaption(dc.Get(), pBackground, nWidth, nHeight, pszCaption, pOrigin, fEmSize);
}
