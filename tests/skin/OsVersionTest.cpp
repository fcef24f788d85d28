#include <gtest/gtest.h>

#include "OsVersionTable.h"

TEST(OsVersionCode, EveryRowOfTheTable)
{
    for (const kovatest::OsVersionRow& row : kovatest::kOsVersionRows)
    {
        const OsVersionFacts& f = row.facts;
        EXPECT_EQ(OsVersionCode(f), row.nCode) << "platform " << f.dwPlatformId << " " << f.dwMajorVersion << "."
                                               << f.dwMinorVersion << " csd '" << f.chCSDVersion1 << "' product "
                                               << int(f.wProductType) << " r2 " << f.nServerR2 << " arch "
                                               << f.wArchitecture;
    }
}
