// Points in a box at the screen's centre, read back from the screen as the user sees it:
// Kova and the dialog baseline centre their pop-ups there.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "PixelFinal.h"
#include "framework/Handles.h"

namespace kovabench {

class CScreenPoints {
public:
    // Every nStep-th pixel of a cxBox x cyBox box, each way.
    CScreenPoints(int cxBox, int cyBox, int nStep);
    CScreenPoints(const CScreenPoints&) = delete;
    CScreenPoints& operator=(const CScreenPoints&) = delete;

    bool IsReady() const { return m_pBits != nullptr; }
    size_t Count() const { return m_points.size(); }
    // One poll: the box copied from the screen in one BitBlt.
    bool Read(Colours& rColours);
    // "(x,y)" of point i on the screen.
    std::string Where(size_t i) const;

private:
    kfw::CWindowDC m_screen;
    kfw::CMemDC m_mem;
    kfw::CBitmapH m_dib;
    void* m_pBits = nullptr;
    std::unique_ptr<kfw::CScopedSelect> m_select;
    RECT m_rcBox = {};
    std::vector<POINT> m_points;   // on the screen
    std::vector<size_t> m_offsets; // in the box
};

} // namespace kovabench
