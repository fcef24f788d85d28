// kovaclose.dll: the installers' custom actions. CloseRunningKova has a running Kova
// quit before the MSI package replaces or removes its files; StartKova (START=1), and
// StartKovaAsUser for the NSIS installer, start Kova as the interactive user (ShellStart.cpp).
// CloseRunningKova: When Kova.exe is installed in
// INSTALLDIR, it sets Kova's close event and waits, at most 15 s, until Kova's
// single-instance mutex is gone (Kova holds it until its process ends) and the program file
// can be opened for writing. It always lets the installation go on, as the NSIS installer
// does; after the time-out Windows Installer's own files-in-use handling takes over.
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <string>

#include "ShellStart.h"
#include "framework/Handles.h"
#include "res/KovaNames.h"

namespace {

const DWORD TIMEOUT_MS = 15000;
const DWORD RETRY_MS = 100;
const DWORD REPEAT_MS = 500;

using CMsiHandle = kfw::UniqueHandle<kfw::NullHandleTraits<MSIHANDLE, &::MsiCloseHandle>>;

// A line in the installation's log (msiexec /l*v).
void Log(MSIHANDLE hInstall, LPCWSTR pszAction, const std::wstring& strText)
{
    CMsiHandle hRecord(::MsiCreateRecord(1));
    if (!hRecord)
        return;
    ::MsiRecordSetStringW(hRecord.Get(), 0, (pszAction + (L": " + strText)).c_str());
    ::MsiProcessMessage(hInstall, INSTALLMESSAGE_INFO, hRecord.Get());
}

std::wstring Property(MSIHANDLE hInstall, LPCWSTR pszName)
{
    WCHAR szEmpty[1] = {};
    DWORD cch = 0;
    if (::MsiGetPropertyW(hInstall, pszName, szEmpty, &cch) != ERROR_MORE_DATA)
        return std::wstring();
    std::wstring str(cch + 1, L'\0');
    cch = static_cast<DWORD>(str.size());
    if (::MsiGetPropertyW(hInstall, pszName, str.data(), &cch) != ERROR_SUCCESS)
        return std::wstring();
    str.resize(cch);
    return str;
}

// Windows refuses writing to the image of a running program; Wine does not always, hence
// the mutex first.
bool CanWrite(const std::wstring& strPath)
{
    kfw::UniqueHandle<kfw::FileHandleTraits> hFile(::CreateFileW(strPath.c_str(), GENERIC_WRITE,
        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    return hFile.IsValid() || ::GetLastError() == ERROR_FILE_NOT_FOUND;
}

void AskKovaToQuit()
{
    // The event exists only while a Kova runs.
    kfw::CHandle hClose(::OpenEventA(EVENT_MODIFY_STATE, FALSE, KOVA_CLOSE_EVENT_NAME));
    if (hClose)
        ::SetEvent(hClose.Get());
}

LONG Left(DWORD dwDeadline)
{
    return static_cast<LONG>(dwDeadline - ::GetTickCount());
}

enum class Quit { NotRunning, QuitWhenAsked, StillRuns };

// Waits on the mutex itself: it is abandoned, so ours, when Kova's process ends. The request
// is repeated for a Kova that was still starting and had no event yet.
Quit WaitForMutexGone(DWORD dwDeadline)
{
    kfw::CHandle hMutex(::OpenMutexA(SYNCHRONIZE, FALSE, KOVA_WINDOW_CLASS));
    if (!hMutex)
        return Quit::NotRunning;
    for (LONG nLeft; (nLeft = Left(dwDeadline)) > 0;) {
        AskKovaToQuit();
        const DWORD dwWait = ::WaitForSingleObject(hMutex.Get(), nLeft < LONG(REPEAT_MS) ? nLeft : REPEAT_MS);
        if (dwWait == WAIT_OBJECT_0 || dwWait == WAIT_ABANDONED) {
            ::ReleaseMutex(hMutex.Get());
            return Quit::QuitWhenAsked;
        }
        if (dwWait != WAIT_TIMEOUT)
            return Quit::StillRuns;
    }
    return Quit::StillRuns;
}

bool WaitForFileFree(const std::wstring& strPath, DWORD dwDeadline)
{
    while (!CanWrite(strPath)) {
        if (Left(dwDeadline) <= 0)
            return false;
        ::Sleep(RETRY_MS);
    }
    return true;
}

} // namespace

extern "C" UINT __stdcall CloseRunningKova(MSIHANDLE hInstall)
{
    const LPCWSTR pszAction = L"CloseRunningKova";
    const std::wstring strDir = Property(hInstall, L"INSTALLDIR");
    if (strDir.empty()) {
        Log(hInstall, pszAction, L"no INSTALLDIR");
        return ERROR_SUCCESS;
    }
    const std::wstring strProgram = strDir + (strDir.back() == L'\\' ? L"" : L"\\") + L"Kova.exe";
    // Not installed there: a first installation, and any other Kova is left alone.
    if (::GetFileAttributesW(strProgram.c_str()) == INVALID_FILE_ATTRIBUTES) {
        Log(hInstall, pszAction, L"no installed Kova.exe");
        return ERROR_SUCCESS;
    }
    const DWORD dwDeadline = ::GetTickCount() + TIMEOUT_MS;
    const Quit quit = WaitForMutexGone(dwDeadline);
    if (quit == Quit::StillRuns || !WaitForFileFree(strProgram, dwDeadline))
        Log(hInstall, pszAction, L"Kova still runs after 15 s");
    else
        Log(hInstall, pszAction, quit == Quit::QuitWhenAsked ? L"Kova quit when asked" : L"Kova is not running");
    return ERROR_SUCCESS;
}

// START=1, after InstallFinalize. A Kova that could not be started never fails the installation.
extern "C" UINT __stdcall StartKova(MSIHANDLE hInstall)
{
    const kovastart::CStartResult result = kovastart::StartKovaAsUser(Property(hInstall, L"INSTALLDIR"));
    Log(hInstall, L"StartKova", result.strLog);
    return ERROR_SUCCESS;
}

// The NSIS installer's start (System::Call): 1 when started; the log line goes to pszLog.
extern "C" int __stdcall StartKovaAsUser(LPCWSTR pszDir, LPWSTR pszLog, int cchLog)
{
    const kovastart::CStartResult result = kovastart::StartKovaAsUser(pszDir ? pszDir : L"");
    if (pszLog && cchLog > 0) {
        const size_t cch = result.strLog.copy(pszLog, static_cast<size_t>(cchLog) - 1);
        pszLog[cch] = L'\0';
    }
    return result.bStarted ? 1 : 0;
}
