#include "support/EmscState.h"

#include "radio/RadioBits.h"
#include "support/TestSupport.h"

namespace kovatest {

CEmscState::CEmscState() : m_bReady(MakeFile()) {}

CEmscState::CEmscState(BYTE byInitial)
{
    if (!MakeFile())
        return;
    m_module.Reset(::LoadLibraryA(BinPath("EMSC.dll").c_str()));
    m_bReady = m_module && Set(byInitial) && ClearLog();
}

bool CEmscState::MakeFile()
{
    char szFolder[MAX_PATH] = "";
    char szFile[MAX_PATH] = "";
    if (!::GetTempPathA(MAX_PATH, szFolder) || !::GetTempFileNameA(szFolder, "kst", 0, szFile))
        return false;
    m_strPath = szFile;
    // Before the library is loaded: it names its file from the environment on every call.
    return ::SetEnvironmentVariableA(EMSCDEV_STATE_ENV, szFile) != FALSE;
}

CEmscState::~CEmscState()
{
    m_module.Reset();
    ::SetEnvironmentVariableA(EMSCDEV_STATE_ENV, nullptr);
    if (!m_strPath.empty())
        ::DeleteFileA(m_strPath.c_str());
}

template <class T>
T CEmscState::Proc(const char* pszName) const
{
    return m_module ? reinterpret_cast<T>(reinterpret_cast<void (*)()>(::GetProcAddress(m_module.Get(), pszName)))
                    : nullptr;
}

bool CEmscState::Set(BYTE byStatus)
{
    auto pfn = Proc<PFN_EMSCDEVSETSTATUS>(EMSCDEV_SETSTATUS);
    return pfn && pfn(byStatus) == 1;
}

BYTE CEmscState::Get()
{
    uint8_t by = 0;
    auto pfn = Proc<PFN_EMSCDEVGETSTATUS>(EMSCDEV_GETSTATUS);
    return pfn && pfn(&by) == 1 ? by : 0;
}

std::vector<EmscDevLogEntry> CEmscState::Log()
{
    std::vector<EmscDevLogEntry> entries(EMSCDEV_LOG_CAPACITY);
    uint32_t nCopied = 0;
    auto pfn = Proc<PFN_EMSCDEVREADLOG>(EMSCDEV_READLOG);
    if (!pfn || pfn(entries.data(), EMSCDEV_LOG_CAPACITY, &nCopied) != 1)
        nCopied = 0;
    entries.resize(nCopied);
    return entries;
}

bool CEmscState::SetDelay(DWORD dwDelayMs)
{
    auto pfn = Proc<PFN_EMSCDEVSETDELAY>(EMSCDEV_SETDELAY);
    return pfn && pfn(dwDelayMs) == 1;
}

bool CEmscState::ClearLog()
{
    auto pfn = Proc<PFN_EMSCDEVCLEARLOG>(EMSCDEV_CLEARLOG);
    return pfn && pfn() == 1;
}

std::vector<int> WritesIn(const std::vector<EmscDevLogEntry>& log)
{
    std::vector<int> writes;
    for (const EmscDevLogEntry& e : log)
    {
        if (e.command == EC_CMD_WRITE && e.cbInCopied >= 2 && e.abyIn[0] == EC_REG_RADIO_STATUS)
            writes.push_back(e.abyIn[1]);
    }
    return writes;
}

int ReadsAfterLastWrite(const std::vector<EmscDevLogEntry>& log)
{
    int nReads = 0;
    for (const EmscDevLogEntry& e : log)
    {
        if (e.command == EC_CMD_WRITE)
            nReads = 0;
        else if (e.command == EC_CMD_READ)
            ++nReads;
    }
    return nReads;
}

} // namespace kovatest
