#include "tools/kovactl/DiagProbe.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <utility>
#include <vector>

#include "KovaVersion.h"
#include "framework/Dpi.h"
#include "framework/DynCalls.h"
#include "framework/Handles.h"
#include "radio/EmscAccess.h"
#include "radio/EmscLoader.h"
#include "radio/PolicyRead.h"
#include "radio/SystemController.h"
#include "res/KovaNames.h"
#include "res/resource.h"
#include "tray/TrayLook.h"

namespace {

const char RUN_KEY[] = R"(Software\Microsoft\Windows\CurrentVersion\Run)";
const char THEME_KEY[] = R"(Software\Microsoft\Windows\CurrentVersion\Themes\Personalize)";

std::string FromWide(UINT uCodePage, const std::wstring& str)
{
    const int cch = static_cast<int>(str.size());
    const int cb = ::WideCharToMultiByte(uCodePage, 0, str.data(), cch, nullptr, 0, nullptr, nullptr);
    std::string strOut(cb > 0 ? cb : 0, '\0');
    if (cb > 0)
        ::WideCharToMultiByte(uCodePage, 0, str.data(), cch, strOut.data(), cb, nullptr, nullptr);
    return strOut;
}

std::string WideToUtf8(const std::wstring& str)
{
    return FromWide(CP_UTF8, str);
}

std::wstring ToWide(UINT uCodePage, const std::string& str)
{
    const int cch = ::MultiByteToWideChar(uCodePage, 0, str.data(), static_cast<int>(str.size()), nullptr, 0);
    std::wstring strOut(cch > 0 ? cch : 0, L'\0');
    if (cch > 0)
        ::MultiByteToWideChar(uCodePage, 0, str.data(), static_cast<int>(str.size()), strOut.data(), cch);
    return strOut;
}

// The loader and the registry speak the ANSI code page; the report speaks UTF-8.
std::string AnsiToUtf8(const std::string& str)
{
    return WideToUtf8(ToWide(CP_ACP, str));
}

bool FileExists(const std::string& strPath)
{
    const DWORD dwAttr = ::GetFileAttributesA(strPath.c_str());
    return dwAttr != INVALID_FILE_ATTRIBUTES && !(dwAttr & FILE_ATTRIBUTE_DIRECTORY);
}

std::optional<std::string> FileVersion(const std::string& strPath)
{
    DWORD dwHandle = 0;
    const DWORD cb = ::GetFileVersionInfoSizeA(strPath.c_str(), &dwHandle);
    std::vector<BYTE> data(cb);
    VS_FIXEDFILEINFO* pInfo = nullptr;
    UINT cbInfo = 0;
    if (!cb || !::GetFileVersionInfoA(strPath.c_str(), 0, cb, data.data()) ||
        !::VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&pInfo), &cbInfo) || cbInfo < sizeof *pInfo)
        return std::nullopt;
    return DottedVersion(pInfo->dwFileVersionMS, pInfo->dwFileVersionLS);
}

// A REG_SZ value, or nothing when it is missing, of another type or unreadable.
std::optional<std::string> RegistryString(HKEY hRoot, const char* pszKey, const char* pszValue)
{
    DWORD cb = 0;
    if (::RegGetValueA(hRoot, pszKey, pszValue, RRF_RT_REG_SZ, nullptr, nullptr, &cb) != ERROR_SUCCESS || !cb)
        return std::nullopt;
    std::string str(cb, '\0');
    if (::RegGetValueA(hRoot, pszKey, pszValue, RRF_RT_REG_SZ, nullptr, str.data(), &cb) != ERROR_SUCCESS)
        return std::nullopt;
    str.resize(str.find('\0'));
    return str;
}

const char UNINSTALL_KEY[] = R"(Software\Microsoft\Windows\CurrentVersion\Uninstall)";

// The image of the running Kova, found by its window as a second start finds it.
std::string RunningKovaPath(uint32_t dwPid)
{
    kfw::CHandle hProcess(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, dwPid));
    char szPath[MAX_PATH] = "";
    DWORD cch = MAX_PATH;
    if (!hProcess || !::QueryFullProcessImageNameA(hProcess.Get(), 0, szPath, &cch))
        return std::string();
    return std::string(szPath, cch);
}

// Kova.exe in the install location either installer records in its uninstall entry.
std::string InstalledKovaPath()
{
    HKEY hRaw = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, UNINSTALL_KEY, 0, KEY_READ, &hRaw) != ERROR_SUCCESS)
        return std::string();
    const kfw::CRegKey hKey(hRaw);
    char szName[256];
    for (DWORD i = 0;; ++i)
    {
        DWORD cch = sizeof szName;
        if (::RegEnumKeyExA(hKey.Get(), i, szName, &cch, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            return std::string();
        const std::string strEntry = std::string(UNINSTALL_KEY) + "\\" + szName;
        const std::optional<std::string> location = RegistryString(HKEY_LOCAL_MACHINE, strEntry.c_str(), "InstallLocation");
        if (RegistryString(HKEY_LOCAL_MACHINE, strEntry.c_str(), "DisplayName") == std::optional<std::string>("Kova") &&
            location && !location->empty())
            return *location + (location->back() == '\\' ? "" : "\\") + "Kova.exe";
    }
}

// The Kova.exe the report is about, and so the folder whose EMSC.dll Kova loads: the
// running Kova's, else the installed one (the Run entry's program, else the install
// location), else the one beside kovactl. Returns its ANSI path, empty when none.
std::string ProbeKovaExe(DiagFacts& f)
{
    std::string strBeside;
    char szPath[MAX_PATH] = "";
    const DWORD dwLen = ::GetModuleFileNameA(nullptr, szPath, MAX_PATH);
    if (dwLen > 0 && dwLen < MAX_PATH)
    {
        strBeside.assign(szPath, dwLen);
        strBeside.replace(strBeside.find_last_of("\\/") + 1, std::string::npos, "Kova.exe");
    }
    const std::pair<DiagKovaSource, std::string> places[] = {
        { DiagKovaSource::Running, f.kovaPid ? RunningKovaPath(*f.kovaPid) : std::string() },
        { DiagKovaSource::RunEntry,
          ProgramFromCommandLine(RegistryString(HKEY_LOCAL_MACHINE, RUN_KEY, "Kova").value_or("")) },
        { DiagKovaSource::InstallLocation, InstalledKovaPath() },
        { DiagKovaSource::BesideKovactl, strBeside },
    };
    for (const auto& place : places)
    {
        if (place.second.empty() || !FileExists(place.second))
            continue;
        f.eKovaSource = place.first;
        f.strKovaExe = AnsiToUtf8(place.second);
        f.kovaFileVersion = FileVersion(place.second);
        return place.second;
    }
    f.eKovaSource = DiagKovaSource::None;
    return std::string();
}

void ProbeSemaphore(DiagFacts& f)
{
    kfw::CHandle hSemaphore(::OpenSemaphoreA(SYNCHRONIZE | SEMAPHORE_MODIFY_STATE, FALSE, KOVA_SEMAPHORE_NAME));
    if (!hSemaphore)
    {
        f.dwSemaphoreError = ::GetLastError();
        f.eSemaphore = f.dwSemaphoreError == ERROR_FILE_NOT_FOUND ? DiagSemaphore::NotPresent : DiagSemaphore::NoAccess;
        return;
    }
    // Taken and given back at once: a hot key pressed in between is the only one that could
    // be dropped, as with any other holder.
    if (::WaitForSingleObject(hSemaphore.Get(), 0) == WAIT_OBJECT_0)
    {
        ::ReleaseSemaphore(hSemaphore.Get(), 1, nullptr);
        f.eSemaphore = DiagSemaphore::Free;
    }
    else
        f.eSemaphore = DiagSemaphore::Held;
}

// Kova's frame, found by class as a second start of Kova finds it, and its icon (the frame
// and IDR_MAINFRAME, as the tray adds it).
void ProbeKovaWindow(DiagFacts& f)
{
    HWND hFrame = ::FindWindowA(KOVA_WINDOW_CLASS, nullptr);
    DWORD dwPid = 0;
    if (!hFrame || !::GetWindowThreadProcessId(hFrame, &dwPid))
        return;
    f.kovaPid = dwPid;
    // A pop-up of Kova's is a visible dialog of its process.
    for (HWND hDlg = ::FindWindowExA(nullptr, nullptr, "#32770", nullptr); hDlg && !f.bKovaDialogOpen;
         hDlg = ::FindWindowExA(nullptr, hDlg, "#32770", nullptr))
    {
        DWORD dwOwner = 0;
        f.bKovaDialogOpen = ::IsWindowVisible(hDlg) && ::GetWindowThreadProcessId(hDlg, &dwOwner) && dwOwner == dwPid;
    }

    const auto pfnGetRect = kfw::Shell32().pfnShellNotifyIconGetRect;
    NOTIFYICONIDENTIFIER nii = {};
    nii.cbSize = sizeof nii;
    nii.hWnd = hFrame;
    nii.uID = IDR_MAINFRAME;
    RECT rc = {};
    const HRESULT hr = pfnGetRect ? pfnGetRect(&nii, &rc) : E_NOTIMPL;
    f.eTray = hr == S_OK ? DiagTray::Present : hr == E_FAIL ? DiagTray::Absent : DiagTray::NotReported;
}

void ProbeWindows(DiagFacts& f)
{
    // GetVersionEx answers what the manifest admits to; RtlGetVersion tells the truth.
    OSVERSIONINFOW osvi = {};
    osvi.dwOSVersionInfoSize = sizeof osvi;
    if (const auto pfn = kfw::g_ntdll.pfnRtlGetVersion; pfn && pfn(&osvi) == 0)
    {
        f.bWindowsVersionKnown = true;
        f.dwMajor = osvi.dwMajorVersion;
        f.dwMinor = osvi.dwMinorVersion;
        f.dwBuild = osvi.dwBuildNumber;
    }
    // kovactl is 32-bit: under WOW64 the system is 64-bit; without the call it is older than
    // any 64-bit Windows.
    BOOL bWow64 = FALSE;
    if (const auto pfn = kfw::g_kernel32.pfnIsWow64Process)
        f.b64BitWindows = pfn(::GetCurrentProcess(), &bWow64) && bWow64;

    // An unaware process is told 96 whatever the scale, so the process says it is aware first;
    // it has no windows for that to change.
    if (const auto pfn = kfw::g_user32.pfnSetProcessDPIAware)
        pfn();
    f.uDpi = static_cast<uint32_t>(kfw::ScreenDpi());

    // Read as the tray reads it, except that a missing value is said as such.
    unsigned char abData[8] = {};
    DWORD dwType = REG_NONE, cbData = sizeof abData;
    const LSTATUS lResult =
        ::RegGetValueA(HKEY_CURRENT_USER, THEME_KEY, "SystemUsesLightTheme", RRF_RT_ANY, &dwType, abData, &cbData);
    if (lResult == ERROR_SUCCESS || lResult == ERROR_MORE_DATA)
        f.eTheme = TaskbarThemeFromValue(lResult == ERROR_SUCCESS, dwType, abData, cbData) == TaskbarTheme::Light
                       ? DiagTheme::Light
                       : DiagTheme::Dark;

    f.wUiLanguage = ::GetUserDefaultUILanguage();
    wchar_t szName[LOCALE_NAME_MAX_LENGTH] = L"";
    if (const auto pfn = kfw::g_kernel32.pfnLCIDToLocaleName;
        pfn && pfn(MAKELCID(f.wUiLanguage, SORT_DEFAULT), szName, LOCALE_NAME_MAX_LENGTH, 0) > 1)
        f.strLocaleName = WideToUtf8(szName);
}

void ProbeEmsc(DiagFacts& f, const std::string& strKovaExe)
{
    const std::string strFolder = strKovaExe.substr(0, strKovaExe.find_last_of("\\/") + 1);
    const std::vector<EmscCandidate> candidates = EmscCandidates(strFolder);
    CEmscAccess emsc;
    const EmscLoad eLoad = emsc.Load(EmscLookup::TrustedFolders, strFolder);
    const size_t nLoaded = eLoad == EmscLoad::NotFound ? candidates.size() : emsc.CandidateIndex();
    for (size_t i = 0; i < candidates.size(); ++i)
    {
        DiagCandidate c;
        c.strPath = AnsiToUtf8(candidates[i].strPath);
        c.strFolder = candidates[i].pszFolder;
        c.eState = i == nLoaded  ? DiagCandidateState::Loaded
                   : i > nLoaded ? DiagCandidateState::NotTried
                   : FileExists(candidates[i].strPath) ? DiagCandidateState::Unloadable
                                                       : DiagCandidateState::Missing;
        f.candidates.push_back(c);
    }
    if (eLoad == EmscLoad::NotFound)
        return;
    f.emscFileVersion = FileVersion(candidates[nLoaded].strPath);
    f.bEntryPoint = eLoad == EmscLoad::Loaded;
    if (!f.bEntryPoint)
        return;
    SystemController controller;
    controller.QueryWsBlStatus();
    f.nReadResult = controller.LastReadResult();
    f.byStatus = controller.returnECData;
    f.eRead = controller.LastReadAnswered() ? ReadOutcome(f.nReadResult, f.byStatus) : DiagRead::NoAnswer;
}

} // namespace

namespace {

DiagRadioPolicy ProbePolicy(Radio eRadio)
{
    PolicySource aSources[POLICY_PLACE_COUNT];
    PolicySourcesOf(eRadio, aSources);
    const RadioPolicyReading reading = ReadRadioPolicyPlaces(eRadio);
    DiagRadioPolicy policy;
    for (int i = 0; i < POLICY_PLACE_COUNT; ++i)
    {
        DiagPolicyPlace& place = policy.aPlaces[i];
        place.strKey = std::string(aSources[i].hRoot == HKEY_CURRENT_USER ? "HKCU\\" : "HKLM\\") + aSources[i].pszKey;
        place.strValue = aSources[i].pszValue;
        place.value = reading.aValues[i];
    }
    return policy;
}

} // namespace

DiagFacts ProbeDiagnostics()
{
    DiagFacts f;
    f.strToolVersion = KOVA_VERSION_STRING;
    ProbeKovaWindow(f);
    const std::string strKovaExe = ProbeKovaExe(f);
    f.registryVersion = RegistryString(HKEY_LOCAL_MACHINE, KOVA_REG_KEY, "Version");
    if (f.registryVersion)
        f.registryVersion = AnsiToUtf8(*f.registryVersion);
    ProbeSemaphore(f);
    ProbeWindows(f);
    ProbeEmsc(f, strKovaExe);
    f.wifiPolicy = ProbePolicy(Radio::Wlan);
    f.bluetoothPolicy = ProbePolicy(Radio::Bluetooth);
    return f;
}

void PrintUtf8(const std::string& strUtf8)
{
    const UINT uCodePage = ::GetConsoleOutputCP();
    std::fputs(FromWide(uCodePage ? uCodePage : CP_ACP, ToWide(CP_UTF8, strUtf8)).c_str(), stdout);
}
