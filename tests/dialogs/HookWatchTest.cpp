// When raw input says the keyboard hook is lost, and which keys it owes.
#include <gtest/gtest.h>

#include <string>

#include "dialogs/HookWatch.h"

TEST(HookWatch, RawFlagsBecomeTheHooksFlags)
{
    const uint32_t auHook[] = { 0x00, 0x80, 0x01, 0x81, 0x00 };   // raw flags 0 to 4 (4: E1)
    for (uint16_t us = 0; us < 5; ++us)
        EXPECT_EQ(auHook[us], HookFlagsFromRaw(us)) << "raw flags " << us;
}

// A script is a row of events: 'h' the hook saw a key, 'r' raw input saw one, 'x' the hook
// was installed again. The loss is said at the positions given, owing the last two raw keys.
// The hook's count starts near its wrap.
TEST(HookWatch, RawInputTwoKeysAheadOfTheHookMeansItIsLost)
{
    const struct { const char* pszScript; const char* pszLostAt; } cases[] = {
        { "hrhrhr", "" },       // the hook is called first
        { "rhrhrh", "" },       // raw input reports first
        { "hhhhrrrr", "" },     // raw input queued behind a burst
        { "rr", "1" }, { "rrrr", "13" }, { "rxr", "" }, { "hrrr", "3" }, { "rhrr", "3" }, { "hhxrr", "4" },
    };
    for (const auto& c : cases)
    {
        uint32_t nHookKeys = 0xFFFFFFFEu;
        HookWatch watch;
        watch.Reset(nHookKeys);
        std::string strLostAt;
        uint32_t uScan = 0x10;
        for (size_t i = 0; c.pszScript[i]; ++i)
        {
            if (c.pszScript[i] == 'h')
                ++nHookKeys;
            else if (c.pszScript[i] == 'x')
                watch.Reset(nHookKeys);
            else if (watch.OnRawKey({ uScan++, 0x80 }, nHookKeys))
            {
                strLostAt += static_cast<char>('0' + i);
                EXPECT_EQ((HookKey{ uScan - 2, 0x80 }), watch.Missed()[0]);
                EXPECT_EQ((HookKey{ uScan - 1, 0x80 }), watch.Missed()[1]);
            }
        }
        EXPECT_EQ(c.pszLostAt, strLostAt) << c.pszScript;
    }
}
