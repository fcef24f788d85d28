#include "radio/EmscCall.h"

#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>

#include "framework/Handles.h"
#include "framework/Thread.h"
#include "framework/Trace.h"

PFN_EMSCEVALUATE g_pfnEMSCEvaluate = nullptr;

// The call thunk. EMSCEvaluate takes its 20-byte record by value, and nobody says whether the
// library pops it (__stdcall) or leaves it to the caller (__cdecl). The thunk pushes the five
// words itself, calls, and then resets ESP from EBP, which both conventions preserve, so it
// comes back balanced whichever way the library was built. The stack is also aligned to 16 at
// the call, which costs nothing and suits a library built with SSE in mind.
//
//   int EmscThunk(PFN_EMSCEVALUATE pfnEntry, const EmscRequest* pRequest)   (__cdecl)
#if defined(_MSC_VER)

static __declspec(naked) int __cdecl EmscThunk(PFN_EMSCEVALUATE, const EmscRequest*)
{
    __asm {
        push ebp
        mov ebp, esp
        and esp, 0FFFFFFF0h
        sub esp, 12
        mov ecx, [ebp + 12]
        push dword ptr [ecx + 16]
        push dword ptr [ecx + 12]
        push dword ptr [ecx + 8]
        push dword ptr [ecx + 4]
        push dword ptr [ecx + 0]
        call dword ptr [ebp + 8]
        mov esp, ebp
        pop ebp
        ret
    }
}

#elif defined(__GNUC__) && defined(__i386__)

extern "C" int EmscThunk(PFN_EMSCEVALUATE pfnEntry, const EmscRequest* pRequest) __asm__("kova_emsc_thunk");

__asm__(
    ".text\n"
    ".p2align 4\n"
    "kova_emsc_thunk:\n"
    "    pushl %ebp\n"
    "    movl %esp, %ebp\n"
    "    andl $-16, %esp\n"
    "    subl $12, %esp\n"         // 12 + 20 pushed = 32: aligned at the call
    "    movl 12(%ebp), %ecx\n"    // pRequest
    "    pushl 16(%ecx)\n"         // outLength
    "    pushl 12(%ecx)\n"         // outBuffer
    "    pushl 8(%ecx)\n"          // inLength
    "    pushl 4(%ecx)\n"          // inBuffer
    "    pushl 0(%ecx)\n"          // command and padding
    "    call *8(%ebp)\n"          // pfnEntry
    "    movl %ebp, %esp\n"        // drops the record if the callee left it there
    "    popl %ebp\n"
    "    ret\n");

#else
#error "The EMSCEvaluate thunk is written for 32-bit x86."
#endif

int EmscInvoke(PFN_EMSCEVALUATE pfnEntry, const EmscRequest& request)
{
    if (!pfnEntry)
        return 0;
    return EmscThunk(pfnEntry, &request);
}

// The controller thread. A vendor library that is slow or never returns must not freeze
// the caller: every call runs on this thread and the caller waits a bounded time. The
// library only ever sees the thread's own buffers, so a call that comes back after the
// caller gave up writes nowhere the caller still uses.
namespace {

constexpr DWORD STOP_JOIN_MS = 1000;

// What the thread and its callers share. The thread holds a reference of its own, so that
// a call returning after the owner let go (or after static destruction) still finds it.
struct CCallBlock {
    kfw::CHandle hWake;   // auto-reset: a request is posted
    kfw::CHandle hDone;   // auto-reset: a request came back (possibly an abandoned one)
    PFN_EMSCEVALUATE pfnEntry = nullptr;
    EmscRequest request = {};   // its buffers point into abyIn and abyOut
    uint8_t abyIn[EMSC_BUFFER_MAX] = {};
    uint8_t abyOut[EMSC_BUFFER_MAX] = {};
    int nResult = 0;
    LONG nPosted = 0;                   // sequence of the last request posted; callers only
    std::atomic<LONG> nReturned{ 0 };   // sequence of the last one back; nResult is its result
};

DWORD ServeCalls(CCallBlock& block, HANDLE hStop)
{
    // Stop first: when both are set, the thread ends.
    const HANDLE ahWait[] = { hStop, block.hWake.Get() };
    while (::WaitForMultipleObjects(2, ahWait, FALSE, INFINITE) == WAIT_OBJECT_0 + 1)
    {
        const LONG nSequence = block.nPosted;
        block.nResult = EmscInvoke(block.pfnEntry, block.request);
        block.nReturned.store(nSequence);
        ::SetEvent(block.hDone.Get());
    }
    return 0;
}

// The callers' side, one per process. Its destructor waits for nothing: a thread still
// inside the library at exit is ended by ExitProcess.
class CController {
public:
    CController() = default;
    ~CController() { m_thread.Leave(); }
    CController(const CController&) = delete;
    CController& operator=(const CController&) = delete;

    int Call(PFN_EMSCEVALUATE pfnEntry, const EmscRequest& request, bool* pbAnswered)
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (request.inLength > EMSC_BUFFER_MAX || request.outLength > EMSC_BUFFER_MAX)
        {
            kfw::TraceFormat("EMSCEvaluate not called: buffers of %u and %u bytes", unsigned(request.inLength),
                             unsigned(request.outLength));
            return 0;
        }
        // No queue behind a call that hangs: a write sent late would land on a state
        // nobody reads any more.
        if (IsPending())
        {
            kfw::TraceLine("EMSCEvaluate not called: an earlier call has not returned");
            return 0;
        }
        if (!Start())
            return 0;
        CCallBlock& block = *m_pBlock;
        block.pfnEntry = pfnEntry;
        block.request = request;
        if (request.inBuffer)
        {
            std::memcpy(block.abyIn, request.inBuffer, request.inLength);
            block.request.inBuffer = block.abyIn;
        }
        // The out-bytes go in as they are: a library that fills nothing leaves the caller's
        // preset value, as when it is called directly.
        if (request.outBuffer)
        {
            std::memcpy(block.abyOut, request.outBuffer, request.outLength);
            block.request.outBuffer = block.abyOut;
        }
        const LONG nSequence = ++block.nPosted;
        ::SetEvent(block.hWake.Get());

        // hDone may still be set by an abandoned call that came back since: only the
        // sequence says whose answer it is.
        const DWORD dwStart = ::GetTickCount();
        while (block.nReturned.load() != nSequence)
        {
            const DWORD dwWaited = ::GetTickCount() - dwStart;
            if (dwWaited >= EMSC_CALL_TIMEOUT_MS)
            {
                kfw::TraceFormat("EMSCEvaluate did not return within %lu ms", EMSC_CALL_TIMEOUT_MS);
                return 0;
            }
            ::WaitForSingleObject(block.hDone.Get(), EMSC_CALL_TIMEOUT_MS - dwWaited);
        }
        if (request.outBuffer)
            std::memcpy(request.outBuffer, block.abyOut, request.outLength);
        if (pbAnswered)
            *pbAnswered = true;
        return block.nResult;
    }

    bool Pending()
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        return IsPending();
    }

    bool Stop()
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_thread.IsStarted())
            return true;
        if (IsPending())
            return false;
        // Gone or not, this thread is not used again; a straggler keeps its own block.
        const bool bJoined = m_thread.Stop();
        m_pBlock.reset();
        return bJoined;
    }

private:
    bool IsPending() const { return m_pBlock && m_pBlock->nReturned.load() != m_pBlock->nPosted; }

    // Started at the first call, so code that only assigns g_pfnEMSCEvaluate needs nothing more.
    bool Start()
    {
        if (m_thread.IsStarted())
            return true;
        auto pBlock = std::make_shared<CCallBlock>();
        pBlock->hWake.Reset(::CreateEventA(nullptr, FALSE, FALSE, nullptr));
        pBlock->hDone.Reset(::CreateEventA(nullptr, FALSE, FALSE, nullptr));
        const auto fnServe = [pBlock](const kfw::CThread::CContext& context) {
            return ServeCalls(*pBlock, context.StopEvent());
        };
        if (!pBlock->hWake || !pBlock->hDone || !m_thread.Start(fnServe))
        {
            kfw::TraceFormat("EMSCEvaluate not called: no controller thread (error %lu)", ::GetLastError());
            return false;
        }
        m_pBlock = std::move(pBlock);
        return true;
    }

    std::mutex m_mutex;   // one caller at a time; held at most for one call's limit
    std::shared_ptr<CCallBlock> m_pBlock;
    kfw::CThread m_thread{ L"Kova EMSC calls", STOP_JOIN_MS };
};

CController g_controller;

} // namespace

int EmscEvaluate(const EmscRequest& request, bool* pbAnswered)
{
    if (pbAnswered)
        *pbAnswered = false;
    PFN_EMSCEVALUATE pfnEntry = g_pfnEMSCEvaluate;
    if (!pfnEntry)
        return 0;
    return g_controller.Call(pfnEntry, request, pbAnswered);
}

bool EmscCallPending()
{
    return g_controller.Pending();
}

bool StopEmscCalls()
{
    return g_controller.Stop();
}

BOOL BindEmscEntry(HMODULE hModule)
{
    // FARPROC to the typeless pointer: void (*)(void) is the one target GCC accepts silently.
    g_pfnEMSCEvaluate =
        hModule ? reinterpret_cast<PFN_EMSCEVALUATE>(::GetProcAddress(hModule, "EMSCEvaluate")) : nullptr;
    return g_pfnEMSCEvaluate != nullptr;
}
