// GDI+ through its flat functions: the start-up token and owners for GDI+ objects.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <optional>

#include "framework/Handles.h"
#include "framework/LinkedCalls.h"

namespace kfw {

namespace gdip = Gdiplus::DllExports;
using Gdiplus::GpStatus;

// GdiplusStartup for the life of the object; GdiplusShutdown when it goes.
class CGdiplusSession {
public:
    CGdiplusSession() noexcept
    {
        Gdiplus::GdiplusStartupInput input;   // version 1, no callback, nothing suppressed
        m_status = g_linked.pfnGdiplusStartup(&m_token, &input, nullptr);
    }
    ~CGdiplusSession()
    {
        if (m_status == Gdiplus::Ok)
            Gdiplus::GdiplusShutdown(m_token);
    }
    CGdiplusSession(const CGdiplusSession&) = delete;
    CGdiplusSession& operator=(const CGdiplusSession&) = delete;

    bool IsStarted() const noexcept { return m_status == Gdiplus::Ok; }
    GpStatus Status() const noexcept { return m_status; }

private:
    ULONG_PTR m_token = 0;
    GpStatus m_status = Gdiplus::GdiplusNotInitialized;
};

// Starts GDI+ for rSession unless it runs; one that failed to start is tried again, not
// given up for the life of the process. True when it runs.
inline bool StartGdiplus(std::optional<CGdiplusSession>& rSession)
{
    if (rSession && rSession->IsStarted())
        return true;
    rSession.reset();
    return rSession.emplace().IsStarted();
}

// Owner of one GDI+ object, released with its Free function.
template <class T, auto Free>
using CGdipObject = UniqueHandle<NullHandleTraits<T*, Free>>;

using CGdipImage    = CGdipObject<Gdiplus::GpImage, &gdip::GdipDisposeImage>;
using CGdipBitmap   = CGdipObject<Gdiplus::GpBitmap, &gdip::GdipDisposeImage>;
using CGdipGraphics = CGdipObject<Gdiplus::GpGraphics, &gdip::GdipDeleteGraphics>;
using CGdipPath     = CGdipObject<Gdiplus::GpPath, &gdip::GdipDeletePath>;
using CGdipBrush    = CGdipObject<Gdiplus::GpBrush, &gdip::GdipDeleteBrush>;
using CGdipSolidFill = CGdipObject<Gdiplus::GpSolidFill, &gdip::GdipDeleteBrush>;
using CGdipPen      = CGdipObject<Gdiplus::GpPen, &gdip::GdipDeletePen>;
using CGdipFontFamily = CGdipObject<Gdiplus::GpFontFamily, &gdip::GdipDeleteFontFamily>;
using CGdipStringFormat = CGdipObject<Gdiplus::GpStringFormat, &gdip::GdipDeleteStringFormat>;

// The one release function that takes the object's address.
inline GpStatus WINAPI DeletePrivateFontCollection(Gdiplus::GpFontCollection* pCollection)
{
    return gdip::GdipDeletePrivateFontCollection(&pCollection);
}
using CGdipPrivateFonts = CGdipObject<Gdiplus::GpFontCollection, &DeletePrivateFontCollection>;

} // namespace kfw
