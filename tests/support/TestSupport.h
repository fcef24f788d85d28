// What Kova's window tests share: pumping with a time-out, a window that logs the
// messages it gets, and the helper program that plays the other process.
#pragma once

#include <windows.h>
#include <objidl.h>

#include <functional>
#include <string>
#include <vector>

#include "framework/Handles.h"
#include "framework/Wnd.h"

namespace kovatest {

// Dispatches this thread's messages until pred() holds or dwTimeoutMs has passed; the
// result of the last pred().
bool PumpUntil(const std::function<bool()>& pred, DWORD dwTimeoutMs = 5000);
// Dispatches whatever is queued for this thread now.
void PumpPending();
// Tests pred() every few milliseconds without dispatching anything, until it holds or
// dwTimeoutMs has passed: for threads without windows, and inside a dialog's handlers.
bool WaitUntil(const std::function<bool()>& pred, DWORD dwTimeoutMs = 5000);

// Starts build/bin/kovatest_helper.exe with the arguments; null on failure.
kfw::CHandle StartHelper(const std::string& strArgs);
// Waits for the process while pumping; its exit code, or STILL_ACTIVE on time-out.
DWORD WaitForExit(HANDLE hProcess, DWORD dwTimeoutMs = 10000);
// StartHelper + WaitForExit; ~0u when it could not be started.
DWORD RunHelper(const std::string& strArgs, DWORD dwTimeoutMs = 10000);

// Full path of a program beside the running test (build/bin).
std::string BinPath(const char* pszExe);

// A process started for a test, ended with TerminateProcess when the guard goes if it
// still runs, so that a failing test leaves nothing behind.
class CProcessGuard {
public:
    CProcessGuard() = default;
    ~CProcessGuard();
    CProcessGuard(CProcessGuard&&) = default;
    CProcessGuard& operator=(CProcessGuard&& other) noexcept;
    CProcessGuard(const CProcessGuard&) = delete;
    CProcessGuard& operator=(const CProcessGuard&) = delete;

    // Starts build/bin/pszExe with the arguments; check with operator bool.
    static CProcessGuard Start(const char* pszExe, const std::string& strArgs);
    // Starts the program at a full path, in pszCurrentDir if given (else in ours).
    static CProcessGuard StartPath(const std::string& strExePath, const std::string& strArgs,
                                   const char* pszCurrentDir = nullptr);

    explicit operator bool() const { return m_hProcess.IsValid(); }
    HANDLE Get() const { return m_hProcess.Get(); }
    DWORD Pid() const { return m_dwPid; }
    bool IsRunning() const;
    // Waits while pumping; the exit code, or STILL_ACTIVE on time-out.
    DWORD Wait(DWORD dwTimeoutMs = 10000) const;
    void Terminate();

private:
    kfw::CHandle m_hProcess;
    DWORD m_dwPid = 0;
};

// Runs build/bin/pszExe to its end while pumping, with its stdout and stderr collected
// in rstrOutput; the exit code, or STILL_ACTIVE when it was ended after the time-out,
// ~0u when it could not be started.
DWORD RunProgram(const char* pszExe, const std::string& strArgs, std::string& rstrOutput,
                 DWORD dwTimeoutMs = 20000);

// Moves the pointer as real input does and waits until it is there. Under Wine,
// SetCursorPos from a program without windows moves Wine's idea of the pointer but not
// X's, and the next window mapped under X's pointer takes it back there.
bool MovePointer(POINT pt, DWORD dwTimeoutMs = 2000);

// One key event through the keyboard from this process, by scan code with wVk alongside
// (KEYEVENTF_KEYUP etc. in dwFlags); SendInput returns once the low-level hooks saw it.
bool SendScanKey(WORD wScan, WORD wVk, DWORD dwFlags);
// A press and its release.
bool StrokeScanKey(WORD wScan, WORD wVk);
// Away from the screen's centre, where pop-ups open and a resting pointer holds them.
bool ParkPointer();
// One mouse event through SendInput, moved to pt as real input is, with button flags
// (MOUSEEVENTF_LEFTDOWN ...) in dwButtons; it does not wait for the pointer.
bool SendMouseAt(POINT pt, DWORD dwButtons = 0);
// Button events where the pointer is, in order, in one SendInput.
bool SendMouseButtons(const std::vector<DWORD>& buttons);
// A left press and release where the pointer is; at pt after MovePointer.
bool ClickHere();
bool ClickAt(POINT pt);

// Windows of any process.
DWORD PidOf(HWND hWnd);
bool HasClass(HWND hWnd, const char* pszClass);
// Calls fn for each top-level window until it returns false.
void ForEachTopLevel(const std::function<bool(HWND)>& fn);
// Top-level windows of the class and process, all of them or the visible ones; a few
// FindWindowEx calls, cheap enough to poll.
std::vector<HWND> TopLevelOf(DWORD dwPid, const char* pszClass, bool bVisibleOnly = false);
// Explorer's window for one tray icon (Wine 8: a child of its tray window), and all of them.
bool IsIconWindow(HWND hWnd);
std::vector<HWND> IconWindows();
// A top-level window of the class (and title, if given), or null after the time-out.
HWND WaitForWindow(const char* pszClass, DWORD dwTimeoutMs, const char* pszTitle = nullptr);
// Pumps until the window is destroyed or hidden; false on time-out.
bool WaitGone(HWND hWnd, DWORD dwTimeoutMs);

// A foreground edit box of this process's own: keys typed through SendInput reach it, and
// it times how long each takes, as another program on the desktop would feel it.
class CTypingWindow {
public:
    CTypingWindow();
    ~CTypingWindow();
    CTypingWindow(const CTypingWindow&) = delete;
    CTypingWindow& operator=(const CTypingWindow&) = delete;

    HWND Get() const { return m_hWnd; }
    // Types "a" and pumps until its key-down comes: the wait in ms, -1 when it never came.
    double Type();
    // Types for dwMs: the longest wait of a key, -1 when one never came.
    double TypeFor(DWORD dwMs);

private:
    static LRESULT CALLBACK Proc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

    HWND m_hWnd = nullptr;
};

// The display scale as Wine takes it (HKCU\Control Panel\Desktop, DWORD LogPixels) for the
// programs started in this scope; the old value comes back when it goes, failure or not.
class CDisplayScale {
public:
    explicit CDisplayScale(DWORD dwDpi);
    ~CDisplayScale();
    CDisplayScale(const CDisplayScale&) = delete;
    CDisplayScale& operator=(const CDisplayScale&) = delete;

    bool IsSet() const { return m_bSet; }

private:
    DWORD m_dwOld = 0;
    bool m_bHadOld = false;
    bool m_bSet = false;
};

// A name no other test run uses at the same time (process id and a counter).
std::string UniqueName(const char* pszBase);

// Threads of this process right now.
int CountThreads();

// A hidden top-level window that records every message from WM_USER up.
class CMessageLog : public CWnd {
public:
    struct Entry {
        UINT uMsg;
        WPARAM wParam;
        LPARAM lParam;
    };

    CMessageLog();
    ~CMessageLog() override;

    const std::vector<Entry>& Entries() const { return m_entries; }
    std::vector<Entry> Of(UINT uMsg) const;
    size_t Count(UINT uMsg) const { return Of(uMsg).size(); }
    void Clear() { m_entries.clear(); }

    BOOL ProcessWindowMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) override;

private:
    std::vector<Entry> m_entries;
};

// A stream over another that counts every call a reader makes (all but the reference
// counting), to tell whether a picture was decoded from it. Lives on the stack, longer than
// any reader: its references are not counted.
class CCountingStream final : public IStream {
public:
    explicit CCountingStream(IStream* pInner) : m_pInner(pInner) {}
    CCountingStream(const CCountingStream&) = delete;
    CCountingStream& operator=(const CCountingStream&) = delete;

    int Uses() const { return m_nUses; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (riid == __uuidof(IUnknown) || riid == __uuidof(ISequentialStream) || riid == __uuidof(IStream))
        {
            *ppv = static_cast<IStream*>(this);
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE Read(void* pv, ULONG cb, ULONG* pcbRead) override
    {
        ++m_nUses;
        return m_pInner->Read(pv, cb, pcbRead);
    }
    HRESULT STDMETHODCALLTYPE Write(const void* pv, ULONG cb, ULONG* pcbWritten) override
    {
        ++m_nUses;
        return m_pInner->Write(pv, cb, pcbWritten);
    }
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER liMove, DWORD dwOrigin, ULARGE_INTEGER* pliNew) override
    {
        ++m_nUses;
        return m_pInner->Seek(liMove, dwOrigin, pliNew);
    }
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER liSize) override
    {
        ++m_nUses;
        return m_pInner->SetSize(liSize);
    }
    HRESULT STDMETHODCALLTYPE CopyTo(IStream* pTo, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead,
                                     ULARGE_INTEGER* pcbWritten) override
    {
        ++m_nUses;
        return m_pInner->CopyTo(pTo, cb, pcbRead, pcbWritten);
    }
    HRESULT STDMETHODCALLTYPE Commit(DWORD dwFlags) override
    {
        ++m_nUses;
        return m_pInner->Commit(dwFlags);
    }
    HRESULT STDMETHODCALLTYPE Revert() override
    {
        ++m_nUses;
        return m_pInner->Revert();
    }
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER liOffset, ULARGE_INTEGER cb, DWORD dwType) override
    {
        ++m_nUses;
        return m_pInner->LockRegion(liOffset, cb, dwType);
    }
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER liOffset, ULARGE_INTEGER cb, DWORD dwType) override
    {
        ++m_nUses;
        return m_pInner->UnlockRegion(liOffset, cb, dwType);
    }
    HRESULT STDMETHODCALLTYPE Stat(STATSTG* pStat, DWORD dwFlags) override
    {
        ++m_nUses;
        return m_pInner->Stat(pStat, dwFlags);
    }
    HRESULT STDMETHODCALLTYPE Clone(IStream** ppClone) override
    {
        ++m_nUses;
        return m_pInner->Clone(ppClone);
    }

private:
    IStream* m_pInner;
    int m_nUses = 0;
};

} // namespace kovatest
