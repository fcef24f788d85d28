// CKeyHook: the process's low-level keyboard hook. Every key event goes, as its scan code
// and flags, to one target window: whichever window installed the hook last.
//
// The hook belongs to an input thread of its own. Windows holds every key of the desktop
// until the thread that owns a low-level hook has answered, and drops a hook that keeps it
// waiting; so no slow work of the program may ever run on that thread. A key-watch thread
// matches raw keyboard input against the hook's calls and delivers, exactly once, what a
// dropped hook missed.
#pragma once

#include <windows.h>

namespace kfw {

// What the program calls its key path; other processes can see every name. The strings
// must last as long as the process.
struct KeyHookNames {
    UINT uKeyMsg;              // posted to the target: wParam the hook's flags, lParam the scan code
    const char* pszSinkClass;  // the input thread's message-only window
    const char* pszWatchClass; // the key watch's hidden top-level window
    const char* pszRequestMsg; // registered: a request to either thread
    const char* pszQuitMsg;    // registered: a thread's end
    PCWSTR pszInputThread;
    PCWSTR pszWatchThread;
    const char* pszTraceName;  // what the trace lines call the hook
};

class CKeyHook {
public:
    CKeyHook() = delete;

    // Makes hWndTarget the target, installing the hook if none is in place; TRUE when one
    // is. Returns once it is. A hook in place is only handed over: re-hooking would leave a
    // moment in which keys reach no one. A target that is not a window is refused and
    // changes nothing. The first install's names are the key path's for good.
    static BOOL Install(const KeyHookNames& names, HWND hWndTarget, HINSTANCE hMod);
    // Unhooks; the result of UnhookWindowsHookEx (FALSE when none was installed).
    static BOOL Remove();

    static BOOL IsInstalled();
    static HWND GetTarget();
    // Puts a new hook in place of the one in place, for its target: Windows may have dropped
    // it without a word. The new one is hooked before the old one goes, so a live hook misses
    // nothing and IsInstalled stays TRUE throughout. FALSE when none is in place.
    static BOOL Reinstall();
    // Ends both threads, the hook with them; bounded in time. Called before the program's
    // entry point returns.
    static void Shutdown();
};

} // namespace kfw
