#include "support/TestSupport.h"

#include <tlhelp32.h>

#include <atomic>

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

kfw::CHandle StartHelper(const std::string& strArgs)
{
    char szPath[MAX_PATH] = {};
    const DWORD dwLen = ::GetModuleFileNameA(nullptr, szPath, MAX_PATH);
    if (!dwLen || dwLen >= MAX_PATH)
        return kfw::CHandle();
    std::string strExe = szPath;
    strExe.erase(strExe.find_last_of("\\/") + 1);
    strExe += "kovatest_helper.exe";

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

std::string UniqueName(const char* pszBase)
{
    static std::atomic<int> s_nNext{0};
    return std::string(pszBase) + "." + std::to_string(::GetCurrentProcessId()) + "." +
           std::to_string(++s_nNext);
}

int CountThreads()
{
    kfw::CFile hSnap(::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    if (!hSnap)
        return -1;
    THREADENTRY32 te = {};
    te.dwSize = sizeof(te);
    int nThreads = 0;
    const DWORD dwPid = ::GetCurrentProcessId();
    for (BOOL bMore = ::Thread32First(hSnap.Get(), &te); bMore; bMore = ::Thread32Next(hSnap.Get(), &te))
        if (te.th32OwnerProcessID == dwPid)
            ++nThreads;
    return nThreads;
}

namespace {
const char kLogClass[] = "KovaTestMessageLog";
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

} // namespace kovatest
