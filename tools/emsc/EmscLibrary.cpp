// Development stand-in for the vendor's EMSC.dll: one byte for register 0xBB.
// Never installed on a user's machine.
#include <windows.h>

#include <cstring>

#include "framework/Handles.h"
#include "radio/EmscRequest.h"
#include "radio/RadioBits.h"
#include "tools/emsc/EmscDev.h"

#if defined(EMSC_STDCALL)
#define EMSC_CONVENTION __stdcall
#else
#define EMSC_CONVENTION __cdecl
#endif

namespace {

// The layout of the state file. A file without the magic (new, or of an older layout) is
// started afresh; one written before dwDelayMs existed grows by zeros, so no delay.
constexpr uint32_t STATE_MAGIC = 0x3143454B;   // "KEC1"

struct SharedState {
    uint32_t dwMagic;
    uint8_t byStatus;
    uint8_t bFault;
    uint8_t abyReserved[2];
    uint32_t dwServed;   // requests logged since the last clear; the newest has this sequence
    EmscDevLogEntry aLog[EMSCDEV_LOG_CAPACITY];
    uint32_t dwDelayMs;   // EMSCDEV_DELAY_HANG: until set back to 0
};

// One mutex for every process and every state file: the lock is held for microseconds.
const char MUTEX_NAME[] = "KovaEmscDevState";
constexpr DWORD LOCK_TIMEOUT_MS = 5000;

// This process's mapping, kept open between calls and reopened when the variable names
// another file (tests give each case its own).
SRWLOCK g_srwLock = SRWLOCK_INIT;
char g_szMappedPath[MAX_PATH];
kfw::CFile g_hFile;
kfw::CHandle g_hMapping;
kfw::CViewH g_view;
kfw::CHandle g_hMutex;

bool StatePath(char (&szPath)[MAX_PATH])
{
    DWORD cch = ::GetEnvironmentVariableA(EMSCDEV_STATE_ENV, szPath, MAX_PATH);
    if (cch >= MAX_PATH)
        return false;
    if (cch > 0)
        return true;
    cch = ::GetTempPathA(MAX_PATH, szPath);
    if (cch == 0 || cch + sizeof EMSCDEV_STATE_DEFAULT_NAME > MAX_PATH)
        return false;
    std::strcat(szPath, EMSCDEV_STATE_DEFAULT_NAME);
    return true;
}

bool MapState(const char* pszPath)
{
    g_view.Reset();
    g_hMapping.Reset();
    g_hFile.Reset();
    g_szMappedPath[0] = '\0';

    kfw::CFile hFile(::CreateFileA(pszPath, GENERIC_READ | GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!hFile)
        return false;
    // Sizing the mapping grows a new or short file to the full record, zero-filled.
    kfw::CHandle hMapping(::CreateFileMappingA(hFile.Get(), nullptr, PAGE_READWRITE, 0,
                                               sizeof(SharedState), nullptr));
    if (!hMapping)
        return false;
    kfw::CViewH view(::MapViewOfFile(hMapping.Get(), FILE_MAP_ALL_ACCESS, 0, 0, sizeof(SharedState)));
    if (!view)
        return false;
    g_hFile = std::move(hFile);
    g_hMapping = std::move(hMapping);
    g_view = std::move(view);
    std::strcpy(g_szMappedPath, pszPath);
    return true;
}

// Holds both locks for one operation and hands out the shared state, or null when the
// state file cannot be opened or another process keeps the mutex too long.
class CStateAccess {
public:
    CStateAccess()
    {
        ::AcquireSRWLockExclusive(&g_srwLock);
        char szPath[MAX_PATH];
        if (!StatePath(szPath))
            return;
        if (!g_hMutex) {
            g_hMutex.Reset(::CreateMutexA(nullptr, FALSE, MUTEX_NAME));
            if (!g_hMutex)
                return;
        }
        if (std::strcmp(szPath, g_szMappedPath) != 0 && !MapState(szPath))
            return;
        // An abandoned mutex still gives us ownership; the state is one byte and a log,
        // so whatever the dead holder left half-written is harmless.
        DWORD dwWait = ::WaitForSingleObject(g_hMutex.Get(), LOCK_TIMEOUT_MS);
        if (dwWait != WAIT_OBJECT_0 && dwWait != WAIT_ABANDONED)
            return;
        m_bOwnMutex = true;
        m_pState = static_cast<SharedState*>(g_view.Get());
        if (m_pState->dwMagic != STATE_MAGIC) {
            std::memset(m_pState, 0, sizeof *m_pState);
            m_pState->dwMagic = STATE_MAGIC;
            m_pState->byStatus = EMSCDEV_INITIAL_STATUS;
        }
    }
    ~CStateAccess()
    {
        if (m_bOwnMutex)
            ::ReleaseMutex(g_hMutex.Get());
        ::ReleaseSRWLockExclusive(&g_srwLock);
    }
    CStateAccess(const CStateAccess&) = delete;
    CStateAccess& operator=(const CStateAccess&) = delete;

    SharedState* Get() const { return m_pState; }

private:
    SharedState* m_pState = nullptr;
    bool m_bOwnMutex = false;
};

bool ServeRequest(SharedState& state, const EmscRequest& request)
{
    // Only byte 0 of the first word is the command; the padding may hold anything.
    const bool bRegisterOk = request.inBuffer && request.inLength >= 1 &&
                             request.inBuffer[0] == EC_REG_RADIO_STATUS;
    switch (request.command) {
    case EC_CMD_READ:
        if (!bRegisterOk || request.inLength != 1 || !request.outBuffer || request.outLength < 1)
            return false;
        if (state.bFault)
            return false;
        request.outBuffer[0] = state.byStatus;
        return true;
    case EC_CMD_WRITE:
        if (!bRegisterOk || request.inLength != 2)
            return false;
        state.byStatus = request.inBuffer[1];
        return true;
    default:
        return false;
    }
}

void LogRequest(SharedState& state, const EmscRequest& request, bool bAccepted)
{
    ++state.dwServed;
    EmscDevLogEntry& entry = state.aLog[(state.dwServed - 1) % EMSCDEV_LOG_CAPACITY];
    std::memset(&entry, 0, sizeof entry);
    entry.dwSequence = state.dwServed;
    entry.dwProcessId = ::GetCurrentProcessId();
    entry.command = request.command;
    entry.bAccepted = bAccepted ? 1 : 0;
    if (request.inBuffer) {
        // Never more than the caller said it gave.
        uint32_t cb = request.inLength < sizeof entry.abyIn ? request.inLength : sizeof entry.abyIn;
        std::memcpy(entry.abyIn, request.inBuffer, cb);
        entry.cbInCopied = static_cast<uint8_t>(cb);
    }
    entry.inLength = request.inLength;
    entry.outLength = request.outLength;
    entry.bHadOutBuffer = request.outBuffer ? 1 : 0;
}

// How long a call has still to wait, 0 when it may be served now. Looked up afresh each
// time, so that a test sets a hang and releases it while calls are waiting.
DWORD DelayLeft(DWORD dwWaited)
{
    CStateAccess access;
    const SharedState* pState = access.Get();
    if (!pState || pState->dwDelayMs == 0)
        return 0;
    if (pState->dwDelayMs == EMSCDEV_DELAY_HANG)
        return INFINITE;
    return pState->dwDelayMs > dwWaited ? pState->dwDelayMs - dwWaited : 0;
}

// Waits out the delay without holding either lock, so other processes and emscdev reach
// the state meanwhile.
void Delay()
{
    const DWORD dwStart = ::GetTickCount();
    for (DWORD dwLeft = DelayLeft(0); dwLeft > 0; dwLeft = DelayLeft(::GetTickCount() - dwStart))
        ::Sleep(dwLeft < 10 ? dwLeft : 10);
}

// One field of the shared state, read or written under its lock; 1 when done.
template <typename TField, typename TValue>
int ReadField(TValue* pValue, TField SharedState::*pField)
{
    CStateAccess access;
    if (!pValue || !access.Get())
        return 0;
    *pValue = static_cast<TValue>(access.Get()->*pField);
    return 1;
}

template <typename TField, typename TValue>
int WriteField(TField SharedState::*pField, TValue value)
{
    CStateAccess access;
    if (!access.Get())
        return 0;
    access.Get()->*pField = static_cast<TField>(value);
    return 1;
}

} // namespace

// Read {0xBB} / 1 -> outBuffer[0] (outLength >= 1); write {0xBB, value} / 2. Anything else is
// refused without touching the caller's memory. Returns 1 when the request was carried out.
extern "C" int EMSC_CONVENTION EMSCEvaluate(EmscRequest request)
{
    Delay();
    CStateAccess access;
    SharedState* pState = access.Get();
    if (!pState)
        return 0;
    bool bAccepted = ServeRequest(*pState, request);
    LogRequest(*pState, request, bAccepted);
    return bAccepted ? 1 : 0;
}

extern "C" int __cdecl EmscDevGetStatus(uint8_t* pbyStatus)
{
    return ReadField(pbyStatus, &SharedState::byStatus);
}

extern "C" int __cdecl EmscDevSetStatus(uint8_t byStatus)
{
    return WriteField(&SharedState::byStatus, byStatus);
}

extern "C" int __cdecl EmscDevGetFault(int* pbFault)
{
    return ReadField(pbFault, &SharedState::bFault);
}

extern "C" int __cdecl EmscDevSetFault(int bFault)
{
    return WriteField(&SharedState::bFault, bFault ? 1 : 0);
}

extern "C" int __cdecl EmscDevGetDelay(uint32_t* pdwDelayMs)
{
    return ReadField(pdwDelayMs, &SharedState::dwDelayMs);
}

extern "C" int __cdecl EmscDevSetDelay(uint32_t dwDelayMs)
{
    return WriteField(&SharedState::dwDelayMs, dwDelayMs);
}

extern "C" int __cdecl EmscDevReadLog(EmscDevLogEntry* pEntries, uint32_t nMax, uint32_t* pnCopied)
{
    CStateAccess access;
    SharedState* pState = access.Get();
    if (!pnCopied || (!pEntries && nMax > 0) || !pState)
        return 0;
    uint32_t nHeld = pState->dwServed < EMSCDEV_LOG_CAPACITY ? pState->dwServed : EMSCDEV_LOG_CAPACITY;
    uint32_t nCopy = nHeld < nMax ? nHeld : nMax;
    // The oldest of the last nCopy: the caller sees the newest requests when it asks for few.
    uint32_t dwFirst = pState->dwServed - nCopy + 1;
    for (uint32_t i = 0; i < nCopy; ++i)
        pEntries[i] = pState->aLog[(dwFirst + i - 1) % EMSCDEV_LOG_CAPACITY];
    *pnCopied = nCopy;
    return 1;
}

extern "C" int __cdecl EmscDevClearLog(void)
{
    CStateAccess access;
    if (!access.Get())
        return 0;
    access.Get()->dwServed = 0;
    std::memset(access.Get()->aLog, 0, sizeof access.Get()->aLog);
    return 1;
}
