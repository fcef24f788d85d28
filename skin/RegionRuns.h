// The window outline of a skinned dialog as plain values: the runs of pixels whose alpha
// differs from a key, one pixel high, packed as the region data ExtCreateRegion takes.
// No Windows header here: this builds and tests natively as well.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct RegionRect {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};
inline bool operator==(const RegionRect& a, const RegionRect& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

constexpr uint32_t REGION_HEADER_SIZE = 32;      // RGNDATAHEADER
constexpr uint32_t REGION_RECT_SIZE = 16;        // RECT
constexpr uint32_t REGION_TYPE_RECTANGLES = 1;   // RDH_RECTANGLES
constexpr uint32_t REGION_CAPACITY_STEP = 100;   // rectangles added each time the record is full
constexpr int32_t REGION_BOUND_START = 0x7FFFFFFF;
// Longest side of a picture whose outline is read; a larger one gets none.
constexpr uint32_t REGION_SIDE_MAX = 16384;

// Bytes from the first byte of a grid of uRows rows, cbRow bytes each and cbStride apart, to
// past its last row; computed in 64 bits. False when rows overlap (stride shorter than a row)
// or the span would not fit ptrdiff_t, so no offset into it wraps on a 32-bit build.
bool GridSpanBytes(uint64_t cbRow, uint64_t uRows, uint64_t cbStride, size_t* pcbSpan);
// The bytes of a packed alpha grid of uWidth x uHeight: false when a side exceeds
// REGION_SIDE_MAX.
bool AlphaGridBytes(uint64_t uWidth, uint64_t uHeight, size_t* pcbGrid);

// A region-data record (header, then room for Capacity() rectangles) built one rectangle at
// a time.
class CRegionData {
public:
    // Header with count 0 and the starting bounds (left = top = 0x7FFFFFFF, right = bottom = 0),
    // room for REGION_CAPACITY_STEP rectangles; IsValid() is false when that cannot be allocated.
    CRegionData();

    bool IsValid() const { return !m_words.empty(); }
    // Appends the rectangle and widens the bounds, growing the room by REGION_CAPACITY_STEP
    // when full; false, with nothing changed, when the record is invalid or cannot grow.
    bool AddRect(const RegionRect& rc);

    uint32_t Count() const;
    uint32_t Capacity() const;
    RegionRect Bounds() const;
    RegionRect Rect(uint32_t i) const;
    std::vector<RegionRect> Rects() const;

    // The whole record, unused room zeroed: Size() is REGION_HEADER_SIZE + REGION_RECT_SIZE *
    // Capacity(), 0 when invalid. 4-byte aligned.
    const void* Data() const { return m_words.data(); }
    uint32_t Size() const { return static_cast<uint32_t>(m_words.size() * sizeof(int32_t)); }

private:
    std::vector<int32_t> m_words;
};

// Alpha values row by row: pAlpha[y * cbStride + x] for 0 <= x < nWidth, 0 <= y < nHeight.
// Each row is scanned left to right; every run of pixels whose alpha differs from byKeyAlpha
// becomes the rectangle (start, y, end, y + 1). Runs are never merged across rows. When the
// record cannot grow the scan stops, keeping the rectangles gathered so far (*pbComplete false).
// A side outside 0..REGION_SIDE_MAX, or a grid GridSpanBytes refuses, is not read at all
// (no rectangles, *pbComplete false).
CRegionData CollectAlphaRuns(const uint8_t* pAlpha, int32_t nWidth, int32_t nHeight, size_t cbStride,
                             uint8_t byKeyAlpha, bool* pbComplete = nullptr);
