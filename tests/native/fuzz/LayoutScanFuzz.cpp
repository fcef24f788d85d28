// The layout-record scanner on arbitrary member bytes and an arbitrary wanted id. The
// first four bytes (little-endian) are the id; the rest is the member's text, copied into
// a buffer of exactly its size (no terminator, as in the archive) so that ASan sees any
// read past it. An empty member has no bytes at all, as with a null pointer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "skin/SkinLayout.h"

namespace {

void Check(bool bHolds)
{
    if (!bHolds)
        std::abort();
}

bool IsSpace(char ch)
{
    return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\v' || ch == '\f' || ch == '\r';
}

// After End or Malformed the scanner must keep saying so.
template <typename Record, typename Next>
void CheckSticky(LayoutScan eLast, Record& rRecord, Next next)
{
    Check(eLast != LayoutScan::Record);
    Check(next(rRecord) == eLast);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t cbData)
{
    uint32_t uWanted = 0;
    size_t cbPrefix = 0;
    for (; cbPrefix < 4 && cbPrefix < cbData; ++cbPrefix)
        uWanted |= static_cast<uint32_t>(pData[cbPrefix]) << (8 * cbPrefix);
    const int nWanted = static_cast<int>(uWanted);
    const std::vector<char> text(pData + cbPrefix, pData + cbData);
    const char* pText = text.empty() ? nullptr : text.data();
    const size_t cbText = text.size();

    // Image-map records: every call that reads one consumes text, so at most one per byte.
    CLayoutScanner images(pText, cbText);
    ImageMapRecord image;
    LayoutScan eImage;
    LayoutScan eFirstWanted = LayoutScan::End;
    ImageMapRecord firstWanted;
    size_t cRecords = 0;
    while ((eImage = images.NextImageMap(image)) == LayoutScan::Record)
    {
        Check(++cRecords <= cbText);
        Check(!image.strImage.empty() && image.strImage.size() <= LAYOUT_IMAGE_NAME_MAX);
        for (char ch : image.strImage)
            Check(!IsSpace(ch));
        if (eFirstWanted == LayoutScan::End && image.nId == nWanted)
        {
            eFirstWanted = LayoutScan::Record;
            firstWanted = image;
        }
    }
    if (eFirstWanted == LayoutScan::End)
        eFirstWanted = eImage;
    CheckSticky(eImage, image, [&](ImageMapRecord& r) { return images.NextImageMap(r); });

    // The lookup must agree with the record-by-record reading above.
    ImageMapRecord found{ -1, "untouched" };
    const LayoutScan eFound = FindImageMapRecord(pText, cbText, nWanted, found);
    Check(eFound == eFirstWanted);
    if (eFound == LayoutScan::Record)
        Check(found.nId == nWanted && found.strImage == firstWanted.strImage);
    else
        Check(found.nId == -1 && found.strImage == "untouched");

    // Position records, as the dialog reads them.
    CLayoutScanner positions(pText, cbText);
    PositionRecord pos{};
    LayoutScan ePos;
    cRecords = 0;
    while ((ePos = positions.NextPosition(pos)) == LayoutScan::Record)
    {
        Check(++cRecords <= cbText);
        // Any int may stand in a record; a size given must be one a control can have.
        ControlPlacement place{};
        if (PlacementFromRecord(pos, place) && !place.bKeepSize)
            Check(place.cx >= 0 && place.cx <= LAYOUT_EXTENT_MAX && place.cy >= 0 && place.cy <= LAYOUT_EXTENT_MAX);
    }
    CheckSticky(ePos, pos, [&](PositionRecord& r) { return positions.NextPosition(r); });
    return 0;
}
