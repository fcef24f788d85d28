// ScanHook: the process's low-level keyboard hook. Every key event goes, as its scan code
// and flags, to one target window: whichever window installed the hook last.
#pragma once

#include <windows.h>

#include "framework/Handles.h"

class ScanHook {
public:
    ScanHook() = default;
    virtual ~ScanHook() = default;
    ScanHook(const ScanHook&) = delete;
    ScanHook& operator=(const ScanHook&) = delete;

    // Makes hWndTarget the target and (re)installs the hook; TRUE when a hook is in place.
    // A target that is not a window is refused and changes nothing.
    BOOL Install(HWND hWndTarget, HINSTANCE hMod);
    // Unhooks; the result of UnhookWindowsHookEx (FALSE when none was installed).
    BOOL Remove();

    static BOOL IsInstalled() { return s_hHook.IsValid(); }
    static HWND GetTarget() { return s_hWndTarget; }

private:
    static LRESULT CALLBACK HookProc(int nCode, WPARAM wParam, LPARAM lParam);

    // Class-wide: one hook and one target per process, shared by every ScanHook object.
    static kfw::CHookH s_hHook;
    static HWND s_hWndTarget;
};
