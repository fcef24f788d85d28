#include "framework/HookWatch.h"

namespace {

constexpr uint32_t HOOK_EXTENDED = 0x01, HOOK_UP = 0x80;
constexpr uint16_t RAW_BREAK = 0x01, RAW_E0 = 0x02;
constexpr uint16_t RAW_OVERRUN = 0xFF;        // KEYBOARD_OVERRUN_MAKE_CODE
constexpr uint32_t VKEY_PACKET = 0xE7;        // VK_PACKET
constexpr uint16_t VKEY_NONE = 0xFF;          // what raw input gives a "fake shift"

// A hook stamp may read one tick after its raw twin's; a press longer ago than the slowest
// chain of hooks Windows waits for is another press.
constexpr uint32_t TWIN_SLACK_MS = 16;
constexpr uint32_t TWIN_AGE_MS = 5000;

// One record in a word: scan code 0-8, extended 9, released 10, matchable 11, the sequence's
// low 20 bits 12-31, the time stamp 32-63.
constexpr uint32_t SCAN_MASK = 0x1FF;
constexpr uint32_t SEQ_MASK = 0xFFFFF;

uint64_t Pack(uint32_t nSeq, const TimedKey& key, bool bMatchable)
{
    const uint32_t uLow = (key.key.uScanCode & SCAN_MASK) | ((key.key.uFlags & HOOK_EXTENDED) ? 1u << 9 : 0u) |
                          ((key.key.uFlags & HOOK_UP) ? 1u << 10 : 0u) | (bMatchable ? 1u << 11 : 0u) |
                          ((nSeq & SEQ_MASK) << 12);
    return (static_cast<uint64_t>(key.dwTime) << 32) | uLow;
}

bool IsTwin(const TimedKey& hook, const TimedKey& raw)
{
    if (!(hook.key == raw.key))
        return false;
    const auto nHookAfter = static_cast<int32_t>(hook.dwTime - raw.dwTime);
    return nHookAfter <= static_cast<int32_t>(TWIN_SLACK_MS) && nHookAfter >= -static_cast<int32_t>(TWIN_AGE_MS);
}

} // namespace

uint32_t HookFlagsFromRaw(uint16_t usRawFlags)
{
    return ((usRawFlags & RAW_E0) ? HOOK_EXTENDED : 0u) | ((usRawFlags & RAW_BREAK) ? HOOK_UP : 0u);
}

bool IsRawKeyMatchable(uint16_t usMakeCode, uint16_t usRawFlags, uint16_t usVirtualKey)
{
    // Any flag beyond break and E0: the E1 prefix (Pause) and the terminal server's LED and
    // shadow events.
    return usMakeCode != 0 && usMakeCode != RAW_OVERRUN && (usRawFlags & ~(RAW_BREAK | RAW_E0)) == 0 &&
           usVirtualKey != VKEY_NONE && usVirtualKey != VKEY_PACKET;
}

bool IsHookKeyMatchable(uint32_t uScanCode, uint32_t uVirtualKey)
{
    return uScanCode != 0 && uScanCode <= SCAN_MASK && uVirtualKey != VKEY_PACKET;
}

void HookLedger::Add(const TimedKey& key, bool bMatchable)
{
    // One writer: the slot first, then the count that makes it visible.
    const uint32_t nSeq = m_nWritten.load(std::memory_order_relaxed);
    m_aSlots[nSeq % SIZE].store(Pack(nSeq, key, bMatchable), std::memory_order_release);
    m_nWritten.store(nSeq + 1, std::memory_order_release);
}

bool HookLedger::Read(uint32_t nSeq, Record& rRecord) const
{
    if (Written() - nSeq - 1 >= SIZE)   // not written yet, or overwritten
        return false;
    const uint64_t uWord = m_aSlots[nSeq % SIZE].load(std::memory_order_acquire);
    const auto uLow = static_cast<uint32_t>(uWord);
    if (((uLow >> 12) & SEQ_MASK) != (nSeq & SEQ_MASK))
        return false;
    rRecord.key.key.uScanCode = uLow & SCAN_MASK;
    rRecord.key.key.uFlags = ((uLow >> 9) & 1 ? HOOK_EXTENDED : 0u) | ((uLow >> 10) & 1 ? HOOK_UP : 0u);
    rRecord.key.dwTime = static_cast<uint32_t>(uWord >> 32);
    rRecord.bMatchable = (uLow >> 11) & 1;
    return true;
}

uint32_t HookLedger::FindTwin(const TimedKey& key, uint32_t nFrom, uint32_t nTo) const
{
    // Differences, so that a wrap of the count changes nothing.
    if (nTo - nFrom > SIZE)
        nFrom = nTo - SIZE;
    for (uint32_t nSeq = nFrom; nSeq != nTo; ++nSeq)
    {
        Record record = {};
        if (Read(nSeq, record) && record.bMatchable && IsTwin(record.key, key))
            return nSeq;
    }
    return nTo;
}

void HookLedger::MarkFresh(uint32_t dwTick)
{
    m_nFreshAt.store(Written(), std::memory_order_relaxed);
    m_dwFreshTick.store(dwTick, std::memory_order_relaxed);
    m_nFresh.fetch_add(1, std::memory_order_release);
}

HookLedger::Fresh HookLedger::LastFresh() const
{
    // A reader that sees a newer place and tick with the older count only looks again at
    // the next key.
    const uint32_t nCount = m_nFresh.load(std::memory_order_acquire);
    return Fresh{ nCount, m_nFreshAt.load(std::memory_order_relaxed), m_dwFreshTick.load(std::memory_order_relaxed) };
}

HookWatch::Verdict HookWatch::OnRawKey(const TimedKey& key, const HookLedger& ledger)
{
    // The install works to the tick: a key of the install's own tick may have come before
    // or after it, and needs no watch either way.
    const HookLedger::Fresh fresh = ledger.LastFresh();
    if (fresh.nCount != m_nFreshSeen)
    {
        m_nFreshSeen = fresh.nCount;
        Forget(fresh.nAt);
    }
    if (static_cast<int32_t>(key.dwTime - fresh.dwTick) <= 0)
        return Verdict::Before;
    const uint32_t nWritten = ledger.Written();
    if (m_bAwaitingCall && nWritten != m_nSettledAt)
        m_bAwaitingCall = false;
    MatchLate(ledger, nWritten);

    // Windows calls the hooks for an event before it makes its raw input: a hook in place
    // has its twin in the ledger already. Records passed over were keys a later hook in the
    // chain swallowed, which raw input never saw; keys still owed before a twin were events
    // of raw input alone: both are forgotten.
    const uint32_t nTwin = ledger.FindTwin(key, m_nCursor, nWritten);
    if (nTwin != nWritten)
    {
        m_nCursor = nTwin + 1;
        m_owed.nKeys = 0;
        return Verdict::Delivered;
    }

    size_t nOld = 0;
    while (nOld < m_owed.nKeys && static_cast<int32_t>(key.dwTime - m_owed.aKeys[nOld].dwTime) >
                                      static_cast<int32_t>(LOSS_WINDOW_MS))
        ++nOld;
    DropFront(nOld);
    if (m_owed.nKeys == OWED_MAX)
        DropFront(1);
    m_owed.aKeys[m_owed.nKeys] = key;
    m_aWrittenAt[m_owed.nKeys] = nWritten;
    ++m_owed.nKeys;

    // Lost only when the hook was not called at all since the first key it owes: a hook
    // that keeps being called is never lost, whatever its calls were for.
    if (m_owed.nKeys >= LOST_AT && m_aWrittenAt[0] == nWritten && !m_bAwaitingCall)
        return Verdict::Lost;
    return Verdict::Waiting;
}

void HookWatch::MatchLate(const HookLedger& ledger, uint32_t nWritten)
{
    size_t i = 0;
    while (i < m_owed.nKeys)
    {
        const uint32_t nTwin = ledger.FindTwin(m_owed.aKeys[i], m_nCursor, nWritten);
        if (nTwin == nWritten)
        {
            ++i;
            continue;
        }
        m_nCursor = nTwin + 1;
        DropFront(i + 1);
        i = 0;
    }
}

void HookWatch::DropFront(size_t n)
{
    if (n == 0)
        return;
    for (size_t i = n; i < m_owed.nKeys; ++i)
    {
        m_owed.aKeys[i - n] = m_owed.aKeys[i];
        m_aWrittenAt[i - n] = m_aWrittenAt[i];
    }
    m_owed.nKeys -= n;
}

void HookWatch::Settled(uint32_t nCursor)
{
    Forget(nCursor);
    m_bAwaitingCall = true;
    m_nSettledAt = nCursor;
}

void HookWatch::Forget(uint32_t nCursor)
{
    m_nCursor = nCursor;
    m_owed.nKeys = 0;
    m_bAwaitingCall = false;
}

uint32_t SettleOwed(const HookLedger& ledger, uint32_t nCursor, const HookWatch::Owed& owed, HookWatch::Owed& rOut)
{
    const uint32_t nWritten = ledger.Written();
    rOut.nKeys = 0;
    for (size_t i = 0; i < owed.nKeys; ++i)
    {
        const uint32_t nTwin = ledger.FindTwin(owed.aKeys[i], nCursor, nWritten);
        if (nTwin == nWritten)
        {
            rOut.aKeys[rOut.nKeys++] = owed.aKeys[i];
            continue;
        }
        // Delivered late; what was owed before it never reached the hook at all.
        nCursor = nTwin + 1;
        rOut.nKeys = 0;
    }
    return nCursor;
}

bool LateCallFilter::IsLateTwin(const TimedKey& key)
{
    if (m_nNext >= m_expected.nKeys)
        return false;
    if (IsTwin(key, m_expected.aKeys[m_nNext]))
    {
        ++m_nNext;
        return true;
    }
    m_nNext = m_expected.nKeys;
    return false;
}
