#include "harness/ProcessCensus.h"

#include <tlhelp32.h>

#include <stddef.h>

#include <vector>

#include "framework/Handles.h"

namespace kovatest {

namespace {

using PFN_NTQUERYSYSTEMINFORMATION = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
using PFN_NTQUERYINFORMATIONPROCESS = LONG(WINAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);

const ULONG kSystemHandleInformation = 16;
const ULONG kProcessBasicInformation = 0;
const LONG kStatusInfoLengthMismatch = static_cast<LONG>(0xC0000004);

// One row of SystemHandleInformation: every open handle of every process.
struct SystemHandleEntry {
    USHORT usPid;
    USHORT usCreatorBackTrace;
    UCHAR byObjectType;
    UCHAR byAttributes;
    USHORT usHandle;
    PVOID pObject;
    ULONG ulAccess;
};
struct SystemHandleList {
    ULONG ulCount;
    SystemHandleEntry entries[1];
};

struct ProcessBasicInfo {
    LONG lExitStatus;
    BYTE* pPeb;
    ULONG_PTR ulAffinity;
    LONG lBasePriority;
    ULONG_PTR ulPid;
    ULONG_PTR ulParentPid;
};

// Wine's GDI handle table, reached from the PEB where Windows keeps its shared table.
struct WineGdiEntry {
    UINT64 ullObject;
    USHORT usPid;        // left 0 by Wine
    USHORT usCount;
    USHORT usUnique;     // bit 7: a stock object, shared by every process
    UCHAR byType;        // 0: free
    UCHAR byFlags;
    UINT64 ullUser;
};
static_assert(sizeof(WineGdiEntry) == 24, "Wine's GDI_HANDLE_ENTRY is 24 bytes");
const size_t kWineGdiEntries = 0x10000;
#ifdef _WIN64
const size_t kPebGdiTable = 0xF8;
#else
const size_t kPebGdiTable = 0x94;
#endif

template <class Fn>
Fn NtdllEntry(const char* pszName)
{
    HMODULE hNtdll = ::GetModuleHandleA("ntdll.dll");
    return hNtdll ? reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(::GetProcAddress(hNtdll, pszName))) : nullptr;
}

bool IsWine()
{
    static const bool s_bWine = NtdllEntry<void (*)()>("wine_get_version") != nullptr;
    return s_bWine;
}

// Under Wine GetProcessHandleCount succeeds with 0: the system's list of handles is exact.
int CountHandlesInSystemList(DWORD dwPid)
{
    auto pfnQuery = NtdllEntry<PFN_NTQUERYSYSTEMINFORMATION>("NtQuerySystemInformation");
    if (!pfnQuery || dwPid > 0xFFFF)   // the list names owners by 16 bits
        return -1;
    std::vector<BYTE> buffer(256 * 1024);
    for (;;)
    {
        ULONG cbNeeded = 0;
        const LONG lStatus = pfnQuery(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()),
                                      &cbNeeded);
        if (lStatus == kStatusInfoLengthMismatch && buffer.size() < 64 * 1024 * 1024)
        {
            // Handles come and go between the calls: room to spare.
            buffer.resize(cbNeeded > buffer.size() ? cbNeeded + 64 * 1024 : buffer.size() * 2);
            continue;
        }
        if (lStatus < 0)
            return -1;
        break;
    }
    const auto* pList = reinterpret_cast<const SystemHandleList*>(buffer.data());
    const size_t cbEntries = buffer.size() - offsetof(SystemHandleList, entries);
    if (pList->ulCount > cbEntries / sizeof(SystemHandleEntry))
        return -1;
    int nHandles = 0;
    for (ULONG i = 0; i < pList->ulCount; ++i)
        if (pList->entries[i].usPid == dwPid)
            ++nHandles;
    return nHandles;
}

int CountHandles(HANDLE hProcess, DWORD dwPid)
{
    DWORD dwCount = 0;
    if (::GetProcessHandleCount(hProcess, &dwCount) && dwCount)
        return static_cast<int>(dwCount);
    return IsWine() ? CountHandlesInSystemList(dwPid) : -1;
}

bool ReadExactly(HANDLE hProcess, const void* pFrom, void* pTo, size_t cb)
{
    SIZE_T cbDone = 0;
    return ::ReadProcessMemory(hProcess, pFrom, pTo, cb, &cbDone) && cbDone == cb;
}

// GetGuiResources is a stub under Wine; its GDI table says which objects are alive.
int CountGdiInWineTable(HANDLE hProcess)
{
    auto pfnQuery = NtdllEntry<PFN_NTQUERYINFORMATIONPROCESS>("NtQueryInformationProcess");
    ProcessBasicInfo info = {};
    if (!pfnQuery || pfnQuery(hProcess, kProcessBasicInformation, &info, sizeof(info), nullptr) < 0)
        return -1;
    BYTE* pPeb = info.pPeb;
    const WineGdiEntry* pTable = nullptr;
    if (!pPeb || !ReadExactly(hProcess, pPeb + kPebGdiTable, &pTable, sizeof(pTable)) || !pTable)
        return -1;
    std::vector<WineGdiEntry> table(kWineGdiEntries);
    if (!ReadExactly(hProcess, pTable, table.data(), table.size() * sizeof(WineGdiEntry)))
        return -1;
    int nObjects = 0;
    for (const WineGdiEntry& entry : table)
        if (entry.byType != 0 && !(entry.usUnique & 0x80))
            ++nObjects;
    return nObjects;
}

int CountGdi(HANDLE hProcess)
{
    if (const DWORD dwCount = ::GetGuiResources(hProcess, GR_GDIOBJECTS))
        return static_cast<int>(dwCount);
    return IsWine() ? CountGdiInWineTable(hProcess) : 0;
}

struct WindowTally {
    DWORD dwPid;
    int nWindows;
};

DWORD OwnerOf(HWND hWnd)
{
    DWORD dwPid = 0;
    ::GetWindowThreadProcessId(hWnd, &dwPid);
    return dwPid;
}

BOOL CALLBACK TallyChild(HWND hWnd, LPARAM lParam)
{
    auto& tally = *reinterpret_cast<WindowTally*>(lParam);
    if (OwnerOf(hWnd) == tally.dwPid)
        ++tally.nWindows;
    return TRUE;
}

// Every window under a top-level one counts for its own process: a child may belong to
// another process than its parent.
BOOL CALLBACK TallyTree(HWND hWnd, LPARAM lParam)
{
    TallyChild(hWnd, lParam);
    ::EnumChildWindows(hWnd, TallyChild, lParam);
    return TRUE;
}

int CountWindows(DWORD dwPid)
{
    WindowTally tally = { dwPid, 0 };
    ::EnumWindows(TallyTree, reinterpret_cast<LPARAM>(&tally));
    // Message-only windows are not top-level: EnumWindows does not see them.
    for (HWND hWnd = ::FindWindowExA(HWND_MESSAGE, nullptr, nullptr, nullptr); hWnd;
         hWnd = ::FindWindowExA(HWND_MESSAGE, hWnd, nullptr, nullptr))
        TallyTree(hWnd, reinterpret_cast<LPARAM>(&tally));
    return tally.nWindows;
}

} // namespace

bool TakeCensus(DWORD dwPid, ProcessCensus& rCensus)
{
    // Our own process through its pseudo handle: an opened one would be counted.
    kfw::CHandle hOpened;
    HANDLE hProcess = ::GetCurrentProcess();
    if (dwPid != ::GetCurrentProcessId())
    {
        hOpened.Reset(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, dwPid));
        if (!hOpened)
            return false;
        hProcess = hOpened.Get();
    }
    // Windows first: the first window call of a process that has none connects it to the
    // window system, with handles and GDI objects of its own, which are then counted too.
    ProcessCensus census;
    census.nUser = static_cast<int>(::GetGuiResources(hProcess, GR_USEROBJECTS));
    if (census.nUser == 0 && IsWine())
    {
        census.nUser = CountWindows(dwPid);
        census.bUserIsWindows = true;
    }
    census.nThreads = CountThreadsOf(dwPid);
    census.nHandles = CountHandles(hProcess, dwPid);
    census.nGdi = CountGdi(hProcess);
    if (census.nHandles < 0 || census.nGdi < 0 || census.nThreads <= 0)
        return false;
    rCensus = census;
    return true;
}

std::string DescribeCensus(const ProcessCensus& census)
{
    return "handles=" + std::to_string(census.nHandles) + " gdi=" + std::to_string(census.nGdi) +
           (census.bUserIsWindows ? " windows=" : " user=") + std::to_string(census.nUser) +
           " threads=" + std::to_string(census.nThreads);
}

int CountThreadsOf(DWORD dwPid)
{
    kfw::CFile hSnap(::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    if (!hSnap)
        return -1;
    THREADENTRY32 te = {};
    te.dwSize = sizeof(te);
    int nThreads = 0;
    for (BOOL bMore = ::Thread32First(hSnap.Get(), &te); bMore; bMore = ::Thread32Next(hSnap.Get(), &te))
        if (te.th32OwnerProcessID == dwPid)
            ++nThreads;
    return nThreads;
}

} // namespace kovatest
