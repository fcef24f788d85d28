#include "ScreenPoints.h"

#include <stdio.h>

namespace kovabench {

CScreenPoints::CScreenPoints(int cxBox, int cyBox, int nStep) : m_screen(nullptr)
{
    const int x = ::GetSystemMetrics(SM_CXSCREEN) / 2 - cxBox / 2;
    const int y = ::GetSystemMetrics(SM_CYSCREEN) / 2 - cyBox / 2;
    m_rcBox = {x, y, x + cxBox, y + cyBox};
    for (int dy = 0; dy < cyBox; dy += nStep)
        for (int dx = 0; dx < cxBox; dx += nStep)
        {
            m_points.push_back({x + dx, y + dy});
            m_offsets.push_back(static_cast<size_t>(dy * cxBox + dx));
        }
    if (!m_screen.Get())
        return;
    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
    bmi.bmiHeader.biWidth = cxBox;
    bmi.bmiHeader.biHeight = -cyBox;   // top-down
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    void* pBits = nullptr;
    m_mem.Reset(::CreateCompatibleDC(m_screen.Get()));
    m_dib.Reset(::CreateDIBSection(m_screen.Get(), &bmi, DIB_RGB_COLORS, &pBits, nullptr, 0));
    if (!m_mem || !m_dib || !pBits)
        return;
    m_select.reset(new kfw::CScopedSelect(m_mem.Get(), m_dib.Get()));
    m_pBits = pBits;
}

bool CScreenPoints::Read(Colours& rColours)
{
    if (!m_pBits || !::BitBlt(m_mem.Get(), 0, 0, m_rcBox.right - m_rcBox.left, m_rcBox.bottom - m_rcBox.top,
                              m_screen.Get(), m_rcBox.left, m_rcBox.top, SRCCOPY))
        return false;
    const auto* pdwBits = static_cast<const uint32_t*>(m_pBits);
    rColours.resize(m_offsets.size());
    for (size_t i = 0; i < m_offsets.size(); ++i)
        rColours[i] = pdwBits[m_offsets[i]] & 0xFFFFFF;
    return true;
}

std::string CScreenPoints::Where(size_t i) const
{
    char sz[32] = "";
    if (i < m_points.size())
        snprintf(sz, sizeof sz, "(%ld,%ld)", m_points[i].x, m_points[i].y);
    return sz;
}

} // namespace kovabench
