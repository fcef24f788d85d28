// When raw input says the keyboard hook is lost, and which keys it owes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialogs/HookWatch.h"

TEST(HookWatch, RawFlagsBecomeTheHooksFlags)
{
    const struct { uint16_t usRaw; uint32_t uHook; } cases[] = {
        { 0x00, 0x00 }, { 0x01, 0x80 }, { 0x02, 0x01 }, { 0x03, 0x81 }, { 0x04, 0x00 },
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.uHook, HookFlagsFromRaw(c.usRaw)) << "raw flags " << c.usRaw;
}

// Each script is a row of events: 'h' the hook saw a key, 'r' raw input saw one, 'x' the
// hook was installed again; the digits where the rule must say "lost".
TEST(HookWatch, TwoRawKeysInARowThatTheHookMissedMeanItIsLost)
{
    const struct { const char* pszScript; const char* pszLostAt; } cases[] = {
        { "hrhrhr", "" },      // the hook is called first
        { "rhrhrh", "" },      // raw input reports first
        { "rr", "1" },
        { "rrr", "1" },        // the count starts again after a loss
        { "rrrr", "13" },
        { "rxr", "" },         // a reinstalled hook owes nothing
        { "hrrh", "2" },
    };
    for (const auto& c : cases)
    {
        HookWatch watch;
        std::string strLostAt;
        uint32_t uScan = 0x10;
        for (size_t i = 0; c.pszScript[i]; ++i)
        {
            switch (c.pszScript[i])
            {
            case 'h': watch.OnHookKey(); break;
            case 'x': watch.Reset(); break;
            default:
                if (watch.OnRawKey({ uScan++, 0x80 }))
                {
                    strLostAt += static_cast<char>('0' + i);
                    // The keys owed are the two just missed, oldest first.
                    ASSERT_EQ(HookWatch::MISSED_LIMIT, watch.MissedCount());
                    EXPECT_EQ((HookKey{ uScan - 2, 0x80 }), watch.Missed()[0]);
                    EXPECT_EQ((HookKey{ uScan - 1, 0x80 }), watch.Missed()[1]);
                }
                break;
            }
        }
        EXPECT_EQ(c.pszLostAt, strLostAt) << c.pszScript;
    }
}
