#include <gtest/gtest.h>

#include "framework/CommandLine.h"

TEST(CommandLine, FirstNonFlagParameterIsTheFileName)
{
    const char* argv[] = { "prog.exe", "/flag", "-x", "Close", "Other" };
    CCommandLineInfo info;
    ParseCommandLine(5, argv, info);
    EXPECT_EQ(info.m_strFileName, "Close");
}
