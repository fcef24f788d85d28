#include "dialogs/HookWatch.h"

uint32_t HookFlagsFromRaw(uint16_t usRawFlags)
{
    constexpr uint16_t RAW_BREAK = 0x01, RAW_E0 = 0x02;
    constexpr uint32_t HOOK_EXTENDED = 0x01, HOOK_UP = 0x80;
    return ((usRawFlags & RAW_E0) ? HOOK_EXTENDED : 0u) | ((usRawFlags & RAW_BREAK) ? HOOK_UP : 0u);
}

bool HookWatch::OnRawKey(const HookKey& key, uint32_t nHookKeys)
{
    for (int i = 1; i < LOST_AT; ++i)
        m_aLast[i - 1] = m_aLast[i];
    m_aLast[LOST_AT - 1] = key;
    // Differences of the running counts, so that a wrap changes nothing.
    const auto nAhead = static_cast<int32_t>(++m_nRaw - (nHookKeys - m_nHookBase));
    if (nAhead < LOST_AT)
        return false;
    Reset(nHookKeys);
    return true;
}
