#include "support/KovaSession.h"

#include <functional>

#include "res/KovaNames.h"
#include "tools/emsc/EmscDev.h"

using namespace kovatest;

namespace kovae2e {

const char kFrameClass[] = KOVA_WINDOW_CLASS;
const char kNotifyEvent[] = KOVA_NOTIFY_EVENT_NAME;
const char kCloseEvent[] = KOVA_CLOSE_EVENT_NAME;

const wchar_t kTipBothOn[] = L"Bluetooth and Wireless LAN are enabled.";
const wchar_t kTipBothOff[] = L"Bluetooth and Wireless LAN are disabled.";
const wchar_t kTipWlanOn[] = L"Wireless LAN is enabled.";
const wchar_t kTipWlanOff[] = L"Wireless LAN is disabled.";
const wchar_t kTipBtOn[] = L"Bluetooth is enabled.";
const wchar_t kTipBtOff[] = L"Bluetooth is disabled.";

namespace {

const char kDialogClass[] = "#32770";

// The frame of that process: FindWindowA alone could return another program's window of
// the class, say one a failed test left behind.
HWND FrameOf(DWORD dwPid)
{
    const std::vector<HWND> frames = TopLevelOf(dwPid, kFrameClass);
    return frames.empty() ? nullptr : frames.front();
}

// Deletes the folder's contents and the folder; false if anything stayed.
bool RemoveTree(const std::string& strFolder)
{
    WIN32_FIND_DATAA fd = {};
    HANDLE hFind = ::FindFirstFileA((strFolder + "*").c_str(), &fd);
    if (hFind != INVALID_HANDLE_VALUE)
    {
        do
        {
            const std::string strName = fd.cFileName;
            if (strName == "." || strName == "..")
                continue;
            const std::string strPath = strFolder + strName;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(strPath + "\\");
            else
                ::DeleteFileA(strPath.c_str());
        } while (::FindNextFileA(hFind, &fd));
        ::FindClose(hFind);
    }
    return ::RemoveDirectoryA(strFolder.c_str()) != FALSE;
}

} // namespace

std::string Narrow(const std::wstring& str)
{
    return ToUtf8(str);
}

CKova::CKova(const std::string& strArgs) : m_process(CProcessGuard::Start("Kova.exe", strArgs))
{
}

CKova::CKova(const std::string& strExePath, const std::string& strArgs, const char* pszCurrentDir)
    : m_process(CProcessGuard::StartPath(strExePath, strArgs, pszCurrentDir))
{
}

void CKova::Start(const std::string& strExePath, const std::string& strArgs, const char* pszCurrentDir)
{
    m_process = CProcessGuard::StartPath(strExePath, strArgs, pszCurrentDir);
    m_hFrame = nullptr;
}

CResidentKova::CResidentKova(BYTE byStatus, const KovaStart& start)
    : m_pOwnState(std::make_unique<CEmscState>(byStatus)), m_pState(m_pOwnState.get())
{
    StartResident(start);
}

CResidentKova::CResidentKova(CEmscState& state, const KovaStart& start) : m_pState(&state)
{
    StartResident(start);
}

CResidentKova::~CResidentKova()
{
    // Before the state goes: a Kova still running would read a state file that is gone.
    Process().Terminate();
}

void CResidentKova::StartResident(const KovaStart& start)
{
    m_pszTip = start.pszTip;
    if (!m_pState->IsReady())
        return;
    m_bParked = !start.bParkPointer || ParkPointer();
    if (!m_bParked)
        return;
    Start(start.strExePath.empty() ? BinPath("Kova.exe") : start.strExePath, std::string(), start.pszCurrentDir);
    m_bResident = WaitUntilResident(&m_icon) && (!m_pszTip || WaitForIcon(m_pszTip, &m_icon));
}

std::string CResidentKova::Describe()
{
    if (!m_pState->IsReady())
        return "the development EMSC.dll's state could not be set up";
    if (!m_bParked)
        return "the pointer could not be parked";
    std::string str = CKova::Describe();
    if (m_pszTip && Frame() && m_icon.hWnd && m_icon.strTip != m_pszTip)
        str += "; its tip is \"" + Narrow(m_icon.strTip) + "\", not \"" + Narrow(m_pszTip) + "\"";
    return str;
}

bool CKova::WaitUntilResident(TrayIcon* pIcon)
{
    if (!m_process)
        return false;
    if (!PumpUntil([&] { return (m_hFrame = FrameOf(Pid())) != nullptr || !m_process.IsRunning(); }, kWaitMs) ||
        !m_hFrame)
        return false;
    return WaitForIcon(nullptr, pIcon);
}

bool CKova::WaitForIcon(const wchar_t* pszTip, TrayIcon* pIcon)
{
    TrayIcon icon;
    const bool bFound = PumpUntil([&] {
        return FindTrayIcon(Icon(), icon) && (!pszTip || (icon.bHasTip && icon.strTip == pszTip));
    }, kWaitMs);
    if (bFound && pIcon)
        *pIcon = icon;
    return bFound;
}

bool CKova::WaitForIconGone()
{
    return WaitForTrayIconGone(Icon(), kWaitMs);
}

std::string CKova::Describe()
{
    std::string str;
    if (!m_process)
        return "Kova.exe could not be started";
    if (m_process.IsRunning())
        str = m_hFrame ? "Kova runs with its frame" : "Kova runs without a frame";
    else
        str = "Kova ended with code " + std::to_string(m_process.Wait(0));
    // A resident of another run (a developer's own, say) makes every start a second start.
    if (HWND hOther = ::FindWindowA(kFrameClass, nullptr))
    {
        if (PidOf(hOther) != Pid())
            str += "; another Kova (process " + std::to_string(PidOf(hOther)) + ") is resident";
    }
    return str;
}

bool SignalFromAnotherProcess(const char* pszEvent)
{
    return RunHelper(std::string("set-event ") + pszEvent, kWaitMs) == 0;
}

std::vector<HWND> DialogsOf(DWORD dwPid)
{
    return TopLevelOf(dwPid, kDialogClass, true);
}

HWND WaitForDialogOf(DWORD dwPid, DWORD dwTimeoutMs, const char* pszTitle)
{
    HWND hFound = nullptr;
    PumpUntil([&] {
        for (HWND hWnd : DialogsOf(dwPid))
        {
            char szTitle[256] = "";
            ::GetWindowTextA(hWnd, szTitle, sizeof(szTitle));
            if (!pszTitle || lstrcmpA(szTitle, pszTitle) == 0)
            {
                hFound = hWnd;
                return true;
            }
        }
        return false;
    }, dwTimeoutMs);
    return hFound;
}

bool WaitForNoDialogOf(DWORD dwPid, DWORD dwTimeoutMs)
{
    return PumpUntil([&] { return DialogsOf(dwPid).empty(); }, dwTimeoutMs);
}

std::vector<std::string> StaticTextsOf(HWND hDlg)
{
    // Wine's message box gives its text another control id than Windows' 0xFFFF: go by class.
    std::vector<std::string> texts;
    for (HWND hChild = ::GetWindow(hDlg, GW_CHILD); hChild; hChild = ::GetWindow(hChild, GW_HWNDNEXT))
    {
        if (!HasClass(hChild, "Static"))
            continue;
        char szText[512] = "";
        ::GetWindowTextA(hChild, szText, sizeof(szText));
        if (szText[0])
            texts.push_back(szText);
    }
    return texts;
}

bool SampleSettledPicture(const CIconSelector& sel, PixelDigest& rDigest, const unsigned long* pulUnlike)
{
    // The tip and the picture change in one shell request, but explorer repaints the icon
    // window later than it swaps the tip text.
    bool bHavePrevious = false;
    unsigned long ulPrevious = 0;
    return PumpUntil([&] {
        TrayIcon icon;
        PixelDigest digest;
        if (!FindTrayIcon(sel, icon) || !SampleIconPixels(icon, digest))
            return false;
        const bool bSettled = bHavePrevious && ulPrevious == digest.ulHash &&
                              (!pulUnlike || digest.ulHash != *pulUnlike);
        bHavePrevious = true;
        ulPrevious = digest.ulHash;
        if (bSettled)
            rDigest = digest;
        return bSettled;
    }, kWaitMs);
}

CTempFolder::CTempFolder()
{
    char szTemp[MAX_PATH] = "";
    if (!::GetTempPathA(MAX_PATH, szTemp))
        return;
    const std::string strPath = std::string(szTemp) + UniqueName("kova") + "\\";
    if (::CreateDirectoryA(strPath.c_str(), nullptr))
        m_strPath = strPath;
}

CTempFolder::~CTempFolder()
{
    if (m_strPath.empty())
        return;
    // An image of a process that has just ended can stay locked for a moment. PumpUntil
    // asks more than once: gone is done.
    PumpUntil([&] {
        return RemoveTree(m_strPath) || ::GetFileAttributesA(m_strPath.c_str()) == INVALID_FILE_ATTRIBUTES;
    }, 3000);
}

bool CTempFolder::CopyFromBin(const char* pszRelative, const char* pszName)
{
    return IsReady() && ::CopyFileA(BinPath(pszRelative).c_str(), (m_strPath + pszName).c_str(), FALSE);
}

CPathPrefix::CPathPrefix(const std::string& strFolder)
{
    const DWORD cch = ::GetEnvironmentVariableA("PATH", nullptr, 0);
    if (cch)
    {
        m_strOld.resize(cch);
        m_strOld.resize(::GetEnvironmentVariableA("PATH", &m_strOld[0], cch));
        m_bHadOld = true;
    }
    ::SetEnvironmentVariableA("PATH", (strFolder + (m_bHadOld ? ";" + m_strOld : std::string())).c_str());
}

CPathPrefix::~CPathPrefix()
{
    ::SetEnvironmentVariableA("PATH", m_bHadOld ? m_strOld.c_str() : nullptr);
}

bool Scan(const std::string& strArgs)
{
    return RunHelper("send-scan " + strArgs, kWaitMs) == 0;
}

bool Stroke(const std::string& strKey)
{
    const size_t nVk = strKey.find(" vk=");
    const std::string strUp = nVk == std::string::npos ? strKey + " up"
                                                       : strKey.substr(0, nVk) + " up" + strKey.substr(nVk);
    return Scan(strKey) && Scan(strUp);
}

HWND OpenByHotKey(CKova& kova)
{
    if (!Scan("0x04 ext") || !Scan("0x04 ext up"))
        return nullptr;
    return WaitForDialogOf(kova.Pid(), kWaitMs);
}

} // namespace kovae2e
