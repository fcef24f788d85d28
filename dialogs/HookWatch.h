// HookWatch: tells from raw keyboard input that the low-level hook has stopped seeing keys.
// Windows removes a hook that kept input waiting too long and does not say so.
#pragma once

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

// Windows calls the hooks for one key before it makes the raw input of the next, so at any
// raw key a live hook has seen all keys but this one: raw input is at most one key ahead.
// It may lag far behind, since the hook is called at once and raw input is queued. Both
// sides count only keys with a scan code that are not a packet of characters, which raw
// input does not always report.
class HookWatch {
public:
    // Raw keys ahead of the hook that mean the hook is lost.
    static constexpr int LOST_AT = 2;
    using Keys = HookKey[LOST_AT];

    // A hook was installed when it had counted nHookKeys (its count runs on across
    // installs, and may wrap): nothing is owed.
    void Reset(uint32_t nHookKeys)
    {
        m_nHookBase = nHookKeys;
        m_nRaw = 0;
    }
    // Raw input saw a key when the hook had counted nHookKeys. True when raw input is
    // LOST_AT keys ahead; Missed() then holds the keys, oldest first, and the count starts
    // again from here.
    bool OnRawKey(const HookKey& key, uint32_t nHookKeys);
    const Keys& Missed() const { return m_aLast; }

private:
    uint32_t m_nHookBase = 0;
    uint32_t m_nRaw = 0;
    Keys m_aLast = {};
};
