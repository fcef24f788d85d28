// HookWatch: tells from raw keyboard input that the low-level hook has stopped seeing keys.
// Windows removes a hook that kept input waiting too long and does not say so.
#pragma once

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

// Raw input's key flags (RI_KEY_BREAK 0x01, RI_KEY_E0 0x02) as the hook's.
uint32_t HookFlagsFromRaw(uint16_t usRawFlags);

class HookWatch {
public:
    // Raw input keys in a row that the hook did not see before the hook counts as lost.
    // One is not enough: raw input may report a key before the hook is called for it.
    static constexpr size_t MISSED_LIMIT = 2;

    // The hook was (re)installed, or removed: nothing is owed.
    void Reset() { m_nMissed = 0; }
    // The hook saw a key: it is alive.
    void OnHookKey() { m_nMissed = 0; }
    // Raw input saw a key. True when the hook has missed MISSED_LIMIT keys in a row; the
    // keys it missed are then in Missed(), oldest first, and the count starts again.
    bool OnRawKey(const HookKey& key);

    const HookKey* Missed() const { return m_aMissed; }
    size_t MissedCount() const { return MISSED_LIMIT; }

private:
    HookKey m_aMissed[MISSED_LIMIT] = {};
    size_t m_nMissed = 0;
};
