// Kova.exe as another program sees it: started from build/bin (or a copy elsewhere), found
// by its window class, watched through the tray, its named events and its pop-ups.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "framework/Handles.h"
#include "support/EmscState.h"
#include "support/TestSupport.h"
#include "support/TrayObserver.h"

namespace kovae2e {

const DWORD kWaitMs = 10000;

// What Kova shares with other processes and the shell.
extern const char kFrameClass[];        // window class and single-instance mutex
extern const char kNotifyEvent[];       // re-read the radio state
extern const char kCloseEvent[];        // quit
const UINT kTrayId = 128;
const UINT kTrayCallback = WM_USER + 0xC4;

extern const wchar_t kTipBothOn[];
extern const wchar_t kTipBothOff[];
extern const wchar_t kTipWlanOn[];
extern const wchar_t kTipWlanOff[];
extern const wchar_t kTipBtOn[];
extern const wchar_t kTipBtOff[];

std::string Narrow(const std::wstring& str);

// One Kova.exe started by the test; terminated when it goes if it still runs.
class CKova {
public:
    // build/bin/Kova.exe with the arguments.
    explicit CKova(const std::string& strArgs = std::string());
    // Another copy of the program, started in pszCurrentDir if given.
    CKova(const std::string& strExePath, const std::string& strArgs, const char* pszCurrentDir);

    // Waits for the hidden frame of this process and for its tray icon; false on time-out.
    bool WaitUntilResident(kovatest::TrayIcon* pIcon = nullptr);
    // The icon of this process's frame, with the tip given (or any tip).
    bool WaitForIcon(const wchar_t* pszTip, kovatest::TrayIcon* pIcon = nullptr);
    bool WaitForIconGone();
    // Why it is not resident, for a failure message: how it ended, or who else is.
    std::string Describe();
    kovatest::CIconSelector Icon() const { return kovatest::CIconSelector::ByOwner(m_hFrame, kTrayId); }

    kovatest::CProcessGuard& Process() { return m_process; }
    DWORD Pid() const { return m_process.Pid(); }
    HWND Frame() const { return m_hFrame; }
    // Exit code after waiting, or STILL_ACTIVE.
    DWORD Wait(DWORD dwTimeoutMs = kWaitMs) { return m_process.Wait(dwTimeoutMs); }

private:
    kovatest::CProcessGuard m_process;
    HWND m_hFrame = nullptr;
};

// Sets a named event from another process, as the system's peers do: true when done.
bool SignalFromAnotherProcess(const char* pszEvent);

// One key event through the keyboard, by scan code, from another process ("0x04 ext up").
bool Scan(const std::string& strArgs);
// A press and its release ("0x01 vk=0x1B").
bool Stroke(const std::string& strKey);
// The radio hot key pressed and released; the pop-up it opens, or null on time-out.
HWND OpenByHotKey(CKova& kova);

// Visible top-level dialogs ("#32770") of a process.
std::vector<HWND> DialogsOf(DWORD dwPid);
// Waits for a visible dialog of the process (with that title, if given); null on time-out.
HWND WaitForDialogOf(DWORD dwPid, DWORD dwTimeoutMs, const char* pszTitle = nullptr);
bool WaitForNoDialogOf(DWORD dwPid, DWORD dwTimeoutMs);
// Texts of the dialog's static controls, in child order.
std::vector<std::string> StaticTextsOf(HWND hDlg);

// The picture of the icon once it has settled: two samples in a row alike, and unlike
// ulUnlike when that is given (the picture must change). False on time-out.
bool SampleSettledPicture(const kovatest::CIconSelector& sel, kovatest::PixelDigest& rDigest,
                          const unsigned long* pulUnlike = nullptr);

// A folder under the temporary path, removed with what it holds when it goes.
class CTempFolder {
public:
    CTempFolder();
    ~CTempFolder();
    CTempFolder(const CTempFolder&) = delete;
    CTempFolder& operator=(const CTempFolder&) = delete;

    bool IsReady() const { return !m_strPath.empty(); }
    // Full path, with a trailing backslash.
    const std::string& Path() const { return m_strPath; }
    // Copies build/bin's pszRelative (e.g. "Kova.exe", "noentry\\EMSC.dll") in under pszName.
    bool CopyFromBin(const char* pszRelative, const char* pszName);

private:
    std::string m_strPath;
};

// Adds a folder in front of PATH for one scope.
class CPathPrefix {
public:
    explicit CPathPrefix(const std::string& strFolder);
    ~CPathPrefix();
    CPathPrefix(const CPathPrefix&) = delete;
    CPathPrefix& operator=(const CPathPrefix&) = delete;

private:
    std::string m_strOld;
    bool m_bHadOld = false;
};

} // namespace kovae2e
