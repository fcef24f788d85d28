// HookWatch: tells from raw keyboard input that the low-level hook has stopped being called,
// and which keys it missed. Windows removes a hook that kept input waiting too long and does
// not say so.
//
// Three parties, each on its own thread:
// - the hook procedure records every call in a HookLedger (it never waits for anyone);
// - the watch matches each raw key against the ledger (HookWatch) and, when the hook is lost,
//   asks the hook's thread to deliver what it owes and to hook again;
// - the hook's thread settles the owed keys (SettleOwed) against calls that came late, and
//   keeps a LateCallFilter so that a call still to come for a key already delivered is not
//   delivered twice.
// What Windows guarantees, and so what the rule stands on, is in docs/ARCHITECTURE.md.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

// One key event in the hook's terms: its scan code, and flags as the hook reports them
// (0x01 extended, 0x80 released).
struct HookKey {
    uint32_t uScanCode;
    uint32_t uFlags;
    bool operator==(const HookKey& rOther) const
    {
        return uScanCode == rOther.uScanCode && uFlags == rOther.uFlags;
    }
};

// A key event and its time stamp (ms, the system's tick, wrapping).
struct TimedKey {
    HookKey key;
    uint32_t dwTime;
};

// Raw input's key flags (RI_KEY_BREAK 0x01, RI_KEY_E0 0x02) as the hook's.
uint32_t HookFlagsFromRaw(uint16_t usRawFlags);
// Whether a raw keyboard event is one the hook also reports, so that it can be matched.
// Raw input alone reports the escape sequences' "fake shift" events (virtual key 0xFF), the
// E1 prefix of Pause, the keyboard's overrun code and the terminal server's LED events.
bool IsRawKeyMatchable(uint16_t usMakeCode, uint16_t usRawFlags, uint16_t usVirtualKey);
// Whether a hook event may have a raw twin: a packet of characters, or a key without a scan
// code, is made by a program for the hooks and may reach raw input differently or not at all.
bool IsHookKeyMatchable(uint32_t uScanCode, uint32_t uVirtualKey);

// The hook's calls, newest last: written by the hook procedure alone, read by any thread.
// Lock-free: each record is one 64-bit word, so a reader never sees half of one.
class HookLedger {
public:
    static constexpr uint32_t SIZE = 64;

    struct Record {
        TimedKey key;
        bool bMatchable;   // a raw twin may come; false for a call already answered otherwise
    };
    // The last hook put in place from scratch (not instead of another): the how-many-th, the
    // ledger's size then and the tick of it.
    struct Fresh {
        uint32_t nCount;
        uint32_t nAt;
        uint32_t dwTick;
    };

    // The hook's thread only: one call, in the order of the calls.
    void Add(const TimedKey& key, bool bMatchable);
    // Calls recorded so far (wraps).
    uint32_t Written() const { return m_nWritten.load(std::memory_order_acquire); }
    // Record nSeq (0 the first); false once the ring has moved past it, or before it exists.
    bool Read(uint32_t nSeq, Record& rRecord) const;
    // The first record at or after nFrom, before nTo, that is key's twin; nTo when none is.
    // A twin is the same key, called no later than its raw input was made (a tick of slack),
    // and not so long before it that it must be another press.
    uint32_t FindTwin(const TimedKey& key, uint32_t nFrom, uint32_t nTo) const;
    // The hook's thread, when a hook goes in place from scratch at dwTick.
    void MarkFresh(uint32_t dwTick);
    Fresh LastFresh() const;

private:
    std::array<std::atomic<uint64_t>, SIZE> m_aSlots{};
    std::atomic<uint32_t> m_nWritten{ 0 };
    std::atomic<uint32_t> m_nFreshAt{ 0 };
    std::atomic<uint32_t> m_dwFreshTick{ 0 };
    std::atomic<uint32_t> m_nFresh{ 0 };
};

// The watch's rule, one raw key at a time, on the watch's thread.
class HookWatch {
public:
    // Raw keys with no hook call at all since the first of them that mean the hook is lost.
    static constexpr size_t LOST_AT = 2;
    // They count only this close together; older ones are forgotten.
    static constexpr uint32_t LOSS_WINDOW_MS = 1000;
    static constexpr size_t OWED_MAX = 8;

    // Before: typed before the hook in place was put there from scratch, or in its tick; no
    // hook of ours owes it (a hook put in place is live, and delivers what follows itself).
    enum class Verdict { Before, Delivered, Waiting, Lost };
    struct Owed {
        std::array<TimedKey, OWED_MAX> aKeys;
        size_t nKeys;
    };

    // A raw key the hook would report too. Lost: Pending() is what the hook missed,
    // oldest first, measured from Cursor(); settle them, then call Settled.
    Verdict OnRawKey(const TimedKey& key, const HookLedger& ledger);
    const Owed& Pending() const { return m_owed; }
    uint32_t Cursor() const { return m_nCursor; }
    // The owed keys were delivered or found delivered, and the hook is in place again; the
    // ledger had nCursor calls when it was. Until the new hook is called once, raw keys
    // without a call are not a loss: when Windows calls no hook of ours at all (a window of
    // an elevated program has the keyboard), hooking again would change nothing.
    void Settled(uint32_t nCursor);
    // No hook is in place (or a new one from scratch): nothing is owed.
    void Forget(uint32_t nCursor);

private:
    // Drops owed keys a late call has delivered since, and those older than it.
    void MatchLate(const HookLedger& ledger, uint32_t nWritten);
    void DropFront(size_t n);

    uint32_t m_nCursor = 0;          // ledger records before it are matched or passed over
    Owed m_owed = {};
    std::array<uint32_t, OWED_MAX> m_aWrittenAt = {};   // ledger size when each owed key came
    bool m_bAwaitingCall = false;    // hooked again after a loss, and not called since
    uint32_t m_nSettledAt = 0;
    uint32_t m_nFreshSeen = 0;
};

// The hook's thread, when the watch says the hook is lost: of the owed keys, those no call
// delivered since the watch looked (a call Windows had given up on comes late, in order).
// Writes them to rOut, oldest first; returns the ledger position after the last late call it
// matched.
uint32_t SettleOwed(const HookLedger& ledger, uint32_t nCursor, const HookWatch::Owed& owed, HookWatch::Owed& rOut);

// The hook's thread: keys the watch delivered for the hook. A late call for one of them is
// answered without delivering it again. The first call for anything else ends the list:
// late calls come in order, before any newer key.
class LateCallFilter {
public:
    void Expect(const HookWatch::Owed& delivered) { m_expected = delivered, m_nNext = 0; }
    // True when this call is the late twin of a key already delivered.
    bool IsLateTwin(const TimedKey& key);

private:
    HookWatch::Owed m_expected = {};
    size_t m_nNext = 0;
};
