#include "framework/KeyHolder.h"

namespace kfw {

namespace {

struct CHolders {
    KeyHookNames names = {};
    HINSTANCE hMod = nullptr;
    HWND hWndFrame = nullptr;
    bool bLent = false;          // the frame has a pop-up open, or about to be
    bool bHeldOff = false;       // locked: no hook until Resume
    HWND hWndPopup = nullptr;    // the pop-up opened during the loan
    HWND hWndBefore = nullptr;   // had the keys before it, and gets them back
};
CHolders g_holders;

} // namespace

BOOL CKeyHolder::FrameTakes(const KeyHookNames& names, HWND hWndFrame, HINSTANCE hMod)
{
    g_holders.names = names;
    g_holders.hMod = hMod;
    g_holders.hWndFrame = hWndFrame;
    g_holders.bLent = false;
    g_holders.bHeldOff = false;
    return CKeyHook::Install(names, hWndFrame, hMod);
}

void CKeyHolder::FrameLends()
{
    g_holders.bLent = true;
    g_holders.hWndPopup = nullptr;
}

void CKeyHolder::FrameTakesBack()
{
    g_holders.bLent = false;
    if (!g_holders.bHeldOff)
        CKeyHook::Install(g_holders.names, g_holders.hWndFrame, g_holders.hMod);
}

BOOL CKeyHolder::FrameLeaves()
{
    return CKeyHook::Remove();
}

BOOL CKeyHolder::PopupOpens(const KeyHookNames& names, HWND hWndPopup, HINSTANCE hMod)
{
    g_holders.names = names;
    g_holders.hMod = hMod;
    g_holders.hWndPopup = hWndPopup;
    if (const HWND hWndKeys = CKeyHook::IsInstalled() ? CKeyHook::GetTarget() : nullptr; hWndKeys != hWndPopup)
        g_holders.hWndBefore = hWndKeys;
    return CKeyHook::Install(names, hWndPopup, hMod);
}

// cppcheck-suppress constParameter ; a window handle, only compared here
void CKeyHolder::PopupCloses(HWND hWndPopup)
{
    // Handed over in place, never unhooked and hooked again: a hot key typed as the pop-up
    // closes still reaches the frame. A hook taken away meanwhile (a lock) stays away.
    const HWND hWndBefore = g_holders.hWndBefore;
    if (CKeyHook::IsInstalled() && ::IsWindow(hWndBefore) && hWndBefore != hWndPopup)
        CKeyHook::Install(g_holders.names, hWndBefore, g_holders.hMod);
    else
        CKeyHook::Remove();
}

void CKeyHolder::HoldOff()
{
    g_holders.bHeldOff = true;
    CKeyHook::Remove();
}

void CKeyHolder::Resume()
{
    g_holders.bHeldOff = false;
    const bool bWasInPlace = CKeyHook::IsInstalled() != FALSE;
    // A pop-up left open across the lock gets its keys back; else the frame takes them.
    // While the frame lends them and no pop-up is open, they wait for the loan's end.
    if (!g_holders.bLent)
        CKeyHook::Install(g_holders.names, g_holders.hWndFrame, g_holders.hMod);
    else if (::IsWindow(g_holders.hWndPopup))
        CKeyHook::Install(g_holders.names, g_holders.hWndPopup, g_holders.hMod);
    // A hook kept across a disconnect is only handed over, and Windows may have dropped it
    // while the session was away: a new one goes in its place, as at resume.
    if (bWasInPlace)
        CKeyHook::Reinstall();
}

} // namespace kfw
