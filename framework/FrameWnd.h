// CFrameWnd: a top-level window; here only ever a hidden one that receives messages.
#pragma once

#include "framework/Wnd.h"

// Frame style flag kept in the low word of the style, as the frame windows of old did.
#define FWS_ADDTOTITLE 0x00008000L

class CFrameWnd : public CWnd {
public:
    // Creates the frame; its title is string nIDResource, else the application title.
    virtual BOOL LoadFrame(UINT nIDResource, DWORD dwDefaultStyle = WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE,
                           CWnd* pParentWnd = nullptr, void* pContext = nullptr);

    // The class that frames get unless PreCreateWindow names another.
    static const char* const s_szDefaultClass;

protected:
    BOOL PreCreateWindow(CREATESTRUCTA& cs) override;
    // Commands the frame does not handle go to the application object.
    BOOL OnCmdMsg(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
};
