// A top-down 32-bit DIB selected into a memory DC, filled with one colour: what a paint
// drew, read back pixel by pixel without the screen.
#pragma once

#include <windows.h>

#include <algorithm>
#include <climits>
#include <cstdint>

#include "framework/Handles.h"

namespace kovatest {

class CCanvas {
public:
    // rgbFill as the DIB holds it (0x00RRGGBB).
    CCanvas(int nWidth, int nHeight, uint32_t rgbFill) : m_nWidth(nWidth), m_nHeight(nHeight)
    {
        BITMAPINFO bmi = {};
        bmi.bmiHeader = { sizeof(BITMAPINFOHEADER), nWidth, -nHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0 };
        m_hBitmap.Reset(::CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, reinterpret_cast<void**>(&m_pBits), nullptr, 0));
        m_hDC.Reset(::CreateCompatibleDC(nullptr));
        if (!m_pBits || !m_hDC)
            return;
        m_hOld = ::SelectObject(m_hDC.Get(), m_hBitmap.Get());
        std::fill_n(m_pBits, nWidth * nHeight, rgbFill);
    }
    ~CCanvas()
    {
        if (m_hOld)
            ::SelectObject(m_hDC.Get(), m_hOld);
    }
    CCanvas(const CCanvas&) = delete;
    CCanvas& operator=(const CCanvas&) = delete;

    bool IsValid() const { return m_hOld != nullptr; }
    HDC DC() const { return m_hDC.Get(); }
    HBITMAP Bitmap() const { return m_hBitmap.Get(); }
    // 0x00RRGGBB, after what GDI still holds is drawn.
    uint32_t At(int x, int y) const
    {
        ::GdiFlush();
        return m_pBits[y * m_nWidth + x] & 0xFFFFFF;
    }

    // How many pixels differ from r's (same size).
    int CountDiffering(const CCanvas& r) const
    {
        int cDiffer = 0;
        for (int y = 0; y < m_nHeight; ++y)
            for (int x = 0; x < m_nWidth; ++x)
                cDiffer += At(x, y) != r.At(x, y);
        return cDiffer;
    }

    // The box of the pixels that are not rgb, and how many there are.
    struct Changes {
        int nLeft = INT_MAX, nTop = INT_MAX, nRight = -1, nBottom = -1;
        int cChanged = 0, cWhite = 0, cBlended = 0, cOffLine = 0;
    };
    // White pixels, and blends of white over rgb, are counted apart.
    Changes ChangedFrom(uint32_t rgb) const
    {
        ::GdiFlush();
        Changes ch;
        for (int y = 0; y < m_nHeight; ++y)
            for (int x = 0; x < m_nWidth; ++x)
            {
                const uint32_t px = m_pBits[y * m_nWidth + x] & 0xFFFFFF;
                if (px == rgb)
                    continue;
                ++ch.cChanged;
                ch.nLeft = std::min(ch.nLeft, x);
                ch.nTop = std::min(ch.nTop, y);
                ch.nRight = std::max(ch.nRight, x + 1);
                ch.nBottom = std::max(ch.nBottom, y + 1);
                if (px == 0xFFFFFF)
                    ++ch.cWhite;
                else
                    ++ch.cBlended;
                // White over the picture blends every channel up from the picture's.
                for (int shift : { 0, 8, 16 })
                    if (((px >> shift) & 0xFF) < ((rgb >> shift) & 0xFF))
                        ++ch.cOffLine;
            }
        return ch;
    }

private:
    int m_nWidth, m_nHeight;
    uint32_t* m_pBits = nullptr;
    kfw::CBitmapH m_hBitmap;
    kfw::CMemDC m_hDC;
    HGDIOBJ m_hOld = nullptr;
};

} // namespace kovatest
