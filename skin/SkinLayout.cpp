#include "skin/SkinLayout.h"

#include <climits>
#include <cstdint>
#include <utility>

namespace {

// The C locale's isspace, without the locale.
bool IsLayoutSpace(char ch)
{
    return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\v' || ch == '\f' || ch == '\r';
}

bool IsDigit(char ch)
{
    return ch >= '0' && ch <= '9';
}

} // namespace

void CLayoutScanner::SkipSpace()
{
    while (m_p < m_pEnd && IsLayoutSpace(*m_p))
        ++m_p;
}

bool CLayoutScanner::ReadInt(int& rValue)
{
    SkipSpace();
    const char* p = m_p;
    bool bNegative = false;
    if (p < m_pEnd && (*p == '+' || *p == '-'))
        bNegative = *p++ == '-';
    if (p == m_pEnd || !IsDigit(*p))
        return false;
    // Magnitude up to INT_MAX + 1 (INT_MIN); anything longer cannot fit and is refused
    // rather than wrapped.
    const int64_t nLimit = bNegative ? -static_cast<int64_t>(INT_MIN) : INT_MAX;
    int64_t nValue = 0;
    for (; p < m_pEnd && IsDigit(*p); ++p)
    {
        nValue = nValue * 10 + (*p - '0');
        if (nValue > nLimit)
            return false;
    }
    rValue = static_cast<int>(bNegative ? -nValue : nValue);
    m_p = p;
    return true;
}

bool CLayoutScanner::ReadName(std::string& rName)
{
    SkipSpace();
    const char* p = m_p;
    while (p < m_pEnd && !IsLayoutSpace(*p))
        ++p;
    const auto cch = static_cast<size_t>(p - m_p);
    if (cch == 0 || cch > LAYOUT_IMAGE_NAME_MAX)
        return false;
    rName.assign(m_p, cch);
    m_p = p;
    return true;
}

LayoutScan CLayoutScanner::Begin()
{
    if (m_bMalformed)
        return LayoutScan::Malformed;
    SkipSpace();
    return m_p == m_pEnd ? LayoutScan::End : LayoutScan::Record;
}

LayoutScan CLayoutScanner::NextImageMap(ImageMapRecord& rRecord)
{
    const LayoutScan eBegin = Begin();
    if (eBegin != LayoutScan::Record)
        return eBegin;
    // Fields go into locals first, so that a broken record leaves nothing half-written.
    ImageMapRecord record;
    if (!ReadInt(record.nId) || !ReadName(record.strImage))
    {
        m_bMalformed = true;
        return LayoutScan::Malformed;
    }
    rRecord = std::move(record);
    return LayoutScan::Record;
}

LayoutScan CLayoutScanner::NextPosition(PositionRecord& rRecord)
{
    const LayoutScan eBegin = Begin();
    if (eBegin != LayoutScan::Record)
        return eBegin;
    PositionRecord record = {};
    if (!ReadInt(record.nId) || !ReadInt(record.nLeft) || !ReadInt(record.nTop) || !ReadInt(record.nRight)
        || !ReadInt(record.nBottom))
    {
        m_bMalformed = true;
        return LayoutScan::Malformed;
    }
    rRecord = record;
    return LayoutScan::Record;
}

LayoutScan FindImageMapRecord(const char* pText, size_t cbText, int nId, ImageMapRecord& rRecord)
{
    CLayoutScanner scanner(pText, cbText);
    ImageMapRecord record;
    LayoutScan eScan;
    while ((eScan = scanner.NextImageMap(record)) == LayoutScan::Record)
    {
        if (record.nId == nId)
        {
            rRecord = std::move(record);
            return LayoutScan::Record;
        }
    }
    return eScan;
}

bool PlacementFromRecord(const PositionRecord& rRecord, ControlPlacement& rPlacement)
{
    // Where a control goes is scaled up to 5x for the display: a corner beyond any picture
    // would wrap there.
    const auto outside = [](int n) { return n < -LAYOUT_EXTENT_MAX || n > LAYOUT_EXTENT_MAX; };
    if (outside(rRecord.nLeft) || outside(rRecord.nTop))
        return false;
    if (rRecord.nRight < 0)
    {
        rPlacement = { rRecord.nLeft, rRecord.nTop, 0, 0, true };
        return true;
    }
    // Any int may stand in a record: the differences would overflow an int.
    const int64_t nWidth = static_cast<int64_t>(rRecord.nRight) - rRecord.nLeft;
    const int64_t nHeight = static_cast<int64_t>(rRecord.nBottom) - rRecord.nTop;
    if (nWidth < 0 || nHeight < 0 || nWidth > LAYOUT_EXTENT_MAX || nHeight > LAYOUT_EXTENT_MAX)
        return false;
    rPlacement = { rRecord.nLeft, rRecord.nTop, static_cast<int>(nWidth), static_cast<int>(nHeight), false };
    return true;
}
