// CButton: a push button; an owner-drawn one draws itself through DrawItem, which the
// parent reflects to it.
#pragma once

#include "framework/Wnd.h"

class CButton : public CWnd {
public:
    BOOL Create(LPCSTR lpszCaption, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);

    // Called for each WM_DRAWITEM the parent receives for this owner-drawn button.
    virtual void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct);

protected:
    BOOL OnChildNotify(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
};
