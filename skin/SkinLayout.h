// The layout texts of the skin archive read as plain values. An image-map record is
// "id<white space>name"; a position record is "id left top right bottom". Any run of white
// space (blanks, tabs, CR, LF, including none between a number and a name) separates fields
// and records; numbers are decimal with an optional sign; a name ends at white space.
// No Windows header here: this builds and tests natively as well.
#pragma once

#include <cstddef>
#include <string>

// Longest image name a record may carry (the dialogs' name buffers hold 255 characters).
constexpr size_t LAYOUT_IMAGE_NAME_MAX = 255;

struct ImageMapRecord {
    int nId = 0;
    std::string strImage;
};

// right < 0: the control keeps its size, and bottom means nothing.
struct PositionRecord {
    int nId;
    int nLeft;
    int nTop;
    int nRight;
    int nBottom;
};

// Widest or tallest control a position record may ask for.
constexpr int LAYOUT_EXTENT_MAX = 16384;

// Where a position record puts its control; cx and cy mean nothing when bKeepSize.
struct ControlPlacement {
    int x;
    int y;
    int cx;
    int cy;
    bool bKeepSize;
};

// The placement a record asks for: at (left, top), keeping the size when right < 0, else
// sized right - left by bottom - top. False when that size, taken in 64 bits, is negative or
// beyond LAYOUT_EXTENT_MAX, or when left or top lies beyond +-LAYOUT_EXTENT_MAX.
bool PlacementFromRecord(const PositionRecord& rRecord, ControlPlacement& rPlacement);

enum class LayoutScan {
    Record,      // a whole record was read
    End,         // only white space was left
    Malformed,   // a field is missing or unreadable: a number that is not one or does not fit an
                 // int, a name longer than LAYOUT_IMAGE_NAME_MAX. Every later call says so again.
};

// Reads records one at a time from text in memory (not zero-terminated).
class CLayoutScanner {
public:
    CLayoutScanner(const char* pText, size_t cbText) : m_p(pText), m_pEnd(pText + cbText) {}

    // The record is written only when the result is Record.
    LayoutScan NextImageMap(ImageMapRecord& rRecord);
    LayoutScan NextPosition(PositionRecord& rRecord);

private:
    void SkipSpace();
    bool ReadInt(int& rValue);
    bool ReadName(std::string& rName);
    LayoutScan Begin();

    const char* m_p;
    const char* m_pEnd;
    bool m_bMalformed = false;
};

// The first record of an image-map text with id nId: Record (rRecord filled), End when no
// record names it, Malformed when a record before or at it cannot be read.
LayoutScan FindImageMapRecord(const char* pText, size_t cbText, int nId, ImageMapRecord& rRecord);
