// The two further skinned control kinds the layout loader knows. No Kova dialog has one:
// only the way they take their image from the layout files exists.
#pragma once

#include <windows.h>
#include <objidl.h>

#include "framework/Button.h"
#include "framework/GdiPlus.h"

// A check box whose picture is a grid of 4 columns by 2 rows.
class CTPCheck : public CButton {
public:
    // Subclasses dialog item nID of pParent and keeps the picture in pStream (borrowed). The
    // box takes the size of one cell (width / nColumns by height / 2), is shown and raised to
    // the top of its siblings, not moved. FALSE when no bitmap object can be made or the item
    // cannot be subclassed.
    BOOL AttachImage(UINT nID, CWnd* pParent, IStream* pStream, int nColumns);

    bool HasImage() const { return static_cast<bool>(m_pImage); }

private:
    kfw::CGdipBitmap m_pImage;
};

// A slider skinned by one picture.
class CTPSlider : public CButton {
public:
    // Subclasses dialog item nID of pParent and keeps the picture in pStream (borrowed); size
    // and place are left to the position file. FALSE as CTPCheck::AttachImage.
    BOOL SetSkinImage(UINT nID, CWnd* pParent, IStream* pStream);

    bool HasImage() const { return static_cast<bool>(m_pImage); }

private:
    kfw::CGdipBitmap m_pImage;
};
