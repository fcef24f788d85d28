// The owners give back exactly once, move their ownership, and let go on Release().
#include <gtest/gtest.h>

#include "framework/GdiPlus.h"
#include "framework/Handles.h"
#include "framework/LinkedCalls.h"
#include "support/Seam.h"

TEST(Handles, CloseOnceMoveAndRelease)
{
    HANDLE hRaw = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DWORD dwFlags = 0;
    {
        kfw::CHandle a(hRaw);
        kfw::CHandle b(std::move(a));
        EXPECT_FALSE(a);
        EXPECT_EQ(b.Get(), hRaw);
        kfw::CHandle c;
        c = std::move(b);
        EXPECT_TRUE(::GetHandleInformation(hRaw, &dwFlags));
    }
    EXPECT_FALSE(::GetHandleInformation(hRaw, &dwFlags));   // closed by c, once

    kfw::CRgnH rgn(::CreateRectRgn(0, 0, 4, 4));
    HRGN hRgn = rgn.Release();   // handed over, as to SetWindowRgn
    EXPECT_FALSE(rgn);
    EXPECT_NE(::GetObjectType(hRgn), 0u);
    ::DeleteObject(hRgn);

    kfw::CFile file;   // INVALID_HANDLE_VALUE is the empty file handle
    EXPECT_FALSE(file);
}

TEST(Handles, GdiplusObjectsAreDisposed)
{
    kfw::CGdiplusSession session;
    ASSERT_TRUE(session.IsStarted());
    kfw::CGdipBitmap bitmap;
    ASSERT_EQ(kfw::gdip::GdipCreateBitmapFromScan0(3, 2, 0, PixelFormat32bppARGB, nullptr, bitmap.Put()),
              Gdiplus::Ok);
    UINT uWidth = 0;
    EXPECT_EQ(kfw::gdip::GdipGetImageWidth(bitmap.Get(), &uWidth), Gdiplus::Ok);
    EXPECT_EQ(uWidth, 3u);
    kfw::CGdipBitmap moved(std::move(bitmap));
    EXPECT_FALSE(bitmap);
    EXPECT_TRUE(moved);
}

static Gdiplus::GpStatus WINAPI FailingGdiplusStartup(ULONG_PTR*, const Gdiplus::GdiplusStartupInput*,
                                                      Gdiplus::GdiplusStartupOutput*)
{
    return Gdiplus::GdiplusNotInitialized;
}

// GDI+ that failed to start is tried again at the next need, not given up for good.
TEST(Gdiplus, AStartThatFailedIsTriedAgain)
{
    std::optional<kfw::CGdiplusSession> session;
    {
        const kovatest::CSeam failing(kfw::g_linked.pfnGdiplusStartup, &FailingGdiplusStartup);
        EXPECT_FALSE(kfw::StartGdiplus(session));
    }
    EXPECT_TRUE(kfw::StartGdiplus(session));
    const kfw::CGdiplusSession* pStarted = &*session;
    EXPECT_TRUE(kfw::StartGdiplus(session));
    EXPECT_EQ(pStarted, &*session) << "a running GDI+ was started again";
}
