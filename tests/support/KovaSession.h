// Kova.exe as another program sees it: started from build/bin (or a copy elsewhere), found
// by its window class, watched through the tray, its named events and its pop-ups.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "framework/Handles.h"
#include "harness/TrayObserver.h"
#include "support/EmscState.h"
#include "support/TestSupport.h"

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
    explicit CKova(const std::string& strArgs);
    // Another copy of the program, started in pszCurrentDir if given.
    CKova(const std::string& strExePath, const std::string& strArgs, const char* pszCurrentDir);

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

protected:
    // Nothing started yet: Start() does it.
    CKova() = default;
    void Start(const std::string& strExePath, const std::string& strArgs, const char* pszCurrentDir);
    // Waits for the hidden frame of this process and for its tray icon; false on time-out.
    bool WaitUntilResident(kovatest::TrayIcon* pIcon = nullptr);

private:
    kovatest::CProcessGuard m_process;
    HWND m_hFrame = nullptr;
};

// How a resident Kova is started: build/bin/Kova.exe unless another copy is named.
struct KovaStart {
    std::string strExePath;               // another copy of the program
    const char* pszCurrentDir = nullptr;
    const wchar_t* pszTip = nullptr;      // resident only once the icon shows this tip
    bool bParkPointer = false;            // a pointer resting where pop-ups open holds them open

    KovaStart& Exe(const std::string& strPath, const char* pszDir = nullptr)
    {
        strExePath = strPath;
        pszCurrentDir = pszDir;
        return *this;
    }
    KovaStart& Tip(const wchar_t* psz)
    {
        pszTip = psz;
        return *this;
    }
    KovaStart& Parked()
    {
        bParkPointer = true;
        return *this;
    }
};

// A Kova.exe resident on a radio state of the development EMSC.dll: the state set up (its
// own, or one the test holds across several starts), the program started, its frame found
// and its icon shown. Ended when it goes, before its own state is removed.
//
//     CResidentKova kova(0x1F, KovaStart().Parked());
//     ASSERT_TRUE(kova.IsResident()) << kova.Describe();
class CResidentKova : public CKova {
public:
    explicit CResidentKova(BYTE byStatus, const KovaStart& start = KovaStart());
    explicit CResidentKova(kovatest::CEmscState& state, const KovaStart& start = KovaStart());
    ~CResidentKova();
    CResidentKova(const CResidentKova&) = delete;
    CResidentKova& operator=(const CResidentKova&) = delete;

    bool IsResident() const { return m_bResident; }
    // Why it is not resident, for a failure message.
    std::string Describe();
    // The icon as it was once Kova was resident.
    const kovatest::TrayIcon& StartIcon() const { return m_icon; }
    kovatest::CEmscState& State() { return *m_pState; }

private:
    void StartResident(const KovaStart& start);

    std::unique_ptr<kovatest::CEmscState> m_pOwnState;
    kovatest::CEmscState* m_pState;
    kovatest::TrayIcon m_icon;
    const wchar_t* m_pszTip = nullptr;
    bool m_bParked = true;
    bool m_bResident = false;
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
