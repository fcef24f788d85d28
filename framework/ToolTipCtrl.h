// CToolTipCtrl: a tool tip window whose mouse input is relayed by its owner.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "framework/WinApp.h"
#include "framework/Wnd.h"

class CToolTipCtrl : public CWnd {
public:
    // A WS_POPUP tool tip owned by pParentWnd, with dwStyle added.
    BOOL Create(CWnd* pParentWnd, DWORD dwStyle = 0);
    // Maps comctl32 and registers its classes, once per process: Create does it at the
    // first tool tip, or a program does it ahead of time.
    static BOOL InitCommonControls();
    // Idle preparation: the tool tips' library mapped before the first pop-up wants it.
    static CIdleTask& LibraryTask();
    // Registers pWnd as a window tool (TTF_IDISHWND), or the rectangle of the owner when
    // lpRectTool is given. No subclassing: the owner relays mouse messages.
    BOOL AddTool(CWnd* pWnd, LPCWSTR lpszText, LPCRECT lpRectTool = nullptr, UINT_PTR nIDTool = 0);
    void UpdateTipText(LPCWSTR lpszText, CWnd* pWnd, UINT_PTR nIDTool = 0);
    void RelayEvent(LPMSG lpMsg);
    void Activate(BOOL bActivate);
    int SetMaxTipWidth(int iWidth);
    int GetToolCount() const;

private:
    TOOLINFOW MakeToolInfo(CWnd* pWnd, LPCRECT lpRectTool, UINT_PTR nIDTool) const;
};
