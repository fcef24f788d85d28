#include "support/TestSupport.h"

#include "harness/ProcessCensus.h"

#include <atomic>
#include <utility>

namespace kovatest {

namespace {

// Dispatches queued messages until the queue is empty or stop() holds. Bounded by stop(),
// not by an empty queue: a window flooded with posts must not hang the test.
template <class Stop>
void Dispatch(Stop stop)
{
    MSG msg;
    while (!stop() && ::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
    {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

} // namespace

void PumpPending()
{
    int nLeft = 10000;
    Dispatch([&] { return --nLeft < 0; });
}

bool PumpUntil(const std::function<bool()>& pred, DWORD dwTimeoutMs)
{
    const ULONGLONG ullEnd = ::GetTickCount64() + dwTimeoutMs;
    for (;;)
    {
        Dispatch([&] { return pred() || ::GetTickCount64() >= ullEnd; });
        if (pred())
            return true;
        const ULONGLONG ullNow = ::GetTickCount64();
        if (ullNow >= ullEnd)
            return false;
        // Short slices: pred() may depend on things that do not wake a message wait,
        // such as another process ending.
        const ULONGLONG ullLeft = ullEnd - ullNow;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, ullLeft < 20 ? static_cast<DWORD>(ullLeft) : 20,
                                    QS_ALLINPUT);
    }
}

bool WaitUntil(const std::function<bool()>& pred, DWORD dwTimeoutMs)
{
    const ULONGLONG ullEnd = ::GetTickCount64() + dwTimeoutMs;
    while (!pred())
    {
        if (::GetTickCount64() >= ullEnd)
            return pred();
        ::Sleep(5);
    }
    return true;
}

bool SendMouseAt(POINT pt, DWORD dwButtons)
{
    INPUT input = {};
    input.type = INPUT_MOUSE;
    // Absolute coordinates span 0..65535 over the screen.
    input.mi.dx = (pt.x * 65536 + 65535) / ::GetSystemMetrics(SM_CXSCREEN);
    input.mi.dy = (pt.y * 65536 + 65535) / ::GetSystemMetrics(SM_CYSCREEN);
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | dwButtons;
    return ::SendInput(1, &input, sizeof input) == 1;
}

bool SendMouseButtons(const std::vector<DWORD>& buttons)
{
    std::vector<INPUT> inputs(buttons.size());
    for (size_t i = 0; i < buttons.size(); ++i)
    {
        inputs[i].type = INPUT_MOUSE;
        inputs[i].mi.dwFlags = buttons[i];
    }
    return ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) == inputs.size();
}

bool ClickHere()
{
    return SendMouseButtons({ MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP });
}

bool ClickAt(POINT pt)
{
    return MovePointer(pt) && ClickHere();
}

DWORD PidOf(HWND hWnd)
{
    DWORD dwPid = 0;
    ::GetWindowThreadProcessId(hWnd, &dwPid);
    return dwPid;
}

bool HasClass(HWND hWnd, const char* pszClass)
{
    char szClass[64] = "";
    ::GetClassNameA(hWnd, szClass, sizeof szClass);
    return lstrcmpiA(szClass, pszClass) == 0;
}

namespace {

// Lambdas are not stdcall on x86: one trampoline for every top-level walk.
BOOL CALLBACK EnumTrampoline(HWND hWnd, LPARAM lParam)
{
    return (*reinterpret_cast<const std::function<bool(HWND)>*>(lParam))(hWnd) ? TRUE : FALSE;
}

// Without a virtual desktop Wine 8 shows each icon as a child window of explorer's
// standalone tray; newer Wine names the icon windows "__wine_tray_icon".
const char* const kIconClasses[] = {"__winex11_tray_icon", "__wine_tray_icon"};
const char* const kTrayClasses[] = {"__winex11_standalone_tray", "Shell_TrayWnd"};

} // namespace

void ForEachTopLevel(const std::function<bool(HWND)>& fn)
{
    ::EnumWindows(EnumTrampoline, reinterpret_cast<LPARAM>(&fn));
}

std::vector<HWND> TopLevelOf(DWORD dwPid, const char* pszClass, bool bVisibleOnly)
{
    std::vector<HWND> found;
    for (HWND hWnd = ::FindWindowExA(nullptr, nullptr, pszClass, nullptr); hWnd;
         hWnd = ::FindWindowExA(nullptr, hWnd, pszClass, nullptr))
        if (PidOf(hWnd) == dwPid && (!bVisibleOnly || ::IsWindowVisible(hWnd)))
            found.push_back(hWnd);
    return found;
}

bool IsIconWindow(HWND hWnd)
{
    for (const char* pszClass : kIconClasses)
        if (HasClass(hWnd, pszClass))
            return true;
    return false;
}

std::vector<HWND> IconWindows()
{
    std::vector<HWND> icons;
    for (const char* pszTray : kTrayClasses)
        for (HWND hTray = ::FindWindowExA(nullptr, nullptr, pszTray, nullptr); hTray;
             hTray = ::FindWindowExA(nullptr, hTray, pszTray, nullptr))
            for (const char* pszIcon : kIconClasses)
                for (HWND hIcon = ::FindWindowExA(hTray, nullptr, pszIcon, nullptr); hIcon;
                     hIcon = ::FindWindowExA(hTray, hIcon, pszIcon, nullptr))
                    icons.push_back(hIcon);
    return icons;
}

HWND WaitForWindow(const char* pszClass, DWORD dwTimeoutMs, const char* pszTitle)
{
    HWND hWnd = nullptr;
    PumpUntil([&] { return (hWnd = ::FindWindowA(pszClass, pszTitle)) != nullptr; }, dwTimeoutMs);
    return hWnd;
}

bool WaitGone(HWND hWnd, DWORD dwTimeoutMs)
{
    return PumpUntil([&] { return !::IsWindow(hWnd) || !::IsWindowVisible(hWnd); }, dwTimeoutMs);
}

bool MovePointer(POINT pt, DWORD dwTimeoutMs)
{
    if (!SendMouseAt(pt))
        return false;
    // Callers may be inside a dialog's timer handler: no pumping.
    return WaitUntil([&] {
        POINT ptNow = {};
        return ::GetCursorPos(&ptNow) && ptNow.x == pt.x && ptNow.y == pt.y;
    }, dwTimeoutMs);
}

bool ParkPointer()
{
    return MovePointer({ ::GetSystemMetrics(SM_CXSCREEN) - 3, ::GetSystemMetrics(SM_CYSCREEN) - 3 });
}

std::string BinPath(const char* pszExe)
{
    char szPath[MAX_PATH] = {};
    const DWORD dwLen = ::GetModuleFileNameA(nullptr, szPath, MAX_PATH);
    if (!dwLen || dwLen >= MAX_PATH)
        return std::string();
    std::string strExe = szPath;
    strExe.erase(strExe.find_last_of("\\/") + 1);
    return strExe + pszExe;
}

kfw::CHandle StartHelper(const std::string& strArgs)
{
    const std::string strExe = BinPath("kovatest_helper.exe");
    if (strExe.empty())
        return kfw::CHandle();

    std::string strCmd = "\"" + strExe + "\" " + strArgs;
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (!::CreateProcessA(strExe.c_str(), &strCmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return kfw::CHandle();
    ::CloseHandle(pi.hThread);
    return kfw::CHandle(pi.hProcess);
}

DWORD WaitForExit(HANDLE hProcess, DWORD dwTimeoutMs)
{
    if (!PumpUntil([&] { return ::WaitForSingleObject(hProcess, 0) == WAIT_OBJECT_0; }, dwTimeoutMs))
        return STILL_ACTIVE;
    DWORD dwCode = 0;
    ::GetExitCodeProcess(hProcess, &dwCode);
    return dwCode;
}

DWORD RunHelper(const std::string& strArgs, DWORD dwTimeoutMs)
{
    kfw::CHandle hProcess = StartHelper(strArgs);
    if (!hProcess)
        return ~0u;
    const DWORD dwCode = WaitForExit(hProcess.Get(), dwTimeoutMs);
    if (dwCode == STILL_ACTIVE)
        ::TerminateProcess(hProcess.Get(), 99);
    return dwCode;
}

CProcessGuard::~CProcessGuard()
{
    Terminate();
}

CProcessGuard& CProcessGuard::operator=(CProcessGuard&& other) noexcept
{
    if (this != &other)
    {
        Terminate();
        m_hProcess = std::move(other.m_hProcess);
        m_dwPid = std::exchange(other.m_dwPid, 0);
    }
    return *this;
}

CProcessGuard CProcessGuard::Start(const char* pszExe, const std::string& strArgs)
{
    return StartPath(BinPath(pszExe), strArgs);
}

CProcessGuard CProcessGuard::StartPath(const std::string& strExePath, const std::string& strArgs,
                                       const char* pszCurrentDir)
{
    CProcessGuard guard;
    std::string strCmd = "\"" + strExePath + "\" " + strArgs;
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (strExePath.empty() || !::CreateProcessA(strExePath.c_str(), &strCmd[0], nullptr, nullptr, FALSE, 0,
                                                nullptr, pszCurrentDir, &si, &pi))
        return guard;
    ::CloseHandle(pi.hThread);
    guard.m_hProcess.Reset(pi.hProcess);
    guard.m_dwPid = pi.dwProcessId;
    return guard;
}

bool CProcessGuard::IsRunning() const
{
    return m_hProcess && ::WaitForSingleObject(m_hProcess.Get(), 0) == WAIT_TIMEOUT;
}

DWORD CProcessGuard::Wait(DWORD dwTimeoutMs) const
{
    return m_hProcess ? WaitForExit(m_hProcess.Get(), dwTimeoutMs) : ~0u;
}

void CProcessGuard::Terminate()
{
    if (!m_hProcess)
        return;
    if (IsRunning())
    {
        ::TerminateProcess(m_hProcess.Get(), 99);
        // Its windows and tray icon go with it; the next test must not see them.
        ::WaitForSingleObject(m_hProcess.Get(), 5000);
    }
    m_hProcess.Reset();
    m_dwPid = 0;
}

DWORD RunProgram(const char* pszExe, const std::string& strArgs, std::string& rstrOutput, DWORD dwTimeoutMs)
{
    rstrOutput.clear();
    const std::string strExe = BinPath(pszExe);
    if (strExe.empty())
        return ~0u;
    SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
    HANDLE hRead = nullptr, hWrite = nullptr;
    if (!::CreatePipe(&hRead, &hWrite, &sa, 0))
        return ~0u;
    kfw::CHandle hOurEnd(hRead), hTheirEnd(hWrite);
    ::SetHandleInformation(hOurEnd.Get(), HANDLE_FLAG_INHERIT, 0);

    std::string strCmd = "\"" + strExe + "\" " + strArgs;
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = hTheirEnd.Get();
    si.hStdError = hTheirEnd.Get();
    PROCESS_INFORMATION pi = {};
    if (!::CreateProcessA(strExe.c_str(), &strCmd[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi))
        return ~0u;
    ::CloseHandle(pi.hThread);
    kfw::CHandle hProcess(pi.hProcess);
    hTheirEnd.Reset();   // the child holds the only write end: a read then ends with it

    // Drain while waiting: a child blocked on a full pipe would never end.
    auto drain = [&] {
        DWORD cbAvail = 0;
        while (::PeekNamedPipe(hOurEnd.Get(), nullptr, 0, nullptr, &cbAvail, nullptr) && cbAvail)
        {
            char buf[4096];
            DWORD cbRead = 0;
            if (!::ReadFile(hOurEnd.Get(), buf, sizeof(buf), &cbRead, nullptr) || !cbRead)
                break;
            rstrOutput.append(buf, cbRead);
        }
    };
    const bool bEnded = PumpUntil([&] {
        drain();
        return ::WaitForSingleObject(hProcess.Get(), 0) == WAIT_OBJECT_0;
    }, dwTimeoutMs);
    if (!bEnded)
    {
        ::TerminateProcess(hProcess.Get(), 99);
        ::WaitForSingleObject(hProcess.Get(), 5000);
    }
    drain();
    DWORD dwCode = STILL_ACTIVE;
    if (bEnded)
        ::GetExitCodeProcess(hProcess.Get(), &dwCode);
    return dwCode;
}

std::string UniqueName(const char* pszBase)
{
    static std::atomic<int> s_nNext{0};
    return std::string(pszBase) + "." + std::to_string(::GetCurrentProcessId()) + "." +
           std::to_string(++s_nNext);
}

int CountThreads()
{
    return CountThreadsOf(::GetCurrentProcessId());
}

bool SendScanKey(WORD wScan, WORD wVk, DWORD dwFlags)
{
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wScan = wScan;
    // Wine derives no virtual key from a scan code; the dialog manager needs one.
    input.ki.wVk = wVk;
    input.ki.dwFlags = KEYEVENTF_SCANCODE | dwFlags;
    return ::SendInput(1, &input, sizeof input) == 1;
}

bool StrokeScanKey(WORD wScan, WORD wVk)
{
    return SendScanKey(wScan, wVk, 0) && SendScanKey(wScan, wVk, KEYEVENTF_KEYUP);
}

namespace {
const char kLogClass[] = "KovaTestMessageLog";
WNDPROC g_pfnEdit = nullptr;
bool g_bKeyDown = false;
}

CTypingWindow::CTypingWindow()
{
    m_hWnd = ::CreateWindowExA(WS_EX_TOPMOST, "EDIT", "", WS_POPUP | WS_VISIBLE | WS_BORDER, 0, 0, 200, 40, nullptr,
                               nullptr, ::GetModuleHandleA(nullptr), nullptr);
    g_pfnEdit = reinterpret_cast<WNDPROC>(::SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Proc)));
    ::SetForegroundWindow(m_hWnd);
    ::SetFocus(m_hWnd);
}

CTypingWindow::~CTypingWindow()
{
    ::DestroyWindow(m_hWnd);
}

LRESULT CALLBACK CTypingWindow::Proc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (uMsg == WM_KEYDOWN)
        g_bKeyDown = true;
    return ::CallWindowProcA(g_pfnEdit, hWnd, uMsg, wParam, lParam);
}

double CTypingWindow::Type()
{
    LARGE_INTEGER liFrequency, liSent, liCame = {};
    ::QueryPerformanceFrequency(&liFrequency);
    g_bKeyDown = false;
    ::QueryPerformanceCounter(&liSent);
    if (!SendScanKey(0x1E, 'A', 0))
        return -1;
    const bool bCame = PumpUntil([&] { return ::QueryPerformanceCounter(&liCame), g_bKeyDown; }, 10000);
    SendScanKey(0x1E, 'A', KEYEVENTF_KEYUP);
    return bCame ? 1000.0 * static_cast<double>(liCame.QuadPart - liSent.QuadPart) /
                       static_cast<double>(liFrequency.QuadPart)
                 : -1;
}

double CTypingWindow::TypeFor(DWORD dwMs)
{
    double dMax = 0;
    for (const DWORD dwStart = ::GetTickCount(); ::GetTickCount() - dwStart < dwMs;)
    {
        const double d = Type();
        if (d < 0)
            return -1;
        dMax = d > dMax ? d : dMax;
    }
    return dMax;
}

CMessageLog::CMessageLog()
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = ::DefWindowProcA;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = kLogClass;
    ::RegisterClassA(&wc);   // fails harmlessly for the second window
    CreateEx(0, kLogClass, "Kova test window", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr);
}

CMessageLog::~CMessageLog()
{
    if (m_hWnd)
        ::DestroyWindow(m_hWnd);
}

std::vector<CMessageLog::Entry> CMessageLog::Of(UINT uMsg) const
{
    std::vector<Entry> result;
    for (const Entry& e : m_entries)
        if (e.uMsg == uMsg)
            result.push_back(e);
    return result;
}

BOOL CMessageLog::ProcessWindowMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult)
{
    if (uMsg < WM_USER)
        return FALSE;
    m_entries.push_back({uMsg, wParam, lParam});
    lResult = 0;
    return TRUE;
}

namespace {
const char kDesktopKey[] = "Control Panel\\Desktop";
}

CDisplayScale::CDisplayScale(DWORD dwDpi)
{
    HKEY hKey = nullptr;
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, kDesktopKey, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr,
                          &hKey, nullptr) != ERROR_SUCCESS)
        return;
    DWORD dwType = 0, cb = sizeof m_dwOld;
    m_bHadOld = ::RegQueryValueExA(hKey, "LogPixels", nullptr, &dwType, reinterpret_cast<BYTE*>(&m_dwOld), &cb)
                    == ERROR_SUCCESS && dwType == REG_DWORD;
    m_bSet = ::RegSetValueExA(hKey, "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwDpi), sizeof dwDpi)
             == ERROR_SUCCESS;
    ::RegCloseKey(hKey);
}

CDisplayScale::~CDisplayScale()
{
    HKEY hKey = nullptr;
    if (!m_bSet || ::RegOpenKeyExA(HKEY_CURRENT_USER, kDesktopKey, 0, KEY_SET_VALUE, &hKey) != ERROR_SUCCESS)
        return;
    if (m_bHadOld)
        ::RegSetValueExA(hKey, "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&m_dwOld), sizeof m_dwOld);
    else
        ::RegDeleteValueA(hKey, "LogPixels");
    ::RegCloseKey(hKey);
}

} // namespace kovatest
