// The key watch's rule against the event orders Windows produces: every key reaches the
// target exactly once, whether the hook or the watch delivers it.
#include <gtest/gtest.h>

#include <cctype>
#include <sstream>
#include <string>

#include "framework/HookWatch.h"

namespace {

// Kova's three sides of the key path, run one event at a time as Windows orders them. Keys
// are letters: a capital is a press, a small letter the release of that key. Script tokens:
//   hN  the hook is called for event N (late or not: the procedure cannot tell)
//   rN  raw input of event N reaches the watch; mN the same with its extended flag flipped
//   x   a "fake shift" of an escape sequence, p the E1 prefix of Pause: raw input's alone
//   fN  a hook is put in place from scratch, in event N's tick
//   s   the input thread takes the watch's request now; else it does before anything but a
//       late call (one whose raw input came first), which Windows queued ahead of it
class CKeyPathSim {
public:
    explicit CKeyPathSim(const char* pszKeys) : m_strKeys(pszKeys) { m_ledger.MarkFresh(0); }

    std::string Run(const std::string& strScript)
    {
        std::istringstream tokens(strScript);
        for (std::string strToken; tokens >> strToken;)
        {
            const char c = strToken[0];
            const size_t n = strToken.size() > 1 ? std::stoul(strToken.substr(1)) : 0;
            const bool bLateCall = c == 'h' && m_strRawSeen.find(' ' + strToken.substr(1) + ' ') != std::string::npos;
            if (!bLateCall && std::exchange(m_bSettleQueued, false))
                Settle();
            if (c == 'r' || c == 'm')
                m_strRawSeen += ' ' + strToken.substr(1) + ' ';
            if (c == 'h')
                HookCall(Event(n));
            else if (c == 'r' || c == 'm')
                Raw(Event(n), c == 'm' ? 0x01u : 0u);
            else if (c == 'x')
                RawOther(0x2A, 0x02, 0xFF);
            else if (c == 'p')
                RawOther(0x1D, 0x04, 0x13);
            else if (c == 'f')
                m_ledger.MarkFresh(Event(n).dwTime);
        }
        if (std::exchange(m_bSettleQueued, false))
            Settle();
        return m_strDelivered;
    }

private:
    TimedKey Event(size_t n) const
    {
        const char c = m_strKeys.at(n);
        const auto uScan = static_cast<uint32_t>(std::toupper(static_cast<unsigned char>(c)));
        return { { uScan, std::islower(static_cast<unsigned char>(c)) ? 0x80u : 0u },
                 1000 + 50 * static_cast<uint32_t>(n) };
    }
    void Deliver(const HookKey& key)
    {
        const char c = static_cast<char>(key.uScanCode);
        m_strDelivered += (key.uFlags & 0x80) ? static_cast<char>(std::tolower(c)) : c;
    }
    void HookCall(const TimedKey& key)
    {
        const bool bLateTwin = m_late.IsLateTwin(key);
        m_ledger.Add(key, !bLateTwin);
        if (!bLateTwin)
            Deliver(key.key);
    }
    void Raw(TimedKey key, uint32_t uFlip)
    {
        key.key.uFlags ^= uFlip;
        if (m_watch.OnRawKey(key, m_ledger) == HookWatch::Verdict::Lost)
            m_bSettleQueued = true;
    }
    void RawOther(uint16_t usMake, uint16_t usFlags, uint16_t usVKey)
    {
        if (IsRawKeyMatchable(usMake, usFlags, usVKey))
            Raw({ { usMake, HookFlagsFromRaw(usFlags) }, 1000 }, 0);
    }
    // As the input thread does it: what no late call delivered, then a new hook.
    void Settle()
    {
        HookWatch::Owed missed = {};
        SettleOwed(m_ledger, m_watch.Cursor(), m_watch.Pending(), missed);
        for (size_t i = 0; i < missed.nKeys; ++i)
            Deliver(missed.aKeys[i].key);
        m_late.Expect(missed);
        m_watch.Settled(m_ledger.Written());
    }

    std::string m_strKeys;
    HookLedger m_ledger;
    HookWatch m_watch;
    LateCallFilter m_late;
    bool m_bSettleQueued = false;
    std::string m_strRawSeen;
    std::string m_strDelivered;
};

} // namespace

TEST(HookWatch, RawFlagsBecomeTheHooksFlags)
{
    const uint32_t auHook[] = { 0x00, 0x80, 0x01, 0x81, 0x00 };   // raw flags 0 to 4 (4: E1)
    for (uint16_t us = 0; us < 5; ++us)
        EXPECT_EQ(auHook[us], HookFlagsFromRaw(us)) << "raw flags " << us;
}

TEST(HookWatch, EveryKeyReachesTheTargetExactlyOnceInTheOrdersWindowsProduces)
{
    const struct { const char* pszKeys; const char* pszScript; const char* pszDelivered; } cases[] = {
        { "AB", "h0 r0 h1 r1", "AB" },                      // the hook, then raw input
        { "ABC", "h0 h1 h2 r0 r1 r2", "ABC" },              // raw input queued behind a burst
        // Events of raw input alone, one and several, then typing.
        { "AB", "x h0 x r0 x x h1 r1", "AB" },
        { "AB", "x x p h0 r0 h1 r1", "AB" },
        { "NnA", "h0 m0 h1 m1 h2 r2", "NnA" },              // the two report a flag differently
        // Keys a hook behind Kova's swallows: raw input never sees them.
        { "ABC", "h0 h1 r1 h2 r2", "ABC" },
        { "ABCDE", "h0 h1 h2 r2 r3 r4", "ABCDE" },          // ... then a real drop
        { "ABC", "h1 r1 h2 r2", "BC" },                     // a hook before Kova's swallows A
        // A hook put in place from scratch: keys before it are no one's, one in its tick is
        // the hook's.
        { "ABC", "r0 f0 h1 r1 h2 r2", "BC" },
        { "ABC", "f0 h0 r0 h1 r1 h2 r2", "ABC" },
        { "ABC", "h0 f1 r0 h1 r1 h2 r2", "ABC" },
        // A call Windows gave up on comes late: before the next key, before the watch's
        // request, or after it.
        { "AB", "r0 h0 h1 r1", "AB" },
        { "ABC", "r0 r1 h0 h1 h2 r2", "ABC" },
        { "ABC", "r0 r1 h0 s h1 h2 r2", "ABC" },
        { "ABC", "r0 r1 s h0 h1 h2 r2", "ABC" },
        // A held key repeating, and dropped while it repeats.
        { "RRRRr", "h0 r0 h1 r1 h2 h3 r2 r3 h4 r4", "RRRRr" },
        { "RRRRr", "h0 r0 h1 r1 r2 r3 h4 r4", "RRRRr" },
        // A real drop in the middle of typing: the missed keys first, in order.
        { "ABCD", "h0 r0 r1 r2 h3 r3", "ABCD" },
        { "RrRrE", "h0 r0 h1 r1 r2 r3 h4 r4", "RrRrE" },
        // Windows calls no hook at all (an elevated window has the keyboard): the hook is put
        // back once, not at every key.
        { "ABCD", "r0 r1 r2 r3", "AB" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.pszDelivered, CKeyPathSim(c.pszKeys).Run(c.pszScript)) << c.pszKeys << ": " << c.pszScript;
}
