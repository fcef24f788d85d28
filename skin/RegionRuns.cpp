#include "skin/RegionRuns.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <stdexcept>

namespace {

// Word offsets inside the record: RGNDATAHEADER is dwSize, iType, nCount, nRgnSize, rcBound.
constexpr size_t AT_SIZE = 0;
constexpr size_t AT_TYPE = 1;
constexpr size_t AT_COUNT = 2;
constexpr size_t AT_BOUNDS = 4;
constexpr size_t HEADER_WORDS = REGION_HEADER_SIZE / sizeof(int32_t);
constexpr size_t RECT_WORDS = REGION_RECT_SIZE / sizeof(int32_t);

bool Resize(std::vector<int32_t>& rWords, uint32_t uCapacity)
{
    try
    {
        rWords.resize(HEADER_WORDS + RECT_WORDS * uCapacity, 0);
        return true;
    }
    catch (const std::bad_alloc&)
    {
        return false;
    }
    catch (const std::length_error&)
    {
        return false;
    }
}

} // namespace

bool GridSpanBytes(uint64_t cbRow, uint64_t uRows, uint64_t cbStride, size_t* pcbSpan)
{
    *pcbSpan = 0;
    const uint64_t cbMax = std::min<uint64_t>(PTRDIFF_MAX, SIZE_MAX);
    if (uRows == 0)
        return true;
    if (cbRow > cbMax || (uRows > 1 && cbStride < cbRow))
        return false;
    // (uRows - 1) * cbStride + cbRow <= cbMax, checked without the product overflowing.
    if (uRows > 1 && cbStride > (cbMax - cbRow) / (uRows - 1))
        return false;
    *pcbSpan = static_cast<size_t>((uRows - 1) * cbStride + cbRow);
    return true;
}

bool AlphaGridBytes(uint64_t uWidth, uint64_t uHeight, size_t* pcbGrid)
{
    *pcbGrid = 0;
    return uWidth <= REGION_SIDE_MAX && uHeight <= REGION_SIDE_MAX && GridSpanBytes(uWidth, uHeight, uWidth, pcbGrid);
}

CRegionData::CRegionData()
{
    if (!Resize(m_words, REGION_CAPACITY_STEP))
    {
        m_words.clear();
        return;
    }
    m_words[AT_SIZE] = static_cast<int32_t>(REGION_HEADER_SIZE);
    m_words[AT_TYPE] = static_cast<int32_t>(REGION_TYPE_RECTANGLES);
    m_words[AT_BOUNDS + 0] = REGION_BOUND_START;
    m_words[AT_BOUNDS + 1] = REGION_BOUND_START;
}

uint32_t CRegionData::Count() const
{
    return IsValid() ? static_cast<uint32_t>(m_words[AT_COUNT]) : 0;
}

uint32_t CRegionData::Capacity() const
{
    return IsValid() ? static_cast<uint32_t>((m_words.size() - HEADER_WORDS) / RECT_WORDS) : 0;
}

RegionRect CRegionData::Bounds() const
{
    if (!IsValid())
        return { REGION_BOUND_START, REGION_BOUND_START, 0, 0 };
    return { m_words[AT_BOUNDS], m_words[AT_BOUNDS + 1], m_words[AT_BOUNDS + 2], m_words[AT_BOUNDS + 3] };
}

RegionRect CRegionData::Rect(uint32_t i) const
{
    const size_t w = HEADER_WORDS + RECT_WORDS * i;
    return { m_words[w], m_words[w + 1], m_words[w + 2], m_words[w + 3] };
}

std::vector<RegionRect> CRegionData::Rects() const
{
    std::vector<RegionRect> rects;
    for (uint32_t i = 0; i < Count(); ++i)
        rects.push_back(Rect(i));
    return rects;
}

bool CRegionData::AddRect(const RegionRect& rc)
{
    if (!IsValid())
        return false;
    const uint32_t uCount = Count();
    if (uCount == Capacity() && !Resize(m_words, uCount + REGION_CAPACITY_STEP))
        return false;

    const size_t w = HEADER_WORDS + RECT_WORDS * uCount;
    m_words[w] = rc.left;
    m_words[w + 1] = rc.top;
    m_words[w + 2] = rc.right;
    m_words[w + 3] = rc.bottom;
    m_words[AT_COUNT] = static_cast<int32_t>(uCount + 1);
    m_words[AT_BOUNDS] = std::min(m_words[AT_BOUNDS], rc.left);
    m_words[AT_BOUNDS + 1] = std::min(m_words[AT_BOUNDS + 1], rc.top);
    m_words[AT_BOUNDS + 2] = std::max(m_words[AT_BOUNDS + 2], rc.right);
    m_words[AT_BOUNDS + 3] = std::max(m_words[AT_BOUNDS + 3], rc.bottom);
    return true;
}

CRegionData CollectAlphaRuns(const uint8_t* pAlpha, int32_t nWidth, int32_t nHeight, size_t cbStride,
                             uint8_t byKeyAlpha, bool* pbComplete)
{
    CRegionData data;
    // Sides within REGION_SIDE_MAX keep x + 1 and y + 1 far from overflowing, and the span
    // check keeps y * cbStride from wrapping a 32-bit size_t.
    size_t cbSpan = 0;
    const bool bSane = nWidth >= 0 && nHeight >= 0
        && AlphaGridBytes(static_cast<uint32_t>(nWidth), static_cast<uint32_t>(nHeight), &cbSpan)
        && GridSpanBytes(static_cast<uint32_t>(nWidth), static_cast<uint32_t>(nHeight), cbStride, &cbSpan);
    bool bComplete = data.IsValid() && bSane;
    if (bComplete && pAlpha)
    {
        for (int32_t y = 0; y < nHeight && bComplete; ++y)
        {
            const uint8_t* pRow = pAlpha + static_cast<size_t>(y) * cbStride;
            int32_t x = 0;
            while (x < nWidth)
            {
                const int32_t nStart = x;
                while (x < nWidth && pRow[x] != byKeyAlpha)
                    ++x;
                if (x > nStart && !data.AddRect({ nStart, y, x, y + 1 }))
                {
                    bComplete = false;
                    break;
                }
                ++x;   // the pixel that ended the run has the key alpha
            }
        }
    }
    if (pbComplete)
        *pbComplete = bComplete;
    return data;
}
