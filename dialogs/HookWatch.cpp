#include "dialogs/HookWatch.h"

uint32_t HookFlagsFromRaw(uint16_t usRawFlags)
{
    constexpr uint16_t RAW_BREAK = 0x01, RAW_E0 = 0x02;
    constexpr uint32_t HOOK_EXTENDED = 0x01, HOOK_UP = 0x80;
    return ((usRawFlags & RAW_E0) ? HOOK_EXTENDED : 0u) | ((usRawFlags & RAW_BREAK) ? HOOK_UP : 0u);
}

bool HookWatch::OnRawKey(const HookKey& key)
{
    m_aMissed[m_nMissed++] = key;
    if (m_nMissed < MISSED_LIMIT)
        return false;
    m_nMissed = 0;
    return true;
}
