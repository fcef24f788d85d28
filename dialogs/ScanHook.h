// ScanHook: the process's low-level keyboard hook. Every key event goes, as its scan code
// and flags, to one target window: whichever window installed the hook last.
//
// The hook belongs to an input thread of its own. Windows holds every key of the desktop
// until the thread that owns a low-level hook has answered, and drops a hook that keeps it
// waiting; so no slow work of Kova may ever run on that thread.
#pragma once

#include <windows.h>

class ScanHook {
public:
    ScanHook() = default;
    virtual ~ScanHook() = default;
    ScanHook(const ScanHook&) = delete;
    ScanHook& operator=(const ScanHook&) = delete;

    // Makes hWndTarget the target, installing the hook if none is in place; TRUE when one
    // is. Returns once it is. A hook in place is only handed over: re-hooking would leave a
    // moment in which keys reach no one. A target that is not a window is refused and
    // changes nothing.
    BOOL Install(HWND hWndTarget, HINSTANCE hMod);
    // Unhooks; the result of UnhookWindowsHookEx (FALSE when none was installed).
    BOOL Remove();

    static BOOL IsInstalled();
    static HWND GetTarget();
    // Puts a hook that is in place in place again (remove, install), for its target:
    // Windows may have dropped it without a word. FALSE when none is in place afterwards.
    static BOOL Reinstall();
    // Ends the input thread, the hook with it; bounded in time. Called at exit.
    static void Shutdown();
    // Unhooks behind ScanHook's back, as Windows does with a hook that timed out: for
    // tests of the recovery only.
    static void DropForTest();
};
